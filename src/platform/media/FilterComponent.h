#pragma once
// A filter component: one slot that holds a filter bound from a device moniker, a class id, a
// friendly name, or an in-process instance, and the graph it is in (none, the engine's, or a
// private one). Putting it into a graph it is already in does nothing; taking it out of a graph
// its filter already left (RemoveChain, Clear, removal behind its back) does nothing either.
// Rebinding takes the old filter out of its graph first and makes a fresh filter object.
// User-interface thread.

#include <QString>
#include <memory>

#include "platform/media/FilterGraph.h"
#include "platform/media/IMoniker.h"

namespace vistrel::platform::media {

class FilterComponent {
 public:
  explicit FilterComponent(QString name = QString());
  ~FilterComponent();

  HRESULT bindMoniker(const std::shared_ptr<IMoniker>& moniker);
  HRESULT bindClassId(const GUID& clsid);
  // The first moniker of the category whose friendly name is exactly `name`.
  HRESULT bindFriendlyName(const GUID& category, const QString& name);
  HRESULT bindInstance(const std::shared_ptr<IBaseFilter>& filter);

  // Null takes it out. Fails (and stays out) when the graph refuses the filter.
  HRESULT setGraph(const std::shared_ptr<FilterGraph>& graph);
  std::shared_ptr<FilterGraph> graph() const;
  // True when the component's graph really holds its filter now.
  bool inGraph() const;
  // The filter left the graph by other means; forget the membership.
  void removedFromGraph() { graph_.reset(); }

  std::shared_ptr<IBaseFilter> filter() const { return filter_; }
  std::shared_ptr<IMoniker> moniker() const { return moniker_; }
  const QString& name() const { return name_; }

 private:
  HRESULT replaceFilter(std::shared_ptr<IBaseFilter> filter, std::shared_ptr<IMoniker> moniker);
  QString name_;
  std::shared_ptr<IBaseFilter> filter_;
  std::shared_ptr<IMoniker> moniker_;
  std::weak_ptr<FilterGraph> graph_;
};

}  // namespace vistrel::platform::media
