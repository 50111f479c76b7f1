#pragma once
// A pool of equal sample buffers, one per pin connection. Properties are negotiated while the
// graph is stopped (SetProperties, then Commit when streaming starts); GetBuffer hands out a new
// sample over a free buffer, and the buffer returns to the pool when its last sample dies, on
// whatever thread that happens. Thread-safe.

#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/media/AllocatorProperties.h"
#include "platform/media/MediaSample.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

constexpr uint32_t AM_GBF_NOWAIT = 4;

class MemAllocator : public Unknown {
 public:
  MemAllocator();
  ~MemAllocator() override;

  // Records the request (sizes rounded up to the alignment) and reports what it will give.
  // VFW_E_ALREADY_COMMITTED-like refusal (VFW_E_WRONG_STATE) while buffers are out.
  HRESULT SetProperties(const ALLOCATOR_PROPERTIES& request, ALLOCATOR_PROPERTIES& actual);
  HRESULT GetProperties(ALLOCATOR_PROPERTIES& props) const;
  // Allocates the buffers; GetBuffer works only between Commit and Decommit.
  HRESULT Commit();
  // Wakes every waiting GetBuffer (it answers VFW_E_NOT_COMMITTED); buffers still out are freed
  // when they come back.
  HRESULT Decommit();
  // Streaming thread. Blocks until a buffer is free unless `flags` has AM_GBF_NOWAIT, in which
  // case VFW_E_TIMEOUT says the pool is empty. The sample is the caller's.
  HRESULT GetBuffer(std::shared_ptr<MediaSample>& sample, uint32_t flags = 0);
  int32_t freeCount() const;

 private:
  struct Pool;
  std::shared_ptr<Pool> pool_;
};

}  // namespace vistrel::platform::media
