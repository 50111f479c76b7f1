#include "sources/AudioCaptureDevice.h"

#include "platform/media/MediaGuids.h"

namespace vistrel::sources {

using namespace platform::media;

TdmAudio::TdmAudio()
    : aud_source(std::make_shared<FilterComponent>(QStringLiteral("aud_source"))),
      aud_nativeaudioinfinite(std::make_shared<FilterComponent>(QStringLiteral("aud_nativeaudioinfinite"))),
      fg(FilterGraph::create()) {
  aud_nativeaudioinfinite->bindClassId(CLSID_InfTee);
}

TAudioCaptureDevice::TAudioCaptureDevice(EngineGraph& engine, const std::shared_ptr<IMoniker>& moniker,
                                         const QString& deviceName, int32_t instance)
    : TCaptureDevice(engine) {
  try {
    NativeFormat1 = 0;
    NativeFormat2 = 0;
    dm_ = std::make_unique<TdmAudio>();
    QVariant friendly;
    if (moniker) moniker->Read(QStringLiteral("FriendlyName"), friendly);
    ConstructBase(deviceName, instance, friendly.toString());
    SourceFilter = dm_->aud_source;
    if (FAILED(dm_->aud_source->bindMoniker(moniker))) return;
    TdmAudio& dm = *dm_;
    if (FAILED(dm.aud_source->setGraph(dm.fg))) return;
    auto builder = CaptureGraphBuilder2::create();
    builder->SetFiltergraph(dm.fg);
    int n = 0;
    for (;; ++n) {
      std::shared_ptr<IPin> pin;
      if (FAILED(builder->FindPin(dm.aud_source->filter(), PINDIR_OUTPUT, nullptr, &MEDIATYPE_Audio, false, n,
                                  pin)) ||
          !pin)
        break;
    }
    AudioStreams = n;
    dm.aud_source->setGraph(nullptr);
    dm.fg->Clear();
    Ready = true;
    DeviceKind = kDeviceAudio;
  } catch (...) {
    Ready = false;
  }
}

TAudioCaptureDevice::~TAudioCaptureDevice() = default;

std::shared_ptr<FilterComponent> TAudioCaptureDevice::SetSourceGraph() {
  try {
    AddComponent(engine_, *dm_->aud_source);
  } catch (...) {
  }
  return dm_->aud_source;
}

void TAudioCaptureDevice::KillSourceGraph() {
  try {
    RemoveComponent(*dm_->aud_source);
  } catch (...) {
  }
}

void TAudioCaptureDevice::SetVideoGraph(int32_t) {
  engine_.VideoOutPin.reset();
  engine_.VideoTee.reset();
}

std::shared_ptr<IPin> TAudioCaptureDevice::SetAudioGraph(int32_t stream) {
  if (stream < 1 || stream > AudioStreams) return nullptr;
  try {
    return ConnectAudioThroughTee(engine_, dm_->aud_source->filter(), dm_->aud_nativeaudioinfinite, stream);
  } catch (...) {
    return nullptr;
  }
}

void TAudioCaptureDevice::KillAudioGraph() {
  try {
    RemoveComponent(*dm_->aud_nativeaudioinfinite);
    RemoveNamedFilter(engine_, engine_.controlPreviewAudio);
  } catch (...) {
  }
  engine_.AudioTee.reset();
}

bool TAudioCaptureDevice::BuildMuxGraph(const QString&) { return false; }

}  // namespace vistrel::sources
