#pragma once
// A filter graph: the filters of one capture setup, their connections, the clock, the state and
// the event queue. Several independent graphs may exist (the engine's and each device's private
// one). Every method except the event sink is called on the user-interface thread.

#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/media/IBasicAudio.h"
#include "platform/media/IFilterChain.h"
#include "platform/media/IGraphBuilder.h"
#include "platform/media/IMediaControl.h"
#include "platform/media/IMediaEventEx.h"
#include "platform/media/IMediaEventSink.h"

namespace vistrel::platform::media {

class FilterGraph : public IGraphBuilder,
                    public IMediaControl,
                    public IMediaEventEx,
                    public IMediaEventSink,
                    public IBasicAudio,
                    public IFilterChain {
 public:
  static std::shared_ptr<FilterGraph> create();
  ~FilterGraph() override;

  // IFilterGraph / IGraphBuilder
  HRESULT AddFilter(const std::shared_ptr<IBaseFilter>& filter, const QString& name) override;
  HRESULT RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) override;
  HRESULT EnumFilters(std::shared_ptr<IEnumFilters>& filters) override;
  HRESULT FindFilterByName(const QString& name, std::shared_ptr<IBaseFilter>& filter) override;
  HRESULT ConnectDirect(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in,
                        const MediaType* type) override;
  HRESULT Disconnect(const std::shared_ptr<IPin>& pin) override;
  HRESULT SetDefaultSyncSource() override;
  HRESULT Connect(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in) override;
  HRESULT Render(const std::shared_ptr<IPin>& out) override;

  // IMediaControl
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(int32_t timeoutMs, OAFilterState& state) override;

  // IMediaEventEx and IMediaEventSink (Notify: any thread, never blocks)
  HRESULT GetEvent(GraphEvent& event, int32_t timeoutMs) override;
  HRESULT FreeEventParams(GraphEvent& event) override;
  HRESULT SetNotifyWindow(ui::WindowHandle window, uint32_t message, intptr_t instance) override;
  HRESULT Notify(const GraphEvent& event) override;

  // IBasicAudio: forwarded to the audio renderers in the graph (E_NOTIMPL without one).
  HRESULT put_Volume(int32_t volume) override;
  HRESULT get_Volume(int32_t& volume) override;
  HRESULT put_Balance(int32_t balance) override;
  HRESULT get_Balance(int32_t& balance) override;

  // IFilterChain
  HRESULT RemoveChain(const std::shared_ptr<IBaseFilter>& start,
                      const std::shared_ptr<IBaseFilter>& end) override;

  // Stops the graph and removes every filter.
  HRESULT Clear();
  bool contains(const std::shared_ptr<IBaseFilter>& filter) const;
  std::vector<std::shared_ptr<IBaseFilter>> filters() const { return filters_; }
  const std::shared_ptr<IReferenceClock>& referenceClock() const { return clock_; }
  // Filters ordered so that each comes before every filter upstream of it (sinks first).
  std::vector<std::shared_ptr<IBaseFilter>> downstreamFirst() const;

 private:
  FilterGraph();
  QString nameOf(const std::shared_ptr<IBaseFilter>& filter) const;
  bool nameUsed(const QString& name) const;
  HRESULT connectVia(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in, int depth,
                     std::vector<std::shared_ptr<IBaseFilter>>& tried);

  std::vector<std::shared_ptr<IBaseFilter>> filters_;  // in order of addition
  std::shared_ptr<IReferenceClock> clock_;
  OAFilterState state_ = State_Stopped;
  int32_t volume_ = 0;
  int32_t balance_ = 0;

  std::mutex eventLock_;
  std::condition_variable eventArrived_;
  std::deque<GraphEvent> events_;
  ui::WindowHandle notifyWindow_ = 0;
  uint32_t notifyMessage_ = 0;
  intptr_t notifyInstance_ = 0;
};

}  // namespace vistrel::platform::media
