#pragma once
// Video and audio encoders over libavcodec, free of any graph: uncompressed frames or PCM blocks
// in the layer's formats go in, coded packets come out. The encoder filters, the ASF writer and
// the benchmarks use them. One thread at a time per object.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "platform/media/MediaType.h"
#include "platform/media/Result.h"

struct AVCodecContext;

namespace vistrel::platform::media {

enum class VideoCodec { Mpeg4, MsMpeg4v3, Wmv1, Wmv2, Mpeg1, Mpeg2 };
enum class AudioCodec { Wmav1, Wmav2, Mp2 };

struct EncodedPacket {
  std::vector<uint8_t> data;
  int64_t pts = 0;  // in the encoder's time base (frames for video, samples for audio)
  int64_t dts = 0;
  bool key = false;
};

struct VideoEncoderSettings {
  VideoCodec codec = VideoCodec::Mpeg4;
  int width = 0, height = 0;  // coded size; the input is scaled to it
  REFERENCE_TIME frameDuration = 400000;
  int64_t bitrate = 0;    // bits per second; 0 = constant quality
  int quality = 4;        // quantizer 1 (best) .. 31, used when bitrate is 0
  int keyInterval = 250;  // frames between key frames at most
  int maxBFrames = 0;
  uint32_t fourcc = 0;  // stored codec tag (XVID, DX50...), 0 = the codec's own
  int threads = 1;
};

// Pixel layouts the encoders take (from a video media type's subtype and bitmap header).
bool isSupportedVideoInput(const MediaType& type);

class VideoEncoder {
 public:
  VideoEncoder();
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // E_INVALIDARG for a size, rate or bit rate the codec cannot take, VFW_E_TYPE_NOT_ACCEPTED for
  // an input layout it cannot read.
  HRESULT open(const VideoEncoderSettings& settings, const MediaType& input);
  // Opens and closes an encoder with these settings: the check of a profile or a connection.
  static HRESULT check(const VideoEncoderSettings& settings);
  void close();
  bool isOpen() const;

  // One frame of the input layout (`length` bytes at least the image size, else
  // VFW_E_BUFFER_OVERFLOW-free refusal E_INVALIDARG). `index` is its position in frames.
  HRESULT encode(const uint8_t* data, int32_t length, int64_t index, std::vector<EncodedPacket>& out);
  HRESULT flush(std::vector<EncodedPacket>& out);

  const AVCodecContext* context() const;
  std::vector<uint8_t> extradata() const;
  // Bytes one input frame takes.
  int32_t inputFrameSize() const;
  const VideoEncoderSettings& settings() const { return settings_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
  VideoEncoderSettings settings_;
};

struct AudioEncoderSettings {
  AudioCodec codec = AudioCodec::Mp2;
  uint32_t sampleRate = 44100;
  uint16_t channels = 2;
  int64_t bitrate = 192000;
};

class AudioEncoder {
 public:
  AudioEncoder();
  ~AudioEncoder();
  AudioEncoder(const AudioEncoder&) = delete;
  AudioEncoder& operator=(const AudioEncoder&) = delete;

  // The input is PCM of `input` (8 or 16 bits, any rate and channel count up to 8); it is
  // resampled to the settings. E_INVALIDARG for settings the codec refuses.
  HRESULT open(const AudioEncoderSettings& settings, const WAVEFORMATEX& input);
  static HRESULT check(const AudioEncoderSettings& settings);
  void close();
  bool isOpen() const;

  // Interleaved PCM bytes; packets are whole codec frames, pts in output samples counted from
  // the first sample given (the caller places them in time).
  HRESULT encode(const uint8_t* pcm, int32_t bytes, std::vector<EncodedPacket>& out);
  // Pads the last partial frame with silence and drains the codec.
  HRESULT flush(std::vector<EncodedPacket>& out);

  const AVCodecContext* context() const;
  int frameSize() const;
  const AudioEncoderSettings& settings() const { return settings_; }
  // The block alignment the codec chose (bytes per packet for WMA).
  int blockAlign() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
  AudioEncoderSettings settings_;
};

// The libavcodec identification ("Lavc59.37.100") and version number.
const char* codecLibraryIdent();
unsigned codecLibraryVersion();

}  // namespace vistrel::platform::media
