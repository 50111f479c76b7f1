#pragma once
// The DV scene detector in the graph ("Orbano vt_SceneDetect"): an in-place filter on a DV
// stream that leaves the data alone, stamps each sample's media time with its frame number and
// feeds SceneDetector.
//
// Threads: Transform on the DV source's streaming thread; Stop on the user-interface thread
// after the source's thread has stopped; the readers and setters of processing() on any thread.

#include "filters/SceneDetector.h"
#include "platform/media/TransInPlaceFilter.h"

namespace vistrel::filters {

constexpr platform::media::GUID CLSID_vt_SceneDetect =
    platform::media::makeGuid("{E87CC8D6-571D-4927-AC63-AEE089DF6B39}");

// DV: interleaved DV, or video with the dvsd subtype.
bool IsDvMediaType(const platform::media::MediaType& type);

class Tvt_SceneDetect : public platform::media::TransInPlaceFilter {
 public:
  Tvt_SceneDetect();
  static std::shared_ptr<Tvt_SceneDetect> create() { return std::make_shared<Tvt_SceneDetect>(); }

  // The scene routine (none clears it); runs on the streaming thread and in the stop.
  void SetSceneCallback(SceneDetector::SceneCallback callback) {
    processing_.SetSceneCallback(std::move(callback));
  }
  // The main window that hears of 16:9 changes.
  void SetNotifyWindow(platform::ui::WindowHandle window) { processing_.SetNotifyWindow(window); }
  // Records and ring, for the engine, the overlay filter and the DV header filter.
  SceneDetector& processing() { return processing_; }
  const SceneDetector& processing() const { return processing_; }
  // The same processing, kept alive by this filter, for readers that hold it (the overlay).
  std::shared_ptr<SceneDetector> sharedProcessing() {
    return std::shared_ptr<SceneDetector>(shared_from_this(), &processing_);
  }

  platform::media::HRESULT CheckInputType(const platform::media::MediaType& in) override;
  // Streaming thread.
  platform::media::HRESULT Transform(platform::media::MediaSample& sample) override;
  // Closes the last scene, stops, then restarts the counting for the next run.
  platform::media::HRESULT Stop() override;

 private:
  SceneDetector processing_;
};

}  // namespace vistrel::filters
