#include "platform/devices/virtual/DvTransport.h"

#include <algorithm>

#include "platform/media/IAMExtTransport.h"

namespace vistrel::platform::devices {

using namespace media;

namespace {
bool known(int32_t mode) {
  switch (mode) {
    case ED_MODE_PLAY:
    case ED_MODE_STOP:
    case ED_MODE_FREEZE:
    case ED_MODE_THAW:
    case ED_MODE_FF:
    case ED_MODE_REW:
    case ED_MODE_PLAY_FASTEST_FWD:
    case ED_MODE_PLAY_SLOWEST_FWD:
    case ED_MODE_PLAY_FASTEST_REV:
    case ED_MODE_PLAY_SLOWEST_REV: return true;
    default: return false;
  }
}

bool sends(int32_t mode) { return mode != ED_MODE_STOP && mode != ED_MODE_FF && mode != ED_MODE_REW; }
}  // namespace

DvTransport::DvTransport(int64_t length, int32_t mode)
    : length_(std::max<int64_t>(0, length)), mode_(ED_MODE_STOP) {
  setMode(mode);
}

int DvTransport::speedOf(int32_t mode) {
  switch (mode) {
    case ED_MODE_PLAY: return 10;
    case ED_MODE_PLAY_SLOWEST_FWD: return 2;
    case ED_MODE_PLAY_SLOWEST_REV: return -2;
    case ED_MODE_PLAY_FASTEST_FWD: return 100;
    case ED_MODE_PLAY_FASTEST_REV: return -100;
    case ED_MODE_FF: return 500;
    case ED_MODE_REW: return -500;
    default: return 0;
  }
}

HRESULT DvTransport::setMode(int32_t mode) {
  if (!known(mode)) return E_INVALIDARG;
  // Thaw leaves a freeze frame and plays on.
  mode_ = mode == ED_MODE_THAW ? ED_MODE_PLAY : mode;
  return S_OK;
}

int64_t DvTransport::tick() {
  if (length_ == 0) return -1;
  const int64_t sent = sends(mode_) ? frame() : -1;
  const int64_t next = position_ + speedOf(mode_);
  const int64_t last = (length_ - 1) * kStep;
  if (next < 0 || next > last) {
    // Either end of the tape: the deck stops there.
    position_ = std::clamp<int64_t>(next, 0, last);
    mode_ = ED_MODE_STOP;
  } else {
    position_ = next;
  }
  return sent;
}

}  // namespace vistrel::platform::devices
