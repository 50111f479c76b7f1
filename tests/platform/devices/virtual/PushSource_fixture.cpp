#include "platform/devices/virtual/PushSource.h"

#include <cstring>

namespace vistrel::testing {

using namespace vistrel::platform::media;

namespace {
class PushPin : public BaseOutputPin {
 public:
  PushPin(BaseFilter* f, MediaType type, int32_t size)
      : BaseOutputPin(f, QStringLiteral("Out")), type_(std::move(type)), size_(size) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type == type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = std::max(want.cBuffers, 2);
    want.cbBuffer = std::max(want.cbBuffer, size_);
    want.cbAlign = std::max(want.cbAlign, 1);
    return allocator.SetProperties(want, actual);
  }

 private:
  MediaType type_;
  int32_t size_;
};
}  // namespace

PushSource::PushSource(MediaType type, int32_t bufferSize)
    : BaseFilter(GUID_NULL, QStringLiteral("Push Source")) {
  addPin(std::make_shared<PushPin>(this, std::move(type), bufferSize));
}

std::shared_ptr<PushSource> makePushSource(const MediaType& type) {
  return std::make_shared<PushSource>(type);
}

HRESULT PushSource::push(const std::vector<uint8_t>& bytes, REFERENCE_TIME start) {
  auto* out = static_cast<PushPin*>(pin(0));
  std::shared_ptr<MediaSample> sample;
  HRESULT hr = out->GetDeliveryBuffer(sample);
  if (FAILED(hr)) return hr;
  if (sample->GetSize() < static_cast<int32_t>(bytes.size())) return E_INVALIDARG;
  std::memcpy(sample->data(), bytes.data(), bytes.size());
  sample->SetActualDataLength(static_cast<int32_t>(bytes.size()));
  if (start >= 0) {
    REFERENCE_TIME stop = start + 400000;
    sample->SetTime(&start, &stop);
  }
  return out->Deliver(sample);
}

}  // namespace vistrel::testing
