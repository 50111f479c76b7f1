#pragma once

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

constexpr uint32_t STREAM_SEEK_SET = 0;
constexpr uint32_t STREAM_SEEK_CUR = 1;
constexpr uint32_t STREAM_SEEK_END = 2;

// A seekable byte stream (the file writer's input pin offers it to writers that patch headers).
class IStream : public virtual Unknown {
 public:
  virtual HRESULT Read(void* data, uint32_t size, uint32_t* read) = 0;
  virtual HRESULT Write(const void* data, uint32_t size, uint32_t* written) = 0;
  virtual HRESULT Seek(int64_t move, uint32_t origin, uint64_t* newPosition) = 0;
  virtual HRESULT Commit(uint32_t flags) = 0;
};

}  // namespace vistrel::platform::media
