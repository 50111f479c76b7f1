#pragma once
// A filter: pins in a stable order, a state, a clock and membership of at most one graph.

#include <QString>
#include <memory>

#include "platform/media/Guid.h"
#include "platform/media/IPersist.h"
#include "platform/media/IPin.h"
#include "platform/media/IReferenceClock.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

class IFilterGraph;

enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

struct FILTER_INFO {
  QString achName;
  std::shared_ptr<IFilterGraph> pGraph;  // null when the filter is in no graph
};

class IBaseFilter : public IPersist {
 public:
  // Pins in their documented order; the snapshot does not follow later pin changes.
  virtual HRESULT EnumPins(std::shared_ptr<IEnumPins>& pins) = 0;
  virtual HRESULT FindPin(const QString& id, std::shared_ptr<IPin>& pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO& info) = 0;
  // Called by the graph only: null graph leaves it.
  virtual HRESULT JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) = 0;
  virtual HRESULT QueryVendorInfo(QString& info) = 0;

  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME start) = 0;
  virtual HRESULT GetState(uint32_t timeoutMs, FILTER_STATE& state) = 0;
  virtual HRESULT SetSyncSource(const std::shared_ptr<IReferenceClock>& clock) = 0;
  virtual HRESULT GetSyncSource(std::shared_ptr<IReferenceClock>& clock) = 0;
};

using IEnumFilters = Enumerator<std::shared_ptr<IBaseFilter>>;

}  // namespace vistrel::platform::media
