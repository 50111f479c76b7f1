#include "filters/Tvt_WaveDest.h"

#include <algorithm>
#include <cstring>

#include "platform/media/IStream.h"

namespace vistrel::filters {

using namespace platform::media;

namespace {

// A wave format block shorter than the basic PCM structure would give a file no reader opens.
constexpr uint32_t kMinimumFormatBytes = 16;

MediaType waveFileType() {
  MediaType type(MEDIATYPE_Stream, MEDIASUBTYPE_WAVE, FORMAT_None);
  type.bFixedSizeSamples = false;
  return type;
}

}  // namespace

Tvt_WaveDest::Tvt_WaveDest() : TransformFilter(CLSID_WavDest, QStringLiteral("WavDest filter")) {}

HRESULT Tvt_WaveDest::CheckInputType(const MediaType& in) {
  return in.formattype == FORMAT_WaveFormatEx && in.cbFormat() >= kMinimumFormatBytes ? S_OK : S_FALSE;
}

HRESULT Tvt_WaveDest::CheckTransform(const MediaType& in, const MediaType& out) {
  if (CheckInputType(in) != S_OK) return S_FALSE;
  return out.majortype == MEDIATYPE_Stream && out.subtype == MEDIASUBTYPE_WAVE ? S_OK : S_FALSE;
}

HRESULT Tvt_WaveDest::DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) {
  ALLOCATOR_PROPERTIES input;
  if (BaseInputPin* pin = inputPin(); pin && pin->allocator()) pin->allocator()->GetProperties(input);
  ALLOCATOR_PROPERTIES want = request;
  want.cBuffers = 1;
  want.cbAlign = 1;
  // A pass-through filter upstream (a time-stamper) hands on its source's larger samples over a
  // token pool: one second of sound is room for any block.
  int32_t second = 0;
  if (BaseInputPin* pin = inputPin(); pin && pin->isConnected())
    if (const auto wf = pin->currentMediaType().waveFormat())
      second = static_cast<int32_t>(wf->nAvgBytesPerSec);
  want.cbBuffer = std::max({input.cbBuffer, second, 1});
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator.SetProperties(want, actual);
  if (FAILED(hr)) return hr;
  return actual.cBuffers < want.cBuffers || actual.cbBuffer < want.cbBuffer ? E_FAIL : S_OK;
}

HRESULT Tvt_WaveDest::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  type = waveFileType();
  return S_OK;
}

HRESULT Tvt_WaveDest::StartStreaming() {
  const MediaType& in = inputPin()->currentMediaType();
  placer_.Start(std::span<const uint8_t>(in.format.data(), in.format.size()));
  return S_OK;
}

HRESULT Tvt_WaveDest::Receive(const std::shared_ptr<MediaSample>& sample) {
  const uint32_t before = placer_.DataBytes();
  const HRESULT hr = TransformFilter::Receive(sample);
  if (hr != S_OK) placer_.Restore(before);
  return hr;
}

HRESULT Tvt_WaveDest::Transform(MediaSample& in, MediaSample& out) {
  const int32_t length = in.GetActualDataLength();
  if (length > out.GetSize()) return E_FAIL;
  std::memcpy(out.data(), in.data(), static_cast<size_t>(length));
  out.SetActualDataLength(length);
  const auto place = placer_.Place(length);
  if (!place) return E_FAIL;  // the file would pass 4 GiB
  REFERENCE_TIME start = place->start, stop = place->stop;
  out.SetTime(&start, &stop);
  return S_OK;
}

HRESULT Tvt_WaveDest::StopStreaming() {
  BaseOutputPin* out = outputPin();
  const std::shared_ptr<IPin> peer = out ? out->peer() : nullptr;
  if (!peer) return headerResult_ = E_FAIL;
  const auto stream = interfaceOf<IStream>(peer);
  if (!stream) return headerResult_ = E_NOINTERFACE;
  const std::vector<uint8_t> header = placer_.Header();
  HRESULT hr = stream->Seek(0, STREAM_SEEK_SET, nullptr);
  uint32_t written = 0;
  if (SUCCEEDED(hr)) hr = stream->Write(header.data(), static_cast<uint32_t>(header.size()), &written);
  if (SUCCEEDED(hr) && written != header.size()) hr = E_FAIL;
  return headerResult_ = hr;
}

}  // namespace vistrel::filters
