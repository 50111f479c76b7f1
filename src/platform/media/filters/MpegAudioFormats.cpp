#include "platform/media/filters/MpegAudioFormats.h"

namespace vistrel::platform::media {

namespace {
WAVEFORMATEX compressed(uint16_t tag, uint32_t rate, uint16_t channels, int kbps, uint16_t extra) {
  WAVEFORMATEX w;
  w.wFormatTag = tag;
  w.nChannels = channels;
  w.nSamplesPerSec = rate;
  w.nAvgBytesPerSec = static_cast<uint32_t>(kbps) * 125;
  w.nBlockAlign = 1;
  w.wBitsPerSample = 0;
  w.cbSize = extra;
  return w;
}
}  // namespace

MediaType mp3AudioType(uint32_t rate, uint16_t channels, int kbps) {
  MPEGLAYER3WAVEFORMAT f{};
  f.wfx = compressed(WAVE_FORMAT_MPEGLAYER3, rate, channels, kbps, 12);
  f.wID = 1;       // MPEGLAYER3_ID_MPEG
  f.fdwFlags = 2;  // MPEGLAYER3_FLAG_PADDING_OFF
  f.nBlockSize = static_cast<uint16_t>((rate >= 32000 ? 144000 : 72000) * kbps / (rate ? rate : 1));
  f.nFramesPerBlock = 1;
  f.nCodecDelay = 1393;
  MediaType type(MEDIATYPE_Audio, MEDIASUBTYPE_MP3, FORMAT_WaveFormatEx);
  type.bFixedSizeSamples = false;
  type.setFormat(f);
  return type;
}

MediaType mpeg1AudioType(int layer, uint32_t rate, uint16_t channels, int kbps) {
  MPEG1WAVEFORMAT f{};
  f.wfx = compressed(WAVE_FORMAT_MPEG, rate, channels, kbps, 22);
  f.fwHeadLayer = layer == 1 ? ACM_MPEG_LAYER1 : layer == 2 ? ACM_MPEG_LAYER2 : ACM_MPEG_LAYER3;
  f.dwHeadBitrate = static_cast<uint32_t>(kbps) * 1000;
  f.fwHeadMode = channels == 1 ? 8 : 1;  // ACM_MPEG_SINGLECHANNEL, ACM_MPEG_STEREO
  f.wHeadEmphasis = 1;
  f.fwHeadFlags = rate >= 32000 ? 0x10 : 0;  // ACM_MPEG_ID_MPEG1
  MediaType type(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload, FORMAT_WaveFormatEx);
  type.bFixedSizeSamples = false;
  type.setFormat(f);
  return type;
}

}  // namespace vistrel::platform::media
