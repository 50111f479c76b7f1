#include "sources/Crossbar.h"

#include "platform/media/IBaseFilter.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/SystemDeviceEnum.h"

namespace vistrel::sources {

using namespace platform::media;

QString PhysicalTypeName(int32_t t) {
  switch (t) {
    case PhysConn_Video_Tuner: return QStringLiteral("Video Tuner");
    case PhysConn_Video_Composite: return QStringLiteral("Video Composite");
    case PhysConn_Video_SVideo: return QStringLiteral("Video SVideo");
    case PhysConn_Video_RGB: return QStringLiteral("Video RGB");
    case PhysConn_Video_YRYBY: return QStringLiteral("Video YRYBY");
    case PhysConn_Video_SerialDigital: return QStringLiteral("Video SerialDigital");
    case PhysConn_Video_ParallelDigital: return QStringLiteral("Video ParallelDigital");
    case PhysConn_Video_SCSI: return QStringLiteral("Video SCSI");
    case PhysConn_Video_AUX: return QStringLiteral("Video AUX");
    case PhysConn_Video_1394: return QStringLiteral("Video 1394");
    case PhysConn_Video_USB: return QStringLiteral("Video USB");
    case PhysConn_Video_VideoDecoder: return QStringLiteral("Video Decoder");
    case PhysConn_Video_VideoEncoder: return QStringLiteral("Video Encoder");
    case PhysConn_Video_SCART: return QStringLiteral("Video Scart");
    case PhysConn_Audio_Tuner: return QStringLiteral("Audio Tuner");
    case PhysConn_Audio_Line: return QStringLiteral("Audio Line");
    case PhysConn_Audio_Mic: return QStringLiteral("Audio Mic");
    case PhysConn_Audio_AESDigital: return QStringLiteral("Audio AESDigital");
    case PhysConn_Audio_SPDIFDigital: return QStringLiteral("Audio SPDIFDigital");
    case PhysConn_Audio_SCSI: return QStringLiteral("Audio SCSI");
    case PhysConn_Audio_AUX: return QStringLiteral("Audio AUX");
    case PhysConn_Audio_1394: return QStringLiteral("Audio 1394");
    case PhysConn_Audio_USB: return QStringLiteral("Audio USB");
    case PhysConn_Audio_AudioDecoder: return QStringLiteral("Audio Decoder");
    default: return QStringLiteral("Inconnu");
  }
}

void TMonikerList::Populate() {
  items_.clear();
  for (auto& m : SystemDeviceEnum::create()->monikers(AM_KSCATEGORY_CROSSBAR)) items_.push_back({m});
}

std::shared_ptr<IMoniker> TMonikerList::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].Moniker;
}

TCrossbar::TCrossbar(const std::shared_ptr<IPin>& startPin) : root_(std::make_unique<TCrRouting>()) {
  try {
    ListInputs(startPin, root_.get(), 0);
  } catch (...) {
  }
}

TCrossbar::~TCrossbar() { ClearRoutes(); }

void TCrossbar::ClearRoutes() { routes_.clear(); }

namespace {

// The crossbar's pins in enumeration order (inputs first, then outputs).
std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IAMCrossbar>& crossbar) {
  std::vector<std::shared_ptr<IPin>> result;
  auto filter = interfaceOf<IBaseFilter>(crossbar);
  std::shared_ptr<IEnumPins> pins;
  if (!filter || FAILED(filter->EnumPins(pins)) || !pins) return result;
  std::shared_ptr<IPin> pin;
  while (pins->Next(1, &pin, nullptr) == S_OK) result.push_back(pin);
  return result;
}

}  // namespace

HRESULT TCrossbar::PinAtIndex(const std::shared_ptr<IAMCrossbar>& crossbar, int32_t index, bool isInput,
                              std::shared_ptr<IPin>& pin) {
  pin.reset();
  int32_t outputs = 0, inputs = 0;
  if (!crossbar || FAILED(crossbar->get_PinCounts(outputs, inputs)) || index < 0) return E_FAIL;
  if (index >= (isInput ? inputs : outputs)) return E_FAIL;
  const size_t position = static_cast<size_t>(isInput ? index : index + inputs);
  std::vector<std::shared_ptr<IPin>> pins = pinsOf(crossbar);
  if (position >= pins.size()) return E_FAIL;
  pin = pins[position];
  return S_OK;
}

HRESULT TCrossbar::IndexOfPin(const std::shared_ptr<IAMCrossbar>& crossbar, const std::shared_ptr<IPin>& pin,
                              bool isInput, int32_t& index) {
  index = -1;
  int32_t outputs = 0, inputs = 0;
  if (!crossbar || !pin || FAILED(crossbar->get_PinCounts(outputs, inputs))) return E_FAIL;
  std::vector<std::shared_ptr<IPin>> pins = pinsOf(crossbar);
  for (size_t i = 0; i < pins.size(); ++i) {
    if (pins[i] != pin) continue;
    index = static_cast<int32_t>(i) - (isInput ? 0 : inputs);
    return S_OK;
  }
  return E_FAIL;
}

HRESULT TCrossbar::ListInputs(const std::shared_ptr<IPin>& pin, TCrRouting* node, int32_t depth) {
  if (!pin || !node) return E_FAIL;
  std::shared_ptr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer)) || !peer) return depth == 0 ? E_FAIL : S_FALSE;
  PIN_INFO info;
  if (FAILED(peer->QueryPinInfo(info)) || info.dir != PINDIR_OUTPUT) return S_OK;
  auto crossbar = interfaceOf<IAMCrossbar>(info.pFilter);
  if (!crossbar) return depth == 0 ? E_FAIL : S_FALSE;

  // A crossbar whose counts or pin information cannot be read contributes no inputs.
  int32_t outputs = 0, inputs = 0;
  if (FAILED(crossbar->get_PinCounts(outputs, inputs)) || inputs < 0 || outputs <= 0) return S_OK;
  int32_t out = -1;
  if (FAILED(IndexOfPin(crossbar, peer, false, out)) || out < 0 || out >= outputs) return S_OK;
  int32_t relatedOut = -1, outType = 0;
  if (FAILED(crossbar->get_CrossbarPinInfo(false, out, relatedOut, outType))) return S_OK;

  for (int32_t i = 0; i < inputs; ++i) {
    int32_t relatedIn = -1, inType = 0;
    if (FAILED(crossbar->get_CrossbarPinInfo(true, i, relatedIn, inType))) continue;
    if (inType >= PhysConn_Audio_Tuner || crossbar->CanRoute(out, i) != S_OK) continue;
    std::shared_ptr<IPin> p;
    PinAtIndex(crossbar, i, true, p);
    TCrRouting deeper;
    deeper.Nearer = node;
    node->Deeper = &deeper;
    node->Crossbar = crossbar;
    node->InputIndex = i;
    node->OutputIndex = out;
    node->RelatedInputIndex = relatedIn;
    node->RelatedOutputIndex = relatedOut;
    node->InputPhysicalType = inType;
    node->OutputPhysicalType = outType;
    node->Depth = depth;
    // Chains of crossbars are short; a loop of crossbars must not recurse forever.
    HRESULT r = depth < 16 ? ListInputs(p, &deeper, depth + 1) : S_FALSE;
    node->Deeper = nullptr;
    if (r == S_FALSE) AddRoute(*node);
  }
  return S_OK;
}

void TCrossbar::AddRoute(const TCrRouting& node) {
  const size_t n = static_cast<size_t>(node.Depth) + 1;
  TRouteArray route(n);
  const TCrRouting* reached = &node;
  for (size_t j = 0; j < n && reached; ++j, reached = reached->Nearer) route[j] = *reached;
  for (size_t j = 0; j < n; ++j) {
    route[j].Deeper = j == 0 ? nullptr : &route[j - 1];
    route[j].Nearer = j + 1 < n ? &route[j + 1] : nullptr;
  }
  routes_.push_back(std::move(route));
}

HRESULT TCrossbar::InputType(int index, int32_t& physicalType) const {
  if (index < 0 || index >= InputCount() || routes_[static_cast<size_t>(index)].empty()) return E_FAIL;
  physicalType = routes_[static_cast<size_t>(index)][0].InputPhysicalType;
  return S_OK;
}

HRESULT TCrossbar::InputName(int index, QString& name) const {
  int32_t type = 0;
  if (FAILED(InputType(index, type))) return E_FAIL;
  name = PhysicalTypeName(type);
  return S_OK;
}

HRESULT TCrossbar::RouteInput(int index) {
  if (index < 0 || index >= InputCount()) return E_FAIL;
  HRESULT r = E_FAIL;
  for (const TCrRouting& e : routes_[static_cast<size_t>(index)]) {
    if (!e.Crossbar) continue;
    r = e.Crossbar->Route(e.OutputIndex, e.InputIndex);
    if (r == S_OK && e.RelatedOutputIndex != -1 && e.RelatedInputIndex != -1)
      r = e.Crossbar->Route(e.RelatedOutputIndex, e.RelatedInputIndex);
  }
  return r;
}

}  // namespace vistrel::sources
