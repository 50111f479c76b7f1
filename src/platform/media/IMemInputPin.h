#pragma once
// The sample-receiving side of an input pin.

#include <memory>

#include "platform/media/AllocatorProperties.h"
#include "platform/media/MediaSample.h"
#include "platform/media/MemAllocator.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

class IMemInputPin : public virtual Unknown {
 public:
  virtual HRESULT GetAllocator(std::shared_ptr<MemAllocator>& allocator) = 0;
  virtual HRESULT NotifyAllocator(const std::shared_ptr<MemAllocator>& allocator, bool readOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES& props) = 0;
  // Streaming thread of the upstream filter. The sample is shared: the receiver may keep it
  // (hold the shared_ptr) past the call. Returns S_OK, S_FALSE (stop sending), or an error.
  // May block only as long as its own processing takes; never waits for the user interface.
  virtual HRESULT Receive(const std::shared_ptr<MediaSample>& sample) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;
};

}  // namespace vistrel::platform::media
