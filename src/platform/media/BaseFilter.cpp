#include "platform/media/BaseFilter.h"

#include <algorithm>

#include "platform/media/IFilterGraph.h"
#include "platform/media/IMediaEventSink.h"

namespace vistrel::platform::media {

BaseFilter::BaseFilter(const GUID& clsid, QString name) : clsid_(clsid), name_(std::move(name)) {}

BaseFilter::~BaseFilter() {
  for (auto& p : pins_) p->detachFilter();
}

HRESULT BaseFilter::GetClassID(GUID& clsid) {
  clsid = clsid_;
  return S_OK;
}

HRESULT BaseFilter::EnumPins(std::shared_ptr<IEnumPins>& pins) {
  std::vector<std::shared_ptr<IPin>> list(pins_.begin(), pins_.end());
  pins = std::make_shared<IEnumPins>(std::move(list));
  return S_OK;
}

HRESULT BaseFilter::FindPin(const QString& id, std::shared_ptr<IPin>& pin) {
  for (auto& p : pins_) {
    if (p->name() == id) {
      pin = p;
      return S_OK;
    }
  }
  pin.reset();
  return VFW_E_NOT_FOUND;
}

HRESULT BaseFilter::QueryFilterInfo(FILTER_INFO& info) {
  std::lock_guard g(lock_);
  info.achName = name_;
  info.pGraph = graph_.lock();
  return S_OK;
}

HRESULT BaseFilter::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  std::lock_guard g(lock_);
  graph_ = graph;
  if (graph) name_ = name;
  return S_OK;
}

HRESULT BaseFilter::QueryVendorInfo(QString& info) {
  info = QStringLiteral("Vistrel");
  return S_OK;
}

std::shared_ptr<IFilterGraph> BaseFilter::graph() const {
  std::lock_guard g(lock_);
  return graph_.lock();
}

QString BaseFilter::name() const {
  std::lock_guard g(lock_);
  return name_;
}

BasePin* BaseFilter::pin(int index) const {
  if (index < 0 || index >= static_cast<int>(pins_.size())) return nullptr;
  return pins_[static_cast<size_t>(index)].get();
}

HRESULT BaseFilter::Stop() {
  if (state() == State_Stopped) return S_OK;
  for (auto& p : pins_) p->Inactive();
  state_.store(State_Stopped, std::memory_order_release);
  return onStop();
}

HRESULT BaseFilter::Pause() {
  if (state() == State_Stopped) {
    HRESULT hr = onPause();
    if (FAILED(hr)) return hr;
    for (auto& p : pins_) {
      if (!p->isConnected()) continue;
      hr = p->Active();
      if (FAILED(hr)) {
        for (auto& q : pins_) q->Inactive();
        onStop();
        return hr;
      }
    }
  }
  state_.store(State_Paused, std::memory_order_release);
  return S_OK;
}

HRESULT BaseFilter::Run(REFERENCE_TIME start) {
  if (state() == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  start_.store(start);
  state_.store(State_Running, std::memory_order_release);
  HRESULT hr = onRun(start);
  if (FAILED(hr)) return hr;
  return S_OK;
}

HRESULT BaseFilter::GetState(uint32_t, FILTER_STATE& state) {
  state = this->state();
  return S_OK;
}

HRESULT BaseFilter::SetSyncSource(const std::shared_ptr<IReferenceClock>& clock) {
  std::lock_guard g(lock_);
  clock_ = clock;
  return S_OK;
}

HRESULT BaseFilter::GetSyncSource(std::shared_ptr<IReferenceClock>& clock) {
  std::lock_guard g(lock_);
  clock = clock_;
  return S_OK;
}

std::shared_ptr<IReferenceClock> BaseFilter::clock() const {
  std::lock_guard g(lock_);
  return clock_;
}

REFERENCE_TIME BaseFilter::streamTime() const {
  auto c = clock();
  if (!c || state() == State_Stopped) return 0;
  REFERENCE_TIME now = 0;
  c->GetTime(&now);
  return now - start_.load();
}

HRESULT BaseFilter::NotifyEvent(const GraphEvent& event) {
  auto sink = interfaceOf<IMediaEventSink>(graph());
  if (!sink) return E_NOTIMPL;
  return sink->Notify(event);
}

void BaseFilter::addPin(std::shared_ptr<BasePin> pin) { pins_.push_back(std::move(pin)); }

void BaseFilter::insertPin(int index, std::shared_ptr<BasePin> pin) {
  index = std::clamp(index, 0, static_cast<int>(pins_.size()));
  pins_.insert(pins_.begin() + index, std::move(pin));
}

void BaseFilter::removePin(const BasePin* pin) {
  auto it = std::find_if(pins_.begin(), pins_.end(), [pin](const auto& p) { return p.get() == pin; });
  if (it != pins_.end()) {
    (*it)->detachFilter();
    pins_.erase(it);
  }
}

}  // namespace vistrel::platform::media
