#pragma once
// The live source that plug-in modules create with the program's layer: one RGB 24-bit capture
// pin whose streaming thread asks the module for each frame through a C callback, paced on the
// graph clock. A frame that finds no free buffer is dropped, so a slow branch never blocks it.
#include <atomic>
#include "platform/media/BaseFilter.h"
#include "platform/media/IAMDroppedFrames.h"
#include "vistrel/plugin.h"

namespace vistrel::sources {

constexpr platform::media::GUID CLSID_PluginSource =
    platform::media::makeGuid("{7D2E6A51-3C1B-4F0E-8B7A-2E5C90A1D301}");

class PluginSource : public platform::media::BaseFilter, public platform::media::IAMDroppedFrames {
 public:
  PluginSource(const QString& name, int32_t width, int32_t height, int32_t framesPerSecond,
               vt_fill_frame fill, void* user);
  ~PluginSource() override;

  platform::media::HRESULT Stop() override;
  void haltStreaming() override;
  platform::media::HRESULT GetNumDropped(int32_t& dropped) override;
  platform::media::HRESULT GetNumNotDropped(int32_t& delivered) override;
  platform::media::HRESULT GetAverageFrameSize(int32_t& size) override;

  // Streaming thread.
  void countDropped(int64_t n) { dropped_.fetch_add(n); }
  void countDelivered() { delivered_.fetch_add(1); }

 protected:
  platform::media::HRESULT onRun(platform::media::REFERENCE_TIME start) override;
  platform::media::HRESULT onPause() override;

 private:
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> delivered_{0};
  int32_t frameBytes_;
};

}  // namespace vistrel::sources
