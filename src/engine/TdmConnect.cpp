// Connecting and disconnecting the video and audio sources: the device's pieces of graph, the
// preview chains around them, the source's interfaces and its crossbar.
#include <exception>

#include "engine/Tdm.h"
#include "filters/Tvt_Superposer.h"
#include "filters/Tvt_TimeStamper.h"
#include "platform/media/IAMExtDevice.h"
#include "platform/media/IAMExtTransport.h"
#include "platform/media/IKsPropertySet.h"
#include "platform/media/IVideoWindow.h"
#include "settings/Parameters.h"
#include "sources/Crossbar.h"
#include "sources/Sources.h"

namespace vistrel::engine {

using namespace platform::media;

namespace {

std::shared_ptr<IBaseFilter> filterOf(const std::shared_ptr<FilterComponent>& component) {
  return component ? component->filter() : nullptr;
}

bool connectPins(const std::shared_ptr<IPin>& out, const std::shared_ptr<IPin>& in,
                 const MediaType* type = nullptr) {
  return out && in && SUCCEEDED(out->Connect(in, type));
}

bool sameDevice(const sources::TavFlux* a, const sources::TavFlux* b) {
  return a && b && a->Device && a->Device == b->Device;
}

bool isVcr(const std::shared_ptr<IBaseFilter>& source) {
  auto device = interfaceOf<IAMExtDevice>(source);
  if (!device) return false;
  int32_t type = 0;
  double unused = 0;
  return SUCCEEDED(device->GetCapability(ED_DEVCAP_DEVICE_TYPE, type, unused)) && type == ED_DEVTYPE_VCR;
}

}  // namespace

template <class T>
std::shared_ptr<T> Tdm::Lookup(const GUID& category, bool audio, const std::shared_ptr<IBaseFilter>& filter) {
  for (const GUID* type :
       {&MEDIATYPE_Stream, &MEDIATYPE_Interleaved, audio ? &MEDIATYPE_Audio : &MEDIATYPE_Video}) {
    std::shared_ptr<T> found;
    if (SUCCEEDED(engine_->builder->FindInterface(&category, type, filter, found)) && found) return found;
  }
  return nullptr;
}

// ------------------------------------------------------------------------------------------
// Video

bool Tdm::Connect(sources::TVideoSource& source) {
  try {
    if (ConnectVideo(source)) return true;
  } catch (const std::exception&) {
  } catch (...) {
  }
  // What this attempt left behind would otherwise stay in the graph, half connected, until the
  // sources are enumerated again.
  try {
    if (!source.Connected && engine_->CurrentVideo != &source) TearDownVideo(source, true);
  } catch (...) {
  }
  return false;
}

bool Tdm::ConnectVideo(sources::TVideoSource& source) {
  if (!source.Device) return false;
  sources::TCaptureDevice& device = *source.Device;
  Superposer->SetSourceRowsInverted(false);
  Stop();
  if (sources::TVideoSource* current = engine_->CurrentVideo) {
    if (current->Connected) {
      if (!Disconnect(*current, true)) return false;
    } else {
      // A disconnect that failed half-way left it current: without this no source could ever
      // connect again.
      TearDownVideo(*current, true);
      engine_->CurrentVideo = nullptr;
    }
  }

  auto component = device.SetSourceGraph();
  device.SourceFilter = component;
  auto sourceFilter = filterOf(component);

  ReadCaptureFormats(sourceFilter);
  GatherVideoInterfaces(sourceFilter);

  engine_->SourceRowsInverted = false;
  device.SetVideoGraph(source.Stream);
  if (!engine_->VideoOutPin) return false;
  if (engine_->SourceRowsInverted) Superposer->SetSourceRowsInverted(true);

  if (!AddFilter(TamponerVideo, kTamponerVideo)) return false;
  std::shared_ptr<IPin> tamponIn, tamponOut;
  engine_->builder->FindPin(TamponerVideo, PINDIR_INPUT, nullptr, nullptr, true, 0, tamponIn);
  engine_->builder->FindPin(TamponerVideo, PINDIR_OUTPUT, nullptr, nullptr, true, 0, tamponOut);
  if (!tamponIn || !tamponOut) return false;

  color1.setGraph(engine_->fg);
  infdecvideo.setGraph(engine_->fg);
  color3.setGraph(engine_->fg);
  if (!AddFilter(Superposer, kSuperposer)) return false;

  const auto superIn = sources::PinOf(Superposer, 0);
  const auto superOut = sources::PinOf(Superposer, 1);
  bool linked = false;
  if (color1.inGraph() && connectPins(engine_->VideoOutPin, sources::PinOf(color1.filter(), 0))) {
    linked = connectPins(sources::PinOf(color1.filter(), 1), superIn);
  } else {
    // The converter cannot take this output: the overlay filter takes it directly.
    color1.setGraph(nullptr);
    linked = connectPins(engine_->VideoOutPin, superIn);
  }
  if (!linked) return false;

  infsupvideo.setGraph(engine_->fg);
  if (!connectPins(superOut, sources::PinOf(infdecvideo.filter(), 0))) return false;
  if (!connectPins(sources::PinOf(infdecvideo.filter(), 1), sources::PinOf(infsupvideo.filter(), 0)))
    return false;
  if (!connectPins(sources::PinOf(infsupvideo.filter(), 1), tamponIn)) return false;
  if (!connectPins(tamponOut, sources::PinOf(color3.filter(), 0))) return false;
  if (videoRenderer_) connectPins(sources::PinOf(color3.filter(), 1), sources::PinOf(videoRenderer_, 0));

  Superposer->SetDvInformationSource(source.SceneDetector ? source.SceneDetector->sharedProcessing()
                                                          : nullptr);

  std::shared_ptr<IPin> teeOut;
  if (FAILED(engine_->builder->FindPin(filterOf(engine_->VideoTee), PINDIR_OUTPUT, nullptr, nullptr, false, 0,
                                       teeOut)) ||
      !teeOut)
    return false;
  MediaType raw;
  if (SUCCEEDED(teeOut->ConnectionMediaType(raw))) {
    bool ratioNormal = true;
    if (parameters_) {
      try {
        ratioNormal = parameters_->Boolean(QStringLiteral("Mpeg2 Ratio Normal")).Value != 0;
      } catch (...) {
      }
    }
    sources::DescribeVideo(raw, ratioNormal, engine_->VideoInfo);
    if (raw.formattype == FORMAT_VideoInfo2) {
      device.NativeFormat1 = 5;
      device.NativeFormat2 = 0;
    } else if (raw.formattype == FORMAT_MPEGVideo) {
      device.NativeFormat1 = 4;
      device.NativeFormat2 = 0;
    } else if (raw.formattype == FORMAT_MPEG2Video) {
      device.NativeFormat1 = 3;
      device.NativeFormat2 = 0;
    }
  }

  source.HasTransport = interfaceOf<IAMExtTransport>(sourceFilter) != nullptr;
  if (source.HasTransport && AttachCamWindow) AttachCamWindow(source);

  engine_->CurrentVideo = &source;
  source.Connected = true;
  source.IsVcr = isVcr(sourceFilter);

  RouteVideoInput();
  return true;
}

void Tdm::ReadCaptureFormats(const std::shared_ptr<IBaseFilter>& source) {
  // A source without a capture pin has no formats: the previous source's list must not be
  // applied to it.
  formats_.clear();
  if (!source) return;
  std::shared_ptr<IPin> pin;
  if (FAILED(engine_->builder->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved,
                                       false, 0, pin)))
    engine_->builder->FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, false, 0, pin);
  if (!pin) return;
  std::shared_ptr<IEnumMediaTypes> types;
  if (FAILED(pin->EnumMediaTypes(types)) || !types) return;
  std::vector<MediaType> list(kMaxCaptureFormats);
  uint32_t fetched = 0;
  types->Next(kMaxCaptureFormats, list.data(), &fetched);
  list.resize(fetched);
  formats_ = std::move(list);
}

void Tdm::ReleaseVideoInterfaces() {
  VideoCaptureFilter.reset();
  VideoCompression.reset();
  VideoCaptureConfig.reset();
  VideoPreviewConfig.reset();
  TVTuner.reset();
  VideoVfwDialogs.reset();
  VideoProcAmp.reset();
  CameraControl.reset();
  FirstCrossbar.reset();
  FirstCrossbarFilter.reset();
  SecondCrossbar.reset();
}

void Tdm::GatherVideoInterfaces(const std::shared_ptr<IBaseFilter>& source) {
  ReleaseVideoInterfaces();
  VideoCaptureFilter = source;
  if (!source) return;
  auto& b = *engine_->builder;
  VideoCompression = Lookup<IAMVideoCompression>(PIN_CATEGORY_CAPTURE, false, source);
  VideoCaptureConfig = Lookup<IAMStreamConfig>(PIN_CATEGORY_CAPTURE, false, source);
  VideoPreviewConfig = Lookup<IAMStreamConfig>(PIN_CATEGORY_PREVIEW, false, source);
  TVTuner = Lookup<IAMTVTuner>(PIN_CATEGORY_CAPTURE, false, source);
  if (VideoCaptureConfig && FormatIndex >= 1 && FormatIndex <= CaptureFormatCount())
    VideoCaptureConfig->SetFormat(formats_[static_cast<size_t>(FormatIndex - 1)]);
  b.FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, source, VideoVfwDialogs);
  b.FindInterface(nullptr, nullptr, source, VideoProcAmp);
  b.FindInterface(nullptr, nullptr, source, CameraControl);
  BuildCrossbar(source);
  FirstCrossbar = Lookup<IAMCrossbar>(PIN_CATEGORY_CAPTURE, false, source);
  FirstCrossbarFilter = interfaceOf<IBaseFilter>(FirstCrossbar);
  if (FirstCrossbarFilter) b.FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, FirstCrossbarFilter, SecondCrossbar);
  // Only a crossbar further upstream counts as the second one.
  if (SecondCrossbar == FirstCrossbar) SecondCrossbar.reset();
}

void Tdm::BuildCrossbar(const std::shared_ptr<IBaseFilter>& capture) {
  crossbar_.reset();
  std::shared_ptr<IEnumPins> pins;
  if (FAILED(capture->EnumPins(pins)) || !pins) return;
  for (const auto& pin : pins->all()) {
    PIN_INFO info;
    if (!pin || FAILED(pin->QueryPinInfo(info)) || info.dir != PINDIR_INPUT) continue;
    auto ks = interfaceOf<IKsPropertySet>(pin);
    if (!ks) continue;
    GUID category;
    uint32_t returned = 0;
    if (FAILED(ks->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &category, sizeof(category), &returned)) ||
        returned != sizeof(category) || category != PIN_CATEGORY_ANALOGVIDEOIN)
      continue;
    std::shared_ptr<IPin> peer;
    if (FAILED(pin->ConnectedTo(peer)) || !peer) continue;
    crossbar_ = std::make_unique<sources::TCrossbar>(pin);
    CrossbarInputCount = crossbar_->InputCount();
    return;
  }
}

void Tdm::RouteVideoInput() {
  const int select = VideoInputSelect();
  if (crossbar_) crossbar_->RouteInput(select);
  if (FirstCrossbar) {
    int32_t outputs = 0, inputs = 0;
    if (SUCCEEDED(FirstCrossbar->get_PinCounts(outputs, inputs)) && select >= 0 && select < inputs)
      FirstCrossbar->Route(0, select);
  }
}

bool Tdm::Disconnect(sources::TVideoSource& source, bool full) {
  if (!source.Connected) return false;
  try {
    source.Connected = false;
    Stop();
    if (auto window = interfaceOf<IVideoWindow>(videoRenderer_)) window->put_Visible(false);
    TearDownVideo(source, full);
    engine_->CurrentVideo = nullptr;
    return true;
  } catch (...) {
    return false;
  }
}

void Tdm::TearDownVideo(sources::TVideoSource& source, bool full) {
  if (engine_->VideoTee && videoRenderer_) RemoveBetween(filterOf(engine_->VideoTee), videoRenderer_);
  color1.setGraph(nullptr);
  color3.setGraph(nullptr);
  infdecvideo.setGraph(nullptr);
  RemoveFilter(TamponerVideo);
  RemoveFilter(Superposer);
  infsupvideo.setGraph(nullptr);
  if (source.Device) source.Device->KillVideoGraph();
  engine_->VideoOutPin.reset();
  if (full && !sameDevice(engine_->CurrentAudio, &source)) {
    ReleaseVideoInterfaces();
    if (source.Device) source.Device->KillSourceGraph();
    if (source.CamWindow && DetachCamWindow) DetachCamWindow(source);
  }
  source.CamWindow = nullptr;
  source.HasTransport = false;
}

// ------------------------------------------------------------------------------------------
// Audio

bool Tdm::Connect(sources::TAudioSource& source) {
  try {
    if (ConnectAudio(source)) return true;
  } catch (...) {
  }
  try {
    if (!source.Connected && engine_->CurrentAudio != &source) TearDownAudio(source, true);
  } catch (...) {
  }
  return false;
}

bool Tdm::ConnectAudio(sources::TAudioSource& source) {
  if (!source.Device) return false;
  sources::TCaptureDevice& device = *source.Device;
  Stop();
  if (engine_->CurrentAudio && engine_->CurrentAudio->Connected && !Disconnect(*engine_->CurrentAudio, true))
    return false;

  auto component = device.SetSourceGraph();
  device.SourceFilter = component;
  auto pin = device.SetAudioGraph(source.Stream);
  if (!pin) return false;

  GatherAudioInterfaces(filterOf(component));

  if (!AddFilter(TamponerAudio, kTamponerAudio)) return false;
  infdecaudio.setGraph(engine_->fg);
  infsupaudio.setGraph(engine_->fg);
  auto& b = *engine_->builder;
  if (FAILED(b.RenderStream(nullptr, nullptr, pin, nullptr, infdecaudio.filter()))) return false;

  MediaType type;
  if (SUCCEEDED(pin->ConnectionMediaType(type))) sources::DescribeAudio(type, engine_->AudioInfo);

  // The preview's control time-stamper goes right after the device's pin.
  std::shared_ptr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer)) || !peer) return false;
  engine_->fg->Disconnect(pin);
  engine_->fg->Disconnect(peer);
  if (!AddFilter(ControlPreviewAudio, kControlPreviewAudio)) return false;
  if (!connectPins(pin, sources::PinOf(ControlPreviewAudio, 0), &type)) return false;
  if (!connectPins(sources::PinOf(ControlPreviewAudio, 1), peer, &type)) return false;

  b.RenderStream(nullptr, nullptr, infdecaudio.filter(), infsupaudio.filter(), TamponerAudio);
  if (auto renderer = audiorender.filter())
    b.RenderStream(nullptr, nullptr, TamponerAudio, nullptr, renderer);

  engine_->CurrentAudio = &source;
  auto sourceFilter = filterOf(component);
  source.HasTransport = interfaceOf<IAMExtTransport>(sourceFilter) != nullptr;
  if (source.HasTransport) {
    sources::TVideoSource* video = engine_->CurrentVideo;
    if (sameDevice(video, &source) && video->CamWindow)
      source.CamWindow = video->CamWindow;
    else if (AttachCamWindow)
      AttachCamWindow(source);
  }
  source.IsVcr = isVcr(sourceFilter);
  source.Connected = true;
  return true;
}

void Tdm::ReleaseAudioInterfaces() {
  AudioCaptureFilter.reset();
  AudioCaptureConfig.reset();
  TVAudio.reset();
  AudioVfwDialogs.reset();
}

void Tdm::GatherAudioInterfaces(const std::shared_ptr<IBaseFilter>& source) {
  ReleaseAudioInterfaces();
  AudioCaptureFilter = source;
  if (!source) return;
  AudioCaptureConfig = Lookup<IAMStreamConfig>(PIN_CATEGORY_CAPTURE, true, source);
  TVAudio = Lookup<IAMTVAudio>(PIN_CATEGORY_CAPTURE, true, source);
  engine_->builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, source, AudioVfwDialogs);
}

bool Tdm::Disconnect(sources::TAudioSource& source, bool full) {
  if (!source.Connected) return false;
  bool ok = true;
  try {
    source.Connected = false;
    Stop();
    TearDownAudio(source, full);
  } catch (...) {
    ok = false;
  }
  engine_->CurrentAudio = nullptr;
  return ok;
}

void Tdm::TearDownAudio(sources::TAudioSource& source, bool full) {
  if (engine_->AudioTee && audiorender.filter())
    RemoveBetween(filterOf(engine_->AudioTee), audiorender.filter());
  infdecaudio.setGraph(nullptr);
  infsupaudio.setGraph(nullptr);
  RemoveFilter(TamponerAudio);
  RemoveFilter(ControlPreviewAudio);
  if (source.Device) source.Device->KillAudioGraph();
  if (full && !sameDevice(engine_->CurrentVideo, &source)) {
    ReleaseAudioInterfaces();
    if (source.Device) source.Device->KillSourceGraph();
    if (source.CamWindow && DetachCamWindow) DetachCamWindow(source);
  }
  source.CamWindow = nullptr;
  source.HasTransport = false;
}

}  // namespace vistrel::engine
