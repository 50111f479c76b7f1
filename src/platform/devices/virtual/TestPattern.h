#pragma once
// The virtual camera's picture: colour bars that move with every frame, a box that crosses the
// picture, and a burnt-in clock (stream time) and frame counter, so that a frozen, repeated or
// dropped frame is visible. Plain functions over buffers, usable on any thread.

#include <cstdint>

namespace vistrel::platform::devices {

struct PatternSettings {
  int brightness = 0;  // -100..100, added to every component
  int contrast = 100;  // 0..200 percent around mid grey
};

// Fills a bottom-up RGB24 picture (rows padded to 4 bytes).
void renderTestPattern(uint8_t* rgb, int width, int height, int64_t frameNumber, int64_t timeMs,
                       const PatternSettings& settings);

// Bottom-up RGB24 (padded rows) to top-down packed YUY2 (BT.601, studio range).
void rgb24ToYuy2(const uint8_t* rgb, int width, int height, uint8_t* yuy2);

// Reads the frame counter back from a rendered RGB24 picture (-1 when unreadable); tests use it
// to check that frames arrive in order and unaltered.
int64_t readFrameCounter(const uint8_t* rgb, int width, int height);

}  // namespace vistrel::platform::devices
