#include "platform/devices/alsa/AlsaAudioRenderer.h"

#include "platform/devices/DeviceBackends.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/media/BaseInputPin.h"
#include "platform/media/StreamingThread.h"

namespace vistrel::platform::devices::alsa {

using namespace media;

namespace {
constexpr int kWaitMs = 50;
// Recoveries in a row without a frame written: past that the device is not coming back.
constexpr int kMaxRecoveries = 8;

class RendererInput : public BaseInputPin {
 public:
  explicit RendererInput(AlsaAudioRenderer* f)
      : BaseInputPin(f, QStringLiteral("Audio Input pin (rendered)")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM) return VFW_E_TYPE_NOT_ACCEPTED;
    const auto w = type.waveFormat();
    if (!w || w->wFormatTag != WAVE_FORMAT_PCM || (w->wBitsPerSample != 8 && w->wBitsPerSample != 16) ||
        w->nChannels < 1 || w->nChannels > 2 || w->nSamplesPerSec < 1000 || w->nSamplesPerSec > 192000 ||
        w->nBlockAlign != w->nChannels * w->wBitsPerSample / 8)
      return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return owner_->queueBlock(*sample);
  }

 private:
  AlsaAudioRenderer* owner_;
};

void say(const std::string& what) { std::fprintf(stderr, "vistrel: %s\n", what.c_str()); }
}  // namespace

double gainOfVolume(int32_t volume) {
  if (volume <= -10000) return 0.0;
  return std::pow(10.0, std::min(volume, 0) / 2000.0);  // hundredths of a decibel
}

AlsaAudioRenderer::AlsaAudioRenderer(std::shared_ptr<AlsaSeam> seam, std::string device)
    : BaseFilter(CLSID_DSoundRender, QStringLiteral("Default DirectSound Device")),
      seam_(std::move(seam)),
      device_(std::move(device)) {
  addPin(std::make_shared<RendererInput>(this));
}

AlsaAudioRenderer::~AlsaAudioRenderer() { onStop(); }

// With a virtual device set the machine's sound output is never opened: the renderer then
// consumes the sound at the clock's pace.
std::shared_ptr<IBaseFilter> AlsaAudioRenderer::create() {
  return std::make_shared<AlsaAudioRenderer>(realDevicesEnabled() ? AlsaSeam::system() : nullptr);
}

HRESULT AlsaAudioRenderer::put_Volume(int32_t volume) {
  if (volume < -10000 || volume > 0) return E_INVALIDARG;
  volume_.store(volume);
  return S_OK;
}
HRESULT AlsaAudioRenderer::get_Volume(int32_t& volume) {
  volume = volume_.load();
  return S_OK;
}
HRESULT AlsaAudioRenderer::put_Balance(int32_t balance) {
  if (balance < -10000 || balance > 10000) return E_INVALIDARG;
  balance_.store(balance);
  return S_OK;
}
HRESULT AlsaAudioRenderer::get_Balance(int32_t& balance) {
  balance = balance_.load();
  return S_OK;
}

HRESULT AlsaAudioRenderer::onPause() {
  auto* in = pin(0);
  if (!in || !in->isConnected()) return S_OK;
  wave_ = *in->currentMediaType().waveFormat();
  outputLost_.store(false);
  AlsaSeam::Handle h = nullptr;
  int r = seam_ ? seam_->pcmOpen(device_, false, h) : -ENODEV;
  if (r == 0) {
    const auto format = wave_.wBitsPerSample == 8 ? PcmSampleFormat::U8 : PcmSampleFormat::S16_LE;
    r = seam_->pcmConfigure(h, format, wave_.nChannels, wave_.nSamplesPerSec, wave_.nSamplesPerSec / 50);
    if (r < 0) seam_->pcmClose(h);
  }
  if (r == 0) {
    pcm_ = h;
  } else if (r == -EBUSY) {
    sayOnce("busy", "the sound output \"" + device_ +
                        "\" is busy (another program is using it); the sound is discarded");
  } else {
    sayOnce("open " + std::to_string(r),
            "no sound output (" + device_ + ": " + describeAlsaError(r) + "); the sound is discarded");
  }
  return S_OK;  // the graph runs without sound rather than not at all
}

HRESULT AlsaAudioRenderer::onRun(REFERENCE_TIME) {
  if (!pin(0)->isConnected()) return S_OK;
  if (!thread_) thread_ = std::make_unique<StreamingThread>();
  thread_->start([this](StreamingThread& t) { play(t); });
  return S_OK;
}

void AlsaAudioRenderer::haltStreaming() {
  if (thread_) {
    {
      std::lock_guard g(lock_);  // the playback thread waits on queued_ under this lock
    }
    queued_.notify_all();
    thread_->stop();
  }
}

HRESULT AlsaAudioRenderer::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT AlsaAudioRenderer::onStop() {
  haltStreaming();
  if (pcm_) seam_->pcmClose(pcm_);  // closing drops what is still buffered: stop is immediate
  pcm_ = nullptr;
  std::lock_guard g(lock_);
  queue_.clear();
  queuedBytes_ = 0;
  return S_OK;
}

HRESULT AlsaAudioRenderer::queueBlock(const MediaSample& sample) {
  const int32_t n = sample.GetActualDataLength();
  if (n <= 0) return S_OK;
  std::vector<uint8_t> block(sample.data(), sample.data() + n);
  // Volume and balance: a gain per channel, applied to a private copy (the buffer is shared).
  const double g = gainOfVolume(volume_.load());
  const int32_t b = balance_.load();
  const double gl = g * (b > 0 ? gainOfVolume(-b) : 1.0), gr = g * (b < 0 ? gainOfVolume(b) : 1.0);
  const int ch = wave_.nChannels ? wave_.nChannels : 1;
  if (gl != 1.0 || gr != 1.0) {
    if (wave_.wBitsPerSample == 16) {
      auto* s = reinterpret_cast<int16_t*>(block.data());
      const size_t count = block.size() / 2;
      for (size_t i = 0; i < count; ++i) {
        const double k = (ch == 2 && (i & 1)) ? gr : gl;
        s[i] = static_cast<int16_t>(std::lround(s[i] * k));
      }
    } else {
      for (size_t i = 0; i < block.size(); ++i) {
        const double k = (ch == 2 && (i & 1)) ? gr : gl;
        block[i] = static_cast<uint8_t>(std::lround((block[i] - 128) * k) + 128);
      }
    }
  }
  {
    std::lock_guard lk(lock_);
    const size_t limit = std::max<size_t>(wave_.nAvgBytesPerSec / 2, 4096);
    while (!queue_.empty() && queuedBytes_ + block.size() > limit) {
      queuedBytes_ -= queue_.front().size();
      queue_.pop_front();  // the device is behind: lose the oldest sound, never hold upstream
    }
    queuedBytes_ += block.size();
    queue_.push_back(std::move(block));
  }
  queued_.notify_one();
  return S_OK;
}

void AlsaAudioRenderer::sayOnce(const std::string& key, const std::string& what) {
  {
    std::lock_guard g(lock_);
    if (!said_.insert(key).second) return;
  }
  say(what);
}

// Playback thread: the device failed for good while playing. Said once per renderer and cause;
// the graph hears of it (it keeps running: a recording must not stop for its monitor sound).
void AlsaAudioRenderer::outputFailed(long error) {
  outputLost_.store(true);
  sayOnce("lost " + std::to_string(error), "the sound output \"" + device_ + "\" stopped (" +
                                               describeAlsaError(static_cast<int>(error)) +
                                               "); the sound is discarded until the next start");
  NotifyEvent(GraphEvent{EC_ERROR_STILLPLAYING, static_cast<intptr_t>(E_FAIL), 0, nullptr});
}

// Playback thread: takes blocks from the queue and writes them out, or, without a device (none
// at the start, or one that failed on the way), waits out each block's duration.
void AlsaAudioRenderer::play(StreamingThread& thread) {
  const unsigned align = std::max<unsigned>(wave_.nBlockAlign, 1);
  const uint32_t rate = std::max<uint32_t>(wave_.nSamplesPerSec, 1);
  bool writing = pcm_ != nullptr;
  auto paceStart = std::chrono::steady_clock::now();
  int64_t paced = 0;  // frames consumed without a device since paceStart
  auto consume = [&](unsigned long frames) {
    paced += static_cast<int64_t>(frames);
    played_.fetch_add(static_cast<int64_t>(frames));
    thread.sleepUntil(paceStart + std::chrono::microseconds(paced * 1'000'000 / rate));
  };
  while (!thread.stopRequested()) {
    std::vector<uint8_t> block;
    {
      std::unique_lock lk(lock_);
      queued_.wait_for(lk, std::chrono::milliseconds(kWaitMs),
                       [&] { return !queue_.empty() || thread.stopRequested(); });
      if (queue_.empty()) continue;
      block = std::move(queue_.front());
      queue_.pop_front();
      queuedBytes_ -= block.size();
    }
    const unsigned long frames = block.size() / align;
    if (!writing) {
      consume(frames);
      continue;
    }
    unsigned long done = 0;
    int recoveries = 0;  // in a row, without a frame written in between
    while (done < frames && !thread.stopRequested()) {
      long n = seam_->pcmWrite(pcm_, block.data() + done * align, frames - done);
      if (n > 0) {
        done += static_cast<unsigned long>(n);
        played_.fetch_add(n);
        recoveries = 0;
        continue;
      }
      if (n == -EAGAIN || n == 0) {
        const int w = seam_->pcmWait(pcm_, kWaitMs);
        if (w >= 0) continue;
        n = w;  // the wait met the error the next write would
      }
      // An underrun (we were late) or a suspend: ALSA restarts the stream.
      if ((n == -EPIPE || n == -ESTRPIPE || n == -EINTR) && ++recoveries <= kMaxRecoveries &&
          seam_->pcmRecover(pcm_, static_cast<int>(n)) == 0)
        continue;
      // Gone (unplugged, the sound server ended) or stuck: the rest is consumed at the clock's pace.
      outputFailed(n);
      writing = false;
      paceStart = std::chrono::steady_clock::now();
      paced = 0;
      consume(frames - done);
      break;
    }
  }
}

}  // namespace vistrel::platform::devices::alsa
