#pragma once
// Color Space Converter: capture formats (RGB24, RGB32, YUY2, UYVY, I420, YV12, NV12, MJPEG) in,
// RGB24 bottom-up of the same size and frame rate out. A picture that is short or does not
// decode is dropped, not passed on.

#include "platform/media/TransformFilter.h"
#include "platform/media/filters/ColourConversion.h"

namespace vistrel::platform::media {

class ColorSpaceConverter : public TransformFilter {
 public:
  ColorSpaceConverter();
  static std::shared_ptr<IBaseFilter> create();

  HRESULT CheckInputType(const MediaType& in) override;
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override;
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override;
  HRESULT GetMediaType(int position, MediaType& type) override;
  HRESULT StartStreaming() override;
  // Streaming thread.
  HRESULT Transform(MediaSample& in, MediaSample& out) override;

 private:
  ColourConversion conversion_;
  bool ready_ = false;
};

}  // namespace vistrel::platform::media
