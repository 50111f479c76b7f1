#include "platform/media/TransformFilter.h"

namespace vistrel::platform::media {

namespace {
class TransformInput : public BaseInputPin {
 public:
  explicit TransformInput(TransformFilter* f) : BaseInputPin(f, QStringLiteral("XForm In")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    HRESULT hr = owner_->CheckInputType(type);
    if (hr != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    // With the output already connected, the new input must still transform into its type.
    BaseOutputPin* out = owner_->outputPin();
    if (out && out->isConnected() && owner_->CheckTransform(type, out->currentMediaType()) != S_OK)
      return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
  }
  HRESULT SetMediaType(const MediaType& type) override {
    BasePin::SetMediaType(type);
    return filter_ ? owner_->SetMediaType(PINDIR_INPUT, type) : S_OK;
  }
  HRESULT CompleteConnect(const std::shared_ptr<IPin>& peer) override {
    return filter_ ? owner_->CompleteConnect(PINDIR_INPUT, peer) : S_OK;
  }
  HRESULT BreakConnect() override {
    if (filter_) owner_->BreakConnect(PINDIR_INPUT);
    return BaseInputPin::BreakConnect();
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return owner_->Receive(sample);
  }

 private:
  TransformFilter* owner_;
};

class TransformOutput : public BaseOutputPin {
 public:
  explicit TransformOutput(TransformFilter* f) : BaseOutputPin(f, QStringLiteral("XForm Out")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    BaseInputPin* in = owner_->inputPin();
    if (!in || !in->isConnected()) return VFW_E_NOT_CONNECTED;
    return owner_->CheckTransform(in->currentMediaType(), type) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    BaseInputPin* in = owner_->inputPin();
    if (!in || !in->isConnected()) return VFW_S_NO_MORE_ITEMS;
    return owner_->GetMediaType(position, type);
  }
  HRESULT SetMediaType(const MediaType& type) override {
    BasePin::SetMediaType(type);
    return filter_ ? owner_->SetMediaType(PINDIR_OUTPUT, type) : S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    return filter_ ? owner_->DecideBufferSize(allocator, request) : VFW_E_NEED_OWNER;
  }
  HRESULT CompleteConnect(const std::shared_ptr<IPin>& peer) override {
    HRESULT hr = BaseOutputPin::CompleteConnect(peer);
    if (FAILED(hr)) return hr;
    return filter_ ? owner_->CompleteConnect(PINDIR_OUTPUT, peer) : S_OK;
  }
  HRESULT BreakConnect() override {
    if (filter_) owner_->BreakConnect(PINDIR_OUTPUT);
    return BaseOutputPin::BreakConnect();
  }

 private:
  TransformFilter* owner_;
};
}  // namespace

TransformFilter::TransformFilter(const GUID& clsid, QString name) : BaseFilter(clsid, std::move(name)) {
  addPin(std::make_shared<TransformInput>(this));
  addPin(std::make_shared<TransformOutput>(this));
}

BaseInputPin* TransformFilter::inputPin() const { return static_cast<BaseInputPin*>(pin(0)); }
BaseOutputPin* TransformFilter::outputPin() const { return static_cast<BaseOutputPin*>(pin(1)); }

HRESULT TransformFilter::Receive(const std::shared_ptr<MediaSample>& in) {
  BaseOutputPin* out = outputPin();
  if (!out->isConnected()) return S_OK;  // nothing downstream: the sample ends here
  std::shared_ptr<MediaSample> sample;
  HRESULT hr = out->GetDeliveryBuffer(sample);
  if (FAILED(hr)) return hr == VFW_E_NOT_COMMITTED ? S_FALSE : hr;
  sample->copyPropertiesFrom(*in);
  hr = Transform(*in, *sample);
  if (hr == S_FALSE) return S_OK;
  if (FAILED(hr)) {
    NotifyEvent(GraphEvent{EC_ERRORABORT, hr, 0, nullptr});
    return hr;
  }
  return out->Deliver(sample);
}

}  // namespace vistrel::platform::media
