#include "platform/media/filters/EncoderFilter.h"

#include <algorithm>
#include <cstring>

namespace vistrel::platform::media {

class EncoderInputPin : public BaseInputPin {
 public:
  EncoderInputPin(EncoderFilter* f, QString name) : BaseInputPin(f, std::move(name)), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    return owner_->checkInputType(type) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return owner_->receive(sample);
  }

 private:
  EncoderFilter* owner_;
};

namespace {
class EncoderOutputPin : public BaseOutputPin {
 public:
  EncoderOutputPin(EncoderFilter* f, QString name) : BaseOutputPin(f, std::move(name)), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    if (!owner_->inputPin()->isConnected()) return VFW_E_NOT_CONNECTED;
    for (int i = 0;; ++i) {
      MediaType t;
      if (owner_->outputType(i, t) != S_OK) break;
      if (type == t) return S_OK;
    }
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (!filter_ || !owner_->inputPin()->isConnected()) return VFW_S_NO_MORE_ITEMS;
    return owner_->outputType(position, type);
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    request.cBuffers = std::max(request.cBuffers, 8);
    request.cbBuffer = std::max(request.cbBuffer, owner_->outputBufferSize());
    request.cbAlign = std::max(request.cbAlign, 1);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator.SetProperties(request, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= request.cbBuffer && actual.cBuffers >= 1 ? S_OK : E_FAIL;
  }

 private:
  EncoderFilter* owner_;
};
}  // namespace

EncoderFilter::EncoderFilter(const GUID& clsid, QString name, QString inputName, QString outputName)
    : BaseFilter(clsid, std::move(name)) {
  addPin(std::make_shared<EncoderInputPin>(this, std::move(inputName)));
  addPin(std::make_shared<EncoderOutputPin>(this, std::move(outputName)));
}

BaseInputPin* EncoderFilter::inputPin() const { return static_cast<BaseInputPin*>(pin(0)); }
BaseOutputPin* EncoderFilter::outputPin() const { return static_cast<BaseOutputPin*>(pin(1)); }

void EncoderFilter::pinConnected(BasePin& p) {
  if (&p == pin(0)) inputChanged();
}

void EncoderFilter::pinDisconnected(BasePin& p) {
  if (&p == pin(0)) inputChanged();
}

HRESULT EncoderFilter::onPause() {
  std::lock_guard g(streamLock_);
  flushed_ = false;
  streaming_ = false;
  if (!inputPin()->isConnected()) return S_OK;
  HRESULT hr = startEncoding();
  if (FAILED(hr)) return hr;
  streaming_ = true;
  return S_OK;
}

HRESULT EncoderFilter::onStop() {
  std::lock_guard g(streamLock_);
  if (streaming_) stopEncoding();
  streaming_ = false;
  return S_OK;
}

void EncoderFilter::haltStreaming() {
  std::lock_guard g(streamLock_);
  if (streaming_ && !flushed_ && state() != State_Stopped) flush();
  flushed_ = true;
}

HRESULT EncoderFilter::receive(const std::shared_ptr<MediaSample>& sample) {
  std::lock_guard g(streamLock_);
  if (!streaming_ || flushed_) return S_OK;  // the codec is closed or already flushed: dropped
  return encode(*sample);
}

HRESULT EncoderFilter::deliver(const uint8_t* data, size_t size, const REFERENCE_TIME* start,
                               const REFERENCE_TIME* stop, bool sync) {
  BaseOutputPin* out = outputPin();
  if (!out->isConnected()) return S_OK;
  std::shared_ptr<MediaSample> sample;
  HRESULT hr = out->GetDeliveryBuffer(sample);
  if (FAILED(hr)) return hr == VFW_E_NOT_COMMITTED ? S_FALSE : hr;
  if (size > static_cast<size_t>(sample->GetSize())) return VFW_E_BUFFER_OVERFLOW;
  std::memcpy(sample->data(), data, size);
  sample->SetActualDataLength(static_cast<int32_t>(size));
  sample->SetTime(start, start ? stop : nullptr);
  sample->SetSyncPoint(sync);
  return out->Deliver(sample);
}

}  // namespace vistrel::platform::media
