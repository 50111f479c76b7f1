#include "platform/media/filters/DvVideoDecoder.h"

namespace vistrel::platform::media {

DvVideoDecoder::DvVideoDecoder() : TransformFilter(CLSID_DVVideoCodec, QStringLiteral("DV Video Decoder")) {}

std::shared_ptr<IBaseFilter> DvVideoDecoder::create() { return std::make_shared<DvVideoDecoder>(); }

HRESULT DvVideoDecoder::put_IPDisplay(int displayPix) {
  if (displayPix != DVRESOLUTION_FULL && displayPix != DVRESOLUTION_HALF) return E_INVALIDARG;
  display_ = displayPix;
  return S_OK;
}

HRESULT DvVideoDecoder::get_IPDisplay(int* displayPix) {
  if (!displayPix) return E_POINTER;
  *displayPix = display_;
  return S_OK;
}

HRESULT DvVideoDecoder::CheckInputType(const MediaType& in) {
  if (in.majortype != MEDIATYPE_Video || in.subtype != MEDIASUBTYPE_dvsd) return VFW_E_TYPE_NOT_ACCEPTED;
  const auto bmi = in.bitmapHeader();
  if (!bmi ||
      (bmi->biHeight != 576 && bmi->biHeight != 480 && bmi->biHeight != -576 && bmi->biHeight != -480))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

bool DvVideoDecoder::outputSize(int& width, int& height) const {
  const auto bmi = inputPin()->currentMediaType().bitmapHeader();
  if (!bmi) return false;
  const bool half = display_ == DVRESOLUTION_HALF;
  width = half ? 360 : 720;
  height = (bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight) / (half ? 2 : 1);
  return true;
}

HRESULT DvVideoDecoder::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  int width = 0, height = 0;
  if (position > 0 || !inputPin()->isConnected() || !outputSize(width, height)) return VFW_S_NO_MORE_ITEMS;
  type = MediaType::rgb24(width, height, inputPin()->currentMediaType().averageTimePerFrame());
  return S_OK;
}

HRESULT DvVideoDecoder::CheckTransform(const MediaType& in, const MediaType& out) {
  if (FAILED(CheckInputType(in)) || out.majortype != MEDIATYPE_Video || out.subtype != MEDIASUBTYPE_RGB24)
    return VFW_E_TYPE_NOT_ACCEPTED;
  int width = 0, height = 0;
  const auto bmi = out.bitmapHeader();
  if (!bmi || !outputSize(width, height)) return VFW_E_TYPE_NOT_ACCEPTED;
  return bmi->biWidth == width && bmi->biHeight == height ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DvVideoDecoder::DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) {
  int width = 0, height = 0;
  if (!outputSize(width, height)) return E_UNEXPECTED;
  request.cBuffers = std::max<int32_t>(request.cBuffers, 3);
  request.cbBuffer = static_cast<int32_t>(dibRowBytes(width, 24)) * height;
  ALLOCATOR_PROPERTIES actual;
  const HRESULT hr = allocator.SetProperties(request, actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request.cbBuffer ? E_FAIL : S_OK;
}

HRESULT DvVideoDecoder::Transform(MediaSample& in, MediaSample& out) {
  const auto bmi = outputPin()->currentMediaType().bitmapHeader();
  if (!bmi) return E_UNEXPECTED;
  const int stride = static_cast<int>(dibRowBytes(bmi->biWidth, 24));
  const int32_t bytes = stride * bmi->biHeight;
  const int32_t length = std::max(0, in.GetActualDataLength());
  if (out.GetSize() < bytes ||
      !decoder_.decode(
          std::span<const uint8_t>(in.data(), static_cast<size_t>(std::min(length, in.GetSize()))),
          out.data(), bmi->biWidth, bmi->biHeight, stride)) {
    ++dropped_;
    return S_FALSE;
  }
  out.SetActualDataLength(bytes);
  out.SetSyncPoint(true);
  return S_OK;
}

}  // namespace vistrel::platform::media
