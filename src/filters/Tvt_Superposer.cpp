#include "filters/Tvt_Superposer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/media/MemAllocator.h"

namespace vistrel::filters {

using namespace platform::media;

Tvt_Superposer::Tvt_Superposer()
    : TransformFilter(CLSID_vt_Superposer, QStringLiteral("Orbano vt_Superposer")) {}

HRESULT Tvt_Superposer::CheckInputType(const MediaType& in) {
  if (in.majortype != MEDIATYPE_Video || in.subtype != MEDIASUBTYPE_RGB24 || !in.bitmapHeader())
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT Tvt_Superposer::CheckTransform(const MediaType& in, const MediaType& out) {
  return in.majortype == out.majortype && in.subtype == out.subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Tvt_Superposer::DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) {
  ALLOCATOR_PROPERTIES wanted;
  const std::shared_ptr<MemAllocator>& input = inputPin()->allocator();
  if (input) input->GetProperties(wanted);
  wanted.cBuffers = std::max(wanted.cBuffers, 1);
  wanted.cbBuffer = std::max(wanted.cbBuffer, 1);
  wanted.cbAlign = std::max(request.cbAlign, 1);
  wanted.cbPrefix = request.cbPrefix;
  ALLOCATOR_PROPERTIES actual;
  const HRESULT hr = allocator.SetProperties(wanted, actual);
  if (FAILED(hr)) return hr;
  if (actual.cBuffers < wanted.cBuffers || actual.cbBuffer < wanted.cbBuffer ||
      actual.cbAlign < wanted.cbAlign)
    return E_FAIL;
  return S_OK;
}

HRESULT Tvt_Superposer::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  type = inputPin()->currentMediaType();
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  if (const auto header = type.bitmapHeader()) {
    const int64_t absHeight =
        header->biHeight < 0 ? -static_cast<int64_t>(header->biHeight) : header->biHeight;
    const auto size = static_cast<uint32_t>(static_cast<int64_t>(header->biWidth) * absHeight * 3);
    const size_t offset = type.formattype == FORMAT_VideoInfo2 ? offsetof(VIDEOINFOHEADER2, bmiHeader)
                                                               : offsetof(VIDEOINFOHEADER, bmiHeader);
    std::memcpy(type.format.data() + offset + offsetof(BITMAPINFOHEADER, biSizeImage), &size, sizeof size);
    type.lSampleSize = size;
  }
  return S_OK;
}

HRESULT Tvt_Superposer::StartStreaming() {
  const MediaType& type = inputPin()->currentMediaType();
  const auto header = type.bitmapHeader();
  return processing_.StartStreaming(header ? &*header : nullptr) ? S_OK : S_FALSE;
}

HRESULT Tvt_Superposer::Transform(MediaSample& in, MediaSample& out) {
  REFERENCE_TIME start = 0, stop = 0;
  if (FAILED(in.GetTime(&start, &stop))) start = 0;
  const int32_t inLength = std::clamp(in.GetActualDataLength(), 0, in.GetSize());
  int32_t length = 0;
  const auto result =
      processing_.ProcessFrame(std::span<const uint8_t>(in.data(), static_cast<size_t>(inLength)), start,
                               std::span<uint8_t>(out.data(), static_cast<size_t>(out.GetSize())), length);
  if (result == SuperposerProcessor::FrameResult::Drop) return S_FALSE;
  out.SetActualDataLength(length);
  return S_OK;
}

}  // namespace vistrel::filters
