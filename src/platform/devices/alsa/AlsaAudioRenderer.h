#pragma once
// The default sound output ("Default DirectSound Device"): plays PCM (8 or 16 bits, mono or
// stereo) through ALSA's "default" device, which reaches PulseAudio or PipeWire when one runs.
// IBasicAudio: volume in hundredths of a decibel (-10000 silence ... 0 full) and balance, applied
// to the samples. Receive never blocks the upstream thread: blocks go into a queue of at most
// half a second (the oldest are dropped), and a playback thread writes them out. Without any
// playback device (missing or busy at the start) the renderer consumes at the clock's pace and
// says so once per renderer and cause on standard error. Underruns and suspends are recovered;
// a device that fails for good while playing is said once, raises EC_ERROR_STILLPLAYING (the
// graph goes on), and the rest of the run is consumed at the clock's pace; the next start opens
// the device again.

#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/devices/alsa/AlsaSeam.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/IBasicAudio.h"
#include "platform/media/MediaSample.h"

namespace vistrel::platform::media {
class StreamingThread;
}

namespace vistrel::platform::devices::alsa {

class AlsaAudioRenderer : public media::BaseFilter, public media::IBasicAudio {
 public:
  explicit AlsaAudioRenderer(std::shared_ptr<AlsaSeam> seam = AlsaSeam::system(),
                             std::string device = "default");
  ~AlsaAudioRenderer() override;
  static std::shared_ptr<media::IBaseFilter> create();

  media::HRESULT put_Volume(int32_t volume) override;
  media::HRESULT get_Volume(int32_t& volume) override;
  media::HRESULT put_Balance(int32_t balance) override;
  media::HRESULT get_Balance(int32_t& balance) override;

  media::HRESULT Stop() override;
  void haltStreaming() override;
  // Frames written to the device (or consumed without one) since creation. Any thread.
  int64_t framesPlayed() const { return played_.load(); }
  // Whether the sound reaches a device. User-interface thread.
  bool playing() const { return pcm_ != nullptr && !outputLost_.load(); }

  // Upstream streaming thread: scales a copy of the block and queues it.
  media::HRESULT queueBlock(const media::MediaSample& sample);

 protected:
  media::HRESULT onPause() override;
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onStop() override;

 private:
  void play(media::StreamingThread& thread);
  void outputFailed(long error);
  // Any thread: says `what` on standard error unless `key` was said before by this renderer.
  void sayOnce(const std::string& key, const std::string& what);

  std::shared_ptr<AlsaSeam> seam_;
  std::string device_;
  std::atomic<int32_t> volume_{0};
  std::atomic<int32_t> balance_{0};
  AlsaSeam::Handle pcm_ = nullptr;
  media::WAVEFORMATEX wave_{};
  std::unique_ptr<media::StreamingThread> thread_;
  std::mutex lock_;
  std::condition_variable queued_;
  std::deque<std::vector<uint8_t>> queue_;
  size_t queuedBytes_ = 0;
  std::atomic<int64_t> played_{0};
  std::set<std::string> said_;  // guarded by lock_: the causes already told
  std::atomic<bool> outputLost_{false};
};

// The linear gain of a volume in hundredths of a decibel (0 at -10000).
double gainOfVolume(int32_t volume);

}  // namespace vistrel::platform::devices::alsa
