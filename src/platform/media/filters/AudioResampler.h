#pragma once
// PCM rate, channel-count and bit-depth conversion through libswresample, on plain buffers.
// One object per stream, used by one thread at a time.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/WaveFormatEx.h"

namespace vistrel::platform::media {

class AudioResampler {
 public:
  AudioResampler();
  ~AudioResampler();
  AudioResampler(const AudioResampler&) = delete;
  AudioResampler& operator=(const AudioResampler&) = delete;

  // PCM 8 or 16 bit, 1 or 2 channels, 8 000 to 192 000 Hz on both sides.
  static bool supports(const WAVEFORMATEX& format);
  bool configure(const WAVEFORMATEX& in, const WAVEFORMATEX& out);
  // Converts whole input frames; returns the output bytes written (0 on failure or when the
  // resampler holds everything back), never more than outSize.
  size_t convert(const uint8_t* in, size_t inBytes, uint8_t* out, size_t outSize);
  // Output bytes needed for `inBytes` of input, delay included.
  size_t outputBytesFor(size_t inBytes) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
};

}  // namespace vistrel::platform::media
