#include "sources/VideoCaptureDevice.h"

#include "platform/media/FilterMapper.h"
#include "platform/media/ISampleGrabber.h"
#include "platform/media/MediaGuids.h"
#include "platform/ui/MessageBoxes.h"
#include "sources/Crossbar.h"

namespace vistrel::sources {

using namespace platform::media;

TdmVideo::TdmVideo()
    : vid_source(std::make_shared<FilterComponent>(QStringLiteral("vid_source"))),
      vid_crossbar(std::make_shared<FilterComponent>(QStringLiteral("vid_crossbar"))),
      vid_nativevideoinfinite(std::make_shared<FilterComponent>(QStringLiteral("vid_nativevideoinfinite"))),
      vid_nativeaudioinfinite(std::make_shared<FilterComponent>(QStringLiteral("vid_nativeaudioinfinite"))),
      vid_decoder(std::make_shared<FilterComponent>(QStringLiteral("vid_decoder"))),
      vid_sg(std::make_shared<FilterComponent>(QStringLiteral("vid_sg"))),
      fg(FilterGraph::create()) {
  vid_nativevideoinfinite->bindClassId(CLSID_InfTee);
  vid_nativeaudioinfinite->bindClassId(CLSID_InfTee);
  vid_sg->bindClassId(CLSID_SampleGrabber);
  if (auto grabber = interfaceOf<ISampleGrabber>(vid_sg->filter()))
    grabber->SetMediaType(MediaType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo));
}

namespace {

int countOutputs(CaptureGraphBuilder2& builder, const std::shared_ptr<IBaseFilter>& filter,
                 const GUID* category, const GUID& type) {
  int n = 0;
  for (;; ++n) {
    std::shared_ptr<IPin> pin;
    if (FAILED(builder.FindPin(filter, PINDIR_OUTPUT, category, &type, false, n, pin)) || !pin) break;
  }
  return n;
}

// Breaks the connection of `pin` at both ends.
void disconnectBoth(const std::shared_ptr<IPin>& pin) {
  if (!pin) return;
  std::shared_ptr<IPin> peer;
  pin->ConnectedTo(peer);
  pin->Disconnect();
  if (peer) peer->Disconnect();
}

}  // namespace

TVideoCaptureDevice::TVideoCaptureDevice(EngineGraph& engine, const std::shared_ptr<IMoniker>& moniker,
                                         const QString& deviceName, int32_t instance)
    : TCaptureDevice(engine) {
  try {
    NativeFormat1 = 5;
    NativeFormat2 = 0;
    dm_ = std::make_unique<TdmVideo>();
    QVariant friendly;
    if (moniker) moniker->Read(QStringLiteral("FriendlyName"), friendly);
    ConstructBase(deviceName, instance, friendly.toString());
    SourceFilter = dm_->vid_source;
    if (FAILED(dm_->vid_source->bindMoniker(moniker))) return;
    TdmVideo& dm = *dm_;
    if (FAILED(dm.vid_source->setGraph(dm.fg))) return;
    auto builder = CaptureGraphBuilder2::create();
    builder->SetFiltergraph(dm.fg);
    VideoStreams = countOutputs(*builder, dm.vid_source->filter(), &PIN_CATEGORY_CAPTURE, MEDIATYPE_Video);
    AudioStreams = countOutputs(*builder, dm.vid_source->filter(), nullptr, MEDIATYPE_Audio);
    dm.vid_source->setGraph(nullptr);
    dm.fg->Clear();
    Ready = true;
    DeviceKind = kDeviceVideo;
  } catch (...) {
    Ready = false;
  }
}

TVideoCaptureDevice::~TVideoCaptureDevice() = default;

std::shared_ptr<FilterComponent> TVideoCaptureDevice::SetSourceGraph() {
  try {
    TdmVideo& dm = *dm_;
    if (!dm.vid_source->inGraph()) AddComponent(engine_, *dm.vid_source);
    std::shared_ptr<IPin> input;
    engine_.builder->FindPin(dm.vid_source->filter(), PINDIR_INPUT, nullptr, nullptr, true, 0, input);
    if (input && engine_.crossbars) {
      bool routed = false;
      for (int i = 0; i < engine_.crossbars->Count() && !routed; ++i) {
        if (FAILED(dm.vid_crossbar->bindMoniker(engine_.crossbars->Items(i)))) continue;
        if (!AddComponent(engine_, *dm.vid_crossbar)) continue;
        routed = SUCCEEDED(engine_.builder->RenderStream(nullptr, nullptr, dm.vid_crossbar->filter(), nullptr,
                                                         dm.vid_source->filter()));
      }
      if (!routed) RemoveComponent(*dm.vid_crossbar);
    }
  } catch (...) {
  }
  return dm_->vid_source;
}

void TVideoCaptureDevice::SetVideoGraph(int32_t stream) {
  engine_.VideoOutPin.reset();
  if (stream < 1 || stream > VideoStreams) return;
  try {
    TdmVideo& dm = *dm_;
    CaptureGraphBuilder2& b = *engine_.builder;
    FilterGraph& fg = *engine_.fg;
    std::shared_ptr<IPin> pin;
    if (FAILED(b.FindPin(dm.vid_source->filter(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                         false, stream - 1, pin)) ||
        !pin)
      return;

    AddComponent(engine_, *dm.vid_nativevideoinfinite);
    std::shared_ptr<IBaseFilter> tee = dm.vid_nativevideoinfinite->filter();
    if (auto teeIn = PinOf(tee, 0)) pin->Connect(teeIn, nullptr);
    MediaType mt;
    pin->ConnectionMediaType(mt);

    std::shared_ptr<IBaseFilter> stamper = engine_.controlPreviewVideo;
    AddNamedFilter(engine_, stamper, kControlPreviewVideo);
    std::shared_ptr<IPin> teeOut = PinOf(tee, 1);
    std::shared_ptr<IPin> stampIn = PinOf(stamper, 0);
    std::shared_ptr<IPin> stampOut = PinOf(stamper, 1);
    fg.ConnectDirect(teeOut, stampIn, nullptr);

    // The first registered filter that takes the capture type and gives video, ending in the
    // RGB 24-bit probe sink.
    std::shared_ptr<IPin> grabberIn = PinOf(dm.vid_sg->filter(), 0);
    bool decoded = false;
    std::shared_ptr<IEnumMoniker> candidates;
    FilterMapper::instance()->EnumMatchingFilters(candidates, 0, true, 0, true, {{mt.majortype, mt.subtype}},
                                                  nullptr, nullptr, false, true,
                                                  {{MEDIATYPE_Video, GUID_NULL}}, nullptr, nullptr);
    if (candidates) {
      RemoveComponent(*dm.vid_decoder);
      std::shared_ptr<IMoniker> candidate;
      while (!decoded && candidates->Next(1, &candidate, nullptr) == S_OK) {
        if (FAILED(dm.vid_decoder->bindMoniker(candidate)) || !AddComponent(engine_, *dm.vid_decoder))
          continue;
        std::shared_ptr<IBaseFilter> decoder = interfaceOf<IBaseFilter>(dm.vid_decoder->filter());
        if (!decoder) continue;
        AddComponent(engine_, *dm.vid_sg);
        if (FAILED(fg.ConnectDirect(stampOut, PinOf(decoder, 0), nullptr))) continue;
        decoded = SUCCEEDED(fg.ConnectDirect(PinOf(decoder, 1), grabberIn, nullptr));
      }
    }
    if (!decoded) {
      // No decoder: an intelligent connection from the time-stamper, else from the tee itself.
      disconnectBoth(stampOut);
      RemoveComponent(*dm.vid_decoder);
      AddComponent(engine_, *dm.vid_sg);
      if (FAILED(fg.Connect(stampOut, grabberIn))) {
        disconnectBoth(stampIn);
        if (FAILED(fg.Connect(teeOut, grabberIn))) {
          RemoveComponent(*dm.vid_sg);
          return;
        }
      }
    }
    std::shared_ptr<IPin> last;
    grabberIn->ConnectedTo(last);
    disconnectBoth(grabberIn);
    RemoveComponent(*dm.vid_sg);
    engine_.VideoOutPin = last;
    engine_.VideoTee = dm.vid_nativevideoinfinite;
  } catch (...) {
  }
}

std::shared_ptr<IPin> TVideoCaptureDevice::SetAudioGraph(int32_t stream) {
  if (stream < 1 || stream > AudioStreams) return nullptr;
  try {
    return ConnectAudioThroughTee(engine_, dm_->vid_source->filter(), dm_->vid_nativeaudioinfinite, stream);
  } catch (...) {
    return nullptr;
  }
}

void TVideoCaptureDevice::KillVideoGraph() {
  try {
    RemoveComponent(*dm_->vid_nativevideoinfinite);
    RemoveNamedFilter(engine_, engine_.controlPreviewVideo);
    RemoveComponent(*dm_->vid_decoder);
  } catch (...) {
  }
  engine_.VideoTee.reset();
  engine_.VideoOutPin.reset();
}

void TVideoCaptureDevice::KillAudioGraph() {
  try {
    RemoveComponent(*dm_->vid_nativeaudioinfinite);
    RemoveNamedFilter(engine_, engine_.controlPreviewAudio);
  } catch (...) {
  }
  engine_.AudioTee.reset();
}

void TVideoCaptureDevice::KillSourceGraph() {
  try {
    RemoveComponent(*dm_->vid_source);
    RemoveComponent(*dm_->vid_crossbar);
  } catch (...) {
  }
}

bool TVideoCaptureDevice::BuildMuxGraph(const QString&) {
  platform::ui::showMessage(platform::ui::MessageKind::Information, QStringLiteral("Not Ready"));
  return false;
}

}  // namespace vistrel::sources
