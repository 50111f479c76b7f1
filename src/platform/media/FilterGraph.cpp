#include "platform/media/FilterGraph.h"

#include <algorithm>
#include <chrono>
#include <set>

#include "platform/media/FilterMapper.h"
#include "platform/media/IGraphStopPhases.h"
#include "platform/media/SystemClock.h"

namespace vistrel::platform::media {

namespace {
std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  if (!f || FAILED(f->EnumPins(e)) || !e) return {};
  return e->all();
}

PIN_DIRECTION directionOf(const std::shared_ptr<IPin>& p) {
  PIN_DIRECTION d = PINDIR_INPUT;
  p->QueryDirection(d);
  return d;
}

std::shared_ptr<IBaseFilter> filterOf(const std::shared_ptr<IPin>& p) {
  PIN_INFO info;
  if (!p || FAILED(p->QueryPinInfo(info))) return nullptr;
  return info.pFilter;
}

std::shared_ptr<IPin> peerOf(const std::shared_ptr<IPin>& p) {
  std::shared_ptr<IPin> peer;
  p->ConnectedTo(peer);
  return peer;
}

// Filters directly downstream of f (through its connected outputs).
std::vector<std::shared_ptr<IBaseFilter>> downstreamOf(const std::shared_ptr<IBaseFilter>& f) {
  std::vector<std::shared_ptr<IBaseFilter>> out;
  for (auto& p : pinsOf(f)) {
    if (directionOf(p) != PINDIR_OUTPUT) continue;
    if (auto peer = peerOf(p))
      if (auto g = filterOf(peer)) out.push_back(g);
  }
  return out;
}
}  // namespace

std::shared_ptr<FilterGraph> FilterGraph::create() { return std::shared_ptr<FilterGraph>(new FilterGraph()); }

FilterGraph::FilterGraph() : clock_(std::make_shared<SystemClock>()) {}

FilterGraph::~FilterGraph() {
  // Leave nothing running or linked to a dead graph.
  Stop();
  for (auto& f : filters_) {
    for (auto& p : pinsOf(f)) p->Disconnect();
    f->JoinFilterGraph(nullptr, QString());
  }
}

bool FilterGraph::contains(const std::shared_ptr<IBaseFilter>& filter) const {
  return filter && std::find(filters_.begin(), filters_.end(), filter) != filters_.end();
}

QString FilterGraph::nameOf(const std::shared_ptr<IBaseFilter>& filter) const {
  FILTER_INFO info;
  filter->QueryFilterInfo(info);
  return info.achName;
}

bool FilterGraph::nameUsed(const QString& name) const {
  return std::any_of(filters_.begin(), filters_.end(), [&](const auto& f) { return nameOf(f) == name; });
}

HRESULT FilterGraph::AddFilter(const std::shared_ptr<IBaseFilter>& filter, const QString& name) {
  if (!filter) return E_POINTER;
  if (contains(filter)) return E_INVALIDARG;
  FILTER_INFO info;
  filter->QueryFilterInfo(info);
  if (info.pGraph) return E_INVALIDARG;  // a filter lives in one graph at a time
  QString unique = name.isEmpty() ? info.achName : name;
  HRESULT result = S_OK;
  if (nameUsed(unique)) {
    // Same instance names come back again and again; a suffix keeps every name distinct.
    for (int i = 1;; ++i) {
      QString candidate = QStringLiteral("%1 %2").arg(unique).arg(i, 4, 10, QLatin1Char('0'));
      if (!nameUsed(candidate)) {
        unique = candidate;
        break;
      }
    }
    result = VFW_S_DUPLICATE_NAME;
  }
  auto self = std::dynamic_pointer_cast<IFilterGraph>(weak_from_this().lock());
  HRESULT hr = filter->JoinFilterGraph(self, unique);
  if (FAILED(hr)) return hr;
  filter->SetSyncSource(clock_);
  filters_.push_back(filter);
  return result;
}

HRESULT FilterGraph::RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) {
  if (!filter) return E_POINTER;
  if (!contains(filter)) return VFW_E_NOT_FOUND;
  FILTER_STATE s = State_Stopped;
  filter->GetState(0, s);
  if (s != State_Stopped) {
    if (auto phases = interfaceOf<IGraphStopPhases>(filter)) phases->haltStreaming();
    filter->Stop();
    if (auto phases = interfaceOf<IGraphStopPhases>(filter)) phases->closeFiles();
  }
  for (auto& p : pinsOf(filter)) {
    if (auto peer = peerOf(p)) {
      peer->Disconnect();
      p->Disconnect();
    }
  }
  filters_.erase(std::find(filters_.begin(), filters_.end(), filter));
  filter->SetSyncSource(nullptr);
  filter->JoinFilterGraph(nullptr, QString());
  return S_OK;
}

HRESULT FilterGraph::EnumFilters(std::shared_ptr<IEnumFilters>& filters) {
  filters = std::make_shared<IEnumFilters>(filters_);
  return S_OK;
}

HRESULT FilterGraph::FindFilterByName(const QString& name, std::shared_ptr<IBaseFilter>& filter) {
  for (auto& f : filters_) {
    if (nameOf(f) == name) {
      filter = f;
      return S_OK;
    }
  }
  filter.reset();
  return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in,
                                   const MediaType* type) {
  if (!out || !in) return E_POINTER;
  if (!contains(filterOf(out)) || !contains(filterOf(in))) return VFW_E_NOT_IN_GRAPH;
  if (directionOf(out) != PINDIR_OUTPUT || directionOf(in) != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  return out->Connect(in, type);
}

HRESULT FilterGraph::Disconnect(const std::shared_ptr<IPin>& pin) {
  if (!pin) return E_POINTER;
  return pin->Disconnect();
}

HRESULT FilterGraph::SetDefaultSyncSource() {
  for (auto& f : filters_) f->SetSyncSource(clock_);
  return S_OK;
}

HRESULT FilterGraph::Connect(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in) {
  if (!out || !in) return E_POINTER;
  std::vector<std::shared_ptr<IBaseFilter>> tried;
  return connectVia(out, in, 2, tried);
}

HRESULT FilterGraph::connectVia(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in, int depth,
                                std::vector<std::shared_ptr<IBaseFilter>>& tried) {
  HRESULT hr = ConnectDirect(out, in, nullptr);
  if (SUCCEEDED(hr) || hr == VFW_E_NOT_IN_GRAPH || hr == VFW_E_ALREADY_CONNECTED || hr == VFW_E_NOT_STOPPED ||
      hr == VFW_E_INVALID_DIRECTION || depth <= 0)
    return hr;

  std::vector<RegPinType> offered;
  std::shared_ptr<IEnumMediaTypes> types;
  if (SUCCEEDED(out->EnumMediaTypes(types)) && types)
    for (const auto& t : types->all()) offered.push_back({t.majortype, t.subtype});
  if (offered.empty()) return VFW_E_CANNOT_CONNECT;

  auto mapper = FilterMapper::instance();
  std::shared_ptr<IEnumMoniker> candidates;
  mapper->EnumMatchingFilters(candidates, 0, false, MERIT_DO_NOT_USE + 1, true, offered, nullptr, nullptr,
                              false, true, {}, nullptr, nullptr);
  for (const auto& moniker : candidates->all()) {
    std::shared_ptr<IBaseFilter> f;
    if (FAILED(moniker->BindToObject(f)) || !f) continue;
    QVariant friendly;
    moniker->Read(QStringLiteral("FriendlyName"), friendly);
    if (FAILED(AddFilter(f, friendly.toString()))) continue;
    bool linked = false;
    for (auto& fin : pinsOf(f)) {
      if (directionOf(fin) != PINDIR_INPUT) continue;
      if (SUCCEEDED(ConnectDirect(out, fin, nullptr))) {
        linked = true;
        break;
      }
    }
    if (linked) {
      for (auto& fout : pinsOf(f)) {
        if (directionOf(fout) != PINDIR_OUTPUT || peerOf(fout)) continue;
        if (SUCCEEDED(connectVia(fout, in, depth - 1, tried))) return S_OK;
      }
    }
    RemoveFilter(f);
  }
  return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::Render(const std::shared_ptr<IPin>& out) {
  if (!out) return E_POINTER;
  std::vector<RegPinType> offered;
  std::shared_ptr<IEnumMediaTypes> types;
  if (SUCCEEDED(out->EnumMediaTypes(types)) && types)
    for (const auto& t : types->all()) offered.push_back({t.majortype, GUID_NULL});
  std::shared_ptr<IEnumMoniker> renderers;
  FilterMapper::instance()->EnumMatchingFilters(renderers, 0, false, MERIT_DO_NOT_USE + 1, true, offered,
                                                nullptr, nullptr, true, false, {}, nullptr, nullptr);
  for (const auto& moniker : renderers->all()) {
    std::shared_ptr<IBaseFilter> f;
    if (FAILED(moniker->BindToObject(f)) || !f) continue;
    QVariant friendly;
    moniker->Read(QStringLiteral("FriendlyName"), friendly);
    if (FAILED(AddFilter(f, friendly.toString()))) continue;
    for (auto& in : pinsOf(f))
      if (directionOf(in) == PINDIR_INPUT && SUCCEEDED(Connect(out, in))) return S_OK;
    RemoveFilter(f);
  }
  return VFW_E_CANNOT_CONNECT;
}

std::vector<std::shared_ptr<IBaseFilter>> FilterGraph::downstreamFirst() const {
  std::vector<std::shared_ptr<IBaseFilter>> order;
  std::set<IBaseFilter*> placed;
  // Repeatedly place every filter whose downstream filters are all placed; connections form no
  // cycle, and a filter outside the graph downstream is ignored.
  bool progress = true;
  while (order.size() < filters_.size() && progress) {
    progress = false;
    for (auto& f : filters_) {
      if (placed.count(f.get())) continue;
      bool ready = true;
      for (auto& d : downstreamOf(f))
        if (contains(d) && !placed.count(d.get())) ready = false;
      if (ready) {
        order.push_back(f);
        placed.insert(f.get());
        progress = true;
      }
    }
  }
  for (auto& f : filters_)
    if (!placed.count(f.get())) order.push_back(f);
  return order;
}

HRESULT FilterGraph::Pause() {
  if (state_ == State_Paused) return S_OK;
  auto order = downstreamFirst();
  for (auto& f : order) {
    HRESULT hr = f->Pause();
    if (FAILED(hr)) {
      Stop();
      return hr;
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT FilterGraph::Run() {
  if (state_ == State_Running) return S_OK;
  if (state_ == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  REFERENCE_TIME start = 0;
  clock_->GetTime(&start);
  for (auto& f : downstreamFirst()) {
    HRESULT hr = f->Run(start);
    if (FAILED(hr)) {
      Stop();
      return hr;
    }
  }
  state_ = State_Running;
  return S_OK;
}

HRESULT FilterGraph::Stop() {
  // Even when the graph thinks it is stopped, a filter may have been started on its own.
  auto order = downstreamFirst();
  // Sources halt first (upstream first), so that a filter further down that flushes in its own
  // halt step has received everything by then.
  for (auto it = order.rbegin(); it != order.rend(); ++it)
    if (auto phases = interfaceOf<IGraphStopPhases>(*it)) phases->haltStreaming();
  HRESULT result = S_OK;
  for (auto& f : order) {
    HRESULT hr = f->Stop();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  for (auto& f : order)
    if (auto phases = interfaceOf<IGraphStopPhases>(f)) phases->closeFiles();
  state_ = State_Stopped;
  return result;
}

HRESULT FilterGraph::GetState(int32_t, OAFilterState& state) {
  state = state_;
  return S_OK;
}

HRESULT FilterGraph::Notify(const GraphEvent& event) {
  ui::WindowHandle window;
  uint32_t message;
  intptr_t instance;
  {
    std::lock_guard g(eventLock_);
    events_.push_back(event);
    window = notifyWindow_;
    message = notifyMessage_;
    instance = notifyInstance_;
  }
  eventArrived_.notify_one();
  if (window) ui::postMessage(window, message, 0, instance);
  return S_OK;
}

HRESULT FilterGraph::GetEvent(GraphEvent& event, int32_t timeoutMs) {
  std::unique_lock g(eventLock_);
  if (events_.empty() && timeoutMs != 0) {
    auto ready = [this] { return !events_.empty(); };
    if (timeoutMs < 0)
      eventArrived_.wait(g, ready);
    else
      eventArrived_.wait_for(g, std::chrono::milliseconds(timeoutMs), ready);
  }
  if (events_.empty()) {
    event = GraphEvent();
    return VFW_E_TIMEOUT;
  }
  event = std::move(events_.front());
  events_.pop_front();
  return S_OK;
}

HRESULT FilterGraph::FreeEventParams(GraphEvent& event) {
  event.object.reset();
  event.param1 = event.param2 = 0;
  return S_OK;
}

HRESULT FilterGraph::SetNotifyWindow(ui::WindowHandle window, uint32_t message, intptr_t instance) {
  std::lock_guard g(eventLock_);
  notifyWindow_ = window;
  notifyMessage_ = message;
  notifyInstance_ = instance;
  return S_OK;
}

HRESULT FilterGraph::put_Volume(int32_t volume) {
  if (volume < -10000 || volume > 0) return E_INVALIDARG;
  HRESULT result = E_NOTIMPL;
  for (auto& f : filters_) {
    if (auto audio = interfaceOf<IBasicAudio>(f)) {
      HRESULT hr = audio->put_Volume(volume);
      if (SUCCEEDED(hr)) result = S_OK;
    }
  }
  if (SUCCEEDED(result)) volume_ = volume;
  return result;
}

HRESULT FilterGraph::get_Volume(int32_t& volume) {
  for (auto& f : filters_)
    if (auto audio = interfaceOf<IBasicAudio>(f)) return audio->get_Volume(volume);
  volume = volume_;
  return E_NOTIMPL;
}

HRESULT FilterGraph::put_Balance(int32_t balance) {
  if (balance < -10000 || balance > 10000) return E_INVALIDARG;
  HRESULT result = E_NOTIMPL;
  for (auto& f : filters_)
    if (auto audio = interfaceOf<IBasicAudio>(f))
      if (SUCCEEDED(audio->put_Balance(balance))) result = S_OK;
  if (SUCCEEDED(result)) balance_ = balance;
  return result;
}

HRESULT FilterGraph::get_Balance(int32_t& balance) {
  for (auto& f : filters_)
    if (auto audio = interfaceOf<IBasicAudio>(f)) return audio->get_Balance(balance);
  balance = balance_;
  return E_NOTIMPL;
}

HRESULT FilterGraph::RemoveChain(const std::shared_ptr<IBaseFilter>& start,
                                 const std::shared_ptr<IBaseFilter>& end) {
  if (!start) return E_POINTER;
  if (!contains(start) || (end && !contains(end))) return VFW_E_NOT_FOUND;
  // Walk downstream while the path is simple: one connected output per filter (a tee's spare
  // unconnected output does not count).
  std::vector<std::shared_ptr<IBaseFilter>> chain{start};
  std::shared_ptr<IBaseFilter> current = start;
  while (current != end) {
    auto next = downstreamOf(current);
    if (next.size() != 1 || !contains(next[0])) {
      if (!end) break;
      return VFW_E_NOT_FOUND;  // branches, or ends before reaching `end`
    }
    current = next[0];
    if (std::find(chain.begin(), chain.end(), current) != chain.end()) return E_UNEXPECTED;
    chain.push_back(current);
  }
  for (auto& f : chain) RemoveFilter(f);
  return S_OK;
}

HRESULT FilterGraph::Clear() {
  Stop();
  auto all = filters_;
  for (auto it = all.rbegin(); it != all.rend(); ++it) RemoveFilter(*it);
  return S_OK;
}

}  // namespace vistrel::platform::media
