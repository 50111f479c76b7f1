#pragma once
// What the scene detector learns of one DV frame. A plain value: copied into the frame ring,
// handed to the scene callback, read by the overlay and the engine.

#include <cstdint>

namespace vistrel::filters {

struct TFrameRecord {
  // Frames seen before this one while the frame is analysed; one more once it is stored.
  int32_t FrameNumber = 0;
  bool DateValid = false;
  bool TimeCodeValid = false;
  // Time code valid, VAUX source control in the first sequence and a known audio rate.
  bool Locked = false;
  // Days since 30 December 1899, whole seconds; 0 when not valid.
  double RecordingDateTime = 0;
  uint8_t TimeCode[4] = {0, 0, 0, 0};  // hours, minutes, seconds, frames
  bool Wide16x9 = false;
  uint8_t VideoSystem = 0;  // 0: 625/50, 1: 525/60, 2: other
  int32_t AudioSamplingRate = -1;
  int32_t AudioQuantization = -1;
  int32_t FrameNumberCopy = 0;  // the frame number before it was advanced
  int32_t Reserved = 0;
};

}  // namespace vistrel::filters
