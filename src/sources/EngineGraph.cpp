#include "sources/EngineGraph.h"

namespace vistrel::sources {

using namespace platform::media;

std::unique_ptr<EngineGraph> EngineGraph::create() {
  auto engine = std::make_unique<EngineGraph>();
  engine->fg = FilterGraph::create();
  engine->builder = CaptureGraphBuilder2::create();
  engine->builder->SetFiltergraph(engine->fg);
  return engine;
}

bool AddComponent(EngineGraph& engine, FilterComponent& component) {
  if (component.inGraph() && component.graph() == engine.fg) return true;
  return SUCCEEDED(component.setGraph(engine.fg));
}

void RemoveComponent(FilterComponent& component) { component.setGraph(nullptr); }

bool AddNamedFilter(EngineGraph& engine, const std::shared_ptr<IBaseFilter>& filter, const QString& name) {
  if (!filter || !engine.fg) return false;
  if (engine.fg->contains(filter)) return true;
  return SUCCEEDED(engine.fg->AddFilter(filter, name));
}

void RemoveNamedFilter(EngineGraph& engine, const std::shared_ptr<IBaseFilter>& filter) {
  if (filter && engine.fg && engine.fg->contains(filter)) engine.fg->RemoveFilter(filter);
}

std::shared_ptr<IPin> PinOf(const std::shared_ptr<IBaseFilter>& filter, int index) {
  if (!filter || index < 0) return nullptr;
  std::shared_ptr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins)) || !pins) return nullptr;
  std::shared_ptr<IPin> pin;
  for (int i = 0; i <= index; ++i) {
    pin.reset();
    if (pins->Next(1, &pin, nullptr) != S_OK) return nullptr;
  }
  return pin;
}

std::shared_ptr<IPin> ConnectAudioThroughTee(EngineGraph& engine, const std::shared_ptr<IBaseFilter>& source,
                                             const std::shared_ptr<FilterComponent>& tee, int32_t stream) {
  CaptureGraphBuilder2& b = *engine.builder;
  std::shared_ptr<IPin> pin;
  if (FAILED(b.FindPin(source, PINDIR_OUTPUT, nullptr, &MEDIATYPE_Audio, false, stream - 1, pin)) || !pin)
    return nullptr;
  AddComponent(engine, *tee);
  engine.AudioTee = tee;
  std::shared_ptr<IPin> teeIn;
  if (FAILED(b.FindPin(tee->filter(), PINDIR_INPUT, nullptr, nullptr, true, 0, teeIn)) || !teeIn ||
      FAILED(pin->Connect(teeIn, nullptr)))
    return nullptr;
  std::shared_ptr<IPin> out;
  b.FindPin(tee->filter(), PINDIR_OUTPUT, nullptr, &MEDIATYPE_Audio, true, 0, out);
  return out;
}

namespace {

bool removeUpstream(EngineGraph& engine, const std::shared_ptr<IPin>& pin,
                    const std::shared_ptr<IBaseFilter>& stop, int depth) {
  if (!pin) return true;
  PIN_INFO info;
  if (FAILED(pin->QueryPinInfo(info)) || !info.pFilter) return true;
  std::shared_ptr<IBaseFilter> f = info.pFilter;
  if (f == stop) return true;
  // A graph has no cycles, but a damaged one must not recurse forever.
  if (depth > 64) return false;
  bool ok = true;
  for (int i = 0;; ++i) {
    std::shared_ptr<IPin> input;
    if (FAILED(engine.builder->FindPin(f, PINDIR_INPUT, nullptr, nullptr, false, i, input)) || !input) break;
    std::shared_ptr<IPin> peer;
    if (FAILED(input->ConnectedTo(peer)) || !peer) break;
    ok = removeUpstream(engine, peer, stop, depth + 1) && ok;
  }
  if (engine.fg->contains(f)) engine.fg->RemoveFilter(f);
  return ok;
}

}  // namespace

bool RemoveUpstream(EngineGraph& engine, const std::shared_ptr<IPin>& pin,
                    const std::shared_ptr<IBaseFilter>& stopFilter) {
  try {
    if (!engine.fg || !engine.builder) return false;
    return removeUpstream(engine, pin, stopFilter, 0);
  } catch (...) {
    return false;
  }
}

}  // namespace vistrel::sources
