#pragma once
// An audio capture device (sound-card input): its audio pin goes to a tee whose spare output is
// what the engine renders.
#include "sources/CaptureDevice.h"

namespace vistrel::sources {

struct TdmAudio {
  TdmAudio();
  std::shared_ptr<platform::media::FilterComponent> aud_source;
  std::shared_ptr<platform::media::FilterComponent> aud_nativeaudioinfinite;
  std::shared_ptr<platform::media::FilterGraph> fg;
};

class TAudioCaptureDevice : public TCaptureDevice {
 public:
  TAudioCaptureDevice(EngineGraph& engine, const std::shared_ptr<platform::media::IMoniker>& moniker,
                      const QString& deviceName, int32_t instance);
  ~TAudioCaptureDevice() override;

  // No video: VideoOutPin and VideoTee cleared.
  void SetVideoGraph(int32_t stream) override;
  std::shared_ptr<platform::media::IPin> SetAudioGraph(int32_t stream) override;
  void KillVideoGraph() override {}
  void KillAudioGraph() override;
  std::shared_ptr<platform::media::FilterComponent> SetSourceGraph() override;
  void KillSourceGraph() override;
  // A sound input has no native recording: nothing is built (false).
  bool BuildMuxGraph(const QString& fileName) override;
  void KillMuxGraph() override {}

  TdmAudio& Module() { return *dm_; }

 private:
  std::unique_ptr<TdmAudio> dm_;
};

}  // namespace vistrel::sources
