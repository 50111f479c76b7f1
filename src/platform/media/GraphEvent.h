#pragma once
// One graph event: a code and two parameters. For EC_DEVICE_LOST the first parameter is the
// device filter (object) and the second 0 when the device was removed, 1 when it came back.

#include <cstdint>
#include <memory>

#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

constexpr int32_t EC_COMPLETE = 0x01;
constexpr int32_t EC_USERABORT = 0x02;
constexpr int32_t EC_ERRORABORT = 0x03;
constexpr int32_t EC_STREAM_ERROR_STOPPED = 0x06;
constexpr int32_t EC_ERROR_STILLPLAYING = 0x08;
constexpr int32_t EC_CLOCK_CHANGED = 0x0D;
constexpr int32_t EC_DEVICE_LOST = 0x1F;

struct GraphEvent {
  int32_t code = 0;
  intptr_t param1 = 0;
  intptr_t param2 = 0;
  std::shared_ptr<Unknown> object;  // the object parameter (EC_DEVICE_LOST's device)
};

}  // namespace vistrel::platform::media
