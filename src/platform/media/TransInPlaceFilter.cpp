#include "platform/media/TransInPlaceFilter.h"

#include <algorithm>
#include <cstring>

namespace vistrel::platform::media {

namespace {
class InPlaceInput : public BaseInputPin {
 public:
  explicit InPlaceInput(TransInPlaceFilter* f) : BaseInputPin(f, QStringLiteral("Input")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    if (owner_->CheckInputType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    BaseOutputPin* out = owner_->outputPin();
    if (out && out->isConnected() && !(out->currentMediaType() == type)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    // Unconnected, the input proposes what the output's peer takes (the same type passes).
    BaseOutputPin* out = filter_ ? owner_->outputPin() : nullptr;
    if (position == 0 && out && out->isConnected()) {
      type = out->currentMediaType();
      return S_OK;
    }
    return VFW_S_NO_MORE_ITEMS;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return owner_->Receive(sample);
  }

 private:
  TransInPlaceFilter* owner_;
};

class InPlaceOutput : public BaseOutputPin {
 public:
  explicit InPlaceOutput(TransInPlaceFilter* f) : BaseOutputPin(f, QStringLiteral("Output")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    BaseInputPin* in = owner_->inputPin();
    if (!in || !in->isConnected()) return VFW_E_NOT_CONNECTED;
    return in->currentMediaType() == type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    BaseInputPin* in = filter_ ? owner_->inputPin() : nullptr;
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || !in || !in->isConnected()) return VFW_S_NO_MORE_ITEMS;
    type = in->currentMediaType();
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    // Used only for writable copies: buffers the size of the input's, and a token pool for a
    // filter that never copies.
    ALLOCATOR_PROPERTIES in;
    BaseInputPin* input = owner_->inputPin();
    if (input && input->allocator()) input->allocator()->GetProperties(in);
    ALLOCATOR_PROPERTIES want = request;
    want.cBuffers = want.cBuffers > 0 ? want.cBuffers : 2;
    const int32_t size = std::max(in.cbBuffer, static_cast<int32_t>(currentMediaType().lSampleSize));
    if (want.cbBuffer < size) want.cbBuffer = size;
    if (want.cbBuffer <= 0) want.cbBuffer = 1;
    if (!owner_->modifiesData()) want = ALLOCATOR_PROPERTIES{1, 1, 1, 0};
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
  }

 private:
  TransInPlaceFilter* owner_;
};
}  // namespace

TransInPlaceFilter::TransInPlaceFilter(const GUID& clsid, QString name, bool modifiesData)
    : BaseFilter(clsid, std::move(name)), modifiesData_(modifiesData) {
  addPin(std::make_shared<InPlaceInput>(this));
  addPin(std::make_shared<InPlaceOutput>(this));
}

BaseInputPin* TransInPlaceFilter::inputPin() const { return static_cast<BaseInputPin*>(pin(0)); }
BaseOutputPin* TransInPlaceFilter::outputPin() const { return static_cast<BaseOutputPin*>(pin(1)); }

HRESULT TransInPlaceFilter::Receive(const std::shared_ptr<MediaSample>& in) {
  std::shared_ptr<MediaSample> sample = in;
  if (modifiesData_ && (in->isBufferShared() || inputPin()->readOnly())) {
    // Another branch sees this buffer: modify a private copy instead.
    std::shared_ptr<MediaSample> copy;
    HRESULT hr = outputPin()->GetDeliveryBuffer(copy);
    if (FAILED(hr) || copy->GetSize() < in->GetActualDataLength())
      copy = MediaSample::create(in->GetActualDataLength());
    std::memcpy(copy->data(), in->data(), static_cast<size_t>(in->GetActualDataLength()));
    copy->copyPropertiesFrom(*in);
    sample = std::move(copy);
  }
  HRESULT hr = Transform(*sample);
  if (hr == S_FALSE) return S_OK;
  if (FAILED(hr)) {
    NotifyEvent(GraphEvent{EC_ERRORABORT, hr, 0, nullptr});
    return hr;
  }
  if (!outputPin()->isConnected()) return S_OK;
  return outputPin()->Deliver(sample);
}

}  // namespace vistrel::platform::media
