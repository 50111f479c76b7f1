// The engine's life cycle, its components, the graph's state and volume, the removal of
// recording branches and the graph surgery.
#include "engine/Tdm.h"

#include <QWidget>
#include <algorithm>
#include <cmath>

#include "engine/DirectShowUtils.h"
#include "filters/ProgramFilters.h"
#include "filters/TVT_Resizer.h"
#include "filters/Tvt_ControlFilter.h"
#include "filters/Tvt_DVheader.h"
#include "filters/Tvt_Superposer.h"
#include "filters/Tvt_TimeStamper.h"
#include "filters/Tvt_WaveDest.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/IVideoWindow.h"
#include "platform/media/filters/DvMuxer.h"
#include "platform/media/filters/DvSplitter.h"
#include "settings/Parameters.h"
#include "sources/Crossbar.h"
#include "sources/DVCaptureDevice.h"
#include "sources/Sources.h"

namespace vistrel::engine {

using namespace platform::media;

int32_t VolumeToHundredthsDb(int volume) {
  const int v = std::clamp(volume, 0, 10000);
  const auto db = static_cast<int32_t>(std::lround(std::log(v + 1.0) * 1085.73)) - 10000;
  return std::clamp(db, -10000, 0);
}

Tdm::Tdm() : engine_(sources::EngineGraph::create()) {
  filters::RegisterProgramFilters(*FilterMapper::instance());

  // A missing system filter leaves its slot empty; the chains that need it then fail alone.
  audiorender.bindClassId(CLSID_DSoundRender);
  color1.bindClassId(CLSID_Colour);
  color3.bindClassId(CLSID_Colour);
  for (FilterComponent* tee : {&infdecvideo, &infsupvideo, &infdumvideo, &infdecaudio, &infsupaudio})
    tee->bindClassId(CLSID_InfTee);
  acmcap.bindClassId(CLSID_ACMWrapper);
  BindByFriendlyName(DVenc, CLSID_VideoCompressorCategory, QStringLiteral("DV Video Encoder"));
  DVmux.bindClassId(CLSID_DVMux);
  DVsplitter.bindClassId(CLSID_DVSplitter);
  FileWriter.bindClassId(CLSID_FileWriter);
  writer.bindClassId(CLSID_FileWriter);
  null.bindClassId(CLSID_NullRenderer);
  audiorender.setGraph(engine_->fg);

  Superposer = filters::Tvt_Superposer::create();
  ControlPreviewVideo = filters::Tvt_TimeStamper::create();
  TamponerVideo = filters::Tvt_TimeStamper::create();
  TamponerVideo->StripTimesOn();
  ControlPreviewAudio = filters::Tvt_TimeStamper::create();
  TamponerAudio = filters::Tvt_TimeStamper::create();
  TamponerAudio->StripTimesOn();
  ControlCaptureVideo = filters::Tvt_TimeStamper::create();
  VideoCapTamponer = filters::Tvt_TimeStamper::create();
  AudioCapTamponer = filters::Tvt_TimeStamper::create();
  DVHeader = filters::Tvt_DVheader::create();
  ControlFilter = filters::Tvt_ControlFilter::create();
  Resizer = filters::TVT_Resizer::create();
  WaveDest = filters::Tvt_WaveDest::create();

  engine_->controlPreviewVideo = ControlPreviewVideo;
  engine_->controlPreviewAudio = ControlPreviewAudio;
  engine_->DisconnectVideo = [this](sources::TVideoSource& s, bool full) { return Disconnect(s, full); };
  engine_->DisconnectAudio = [this](sources::TAudioSource& s, bool full) { return Disconnect(s, full); };
}

Tdm::~Tdm() {
  try {
    Stop();
    if (engine_->CurrentVideo) Disconnect(*engine_->CurrentVideo, true);
    if (engine_->CurrentAudio) Disconnect(*engine_->CurrentAudio, true);
    Clear();
  } catch (...) {
  }
  // The devices and lists that still hold the engine graph must not call back into a dead engine.
  engine_->DisconnectVideo = nullptr;
  engine_->DisconnectAudio = nullptr;
}

bool Tdm::SetVideoRenderer(const std::shared_ptr<IBaseFilter>& renderer) {
  try {
    if (videoRenderer_ && videoRenderer_ != renderer) RemoveFilter(videoRenderer_);
    videoRenderer_ = renderer;
    return !renderer || AddFilter(renderer, QStringLiteral("Video Renderer"));
  } catch (...) {
    return false;
  }
}

bool Tdm::AddFilter(const std::shared_ptr<IBaseFilter>& filter, const QString& name) {
  return sources::AddNamedFilter(*engine_, filter, name);
}

void Tdm::RemoveFilter(const std::shared_ptr<IBaseFilter>& filter) {
  sources::RemoveNamedFilter(*engine_, filter);
}

bool Tdm::Run() {
  try {
    return SUCCEEDED(engine_->fg->Run());
  } catch (...) {
    return false;
  }
}

void Tdm::Stop() {
  try {
    engine_->fg->Stop();
  } catch (...) {
  }
}

void Tdm::Clear() {
  try {
    engine_->fg->Clear();
  } catch (...) {
  }
}

void Tdm::SetVolume(int volume) {
  try {
    engine_->fg->put_Volume(VolumeToHundredthsDb(volume));
  } catch (...) {
  }
}

bool Tdm::RemoveUpstream(const std::shared_ptr<IPin>& pin, const std::shared_ptr<IBaseFilter>& stopFilter) {
  return sources::RemoveUpstream(*engine_, pin, stopFilter);
}

namespace {

// The filter across the first connected pin of a direction, or null.
std::shared_ptr<IBaseFilter> firstPeerFilter(CaptureGraphBuilder2& builder,
                                             const std::shared_ptr<IBaseFilter>& f, PIN_DIRECTION dir) {
  for (int i = 0;; ++i) {
    std::shared_ptr<IPin> pin;
    if (FAILED(builder.FindPin(f, dir, nullptr, nullptr, false, i, pin)) || !pin) return nullptr;
    std::shared_ptr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(peer)) && peer) {
      PIN_INFO info;
      if (FAILED(peer->QueryPinInfo(info))) return nullptr;
      return info.pFilter;
    }
  }
}

}  // namespace

bool Tdm::RemoveBetween(const std::shared_ptr<IBaseFilter>& a, const std::shared_ptr<IBaseFilter>& b) {
  try {
    if (!a || !b) return false;
    auto x = firstPeerFilter(*engine_->builder, a, PINDIR_OUTPUT);
    auto y = firstPeerFilter(*engine_->builder, b, PINDIR_INPUT);
    // Without both ends there is no chain between them to remove.
    if (!x || !y) return false;
    if (y != a && x != b) return SUCCEEDED(engine_->fg->RemoveChain(x, y));
    return true;
  } catch (...) {
    return false;
  }
}

bool Tdm::StopCapture() {
  try {
    return StopCaptureSteps();
  } catch (...) {
    return false;
  }
}

bool Tdm::StopCaptureSteps() {
  infdumvideo.setGraph(nullptr);
  acmcap.setGraph(nullptr);
  if (auto sink = interfaceOf<IBaseFilter>(engine_->fileSink)) RemoveFilter(sink);
  RemoveFilter(engine_->multiplexer);
  RemoveFilter(AudioCapTamponer);
  RemoveFilter(VideoCapTamponer);
  RemoveFilter(ControlCaptureVideo);
  muxer.setGraph(nullptr);
  audioenc.setGraph(nullptr);
  writer.setGraph(nullptr);
  DVenc.setGraph(nullptr);
  DVmux.setGraph(nullptr);
  RemoveFilter(DVHeader);
  RemoveFilter(ControlFilter);
  divx.setGraph(nullptr);
  RemoveFilter(Resizer);
  mp3.setGraph(nullptr);
  RemoveFilter(WaveDest);
  FileWriter.setGraph(nullptr);

  // The DivX recording of a DV source previews at half size: bring back full resolution.
  sources::TVideoSource* video = engine_->CurrentVideo;
  if (video && video->SceneDetector) {
    Disconnect(*video, false);
    Stop();
    engine_->DVHalfSize = false;
    const bool connected = Connect(*video);
    Stop();
    if (connected && ShowVideoDescription) {
      const auto& d = engine_->VideoInfo;
      QString text = QString::number(d.VideoWidth) + QStringLiteral("x") + QString::number(d.VideoHeight);
      if (d.FrameDuration != 0)
        text += QStringLiteral(" - ") + QString::number(d.FramesPerSecond, 'f', 2) + QStringLiteral(" fps");
      ShowVideoDescription(text);
    }
  }
  return true;
}

int Tdm::VideoInputSelect() const {
  if (!parameters_) return videoInputSelect_;
  try {
    return parameters_->Integer(QStringLiteral("Video Input Select")).Value;
  } catch (...) {
    return -1;
  }
}

void Tdm::SetVideoInputSelect(int value) {
  videoInputSelect_ = value;
  if (!parameters_) return;
  try {
    parameters_->Integer(QStringLiteral("Video Input Select")).Value = value;
  } catch (...) {
  }
}

}  // namespace vistrel::engine
