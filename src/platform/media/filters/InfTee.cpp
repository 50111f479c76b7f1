#include "platform/media/filters/InfTee.h"

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::platform::media {

namespace {
class TeeInput : public BaseInputPin {
 public:
  explicit TeeInput(InfTee* f) : BaseInputPin(f, QStringLiteral("Input")), tee_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    // With branches connected, a new input type must be the one they carry.
    for (int i = 1; i < tee_->pinCount(); ++i) {
      BasePin* p = tee_->pin(i);
      if (p->isConnected() && !(p->currentMediaType() == type)) return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return tee_->deliverToBranches(sample);
  }

 private:
  InfTee* tee_;
};

class TeeOutput : public BaseOutputPin {
 public:
  TeeOutput(InfTee* f, int number) : BaseOutputPin(f, QStringLiteral("Output%1").arg(number)), tee_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    const MediaType* in = filter_ ? tee_->inputType() : nullptr;
    if (!in) return VFW_E_NOT_CONNECTED;
    return *in == type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    const MediaType* in = filter_ ? tee_->inputType() : nullptr;
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || !in) return VFW_S_NO_MORE_ITEMS;
    type = *in;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES&) override {
    // The tee never allocates: branches get the upstream buffer.
    ALLOCATOR_PROPERTIES actual;
    return allocator.SetProperties(ALLOCATOR_PROPERTIES{1, 1, 1, 0}, actual);
  }

 private:
  InfTee* tee_;
};
}  // namespace

InfTee::InfTee() : BaseFilter(CLSID_InfTee, QStringLiteral("Infinite Pin Tee Filter")) {
  addPin(std::make_shared<TeeInput>(this));
  addSpare();
}

std::shared_ptr<IBaseFilter> InfTee::create() { return std::make_shared<InfTee>(); }

const MediaType* InfTee::inputType() const {
  BasePin* in = pin(0);
  return in && in->isConnected() ? &in->currentMediaType() : nullptr;
}

void InfTee::addSpare() { addPin(std::make_shared<TeeOutput>(this, nextOutputNumber_++)); }

void InfTee::trimSpares() {
  // Keep exactly one unconnected output at the end.
  while (pinCount() > 2 && !pin(pinCount() - 1)->isConnected() && !pin(pinCount() - 2)->isConnected())
    removePin(pin(pinCount() - 1));
  if (pinCount() < 2 || pin(pinCount() - 1)->isConnected()) addSpare();
}

void InfTee::pinConnected(BasePin& p) {
  if (p.direction() == PINDIR_OUTPUT && &p == pin(pinCount() - 1)) addSpare();
}

void InfTee::pinDisconnected(BasePin& p) {
  if (p.direction() == PINDIR_OUTPUT) trimSpares();
}

HRESULT InfTee::deliverToBranches(const std::shared_ptr<MediaSample>& sample) {
  // Pins change only while stopped, so the list is stable on the streaming thread.
  const int n = pinCount();
  for (int i = 1; i < n; ++i) {
    auto* out = static_cast<BaseOutputPin*>(pin(i));
    if (!out->isConnected()) continue;
    out->Deliver(sample->shareBuffer());  // one branch's refusal never starves the others
  }
  return S_OK;
}

}  // namespace vistrel::platform::media
