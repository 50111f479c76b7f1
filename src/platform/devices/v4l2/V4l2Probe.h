#pragma once
// What a V4L2 capture node offers, read once with the node open: its identity, its pixel formats
// with their frame sizes and intervals, its controls, its inputs, tuner and standards. Garbage
// answers (zero or absurd sizes, intervals of zero or outside a millisecond to a minute) are left
// out; a node that is not a streaming video-capture device gives no description.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/devices/v4l2/V4l2Kernel.h"

namespace vistrel::platform::devices::v4l2 {

struct V4l2FrameSize {
  uint32_t width = 0, height = 0;
  // Frame intervals as fractions of a second (numerator / denominator), fastest first.
  std::vector<std::pair<uint32_t, uint32_t>> intervals;
};

struct V4l2Format {
  uint32_t pixelformat = 0;
  uint32_t flags = 0;  // V4L2_FMT_FLAG_*
  std::string description;
  std::vector<V4l2FrameSize> sizes;
};

struct V4l2Control {
  uint32_t id = 0;
  int32_t minimum = 0, maximum = 0, step = 1, defaultValue = 0;
  uint32_t type = 0;
  bool hasAuto = false;  // a companion automatic control exists (exposure, white balance, focus)
};

struct V4l2Input {
  uint32_t index = 0;
  std::string name;
  uint32_t type = 0;  // V4L2_INPUT_TYPE_TUNER or _CAMERA
  uint32_t tuner = 0;
  uint64_t std = 0;
};

struct V4l2Tuner {
  uint32_t index = 0;
  uint32_t type = 0;
  uint32_t capability = 0;  // V4L2_TUNER_CAP_LOW: frequencies in 62.5 Hz, else 62.5 kHz
  uint32_t rangeLow = 0, rangeHigh = 0;
};

struct V4l2DeviceInfo {
  std::string path;
  std::string card;     // the name the user knows
  std::string busInfo;  // stable across replugging into the same port
  std::string driver;
  std::vector<V4l2Format> formats;
  std::vector<V4l2Control> controls;
  std::vector<V4l2Input> inputs;
  std::vector<V4l2Tuner> tuners;
  uint64_t standards = 0;  // every standard the inputs support
};

// Opens `path`, reads its description and closes it. nullopt when the node cannot be opened (the
// reason is said once on standard error) or is not a video-capture streaming device.
std::optional<V4l2DeviceInfo> probeDevice(V4l2Kernel& kernel, const std::string& path);

// Sizes tried on drivers that report a continuous or step-wise range.
const std::vector<std::pair<uint32_t, uint32_t>>& commonFrameSizes();

}  // namespace vistrel::platform::devices::v4l2
