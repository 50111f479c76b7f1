#include "filters/TVT_Resizer.h"

#include <algorithm>

namespace vistrel::filters {

using namespace platform::media;

TVT_Resizer::TVT_Resizer() : TransformFilter(CLSID_vt_Resizer, QStringLiteral("Orbano Resizer")) {}

HRESULT TVT_Resizer::CheckInputType(const MediaType& in) {
  if (in.majortype != MEDIATYPE_Video || in.subtype != MEDIASUBTYPE_RGB24 ||
      in.formattype != FORMAT_VideoInfo)
    return VFW_E_TYPE_NOT_ACCEPTED;
  // A short format block, an empty picture or another pixel size cannot be scaled.
  const auto info = in.videoInfo();
  if (!info || info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0 ||
      info->bmiHeader.biHeight == INT32_MIN || info->bmiHeader.biBitCount != 24)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TVT_Resizer::CheckTransform(const MediaType& in, const MediaType& out) {
  return in.majortype == out.majortype && in.subtype == out.subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TVT_Resizer::DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) {
  ALLOCATOR_PROPERTIES input;
  if (BaseInputPin* pin = inputPin(); pin && pin->allocator()) pin->allocator()->GetProperties(input);
  ALLOCATOR_PROPERTIES want = request;
  want.cBuffers = std::max(want.cBuffers, 1);
  want.cbAlign = std::max(want.cbAlign, 1);
  // The input's size always holds a reduced picture; the output picture's own size covers the
  // default target when no mode was set and the input is smaller than it.
  const int32_t needed = std::max(input.cbBuffer, static_cast<int32_t>(processing_.OutputImageBytes()));
  want.cbBuffer = std::max(want.cbBuffer, needed);
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator.SetProperties(want, actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < needed ? E_FAIL : S_OK;
}

MediaType TVT_Resizer::outputTypeFor(const MediaType& in) const {
  MediaType out = in;
  out.majortype = MEDIATYPE_Video;
  out.subtype = MEDIASUBTYPE_RGB24;
  auto info = in.videoInfo();
  if (!info || !processing_.ResizeNeeded()) return out;
  const PictureSize target = processing_.Target();
  info->rcSource.right = target.width;
  info->rcTarget.right = target.width;
  info->bmiHeader.biWidth = target.width;
  info->rcSource.bottom = target.height;
  info->rcTarget.bottom = target.height;
  info->bmiHeader.biHeight = target.height;  // written bottom-up
  info->bmiHeader.biSizeImage = processing_.OutputImageBytes();
  // Keep any bytes that follow the header in the block (palette, masks).
  std::copy_n(reinterpret_cast<const uint8_t*>(&*info), sizeof(VIDEOINFOHEADER), out.format.begin());
  out.lSampleSize = info->bmiHeader.biSizeImage;
  return out;
}

HRESULT TVT_Resizer::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  BaseInputPin* in = inputPin();
  if (!in || !in->isConnected()) return E_UNEXPECTED;
  type = outputTypeFor(in->currentMediaType());
  return S_OK;
}

HRESULT TVT_Resizer::SetMediaType(PIN_DIRECTION direction, const MediaType& type) {
  if (direction == PINDIR_OUTPUT) {
    output_ = type;
    return S_OK;
  }
  input_ = type;
  const auto info = type.videoInfo();
  if (!info || !processing_.SetInputSize(info->bmiHeader.biWidth, info->bmiHeader.biHeight))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TVT_Resizer::Transform(MediaSample& in, MediaSample& out) {
  // A changed input type: scale from its size, and tell downstream the type of what it gets now
  // (the input's own type describes the input, not the output).
  std::optional<MediaType> changed;
  out.SetMediaType(nullptr);
  if (in.GetMediaType(changed) == S_OK && changed) {
    if (CheckInputType(*changed) != S_OK || SetMediaType(PINDIR_INPUT, *changed) != S_OK) return S_FALSE;
    const MediaType derived = outputTypeFor(*changed);
    output_ = derived;
    out.SetMediaType(&derived);
  }
  const std::span<const uint8_t> source(in.data(), static_cast<size_t>(in.GetActualDataLength()));
  const std::span<uint8_t> target(out.data(), static_cast<size_t>(out.GetSize()));
  const int32_t length = processing_.Process(source, target);
  if (length < 0) return S_FALSE;
  return out.SetActualDataLength(length) == S_OK ? S_OK : S_FALSE;
}

}  // namespace vistrel::filters
