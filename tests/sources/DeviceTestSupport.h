#pragma once
// Shared pieces of the device tests: a fresh engine graph with its two control time-stampers, a
// device whose counts a test chooses.
#include "filters/Tvt_TimeStamper.h"
#include "sources/CaptureDevice.h"
#include "support/WaitFor.h"

namespace vistrel::sources::testing {

inline std::unique_ptr<EngineGraph> makeEngine() {
  auto engine = EngineGraph::create();
  engine->controlPreviewVideo = filters::Tvt_TimeStamper::create();
  engine->controlPreviewAudio = filters::Tvt_TimeStamper::create();
  return engine;
}

// A device with chosen names and counts; its operations do nothing.
class FakeDevice : public TCaptureDevice {
 public:
  FakeDevice(EngineGraph& engine, const QString& name, int32_t instance, int32_t video = 1, int32_t audio = 0)
      : TCaptureDevice(engine) {
    ConstructBase(name, instance, name);
    VideoStreams = video;
    AudioStreams = audio;
    Ready = true;
  }
  void SetVideoGraph(int32_t) override {}
  std::shared_ptr<platform::media::IPin> SetAudioGraph(int32_t) override { return nullptr; }
  void KillVideoGraph() override {}
  void KillAudioGraph() override {}
  std::shared_ptr<platform::media::FilterComponent> SetSourceGraph() override { return SourceFilter; }
  void KillSourceGraph() override {}
  bool BuildMuxGraph(const QString&) override { return false; }
  void KillMuxGraph() override {}
};

using vistrel::testing::waitFor;

}  // namespace vistrel::sources::testing
