#include "platform/media/BaseOutputPin.h"

#include "platform/media/BaseFilter.h"
#include "platform/media/IFilterGraph.h"

namespace vistrel::platform::media {

BaseOutputPin::BaseOutputPin(BaseFilter* filter, QString name, const GUID& category)
    : BasePin(filter, PINDIR_OUTPUT, std::move(name), category) {}

namespace {
std::shared_ptr<IFilterGraph> graphOf(const std::shared_ptr<IPin>& pin) {
  PIN_INFO info;
  if (FAILED(pin->QueryPinInfo(info)) || !info.pFilter) return nullptr;
  FILTER_INFO fi;
  info.pFilter->QueryFilterInfo(fi);
  return fi.pGraph;
}

bool stopped(const std::shared_ptr<IPin>& pin) {
  PIN_INFO info;
  if (FAILED(pin->QueryPinInfo(info)) || !info.pFilter) return true;
  FILTER_STATE s = State_Stopped;
  info.pFilter->GetState(0, s);
  return s == State_Stopped;
}
}  // namespace

HRESULT BaseOutputPin::Connect(const std::shared_ptr<IPin>& receivePin, const MediaType* type) {
  if (!receivePin) return E_POINTER;
  if (!filter_) return VFW_E_NEED_OWNER;
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  std::shared_ptr<IPin> other;
  if (SUCCEEDED(receivePin->ConnectedTo(other))) return VFW_E_ALREADY_CONNECTED;
  PIN_DIRECTION d;
  receivePin->QueryDirection(d);
  if (d != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  auto graph = filter_->graph();
  if (!graph || graph != graphOf(receivePin)) return VFW_E_NOT_IN_GRAPH;
  if (filter_->state() != State_Stopped || !stopped(receivePin)) return VFW_E_NOT_STOPPED;

  if (type && !type->isPartial()) return attemptConnection(receivePin, *type);

  // The receiving pin's preferences first, then ours; partial candidates cannot be connected.
  std::shared_ptr<IEnumMediaTypes> theirs;
  if (SUCCEEDED(receivePin->EnumMediaTypes(theirs)) && theirs) {
    for (const MediaType& t : theirs->all()) {
      if (t.isPartial() || (type && !t.matches(*type))) continue;
      if (attemptConnection(receivePin, t) == S_OK) return S_OK;
    }
  }
  for (int i = 0;; ++i) {
    MediaType t;
    if (GetMediaType(i, t) != S_OK) break;
    if (t.isPartial() || (type && !t.matches(*type))) continue;
    if (attemptConnection(receivePin, t) == S_OK) return S_OK;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT BaseOutputPin::attemptConnection(const std::shared_ptr<IPin>& receivePin, const MediaType& type) {
  HRESULT hr = CheckConnect(receivePin);
  if (FAILED(hr)) return hr;
  if (CheckMediaType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  input_ = std::dynamic_pointer_cast<IMemInputPin>(receivePin);
  if (!input_) return E_NOINTERFACE;
  SetMediaType(type);
  setConnected(receivePin, type);
  hr = receivePin->ReceiveConnection(self(), type);
  if (hr == S_OK) hr = CompleteConnect(receivePin);
  if (hr != S_OK) {
    std::shared_ptr<IPin> check;
    if (SUCCEEDED(receivePin->ConnectedTo(check))) receivePin->Disconnect();
    BreakConnect();
    peer_.reset();
    connected_ = false;
    mt_ = MediaType();
    return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
  }
  if (filter_) filter_->pinConnected(*this);
  return S_OK;
}

HRESULT BaseOutputPin::ReceiveConnection(const std::shared_ptr<IPin>&, const MediaType&) {
  return E_UNEXPECTED;
}

HRESULT BaseOutputPin::CompleteConnect(const std::shared_ptr<IPin>&) {
  if (!input_) return E_NOINTERFACE;
  ALLOCATOR_PROPERTIES request;
  input_->GetAllocatorRequirements(request);
  std::shared_ptr<MemAllocator> alloc;
  if (FAILED(input_->GetAllocator(alloc)) || !alloc) alloc = std::make_shared<MemAllocator>();
  HRESULT hr = DecideBufferSize(*alloc, request);
  if (FAILED(hr)) return hr;
  hr = input_->NotifyAllocator(alloc, false);
  if (FAILED(hr)) return hr;
  allocator_ = alloc;
  return S_OK;
}

HRESULT BaseOutputPin::BreakConnect() {
  if (allocator_) allocator_->Decommit();
  allocator_.reset();
  input_.reset();
  return S_OK;
}

HRESULT BaseOutputPin::Active() {
  if (!connected_ || !allocator_) return S_OK;
  return allocator_->Commit();
}

HRESULT BaseOutputPin::Inactive() {
  if (allocator_) allocator_->Decommit();
  return S_OK;
}

HRESULT BaseOutputPin::GetDeliveryBuffer(std::shared_ptr<MediaSample>& sample, uint32_t flags) {
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetBuffer(sample, flags);
}

HRESULT BaseOutputPin::Deliver(const std::shared_ptr<MediaSample>& sample) {
  const auto& in = input_;
  if (!in) return VFW_E_NOT_CONNECTED;
  return in->Receive(sample);
}

}  // namespace vistrel::platform::media
