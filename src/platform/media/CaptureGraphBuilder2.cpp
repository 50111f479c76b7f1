#include "platform/media/CaptureGraphBuilder2.h"

#include <deque>
#include <set>

#include "platform/media/FilterMapper.h"
#include "platform/media/IKsPropertySet.h"
#include "platform/media/filters/FileWriter.h"

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

std::shared_ptr<IPin> peerOf(const std::shared_ptr<IPin>& p) {
  std::shared_ptr<IPin> peer;
  p->ConnectedTo(peer);
  return peer;
}

std::shared_ptr<IBaseFilter> filterOf(const std::shared_ptr<IPin>& p) {
  PIN_INFO info;
  if (!p || FAILED(p->QueryPinInfo(info))) return nullptr;
  return info.pFilter;
}

bool isSet(const GUID* g) { return g && !g->isNull(); }

bool pinHasCategory(const std::shared_ptr<IPin>& pin, const GUID& category) {
  auto ks = interfaceOf<IKsPropertySet>(pin);
  if (!ks) return false;
  GUID got;
  uint32_t returned = 0;
  return ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &got, sizeof got, &returned) == S_OK &&
         got == category;
}

bool pinHasMajorType(const std::shared_ptr<IPin>& pin, const GUID& major) {
  // A connected pin is judged by its connection type and by what it offers: either may be what
  // the caller means.
  MediaType connected;
  if (SUCCEEDED(pin->ConnectionMediaType(connected)) && connected.majortype == major) return true;
  std::shared_ptr<IEnumMediaTypes> types;
  if (FAILED(pin->EnumMediaTypes(types)) || !types) return false;
  for (const auto& t : types->all())
    if (t.majortype == major) return true;
  return false;
}

bool pinMatches(const std::shared_ptr<IPin>& pin, PIN_DIRECTION dir, const GUID* category, const GUID* type,
                bool unconnectedOnly) {
  if (directionOf(pin) != dir) return false;
  if (unconnectedOnly && peerOf(pin)) return false;
  if (isSet(category) && !pinHasCategory(pin, *category)) return false;
  if (isSet(type) && !pinHasMajorType(pin, *type)) return false;
  return true;
}

// Filters reached through connections in one direction, nearest first; `start` excluded.
std::vector<std::shared_ptr<IBaseFilter>> reachable(const std::shared_ptr<IBaseFilter>& start,
                                                    PIN_DIRECTION via) {
  std::vector<std::shared_ptr<IBaseFilter>> out;
  std::set<IBaseFilter*> seen{start.get()};
  std::deque<std::shared_ptr<IBaseFilter>> queue{start};
  while (!queue.empty()) {
    auto f = queue.front();
    queue.pop_front();
    for (auto& p : pinsOf(f)) {
      if (directionOf(p) != via) continue;
      auto g = filterOf(peerOf(p) ? peerOf(p) : nullptr);
      if (!g || seen.count(g.get())) continue;
      seen.insert(g.get());
      out.push_back(g);
      queue.push_back(g);
    }
  }
  return out;
}
}  // namespace

std::shared_ptr<CaptureGraphBuilder2> CaptureGraphBuilder2::create() {
  return std::make_shared<CaptureGraphBuilder2>();
}

HRESULT CaptureGraphBuilder2::SetFiltergraph(const std::shared_ptr<FilterGraph>& graph) {
  if (!graph) return E_POINTER;
  if (graph_) return E_UNEXPECTED;  // bound once
  graph_ = graph;
  return S_OK;
}

HRESULT CaptureGraphBuilder2::GetFiltergraph(std::shared_ptr<FilterGraph>& graph) {
  graph = graph_;
  return graph ? S_OK : E_UNEXPECTED;
}

HRESULT CaptureGraphBuilder2::FindPin(const std::shared_ptr<IBaseFilter>& filter, PIN_DIRECTION dir,
                                      const GUID* category, const GUID* type, bool unconnectedOnly, int index,
                                      std::shared_ptr<IPin>& pin) {
  pin.reset();
  if (!filter) return E_POINTER;
  if (index < 0) return E_INVALIDARG;
  int n = 0;
  for (auto& p : pinsOf(filter)) {
    if (!pinMatches(p, dir, category, type, unconnectedOnly)) continue;
    if (n++ == index) {
      pin = p;
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT CaptureGraphBuilder2::findInterface(const GUID* category, const GUID* type,
                                            const std::shared_ptr<IBaseFilter>& filter, Predicate has,
                                            std::shared_ptr<Unknown>& found) {
  found.reset();
  if (!filter) return E_POINTER;
  auto check = [&](const std::shared_ptr<Unknown>& o) {
    if (o && has(o)) {
      found = o;
      return true;
    }
    return false;
  };
  auto checkFilterAndPins = [&](const std::shared_ptr<IBaseFilter>& f) {
    if (check(f)) return true;
    for (auto& p : pinsOf(f))
      if (check(p)) return true;
    return false;
  };

  if (category && (*category == LOOK_UPSTREAM_ONLY || *category == LOOK_DOWNSTREAM_ONLY)) {
    for (auto& f : reachable(filter, *category == LOOK_UPSTREAM_ONLY ? PINDIR_INPUT : PINDIR_OUTPUT))
      if (checkFilterAndPins(f)) return S_OK;
    return E_NOINTERFACE;
  }

  if (isSet(category)) {
    std::vector<std::shared_ptr<IPin>> pins;
    for (auto& p : pinsOf(filter))
      if (pinMatches(p, PINDIR_OUTPUT, category, type, false)) pins.push_back(p);
    if (pins.empty()) return E_FAIL;  // the category and type exclude every pin
    for (auto& p : pins)
      if (check(p)) return S_OK;
    if (check(filter)) return S_OK;
    for (auto& f : reachable(filter, PINDIR_INPUT))
      if (checkFilterAndPins(f)) return S_OK;
    return E_NOINTERFACE;
  }

  if (isSet(type)) {
    bool any = false;
    for (auto& p : pinsOf(filter)) any = any || pinHasMajorType(p, *type);
    if (!any) return E_FAIL;
  }
  if (checkFilterAndPins(filter)) return S_OK;
  for (auto& f : reachable(filter, PINDIR_INPUT))
    if (checkFilterAndPins(f)) return S_OK;
  for (auto& f : reachable(filter, PINDIR_OUTPUT))
    if (checkFilterAndPins(f)) return S_OK;
  return E_NOINTERFACE;
}

HRESULT CaptureGraphBuilder2::RenderStream(const GUID* category, const GUID* type,
                                           const std::shared_ptr<Unknown>& source,
                                           const std::shared_ptr<IBaseFilter>& intermediate,
                                           const std::shared_ptr<IBaseFilter>& sink) {
  if (!graph_) return E_UNEXPECTED;
  if (!source) return E_POINTER;
  std::shared_ptr<IPin> out = interfaceOf<IPin>(source);
  if (out) {
    if (directionOf(out) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    if (peerOf(out)) return VFW_E_ALREADY_CONNECTED;
  } else {
    auto filter = interfaceOf<IBaseFilter>(source);
    if (!filter) return E_NOINTERFACE;
    if (FAILED(FindPin(filter, PINDIR_OUTPUT, category, type, true, 0, out))) return E_FAIL;
  }

  if (intermediate) {
    if (!graph_->contains(intermediate)) return VFW_E_NOT_IN_GRAPH;
    HRESULT hr = VFW_E_CANNOT_CONNECT;
    for (auto& in : pinsOf(intermediate)) {
      if (directionOf(in) != PINDIR_INPUT || peerOf(in)) continue;
      hr = graph_->Connect(out, in);
      if (SUCCEEDED(hr)) break;
    }
    if (FAILED(hr)) return hr;
    std::shared_ptr<IPin> next;
    if (FAILED(FindPin(intermediate, PINDIR_OUTPUT, nullptr, nullptr, true, 0, next)))
      return sink ? E_FAIL : S_OK;
    out = next;
  }

  if (!sink) return graph_->Render(out);
  if (!graph_->contains(sink)) return VFW_E_NOT_IN_GRAPH;
  HRESULT hr = VFW_E_CANNOT_CONNECT;
  for (auto& in : pinsOf(sink)) {
    if (directionOf(in) != PINDIR_INPUT || peerOf(in)) continue;
    hr = graph_->Connect(out, in);
    if (SUCCEEDED(hr)) return S_OK;
  }
  return hr;
}

HRESULT CaptureGraphBuilder2::SetOutputFileName(const GUID& subtype, const QString& fileName,
                                                std::shared_ptr<IBaseFilter>& mux,
                                                std::shared_ptr<IFileSinkFilter>& sink) {
  mux.reset();
  sink.reset();
  if (!graph_) return E_UNEXPECTED;
  if (fileName.isEmpty()) return E_INVALIDARG;
  auto mapper = FilterMapper::instance();
  const GUID muxClass = subtype == MEDIASUBTYPE_Avi   ? CLSID_AviDest
                        : subtype == MEDIASUBTYPE_Asf ? CLSID_WMAsfWriter
                                                      : subtype;
  std::shared_ptr<IBaseFilter> m;
  HRESULT hr = mapper->CreateInstance(muxClass, m);
  if (FAILED(hr)) return hr;

  if (auto ownSink = interfaceOf<IFileSinkFilter>(m)) {
    // A writer that is its own file sink (ASF).
    hr = ownSink->SetFileName(fileName, nullptr);
    if (FAILED(hr)) return hr;
    hr = graph_->AddFilter(m, QStringLiteral("Mux"));
    if (FAILED(hr)) return hr;
    mux = m;
    sink = ownSink;
    return S_OK;
  }

  auto writer = FileWriter::create();
  auto writerSink = interfaceOf<IFileSinkFilter>(writer);
  hr = writerSink->SetFileName(fileName, nullptr);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = graph_->AddFilter(m, QStringLiteral("Mux")))) return hr;
  if (FAILED(hr = graph_->AddFilter(writer, QStringLiteral("File writer")))) {
    graph_->RemoveFilter(m);
    return hr;
  }
  std::shared_ptr<IPin> muxOut, writerIn;
  FindPin(m, PINDIR_OUTPUT, nullptr, nullptr, true, 0, muxOut);
  FindPin(writer, PINDIR_INPUT, nullptr, nullptr, true, 0, writerIn);
  hr = muxOut && writerIn ? graph_->ConnectDirect(muxOut, writerIn, nullptr) : E_FAIL;
  if (FAILED(hr)) {
    graph_->RemoveFilter(writer);
    graph_->RemoveFilter(m);
    return hr;
  }
  mux = m;
  sink = writerSink;
  return S_OK;
}

}  // namespace vistrel::platform::media
