#pragma once
// The audio format block: 18 bytes followed by cbSize extra bytes, packed as in files.

#include <cstdint>

namespace vistrel::platform::media {

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t WAVE_FORMAT_MPEG = 0x50;

#pragma pack(push, 1)
struct WAVEFORMATEX {
  uint16_t wFormatTag = WAVE_FORMAT_PCM;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

constexpr WAVEFORMATEX pcmFormat(uint32_t rate, uint16_t channels, uint16_t bits) {
  WAVEFORMATEX w;
  w.nChannels = channels;
  w.nSamplesPerSec = rate;
  w.wBitsPerSample = bits;
  w.nBlockAlign = static_cast<uint16_t>(channels * bits / 8);
  w.nAvgBytesPerSec = rate * w.nBlockAlign;
  return w;
}

}  // namespace vistrel::platform::media
