#pragma once
// The tape transport of a DV deck or camcorder. put_Mode changes what the tape does: play at
// real time, freeze on the current frame, stop (no frames), play slower or faster in either
// direction, or wind/rewind with the heads off the tape (the position moves, nothing is sent).
// User-interface thread; the source's streaming thread follows the mode at its next frame.

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Transport modes (ED_MODE_*).
constexpr int32_t ED_MODE_PLAY = 4296;
constexpr int32_t ED_MODE_STOP = 4297;
constexpr int32_t ED_MODE_FREEZE = 4298;
constexpr int32_t ED_MODE_THAW = 4299;
constexpr int32_t ED_MODE_FF = 4300;
constexpr int32_t ED_MODE_REW = 4301;
constexpr int32_t ED_MODE_PLAY_FASTEST_FWD = 5029;
constexpr int32_t ED_MODE_PLAY_SLOWEST_FWD = 5030;
constexpr int32_t ED_MODE_PLAY_FASTEST_REV = 5031;
constexpr int32_t ED_MODE_PLAY_SLOWEST_REV = 5032;

// Media state of the transport (ED_MEDIA_*).
constexpr int32_t ED_MEDIA_NOT_PRESENT = 4289;
constexpr int32_t ED_MEDIA_UNKNOWN = 4290;
constexpr int32_t ED_MEDIA_SPIN_UP = 4291;

class IAMExtTransport : public virtual Unknown {
 public:
  // E_INVALIDARG for a mode the transport does not know; the mode is then unchanged.
  virtual HRESULT put_Mode(int32_t mode) = 0;
  virtual HRESULT get_Mode(int32_t& mode) = 0;
  // ED_MEDIA_SPIN_UP while a tape is loaded, ED_MEDIA_NOT_PRESENT otherwise.
  virtual HRESULT get_MediaState(int32_t& state) = 0;
};

}  // namespace vistrel::platform::media
