#pragma once
// The common part of our filters: pins in order, state, clock, graph membership and events.
// State changes come from the graph on the user-interface thread; streaming threads read the
// state through state() (atomic).

#include <QString>
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/media/BasePin.h"
#include "platform/media/GraphEvent.h"
#include "platform/media/IBaseFilter.h"
#include "platform/media/IGraphStopPhases.h"

namespace vistrel::platform::media {

class BaseFilter : public IBaseFilter, public IGraphStopPhases {
 public:
  BaseFilter(const GUID& clsid, QString name);
  ~BaseFilter() override;

  HRESULT GetClassID(GUID& clsid) override;
  HRESULT EnumPins(std::shared_ptr<IEnumPins>& pins) override;
  HRESULT FindPin(const QString& id, std::shared_ptr<IPin>& pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO& info) override;
  HRESULT JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) override;
  HRESULT QueryVendorInfo(QString& info) override;
  // Stop deactivates the pins (allocators decommitted) and stops streaming; Pause from stopped
  // activates them; Run pauses first when needed and records the stream start.
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(uint32_t timeoutMs, FILTER_STATE& state) override;
  HRESULT SetSyncSource(const std::shared_ptr<IReferenceClock>& clock) override;
  HRESULT GetSyncSource(std::shared_ptr<IReferenceClock>& clock) override;

  FILTER_STATE state() const { return state_.load(std::memory_order_acquire); }
  std::shared_ptr<IFilterGraph> graph() const;
  QString name() const;
  std::shared_ptr<IBaseFilter> self() {
    return std::dynamic_pointer_cast<IBaseFilter>(weak_from_this().lock());
  }
  int pinCount() const { return static_cast<int>(pins_.size()); }
  BasePin* pin(int index) const;
  // Stream time: the graph clock now minus the stream start (0 without a clock or when stopped).
  REFERENCE_TIME streamTime() const;
  REFERENCE_TIME streamStart() const { return start_.load(); }
  std::shared_ptr<IReferenceClock> clock() const;
  // Any thread: raises an event on the graph (dropped when the filter is in no graph).
  HRESULT NotifyEvent(const GraphEvent& event);

  // Pin connection changes (user-interface thread): tees and multiplexers grow and shrink here.
  virtual void pinConnected(BasePin&) {}
  virtual void pinDisconnected(BasePin&) {}

 protected:
  // Called by Stop after the pins went inactive and by Pause from stopped before they are active.
  virtual HRESULT onStop() { return S_OK; }
  virtual HRESULT onPause() { return S_OK; }
  virtual HRESULT onRun(REFERENCE_TIME) { return S_OK; }

  void addPin(std::shared_ptr<BasePin> pin);
  void insertPin(int index, std::shared_ptr<BasePin> pin);
  void removePin(const BasePin* pin);

  std::vector<std::shared_ptr<BasePin>> pins_;  // user-interface thread, stopped state only

 private:
  GUID clsid_;
  mutable std::mutex lock_;
  QString name_;
  std::weak_ptr<IFilterGraph> graph_;
  std::shared_ptr<IReferenceClock> clock_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  std::atomic<REFERENCE_TIME> start_{0};
};

}  // namespace vistrel::platform::media
