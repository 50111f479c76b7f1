#pragma once

#include <cstdint>

namespace vistrel::platform::media {

// Buffer count, buffer size, alignment and prefix of a sample pool.
struct ALLOCATOR_PROPERTIES {
  int32_t cBuffers = 0;
  int32_t cbBuffer = 0;
  int32_t cbAlign = 1;
  int32_t cbPrefix = 0;
};

}  // namespace vistrel::platform::media
