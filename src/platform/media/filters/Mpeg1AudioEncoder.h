#pragma once
// MPEG-1 Layer II audio encoder (libavcodec's mp2), found through the filter mapper. Pin 0 "In"
// takes 8- or 16-bit PCM, mono or stereo, at 32, 44.1 or 48 kHz (16, 22.05 and 24 kHz give
// MPEG-2 half-rate streams); pin 1 "Out" gives MEDIASUBTYPE_MPEG1AudioPayload, one frame of
// 1152 samples per output sample, timed from the first input sample. 224 kbit/s in stereo and
// 112 in mono (half of that at the half rates). The last partial frame is padded with silence
// when the graph stops.

#include "platform/media/filters/EncoderFilter.h"
#include "platform/media/filters/FfmpegEncoders.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_Mpeg1AudioEncoder = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0111}");
extern const char* const kMpeg1AudioEncoderName;

class Mpeg1AudioEncoder : public EncoderFilter {
 public:
  Mpeg1AudioEncoder();
  static std::shared_ptr<IBaseFilter> create();
  // The bit rate used for a rate and channel count (kbit/s).
  static int bitrateFor(uint32_t rate, int channels);

  HRESULT checkInputType(const MediaType& type) override;
  HRESULT outputType(int position, MediaType& type) override;
  int32_t outputBufferSize() override { return 4096; }
  HRESULT startEncoding() override;
  void stopEncoding() override;
  HRESULT encode(const MediaSample& sample) override;
  HRESULT flush() override;

 private:
  HRESULT sendPackets(std::vector<EncodedPacket>& packets);
  AudioEncoder encoder_;
  bool timed_ = false;
  REFERENCE_TIME base_ = 0;
  uint32_t rate_ = 0;
};

}  // namespace vistrel::platform::media
