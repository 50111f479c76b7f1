#include "platform/media/BasePin.h"

#include <cstring>

#include "platform/media/BaseFilter.h"

namespace vistrel::platform::media {

BasePin::BasePin(BaseFilter* filter, PIN_DIRECTION dir, QString name, const GUID& category)
    : filter_(filter), dir_(dir), name_(std::move(name)), category_(category) {}

BasePin::~BasePin() = default;

bool BasePin::filterStopped() const { return !filter_ || filter_->state() == State_Stopped; }

HRESULT BasePin::Disconnect() {
  if (!connected_) return S_FALSE;
  if (!filterStopped()) return VFW_E_NOT_STOPPED;
  BreakConnect();
  clearConnection();
  return S_OK;
}

void BasePin::setConnected(const std::shared_ptr<IPin>& peer, const MediaType& type) {
  peer_ = peer;
  mt_ = type;
  connected_ = true;
}

void BasePin::clearConnection() {
  const bool was = connected_;
  peer_.reset();
  connected_ = false;
  mt_ = MediaType();
  if (was && filter_) filter_->pinDisconnected(*this);
}

HRESULT BasePin::ConnectedTo(std::shared_ptr<IPin>& peer) {
  peer = this->peer();
  return peer ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT BasePin::ConnectionMediaType(MediaType& type) {
  if (!connected_) {
    type = MediaType();
    return VFW_E_NOT_CONNECTED;
  }
  type = mt_;
  return S_OK;
}

HRESULT BasePin::QueryPinInfo(PIN_INFO& info) {
  info.dir = dir_;
  info.achName = name_;
  info.pFilter = filter_ ? filter_->self() : nullptr;
  return S_OK;
}

HRESULT BasePin::QueryDirection(PIN_DIRECTION& dir) {
  dir = dir_;
  return S_OK;
}

HRESULT BasePin::QueryId(QString& id) {
  id = name_;
  return S_OK;
}

HRESULT BasePin::QueryAccept(const MediaType& type) { return CheckMediaType(type) == S_OK ? S_OK : S_FALSE; }

HRESULT BasePin::EnumMediaTypes(std::shared_ptr<IEnumMediaTypes>& types) {
  std::vector<MediaType> list;
  for (int i = 0;; ++i) {
    MediaType t;
    if (GetMediaType(i, t) != S_OK) break;
    list.push_back(std::move(t));
  }
  types = std::make_shared<IEnumMediaTypes>(std::move(list));
  return S_OK;
}

HRESULT BasePin::Get(const GUID& set, uint32_t id, void* data, uint32_t size, uint32_t* returned) {
  if (set != AMPROPSETID_Pin || id != AMPROPERTY_PIN_CATEGORY) return E_NOTIMPL;
  if (category_.isNull()) return E_NOTIMPL;  // pins without a category answer like the platform's
  if (returned) *returned = sizeof(GUID);
  if (!data) return returned ? S_OK : E_POINTER;
  if (size < sizeof(GUID)) return E_INVALIDARG;
  std::memcpy(data, &category_, sizeof(GUID));
  return S_OK;
}

HRESULT BasePin::QuerySupported(const GUID& set, uint32_t id, uint32_t* support) {
  if (set != AMPROPSETID_Pin || id != AMPROPERTY_PIN_CATEGORY || category_.isNull()) return E_NOTIMPL;
  if (support) *support = 1;  // get
  return S_OK;
}

HRESULT BasePin::GetMediaType(int, MediaType&) { return VFW_S_NO_MORE_ITEMS; }

HRESULT BasePin::SetMediaType(const MediaType& type) {
  mt_ = type;
  return S_OK;
}

HRESULT BasePin::CheckConnect(const std::shared_ptr<IPin>& peer) {
  PIN_DIRECTION d;
  if (!peer || FAILED(peer->QueryDirection(d))) return E_POINTER;
  return d == dir_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT BasePin::CompleteConnect(const std::shared_ptr<IPin>&) { return S_OK; }
HRESULT BasePin::BreakConnect() { return S_OK; }
HRESULT BasePin::Active() { return S_OK; }
HRESULT BasePin::Inactive() { return S_OK; }

}  // namespace vistrel::platform::media
