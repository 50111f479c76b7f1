#pragma once
// The DV header filter in the graph ("Orbano vt_DVHeader"): an in-place filter in the DV
// re-encoding chain that writes the camera frame's header, subcode and VAUX blocks (from the
// scene detector's ring, at the entry its read index names) back into each re-encoded frame, and
// can mark the frames 16:9.
//
// Threads: Transform on its branch's streaming thread; the setters on the user-interface thread,
// normally while the chain is built; they take effect at the next frame.

#include <atomic>
#include <memory>

#include "filters/DvHeaderCopy.h"
#include "filters/Tvt_SceneDetect.h"
#include "platform/media/TransInPlaceFilter.h"

namespace vistrel::filters {

constexpr platform::media::GUID CLSID_vt_DVHeader =
    platform::media::makeGuid("{60FF9D56-EC15-4F17-A2AB-9DA99CD9D0DC}");

class Tvt_DVheader : public platform::media::TransInPlaceFilter {
 public:
  Tvt_DVheader();
  static std::shared_ptr<Tvt_DVheader> create() { return std::make_shared<Tvt_DVheader>(); }

  // 1 forces 16:9; any other value only copies.
  void SetMode(uint8_t mode) { mode_.store(mode); }
  uint8_t Mode() const { return mode_.load(); }
  // The current DV source's scene detector, or none.
  void SetSceneDetector(std::shared_ptr<Tvt_SceneDetect> detector) { detector_.store(std::move(detector)); }
  std::shared_ptr<Tvt_SceneDetect> Detector() const { return detector_.load(); }

  platform::media::HRESULT CheckInputType(const platform::media::MediaType& in) override;
  // Streaming thread.
  platform::media::HRESULT Transform(platform::media::MediaSample& sample) override;

 private:
  std::atomic<uint8_t> mode_{0};
  std::atomic<std::shared_ptr<Tvt_SceneDetect>> detector_;
  FrameRingEntry entry_;  // streaming thread: the entry being copied
};

}  // namespace vistrel::filters
