#include "sources/PlugInCaptureDevice.h"

#include "platform/media/MediaGuids.h"
#include "sources/PluginSource.h"
#include "sources/Plugins.h"
#include "sources/Sources.h"

// The handles of the module interface.
struct vt_graph {
  vistrel::sources::EngineGraph* engine;
};
struct vt_component {
  std::shared_ptr<vistrel::platform::media::FilterComponent> component;
};
struct vt_pin {
  std::shared_ptr<vistrel::platform::media::IPin> pin;
};

namespace vistrel::sources {

using namespace platform::media;

namespace {

using NameFn = void (*)(char*, int32_t);
using InstanceFn = void (*)(vt_instance*);
using FilterFn = void (*)(vt_instance*, vt_component**);
using CountFn = void (*)(vt_instance*, int32_t*);
using SetSourceFn = void (*)(vt_instance*, vt_component**, vt_graph*);
using GraphFn = void (*)(vt_instance*, vt_graph*);
using SetVideoFn = void (*)(vt_instance*, int32_t, vt_pin**, vt_graph*, uint8_t*, vt_component**, uint8_t*,
                            uint8_t*);
using SetAudioFn = int32_t (*)(vt_instance*, int32_t, vt_pin**, vt_graph*, vt_component**);
using KillBranchFn = void (*)(vt_instance*, vt_pin**, vt_graph*);
using BuildMuxFn = void (*)(vt_instance*, vt_graph*, const uint16_t*);

// Takes the pin a module handed over.
std::shared_ptr<IPin> adoptPin(vt_pin*& pin) {
  std::shared_ptr<IPin> result = pin ? pin->pin : nullptr;
  delete pin;
  pin = nullptr;
  return result;
}

std::shared_ptr<FilterComponent> componentOf(vt_component* c) { return c ? c->component : nullptr; }

}  // namespace

TPlugInCaptureDevice::TPlugInCaptureDevice(EngineGraph& engine, const QString& deviceName, int32_t instance,
                                           const QString& path)
    : TCaptureDevice(engine), graph_(std::make_unique<vt_graph>(vt_graph{&engine})) {
  try {
    Ready = false;
    NativeFormat1 = 0;
    NativeFormat2 = 0;
    if (!library_.load(path)) return;
    if (ReadPluginName(Export("pi_drivername")) != deviceName) return;
    const QString friendly = ReadPluginName(Export("pi_friendlyname"));
    ConstructBase(deviceName, instance, friendly);
    if (auto create = reinterpret_cast<InstanceFn>(Export("pi_create"))) create(&handle_);
    if (handle_ == 0) return;
    vt_component* filter = nullptr;
    if (auto f = reinterpret_cast<FilterFn>(Export("pi_sourcefilter"))) f(&handle_, &filter);
    SourceFilter = componentOf(filter);
    int32_t n = 0;
    if (auto f = reinterpret_cast<CountFn>(Export("pi_nbfluxvideo"))) f(&handle_, &n);
    VideoStreams = std::max(n, 0);
    n = 0;
    if (auto f = reinterpret_cast<CountFn>(Export("pi_nbfluxaudio"))) f(&handle_, &n);
    AudioStreams = std::max(n, 0);
    Ready = true;
    DeviceKind = kDevicePlugIn;
  } catch (...) {
    Ready = false;
  }
}

TPlugInCaptureDevice::~TPlugInCaptureDevice() {
  try {
    if (engine_.CurrentVideo && engine_.CurrentVideo->Device == this) {
      TVideoSource* source = engine_.CurrentVideo;
      if (engine_.DisconnectVideo) engine_.DisconnectVideo(*source, true);
      if (engine_.CurrentVideo == source) engine_.CurrentVideo = nullptr;
    }
    if (engine_.CurrentAudio && engine_.CurrentAudio->Device == this) {
      TAudioSource* source = engine_.CurrentAudio;
      if (engine_.DisconnectAudio) engine_.DisconnectAudio(*source, true);
      if (engine_.CurrentAudio == source) engine_.CurrentAudio = nullptr;
    }
    // The module's filters call into its code: none may run or stay in the graph once the
    // library is gone.
    if (SourceFilter && SourceFilter->inGraph()) {
      if (auto f = SourceFilter->filter()) f->Stop();
      RemoveComponent(*SourceFilter);
    }
    SourceFilter.reset();
    if (handle_ != 0)
      if (auto destroy = reinterpret_cast<InstanceFn>(Export("pi_destroy"))) destroy(&handle_);
  } catch (...) {
  }
  library_.unload();
}

void* TPlugInCaptureDevice::Export(const char* name) {
  return library_.loaded() ? library_.symbol(name) : nullptr;
}

void TPlugInCaptureDevice::SetVideoGraph(int32_t stream) {
  engine_.VideoOutPin.reset();
  engine_.VideoTee.reset();
  try {
    auto f = reinterpret_cast<SetVideoFn>(Export("pi_setvideograph"));
    if (!f) return;
    vt_pin* pin = nullptr;
    vt_component* tee = nullptr;
    uint8_t inverted = 0, format1 = 0, format2 = 0;
    f(&handle_, stream, &pin, graph_.get(), &inverted, &tee, &format2, &format1);
    engine_.VideoOutPin = adoptPin(pin);
    engine_.VideoTee = componentOf(tee);
    engine_.SourceRowsInverted = inverted != 0;
    NativeFormat1 = format1;
    NativeFormat2 = format2;
  } catch (...) {
  }
}

std::shared_ptr<IPin> TPlugInCaptureDevice::SetAudioGraph(int32_t stream) {
  try {
    auto f = reinterpret_cast<SetAudioFn>(Export("pi_setaudiograph"));
    if (!f) return nullptr;
    vt_pin* pin = nullptr;
    vt_component* tee = nullptr;
    audioResult_ = f(&handle_, stream, &pin, graph_.get(), &tee);
    engine_.AudioTee = componentOf(tee);
    return adoptPin(pin);
  } catch (...) {
    return nullptr;
  }
}

void TPlugInCaptureDevice::KillVideoGraph() {
  try {
    if (auto f = reinterpret_cast<KillBranchFn>(Export("pi_killvideograph"))) {
      vt_pin* spare = nullptr;
      f(&handle_, &spare, graph_.get());
      adoptPin(spare);
    }
  } catch (...) {
  }
  engine_.VideoTee.reset();
  engine_.VideoOutPin.reset();
}

void TPlugInCaptureDevice::KillAudioGraph() {
  try {
    if (auto f = reinterpret_cast<KillBranchFn>(Export("pi_killaudiograph"))) {
      vt_pin* spare = nullptr;
      f(&handle_, &spare, graph_.get());
      adoptPin(spare);
    }
  } catch (...) {
  }
  engine_.AudioTee.reset();
}

std::shared_ptr<FilterComponent> TPlugInCaptureDevice::SetSourceGraph() {
  try {
    if (auto f = reinterpret_cast<SetSourceFn>(Export("pi_setsourcegraph"))) {
      vt_component* filter = nullptr;
      f(&handle_, &filter, graph_.get());
      if (filter) SourceFilter = componentOf(filter);
    }
  } catch (...) {
  }
  return SourceFilter;
}

void TPlugInCaptureDevice::KillSourceGraph() {
  try {
    if (auto f = reinterpret_cast<GraphFn>(Export("pi_killsourcegraph"))) f(&handle_, graph_.get());
  } catch (...) {
  }
}

bool TPlugInCaptureDevice::BuildMuxGraph(const QString& fileName) {
  try {
    auto f = reinterpret_cast<BuildMuxFn>(Export("pi_buildmuxgraph"));
    if (!f) return false;
    const std::u16string name = fileName.toStdU16String();
    f(&handle_, graph_.get(), reinterpret_cast<const uint16_t*>(name.c_str()));
    return true;
  } catch (...) {
    return false;
  }
}

void TPlugInCaptureDevice::KillMuxGraph() {
  try {
    if (auto f = reinterpret_cast<GraphFn>(Export("pi_killmuxgraph"))) f(&handle_, graph_.get());
  } catch (...) {
  }
}

}  // namespace vistrel::sources

// ---- The program's side of the module interface ----

using namespace vistrel::platform::media;

#define VT_EXPORT __attribute__((visibility("default")))

namespace {

bool matchesMajor(const std::shared_ptr<IPin>& pin, const GUID* major) {
  if (!major) return true;
  MediaType connected;
  if (SUCCEEDED(pin->ConnectionMediaType(connected))) return connected.majortype == *major;
  std::shared_ptr<IEnumMediaTypes> types;
  if (FAILED(pin->EnumMediaTypes(types)) || !types) return false;
  for (const MediaType& t : types->all())
    if (t.majortype == *major) return true;
  return false;
}

bool parseGuid(const char* text, GUID& out) { return text && GUID::fromString(QString::fromUtf8(text), out); }

}  // namespace

extern "C" {

VT_EXPORT vt_component* vt_component_create(const char* name) {
  return new vt_component{std::make_shared<FilterComponent>(name ? QString::fromUtf8(name) : QString())};
}

VT_EXPORT void vt_component_free(vt_component* component) {
  if (!component) return;
  component->component->setGraph(nullptr);
  delete component;
}

VT_EXPORT int32_t vt_component_bind_clsid(vt_component* component, const char* clsid) {
  GUID id;
  if (!component || !parseGuid(clsid, id)) return E_INVALIDARG;
  return component->component->bindClassId(id);
}

VT_EXPORT int32_t vt_component_bind_device(vt_component* component, const char* category, const char* name) {
  GUID id;
  if (!component || !name || !parseGuid(category, id)) return E_INVALIDARG;
  return component->component->bindFriendlyName(id, QString::fromUtf8(name));
}

VT_EXPORT int32_t vt_component_set_graph(vt_component* component, vt_graph* graph) {
  if (!component) return E_POINTER;
  if (!graph || !graph->engine) return component->component->setGraph(nullptr);
  return component->component->setGraph(graph->engine->fg);
}

VT_EXPORT int32_t vt_component_in_graph(const vt_component* component) {
  return component && component->component->inGraph() ? 1 : 0;
}

VT_EXPORT vt_pin* vt_component_find_pin(vt_component* component, int32_t direction, const char* majorType,
                                        int32_t unconnectedOnly, int32_t index) {
  if (!component || !component->component->filter() || index < 0) return nullptr;
  GUID major;
  const bool typed = majorType != nullptr;
  if (typed && !parseGuid(majorType, major)) return nullptr;
  std::shared_ptr<IEnumPins> pins;
  if (FAILED(component->component->filter()->EnumPins(pins)) || !pins) return nullptr;
  int32_t n = 0;
  for (const auto& pin : pins->all()) {
    PIN_DIRECTION dir;
    if (FAILED(pin->QueryDirection(dir)) || int32_t(dir) != direction) continue;
    std::shared_ptr<IPin> peer;
    if (unconnectedOnly && SUCCEEDED(pin->ConnectedTo(peer)) && peer) continue;
    if (!matchesMajor(pin, typed ? &major : nullptr)) continue;
    if (n++ == index) return new vt_pin{pin};
  }
  return nullptr;
}

VT_EXPORT void vt_pin_free(vt_pin* pin) { delete pin; }

VT_EXPORT int32_t vt_pin_connected(vt_pin* pin) {
  std::shared_ptr<IPin> peer;
  return pin && pin->pin && SUCCEEDED(pin->pin->ConnectedTo(peer)) && peer ? 1 : 0;
}

VT_EXPORT int32_t vt_graph_connect_direct(vt_graph* graph, vt_pin* out, vt_pin* in) {
  if (!graph || !graph->engine || !graph->engine->fg || !out || !in) return E_POINTER;
  return graph->engine->fg->ConnectDirect(out->pin, in->pin, nullptr);
}

VT_EXPORT int32_t vt_graph_connect(vt_graph* graph, vt_pin* out, vt_pin* in) {
  if (!graph || !graph->engine || !graph->engine->fg || !out || !in) return E_POINTER;
  return graph->engine->fg->Connect(out->pin, in->pin);
}

VT_EXPORT vt_component* vt_source_create(const char* name, int32_t width, int32_t height,
                                         int32_t framesPerSecond, vt_fill_frame fill, void* user) {
  if (!fill || width < 1 || width > 4096 || height < 1 || height > 4096 || framesPerSecond < 1 ||
      framesPerSecond > 120)
    return nullptr;
  const QString filterName = name ? QString::fromUtf8(name) : QStringLiteral("Plug-in Source");
  auto filter = std::make_shared<vistrel::sources::PluginSource>(filterName, width, height, framesPerSecond,
                                                                 fill, user);
  auto* component = new vt_component{std::make_shared<FilterComponent>(filterName)};
  component->component->bindInstance(filter);
  return component;
}

}  // extern "C"
