#pragma once
// 25 Mbit/s DV video through libavcodec: pictures in the platform's RGB24 layout (B, G, R bytes,
// rows bottom-up, each padded to 4 bytes) to DV frames and back. One object per stream, used by
// one thread at a time.

#include <QString>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/media/dv/DvFrame.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace vistrel::platform::media::dv {

struct RgbPicture {
  const uint8_t* data = nullptr;  // bottom-up rows
  int width = 0, height = 0;
  int stride = 0;  // bytes per row
};

class DvEncoder {
 public:
  DvEncoder();
  ~DvEncoder();
  DvEncoder(const DvEncoder&) = delete;
  DvEncoder& operator=(const DvEncoder&) = delete;

  bool open(System system);
  // Scales the picture to the DV size when needed and encodes it into `frame`, which must hold
  // frameBytes(system) bytes. False (errorText) when the encoder refuses.
  bool encode(const RgbPicture& picture, std::span<uint8_t> frame);
  System system() const { return system_; }
  const QString& errorText() const { return error_; }

 private:
  void release();
  System system_ = System::Pal;
  AVCodecContext* context_ = nullptr;
  AVFrame* yuv_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  int scalerWidth_ = 0, scalerHeight_ = 0;
  QString error_;
};

class DvDecoder {
 public:
  DvDecoder();
  ~DvDecoder();
  DvDecoder(const DvDecoder&) = delete;
  DvDecoder& operator=(const DvDecoder&) = delete;

  // Decodes one DV frame into a bottom-up RGB24 picture of `width` x `height` (the full 720 x
  // 576/480 or its half) with rows of `stride` bytes. False for a frame that does not decode
  // (truncated, corrupt): the output is left as it was.
  bool decode(std::span<const uint8_t> frame, uint8_t* out, int width, int height, int stride);
  const QString& errorText() const { return error_; }

 private:
  AVCodecContext* context_ = nullptr;
  AVFrame* picture_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwsContext* scaler_ = nullptr;
  QString error_;
};

// The system of a DV frame from its size: nullopt-like `ok` false for another size.
bool systemOfFrameSize(size_t bytes, System& system);

}  // namespace vistrel::platform::media::dv
