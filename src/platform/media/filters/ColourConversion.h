#pragma once
// Conversion of one capture picture format to RGB24 bottom-up (the DIB layout), through
// libswscale, and libavcodec for MJPEG. Plain buffers in and out; one object per stream, used by
// one thread at a time.

#include <cstdint>
#include <memory>

#include "platform/media/Guid.h"

namespace vistrel::platform::media {

class ColourConversion {
 public:
  ColourConversion();
  ~ColourConversion();
  ColourConversion(const ColourConversion&) = delete;
  ColourConversion& operator=(const ColourConversion&) = delete;

  static bool supports(const GUID& subtype, int bitCount);
  // height > 0: an RGB input stored bottom-up (YUV inputs are always top-down). False when the
  // format or size is not supported.
  bool configure(const GUID& subtype, int bitCount, int width, int height);
  // Bytes one input picture needs (0 for MJPEG, whose size varies).
  size_t inputSize() const;
  size_t outputSize() const;
  // False (nothing written) when the input is too short or does not decode.
  bool convert(const uint8_t* in, size_t inLength, uint8_t* out, size_t outSize);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace vistrel::platform::media
