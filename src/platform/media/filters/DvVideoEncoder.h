#pragma once
// DV Video Encoder: RGB24 pictures in, 25 Mbit/s DV (dvsd) frames out, PAL 720 x 576 or NTSC
// 720 x 480 as IDVEnc chooses (pictures of another size are scaled). Each frame carries the
// time code of its number in the stream, the recording date and time of its encoding and the
// 4:3 display aspect, so that DV readers find what a camcorder writes. The output type carries
// the DV information block after its VIDEOINFOHEADER: the packs the frames carry (no sound), or
// the block given to put_IFormatResolution.
// Transform runs on the upstream streaming thread; the settings are changed while stopped.

#include <atomic>
#include <optional>

#include "platform/media/IDVEnc.h"
#include "platform/media/TransformFilter.h"
#include "platform/media/dv/DvCodec.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_DVVideoEnc = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0101}");

class DvVideoEncoder : public TransformFilter, public IDVEnc {
 public:
  DvVideoEncoder();
  static std::shared_ptr<IBaseFilter> create();

  HRESULT put_IFormatResolution(int videoFormat, int dvFormat, int resolution, bool withDvInfo,
                                const DVINFO* info) override;
  HRESULT get_IFormatResolution(int* videoFormat, int* dvFormat, int* resolution, bool withDvInfo,
                                DVINFO* info) override;

  HRESULT CheckInputType(const MediaType& in) override;
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override;
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override;
  HRESULT GetMediaType(int position, MediaType& type) override;
  HRESULT Transform(MediaSample& in, MediaSample& out) override;
  HRESULT StartStreaming() override;

  // The output type for a system, with the packs of the frames the encoder writes.
  static MediaType dvType(dv::System system);
  // Those packs: a frame encoded once per system and read back.
  static DVINFO frameInfo(dv::System system);

 private:
  MediaType outputType() const;

  dv::System system_ = dv::System::Pal;
  std::optional<DVINFO> givenInfo_;
  dv::DvEncoder encoder_;
  int64_t frameNumber_ = 0;
};

}  // namespace vistrel::platform::media
