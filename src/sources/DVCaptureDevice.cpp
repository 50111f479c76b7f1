#include "sources/DVCaptureDevice.h"

#include "platform/media/IIPDVDec.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/filters/DvSplitter.h"
#include "platform/media/filters/DvVideoDecoder.h"

namespace vistrel::sources {

using namespace platform::media;

TdmDV::TdmDV()
    : dv_source(std::make_shared<FilterComponent>(QStringLiteral("dv_source"))),
      dv_splitter(std::make_shared<FilterComponent>(QStringLiteral("dv_splitter"))),
      dv_muxinfinite(std::make_shared<FilterComponent>(QStringLiteral("dv_muxinfinite"))),
      dv_dec(std::make_shared<FilterComponent>(QStringLiteral("dv_dec"))),
      dv_nativevideoinfinite(std::make_shared<FilterComponent>(QStringLiteral("dv_nativevideoinfinite"))),
      dv_nativeaudioinfinite(std::make_shared<FilterComponent>(QStringLiteral("dv_nativeaudioinfinite"))),
      fg(FilterGraph::create()) {
  dv_splitter->bindClassId(CLSID_DVSplitter);
  dv_muxinfinite->bindClassId(CLSID_InfTee);
  dv_dec->bindClassId(CLSID_DVVideoCodec);
  dv_nativevideoinfinite->bindClassId(CLSID_InfTee);
  dv_nativeaudioinfinite->bindClassId(CLSID_InfTee);
}

namespace {

int countOutputs(CaptureGraphBuilder2& builder, const std::shared_ptr<IBaseFilter>& filter,
                 const GUID& type) {
  int n = 0;
  for (;; ++n) {
    std::shared_ptr<IPin> pin;
    if (FAILED(builder.FindPin(filter, PINDIR_OUTPUT, nullptr, &type, false, n, pin)) || !pin) break;
  }
  return n;
}

}  // namespace

TDVCaptureDevice::TDVCaptureDevice(EngineGraph& engine, const std::shared_ptr<IMoniker>& moniker,
                                   const QString& deviceName, int32_t instance)
    : TCaptureDevice(engine) {
  try {
    NativeFormat1 = 1;
    NativeFormat2 = 2;
    dm_ = std::make_unique<TdmDV>();
    ConstructBase(deviceName, instance, kDVSourceName);
    SourceFilter = dm_->dv_source;
    if (FAILED(dm_->dv_source->bindMoniker(moniker))) return;

    TdmDV& dm = *dm_;
    if (FAILED(dm.dv_source->setGraph(dm.fg)) || FAILED(dm.dv_splitter->setGraph(dm.fg))) return;
    dm.sceneDetector = filters::Tvt_SceneDetect::create();
    dm.sceneDetectorFilter = dm.sceneDetector;
    dm.sceneDetector->SetNotifyWindow(engine.notifyWindow);

    auto builder = CaptureGraphBuilder2::create();
    builder->SetFiltergraph(dm.fg);
    builder->RenderStream(nullptr, &MEDIATYPE_Interleaved, dm.dv_source->filter(), nullptr,
                          dm.dv_splitter->filter());
    VideoStreams = countOutputs(*builder, dm.dv_splitter->filter(), MEDIATYPE_Video);
    AudioStreams = countOutputs(*builder, dm.dv_splitter->filter(), MEDIATYPE_Audio);

    dm.dv_source->setGraph(nullptr);
    dm.fg->Clear();
    dm.dv_splitter->removedFromGraph();
    Ready = true;
    DeviceKind = kDeviceDV;
  } catch (...) {
    Ready = false;
  }
}

TDVCaptureDevice::~TDVCaptureDevice() = default;

std::shared_ptr<FilterComponent> TDVCaptureDevice::SetSourceGraph() {
  try {
    TdmDV& dm = *dm_;
    if (!dm.dv_source->inGraph()) {
      AddComponent(engine_, *dm.dv_source);
      AddNamedFilter(engine_, dm.sceneDetectorFilter, QStringLiteral("dv_Scenedetect"));
      AddComponent(engine_, *dm.dv_muxinfinite);
      AddComponent(engine_, *dm.dv_splitter);
      engine_.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved, dm.dv_source->filter(),
                                    dm.sceneDetectorFilter, dm.dv_muxinfinite->filter());
      engine_.builder->RenderStream(nullptr, nullptr, dm.dv_muxinfinite->filter(), nullptr,
                                    dm.dv_splitter->filter());
    }
  } catch (...) {
  }
  return dm_->dv_source;
}

void TDVCaptureDevice::SetVideoGraph(int32_t stream) {
  engine_.VideoOutPin.reset();
  if (stream < 1) return;
  try {
    TdmDV& dm = *dm_;
    CaptureGraphBuilder2& b = *engine_.builder;
    std::shared_ptr<IPin> pin;
    if (FAILED(b.FindPin(dm.dv_splitter->filter(), PINDIR_OUTPUT, nullptr, &MEDIATYPE_Video, false,
                         stream - 1, pin)) ||
        !pin)
      return;
    AddComponent(engine_, *dm.dv_dec);
    if (auto dec = interfaceOf<IIPDVDec>(dm.dv_dec->filter()))
      dec->put_IPDisplay(engine_.DVHalfSize ? DVRESOLUTION_HALF : DVRESOLUTION_FULL);
    AddComponent(engine_, *dm.dv_nativevideoinfinite);
    std::shared_ptr<IBaseFilter> tee = dm.dv_nativevideoinfinite->filter();
    std::shared_ptr<IPin> teeIn;
    b.FindPin(tee, PINDIR_INPUT, nullptr, nullptr, true, 0, teeIn);
    if (teeIn) pin->Connect(teeIn, nullptr);
    AddNamedFilter(engine_, engine_.controlPreviewVideo, kControlPreviewVideo);
    std::shared_ptr<IPin> teeOut;
    b.FindPin(tee, PINDIR_OUTPUT, nullptr, &MEDIATYPE_Video, true, 0, teeOut);
    std::shared_ptr<IPin> stampIn = PinOf(engine_.controlPreviewVideo, 0);
    std::shared_ptr<IPin> stampOut = PinOf(engine_.controlPreviewVideo, 1);
    if (teeOut && stampIn) teeOut->Connect(stampIn, nullptr);
    std::shared_ptr<IPin> decIn;
    b.FindPin(dm.dv_dec->filter(), PINDIR_INPUT, nullptr, nullptr, true, 0, decIn);
    if (stampOut && decIn) stampOut->Connect(decIn, nullptr);
    std::shared_ptr<IPin> out;
    b.FindPin(dm.dv_dec->filter(), PINDIR_OUTPUT, nullptr, &MEDIATYPE_Video, true, 0, out);
    engine_.VideoOutPin = out;
    engine_.VideoTee = dm.dv_nativevideoinfinite;
  } catch (...) {
  }
}

std::shared_ptr<IPin> TDVCaptureDevice::SetAudioGraph(int32_t stream) {
  if (stream < 1) return nullptr;
  try {
    return ConnectAudioThroughTee(engine_, dm_->dv_splitter->filter(), dm_->dv_nativeaudioinfinite, stream);
  } catch (...) {
    return nullptr;
  }
}

void TDVCaptureDevice::KillVideoGraph() {
  try {
    RemoveComponent(*dm_->dv_dec);
    RemoveComponent(*dm_->dv_nativevideoinfinite);
    RemoveNamedFilter(engine_, engine_.controlPreviewVideo);
  } catch (...) {
  }
  engine_.VideoTee.reset();
  engine_.VideoOutPin.reset();
}

void TDVCaptureDevice::KillAudioGraph() {
  try {
    RemoveComponent(*dm_->dv_nativeaudioinfinite);
    RemoveNamedFilter(engine_, engine_.controlPreviewAudio);
  } catch (...) {
  }
  engine_.AudioTee.reset();
}

void TDVCaptureDevice::KillSourceGraph() {
  try {
    TdmDV& dm = *dm_;
    std::shared_ptr<IPin> pin;
    engine_.builder->FindPin(dm.dv_splitter->filter(), PINDIR_OUTPUT, nullptr, nullptr, false, 0, pin);
    // A splitter without outputs (its input never connected) is still removed with what feeds it.
    if (!pin)
      engine_.builder->FindPin(dm.dv_splitter->filter(), PINDIR_INPUT, nullptr, nullptr, false, 0, pin);
    RemoveUpstream(engine_, pin, dm.dv_source->filter());
    // Whatever a broken chain left behind goes too, so that the next SetSourceGraph starts clean.
    RemoveNamedFilter(engine_, dm.sceneDetectorFilter);
    RemoveComponent(*dm.dv_muxinfinite);
    RemoveComponent(*dm.dv_splitter);
    dm.dv_splitter->removedFromGraph();
    dm.dv_muxinfinite->removedFromGraph();
    RemoveComponent(*dm.dv_source);
  } catch (...) {
  }
}

bool TDVCaptureDevice::BuildMuxGraph(const QString& fileName) {
  try {
    std::shared_ptr<IBaseFilter> mux;
    std::shared_ptr<IFileSinkFilter> sink;
    if (FAILED(engine_.builder->SetOutputFileName(MEDIASUBTYPE_Avi, fileName, mux, sink)) || !mux)
      return false;
    engine_.multiplexer = mux;
    engine_.fileSink = sink;
    std::shared_ptr<IPin> teeOut = PinOf(dm_->dv_muxinfinite->filter(), 2);
    std::shared_ptr<IPin> muxIn = PinOf(mux, 1);
    // Nothing would be recorded without this connection: say so instead of reporting success.
    return teeOut && muxIn && SUCCEEDED(teeOut->Connect(muxIn, nullptr));
  } catch (...) {
    return false;
  }
}

void TDVCaptureDevice::KillMuxGraph() {
  try {
    if (auto sink = interfaceOf<IBaseFilter>(engine_.fileSink)) RemoveNamedFilter(engine_, sink);
    RemoveNamedFilter(engine_, engine_.multiplexer);
  } catch (...) {
  }
}

}  // namespace vistrel::sources
