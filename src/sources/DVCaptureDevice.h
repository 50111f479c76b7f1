#pragma once
// A DV camcorder or deck: its interleaved stream goes through a tee (whose third pin feeds native
// type-1 recording) to the DV Splitter; the video branch decodes through the DV Video Decoder
// behind the "Control_Preview_Video" time-stamper. Always displayed as "DV Source".
#include "filters/Tvt_SceneDetect.h"
#include "sources/CaptureDevice.h"

namespace vistrel::sources {

inline const QString kDVSourceName = QStringLiteral("DV Source");

// The DV device's filters. The private graph serves only while the device is created.
struct TdmDV {
  TdmDV();
  std::shared_ptr<platform::media::FilterComponent> dv_source;
  std::shared_ptr<platform::media::FilterComponent> dv_splitter;
  std::shared_ptr<platform::media::FilterComponent> dv_muxinfinite;
  std::shared_ptr<platform::media::FilterComponent> dv_dec;
  std::shared_ptr<platform::media::FilterComponent> dv_nativevideoinfinite;
  std::shared_ptr<platform::media::FilterComponent> dv_nativeaudioinfinite;
  std::shared_ptr<platform::media::FilterGraph> fg;
  std::shared_ptr<filters::Tvt_SceneDetect> sceneDetector;
  std::shared_ptr<platform::media::IBaseFilter> sceneDetectorFilter;
};

class TDVCaptureDevice : public TCaptureDevice {
 public:
  TDVCaptureDevice(EngineGraph& engine, const std::shared_ptr<platform::media::IMoniker>& moniker,
                   const QString& deviceName, int32_t instance);
  ~TDVCaptureDevice() override;

  void SetVideoGraph(int32_t stream) override;
  std::shared_ptr<platform::media::IPin> SetAudioGraph(int32_t stream) override;
  void KillVideoGraph() override;
  void KillAudioGraph() override;
  std::shared_ptr<platform::media::FilterComponent> SetSourceGraph() override;
  void KillSourceGraph() override;
  bool BuildMuxGraph(const QString& fileName) override;
  void KillMuxGraph() override;

  TdmDV& Module() { return *dm_; }
  // The scene detector that sits right after the source ("dv_Scenedetect").
  const std::shared_ptr<filters::Tvt_SceneDetect>& SceneDetector() const { return dm_->sceneDetector; }

 private:
  std::unique_ptr<TdmDV> dm_;
};

}  // namespace vistrel::sources
