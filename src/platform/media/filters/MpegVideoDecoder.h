#pragma once
// MPEG-1 and MPEG-2 video decoders through libavcodec: elementary video in any cut (whole
// pictures, as capture cards deliver them, or arbitrary pieces), RGB24 bottom-up pictures out at
// the coded size of the input's format block. Every picture the input completes is delivered,
// stamped from the input sample's time; a damaged picture is dropped and counted, the stream goes
// on. Receive runs on the upstream streaming thread.

#include <atomic>
#include <memory>

#include "platform/media/MpegGuids.h"
#include "platform/media/TransformFilter.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_Mpeg1VideoDecoder = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0311}");
constexpr GUID CLSID_Mpeg2VideoDecoder = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0312}");

class MpegVideoDecoder : public TransformFilter {
 public:
  explicit MpegVideoDecoder(bool mpeg2);
  ~MpegVideoDecoder() override;
  static std::shared_ptr<IBaseFilter> createMpeg1();
  static std::shared_ptr<IBaseFilter> createMpeg2();

  HRESULT CheckInputType(const MediaType& in) override;
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override;
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override;
  HRESULT GetMediaType(int position, MediaType& type) override;
  HRESULT Transform(MediaSample& in, MediaSample& out) override;
  HRESULT Receive(const std::shared_ptr<MediaSample>& sample) override;
  HRESULT StartStreaming() override;
  HRESULT StopStreaming() override;

  int64_t framesDropped() const { return dropped_.load(); }
  int64_t framesDecoded() const { return decoded_.load(); }

 private:
  struct Codec;
  bool mpeg2_;
  std::unique_ptr<Codec> codec_;
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> decoded_{0};
};

// Registers both decoders in the filter mapper (merit normal: intelligent connect uses them).
class FilterMapper;
void registerMpegVideoDecoders(FilterMapper& mapper);

}  // namespace vistrel::platform::media
