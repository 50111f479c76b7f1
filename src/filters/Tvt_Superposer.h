#pragma once
// The overlay filter in the graph ("Orbano vt_Superposer"): a copy transform from 24-bit RGB to
// 24-bit RGB that hands every frame to SuperposerProcessor. The engine creates it once and keeps
// it for the program's life; its setters may be called from the user-interface thread while it
// streams (see SuperposerProcessor).

#include "filters/SuperposerProcessor.h"
#include "platform/media/TransformFilter.h"

namespace vistrel::filters {

constexpr platform::media::GUID CLSID_vt_Superposer =
    platform::media::makeGuid("{E97F14A9-9EB5-486F-8235-B29F93983433}");

class Tvt_Superposer : public platform::media::TransformFilter {
 public:
  Tvt_Superposer();
  static std::shared_ptr<Tvt_Superposer> create() { return std::make_shared<Tvt_Superposer>(); }

  void setincrust(const settings::TincrustRec& rec) { processing_.setincrust(rec); }
  void SetOverlaySwitch(bool on) { processing_.SetOverlaySwitch(on); }
  void whenincrust(uint8_t mode, int32_t seconds) { processing_.whenincrust(mode, seconds); }
  void SetVerticalFlip(bool on) { processing_.SetVerticalFlip(on); }
  void SetHorizontalFlip(bool on) { processing_.SetHorizontalFlip(on); }
  void StartIntervalometer(int64_t period) { processing_.StartIntervalometer(period); }
  void StopIntervalometer() { processing_.StopIntervalometer(); }
  void GrabNow() { processing_.GrabNow(); }
  void SetDvInformationSource(std::shared_ptr<SceneDetector> source) {
    processing_.SetDvInformationSource(std::move(source));
  }
  void SetSourceRowsInverted(bool on) { processing_.SetSourceRowsInverted(on); }
  void SetOverlayAllowed(bool allowed) { processing_.SetOverlayAllowed(allowed); }
  void SetFrameDuration(int64_t duration) { processing_.SetFrameDuration(duration); }
  void SetNotifyWindow(platform::ui::WindowHandle window) { processing_.SetNotifyWindow(window); }

  SuperposerProcessor& processing() { return processing_; }
  const SuperposerProcessor& processing() const { return processing_; }

  platform::media::HRESULT CheckInputType(const platform::media::MediaType& in) override;
  platform::media::HRESULT CheckTransform(const platform::media::MediaType& in,
                                          const platform::media::MediaType& out) override;
  platform::media::HRESULT DecideBufferSize(platform::media::MemAllocator& allocator,
                                            platform::media::ALLOCATOR_PROPERTIES& request) override;
  platform::media::HRESULT GetMediaType(int position, platform::media::MediaType& type) override;
  platform::media::HRESULT StartStreaming() override;
  // Streaming thread.
  platform::media::HRESULT Transform(platform::media::MediaSample& in,
                                     platform::media::MediaSample& out) override;

 private:
  SuperposerProcessor processing_;
};

}  // namespace vistrel::filters
