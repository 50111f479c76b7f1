#include "platform/media/FilterComponent.h"

#include "platform/media/FilterMapper.h"
#include "platform/media/SystemDeviceEnum.h"

namespace vistrel::platform::media {

FilterComponent::FilterComponent(QString name) : name_(std::move(name)) {}

FilterComponent::~FilterComponent() { setGraph(nullptr); }

std::shared_ptr<FilterGraph> FilterComponent::graph() const { return graph_.lock(); }

bool FilterComponent::inGraph() const {
  auto g = graph_.lock();
  return g && filter_ && g->contains(filter_);
}

HRESULT FilterComponent::setGraph(const std::shared_ptr<FilterGraph>& graph) {
  auto current = graph_.lock();
  if (current && current == graph && inGraph()) return S_OK;
  if (current && filter_ && current->contains(filter_)) current->RemoveFilter(filter_);
  graph_.reset();
  if (!graph || !filter_) return graph ? E_UNEXPECTED : S_OK;
  HRESULT hr = graph->AddFilter(filter_, name_);
  if (FAILED(hr)) return hr;
  graph_ = graph;
  return S_OK;
}

HRESULT FilterComponent::replaceFilter(std::shared_ptr<IBaseFilter> filter,
                                       std::shared_ptr<IMoniker> moniker) {
  setGraph(nullptr);
  filter_ = std::move(filter);
  moniker_ = std::move(moniker);
  return filter_ ? S_OK : E_FAIL;
}

HRESULT FilterComponent::bindMoniker(const std::shared_ptr<IMoniker>& moniker) {
  if (!moniker) return E_POINTER;
  setGraph(nullptr);
  std::shared_ptr<IBaseFilter> f;
  HRESULT hr = moniker->BindToObject(f);
  if (FAILED(hr)) {
    replaceFilter(nullptr, nullptr);
    return hr;
  }
  return replaceFilter(std::move(f), moniker);
}

HRESULT FilterComponent::bindClassId(const GUID& clsid) {
  setGraph(nullptr);
  std::shared_ptr<IBaseFilter> f;
  HRESULT hr = FilterMapper::instance()->CreateInstance(clsid, f);
  if (FAILED(hr)) {
    replaceFilter(nullptr, nullptr);
    return hr;
  }
  return replaceFilter(std::move(f), nullptr);
}

HRESULT FilterComponent::bindFriendlyName(const GUID& category, const QString& name) {
  for (const auto& m : SystemDeviceEnum::create()->monikers(category)) {
    QVariant v;
    if (SUCCEEDED(m->Read(QStringLiteral("FriendlyName"), v)) && v.toString() == name) return bindMoniker(m);
  }
  return VFW_E_NOT_FOUND;
}

HRESULT FilterComponent::bindInstance(const std::shared_ptr<IBaseFilter>& filter) {
  if (!filter) return E_POINTER;
  return replaceFilter(filter, nullptr);
}

}  // namespace vistrel::platform::media
