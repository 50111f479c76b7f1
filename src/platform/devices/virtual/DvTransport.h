#pragma once
// The tape transport of the virtual DV deck: a mode and a position under the heads, moved one
// frame period at a time. Play moves one frame per period and sends it; freeze sends the same
// frame again; stop sends nothing; slow play moves a fifth of a frame, fast play ten frames and
// wind/rewind fifty frames per period (the last two with the heads off the tape: nothing is
// sent). The tape stops at either end. Not thread-safe: the owner locks.

#include <cstdint>

#include "platform/media/Result.h"

namespace vistrel::platform::devices {

class DvTransport {
 public:
  // `length` frames on the tape; `mode` the mode when the tape is loaded.
  DvTransport(int64_t length, int32_t mode);

  // E_INVALIDARG for a mode the deck does not know (the mode stays as it was).
  media::HRESULT setMode(int32_t mode);
  int32_t mode() const { return mode_; }
  // The frame under the heads.
  int64_t frame() const { return position_ / kStep; }
  int64_t length() const { return length_; }
  // One frame period: the frame to send (-1 for none), then the tape moves.
  int64_t tick();
  // Tape speed of a mode in tenths of a frame per period (0 for unknown modes).
  static int speedOf(int32_t mode);

 private:
  static constexpr int64_t kStep = 10;
  int64_t length_;
  int32_t mode_;
  int64_t position_ = 0;  // tenths of a frame
};

}  // namespace vistrel::platform::devices
