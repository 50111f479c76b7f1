#include "platform/media/BaseInputPin.h"

#include "platform/media/BaseFilter.h"

namespace vistrel::platform::media {

BaseInputPin::BaseInputPin(BaseFilter* filter, QString name, const GUID& category)
    : BasePin(filter, PINDIR_INPUT, std::move(name), category) {}

HRESULT BaseInputPin::Connect(const std::shared_ptr<IPin>&, const MediaType*) {
  return VFW_E_INVALID_DIRECTION;
}

HRESULT BaseInputPin::ReceiveConnection(const std::shared_ptr<IPin>& connector, const MediaType& type) {
  if (!connector) return E_POINTER;
  if (!filter_) return VFW_E_NEED_OWNER;
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!filterStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (FAILED(hr)) return hr;
  if (type.isPartial() || CheckMediaType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  hr = SetMediaType(type);
  if (FAILED(hr)) return hr;
  setConnected(connector, type);
  hr = CompleteConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    peer_.reset();
    connected_ = false;
    mt_ = MediaType();
    return hr;
  }
  filter_->pinConnected(*this);
  return S_OK;
}

HRESULT BaseInputPin::GetAllocator(std::shared_ptr<MemAllocator>& allocator) {
  if (!allocator_) allocator_ = std::make_shared<MemAllocator>();
  allocator = allocator_;
  return S_OK;
}

HRESULT BaseInputPin::NotifyAllocator(const std::shared_ptr<MemAllocator>& allocator, bool readOnly) {
  if (!allocator) return E_POINTER;
  allocator_ = allocator;
  readOnly_ = readOnly;
  return S_OK;
}

HRESULT BaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES&) { return E_NOTIMPL; }

HRESULT BaseInputPin::Receive(const std::shared_ptr<MediaSample>& sample) {
  if (!sample) return E_POINTER;
  BaseFilter* f = filter_;
  if (!f || !connected_) return VFW_E_NOT_CONNECTED;
  if (f->state() == State_Stopped) return VFW_E_WRONG_STATE;
  return receiveSample(sample);
}

HRESULT BaseInputPin::BreakConnect() {
  allocator_.reset();
  readOnly_ = false;
  return S_OK;
}

}  // namespace vistrel::platform::media
