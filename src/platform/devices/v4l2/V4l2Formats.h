#pragma once
// V4L2 pixel formats as media types, and the copy of a driver buffer into a sample buffer in the
// layout the media type promises (uncompressed RGB bottom-up, rows without driver padding).

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/devices/v4l2/V4l2Probe.h"
#include "platform/media/MediaType.h"
#include "platform/media/MpegGuids.h"

namespace vistrel::platform::devices::v4l2 {

// One stream configuration entry: the media type and the driver format it is made of.
struct V4l2MediaFormat {
  media::MediaType type;
  uint32_t pixelformat = 0;
  uint32_t width = 0, height = 0;
  uint32_t intervalNumerator = 1, intervalDenominator = 30;
};

// The media type of a driver format, or nullopt for a pixel format we cannot carry.
std::optional<media::MediaType> mediaTypeFor(uint32_t pixelformat, uint32_t width, uint32_t height,
                                             uint32_t intervalNumerator, uint32_t intervalDenominator);
// Every format, size and interval of the device in the driver's order (fastest interval first).
// Unknown pixel formats are left out (said once on standard error).
std::vector<V4l2MediaFormat> mediaFormats(const V4l2DeviceInfo& info);
// The entry matching `type` (same subtype, size and frame interval), or nullptr.
const V4l2MediaFormat* findFormat(const std::vector<V4l2MediaFormat>& formats, const media::MediaType& type);

// Copies one frame of `used` bytes (rows `bytesPerLine` apart) into `dst` as the media type
// wants it. Returns the bytes written, or -1 when the frame is short or does not fit (a broken
// frame, counted as dropped by the caller).
int32_t copyFrame(const V4l2MediaFormat& format, const uint8_t* src, uint32_t used, uint32_t bytesPerLine,
                  uint8_t* dst, int32_t capacity);

// "YUYV" for a FOURCC, for messages.
std::string fourccText(uint32_t fourcc);

}  // namespace vistrel::platform::devices::v4l2
