#pragma once
// A video capture device (webcam, capture card): its capture pin goes to a tee, the tee's second
// pin through the "Control_Preview_Video" time-stamper to the first registered decoder that
// turns the stream into RGB 24-bit (a probe Sample Grabber finds the last pin of that chain).
// A capture filter with an unconnected analogue input gets a crossbar from the crossbar list.
#include "sources/CaptureDevice.h"

namespace vistrel::sources {

// The video device's filters. The private graph serves only while the device is created.
struct TdmVideo {
  TdmVideo();
  std::shared_ptr<platform::media::FilterComponent> vid_source;
  std::shared_ptr<platform::media::FilterComponent> vid_crossbar;
  std::shared_ptr<platform::media::FilterComponent> vid_nativevideoinfinite;
  std::shared_ptr<platform::media::FilterComponent> vid_nativeaudioinfinite;
  std::shared_ptr<platform::media::FilterComponent> vid_decoder;
  // Accepts only Video / RGB24 / VideoInfo.
  std::shared_ptr<platform::media::FilterComponent> vid_sg;
  std::shared_ptr<platform::media::FilterGraph> fg;
};

class TVideoCaptureDevice : public TCaptureDevice {
 public:
  TVideoCaptureDevice(EngineGraph& engine, const std::shared_ptr<platform::media::IMoniker>& moniker,
                      const QString& deviceName, int32_t instance);
  ~TVideoCaptureDevice() override;

  void SetVideoGraph(int32_t stream) override;
  std::shared_ptr<platform::media::IPin> SetAudioGraph(int32_t stream) override;
  void KillVideoGraph() override;
  void KillAudioGraph() override;
  std::shared_ptr<platform::media::FilterComponent> SetSourceGraph() override;
  void KillSourceGraph() override;
  // Shows "Not Ready": native recording exists only for DV and plug-in devices. False.
  bool BuildMuxGraph(const QString& fileName) override;
  void KillMuxGraph() override {}

  TdmVideo& Module() { return *dm_; }

 private:
  std::unique_ptr<TdmVideo> dm_;
};

}  // namespace vistrel::sources
