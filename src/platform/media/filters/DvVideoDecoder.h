#pragma once
// DV Video Decoder: dvsd frames in, RGB24 bottom-up pictures out, at the full DV size or its half
// (IIPDVDec). A frame that does not decode is dropped and counted; the stream goes on.
// Transform runs on the upstream streaming thread.

#include <atomic>

#include "platform/media/IIPDVDec.h"
#include "platform/media/TransformFilter.h"
#include "platform/media/dv/DvCodec.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_DVVideoCodec = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0102}");

class DvVideoDecoder : public TransformFilter, public IIPDVDec {
 public:
  DvVideoDecoder();
  static std::shared_ptr<IBaseFilter> create();

  HRESULT put_IPDisplay(int displayPix) override;
  HRESULT get_IPDisplay(int* displayPix) override;

  HRESULT CheckInputType(const MediaType& in) override;
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override;
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override;
  HRESULT GetMediaType(int position, MediaType& type) override;
  HRESULT Transform(MediaSample& in, MediaSample& out) override;

  int64_t framesDropped() const { return dropped_.load(); }

 private:
  // The picture size for the connected input: the DV size, or half of it.
  bool outputSize(int& width, int& height) const;

  std::atomic<int> display_{DVRESOLUTION_FULL};
  std::atomic<int64_t> dropped_{0};
  dv::DvDecoder decoder_;
};

}  // namespace vistrel::platform::media
