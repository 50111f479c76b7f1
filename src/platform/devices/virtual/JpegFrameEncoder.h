#pragma once
// The virtual camera's MJPEG: each frame compressed on its own as a baseline JPEG (4:2:0), as a
// webcam's MJPEG mode sends them, through libjpeg. One encoder per streaming thread; it keeps its
// libjpeg state from frame to frame.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vistrel::platform::devices {

class JpegFrameEncoder {
 public:
  explicit JpegFrameEncoder(int quality = 85);
  ~JpegFrameEncoder();
  JpegFrameEncoder(const JpegFrameEncoder&) = delete;
  JpegFrameEncoder& operator=(const JpegFrameEncoder&) = delete;

  // Compresses a bottom-up RGB24 picture (BGR bytes, rows padded to 4 bytes) into `out`.
  // Returns the bytes written, or 0 when the picture is empty or its JPEG does not fit.
  size_t encode(const uint8_t* rgb, int width, int height, uint8_t* out, size_t capacity);

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace vistrel::platform::devices
