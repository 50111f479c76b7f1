#pragma once
// The resizer's processing without a graph: the ratio mode and settings it is given, the target
// size of the connected input, and the scaling of each picture. The input is 24-bit RGB with
// rows padded to 4 bytes (bottom-up for a positive height); the output is bottom-up, padded.
//
// Threads: the setters and SetInputSize run on the user-interface thread while no graph runs;
// Process runs on the streaming thread.

#include <cstdint>
#include <span>

#include "filters/AreaScaler.h"
#include "filters/ResizerSizes.h"

namespace vistrel::filters {

class ResizeProcessor {
 public:
  // Once a mode is set it stays set; every new input connection recomputes the target.
  void SetMode(uint8_t mode) {
    modeSet_ = true;
    mode_ = mode;
  }
  bool ModeSet() const { return modeSet_; }
  uint8_t Mode() const { return mode_; }
  // The "Demi Taille" setting: cap the height at 288 lines.
  void SetHalfSize(bool on) { halfSize_ = on; }
  // The display aspect of the connected video, used by the normal mode.
  void SetDisplayAspect(int32_t x, int32_t y) {
    aspectX_ = x;
    aspectY_ = y;
  }

  // The input's bitmap width and height (negative height: rows top-down). False when the size
  // leaves no picture; the previous state is then kept.
  bool SetInputSize(int32_t width, int32_t height);
  PictureSize Target() const { return target_; }
  bool ResizeNeeded() const { return resizeNeeded_; }
  // Bytes of one output picture: padded rows times height.
  uint32_t OutputImageBytes() const;

  // Streaming thread. Writes the picture for `input` (its actual data) into `output` and returns
  // the output's actual length, or -1 when the picture cannot be made (short buffers): the sample
  // is then dropped.
  int32_t Process(std::span<const uint8_t> input, std::span<uint8_t> output);

 private:
  bool modeSet_ = false;
  uint8_t mode_ = 0;
  bool halfSize_ = false;
  int32_t aspectX_ = 0, aspectY_ = 0;
  PictureSize input_{};
  bool inputBottomUp_ = true;
  PictureSize target_{320, 240};
  bool resizeNeeded_ = true;
  AreaScaler scaler_;
};

}  // namespace vistrel::filters
