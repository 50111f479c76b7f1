#include "platform/media/filters/ColorSpaceConverter.h"

namespace vistrel::platform::media {

ColorSpaceConverter::ColorSpaceConverter()
    : TransformFilter(CLSID_Colour, QStringLiteral("Color Space Converter")) {}

std::shared_ptr<IBaseFilter> ColorSpaceConverter::create() { return std::make_shared<ColorSpaceConverter>(); }

HRESULT ColorSpaceConverter::CheckInputType(const MediaType& in) {
  if (in.majortype != MEDIATYPE_Video || in.formattype != FORMAT_VideoInfo) return VFW_E_TYPE_NOT_ACCEPTED;
  auto bmi = in.bitmapHeader();
  if (!bmi || bmi->biWidth <= 0 || bmi->biHeight == 0 ||
      !ColourConversion::supports(in.subtype, bmi->biBitCount))
    return VFW_E_TYPE_NOT_ACCEPTED;
  ColourConversion probe;
  return probe.configure(in.subtype, bmi->biBitCount, bmi->biWidth, bmi->biHeight) ? S_OK
                                                                                   : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT ColorSpaceConverter::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const MediaType& in = inputPin()->currentMediaType();
  auto bmi = in.bitmapHeader();
  if (!bmi) return E_UNEXPECTED;
  type = MediaType::rgb24(bmi->biWidth, bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight,
                          in.averageTimePerFrame());
  return S_OK;
}

HRESULT ColorSpaceConverter::CheckTransform(const MediaType& in, const MediaType& out) {
  if (CheckInputType(in) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  if (out.majortype != MEDIATYPE_Video || out.subtype != MEDIASUBTYPE_RGB24 ||
      out.formattype != FORMAT_VideoInfo)
    return VFW_E_TYPE_NOT_ACCEPTED;
  auto a = in.bitmapHeader(), b = out.bitmapHeader();
  if (!b || b->biBitCount != 24 || b->biWidth != a->biWidth || b->biHeight <= 0 ||
      b->biHeight != (a->biHeight < 0 ? -a->biHeight : a->biHeight))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT ColorSpaceConverter::DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) {
  ALLOCATOR_PROPERTIES want = request, actual;
  want.cBuffers = std::max(want.cBuffers, 3);
  want.cbBuffer =
      std::max<int32_t>(want.cbBuffer, static_cast<int32_t>(outputPin()->currentMediaType().lSampleSize));
  HRESULT hr = allocator.SetProperties(want, actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
}

HRESULT ColorSpaceConverter::StartStreaming() {
  const MediaType& in = inputPin()->currentMediaType();
  auto bmi = in.bitmapHeader();
  ready_ = bmi && conversion_.configure(in.subtype, bmi->biBitCount, bmi->biWidth, bmi->biHeight);
  return ready_ ? S_OK : E_UNEXPECTED;
}

HRESULT ColorSpaceConverter::Transform(MediaSample& in, MediaSample& out) {
  if (!ready_) return S_FALSE;
  if (!conversion_.convert(in.data(), static_cast<size_t>(in.GetActualDataLength()), out.data(),
                           static_cast<size_t>(out.GetSize())))
    return S_FALSE;
  out.SetActualDataLength(static_cast<int32_t>(conversion_.outputSize()));
  out.SetMediaType(nullptr);
  return S_OK;
}

}  // namespace vistrel::platform::media
