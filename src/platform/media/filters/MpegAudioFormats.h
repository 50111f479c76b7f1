#pragma once
// Format blocks of MPEG audio streams, laid out as in files: the MP3 block (wave format 0x55) and
// the MPEG-1 block (wave format 0x50, any layer), with the media types built from them.

#include <cstdint>

#include "platform/media/MediaType.h"

namespace vistrel::platform::media {

#pragma pack(push, 1)
struct MPEGLAYER3WAVEFORMAT {
  WAVEFORMATEX wfx;
  uint16_t wID;
  uint32_t fdwFlags;
  uint16_t nBlockSize;
  uint16_t nFramesPerBlock;
  uint16_t nCodecDelay;
};
struct MPEG1WAVEFORMAT {
  WAVEFORMATEX wfx;
  uint16_t fwHeadLayer;
  uint32_t dwHeadBitrate;
  uint16_t fwHeadMode;
  uint16_t fwHeadModeExt;
  uint16_t wHeadEmphasis;
  uint16_t fwHeadFlags;
  uint32_t dwPTSLow;
  uint32_t dwPTSHigh;
};
#pragma pack(pop)
static_assert(sizeof(MPEGLAYER3WAVEFORMAT) == 30);
static_assert(sizeof(MPEG1WAVEFORMAT) == 40);

constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;
constexpr uint16_t ACM_MPEG_LAYER1 = 1, ACM_MPEG_LAYER2 = 2, ACM_MPEG_LAYER3 = 4;

// Audio/MP3 with an MPEGLAYER3WAVEFORMAT block.
MediaType mp3AudioType(uint32_t rate, uint16_t channels, int kbps);
// Audio/MPEG1AudioPayload with an MPEG1WAVEFORMAT block for `layer` (1, 2 or 3).
MediaType mpeg1AudioType(int layer, uint32_t rate, uint16_t channels, int kbps);

}  // namespace vistrel::platform::media
