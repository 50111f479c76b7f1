#include "platform/devices/alsa/AlsaCaptureFilter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/devices/LostDevicePins.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IAMAudioInputMixer.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/StreamingThread.h"

namespace vistrel::platform::devices::alsa {

using namespace media;

namespace {
constexpr int kBlockMs = 20;
constexpr int kWaitMs = 100;  // the longest a stop request waits for the streaming thread
constexpr int kMaxConsecutiveErrors = 20;

void say(const std::string& what) { std::fprintf(stderr, "vistrel: %s\n", what.c_str()); }
bool isGone(long r) { return r == -ENODEV || r == -ENXIO || r == -EBADFD; }
}  // namespace

struct AlsaCaptureFilter::Session {
  std::shared_ptr<AlsaSeam> seam;
  AlsaSeam::Handle pcm = nullptr;
  WAVEFORMATEX wave{};
  StreamingThread thread;
  ~Session() {
    thread.stop();
    if (pcm) seam->pcmClose(pcm);
  }
};

// ---------------------------------------------------------------------------------------------
class AlsaCaptureFilter::CapturePin : public BaseOutputPin, public IAMStreamConfig {
 public:
  explicit CapturePin(AlsaCaptureFilter* f)
      : BaseOutputPin(f, QStringLiteral("Capture"), PIN_CATEGORY_CAPTURE), owner_(f) {
    if (!f->formats_.empty()) preferred_ = f->formats_.front();
  }
  HRESULT CheckMediaType(const MediaType& type) override {
    for (const auto& f : owner_->formats_)
      if (f == type) return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    const auto& all = owner_->formats_;
    if (position < 0) return E_INVALIDARG;
    if (all.empty() || position > static_cast<int>(all.size())) return VFW_S_NO_MORE_ITEMS;
    type = position == 0 ? preferred_ : all[static_cast<size_t>(position - 1)];
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    const auto w = currentMediaType().waveFormat();
    if (!w) return VFW_E_TYPE_NOT_ACCEPTED;
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = std::max(want.cBuffers, 8);
    want.cbBuffer =
        std::max<int32_t>(want.cbBuffer, static_cast<int32_t>(w->nAvgBytesPerSec * kBlockMs / 1000));
    want.cbAlign = std::max(want.cbAlign, 1);
    HRESULT hr = allocator.SetProperties(want, actual);
    return FAILED(hr) ? hr : (actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL);
  }
  HRESULT SetFormat(const MediaType& type) override {
    if (CheckMediaType(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    if (!filter_ || filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
    const MediaType old = preferred_;
    preferred_ = type;
    if (!connected_ || mt_ == type) return S_OK;
    std::shared_ptr<IPin> peerPin = peer();
    if (!peerPin || peerPin->QueryAccept(type) != S_OK) {
      preferred_ = old;
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    const MediaType current = mt_;
    peerPin->Disconnect();
    Disconnect();
    if (Connect(peerPin, &type) == S_OK) return S_OK;
    preferred_ = old;
    Connect(peerPin, &current);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetFormat(MediaType& type) override {
    type = connected_ ? mt_ : preferred_;
    return S_OK;
  }
  HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& size) override {
    count = static_cast<int32_t>(owner_->formats_.size());
    size = 0;
    return S_OK;
  }
  HRESULT GetStreamCaps(int32_t index, MediaType& type, std::vector<uint8_t>& caps) override {
    if (index < 0) return E_INVALIDARG;
    if (index >= static_cast<int32_t>(owner_->formats_.size())) return S_FALSE;
    type = owner_->formats_[static_cast<size_t>(index)];
    caps.clear();
    return S_OK;
  }

 private:
  AlsaCaptureFilter* owner_;
  MediaType preferred_;
};

// ---------------------------------------------------------------------------------------------
// One capture source of the mixer: a switch element ("Line", "Mic"...), or one item of an
// enumerated capture-source selector.
class AlsaCaptureFilter::SourcePin : public BaseInputPin, public IAMAudioInputMixer {
 public:
  SourcePin(AlsaCaptureFilter* f, QString name, size_t element, int item)
      : BaseInputPin(f, std::move(name)), owner_(f), element_(element), item_(item) {}
  HRESULT CheckMediaType(const MediaType&) override { return VFW_E_TYPE_NOT_ACCEPTED; }  // a mixer line

  HRESULT put_Enable(bool enable) override {
    if (!filter_ || !owner_->mixer_) return E_UNEXPECTED;
    auto& seam = *owner_->seam_;
    const auto& e = owner_->sources_[element_];
    int r = 0;
    if (item_ >= 0) {
      if (!enable) return S_OK;  // a selector always has one source: disabling means choosing another
      r = seam.setCaptureItem(owner_->mixer_, e, static_cast<unsigned>(item_));
    } else {
      r = seam.setCaptureSwitch(owner_->mixer_, e, enable);
      // Exclusive switches turn the others off in the driver; do it ourselves for the rest.
      if (r == 0 && enable)
        for (size_t i = 0; i < owner_->sources_.size(); ++i)
          if (i != element_ && owner_->sources_[i].captureSwitch)
            seam.setCaptureSwitch(owner_->mixer_, owner_->sources_[i], false);
    }
    if (r < 0) say(owner_->device_.friendlyName() + ": capture source: " + describeAlsaError(r));
    return r < 0 ? E_FAIL : S_OK;
  }
  HRESULT get_Enable(bool& enable) override {
    enable = false;
    if (!filter_ || !owner_->mixer_) return E_UNEXPECTED;
    const auto& e = owner_->sources_[element_];
    if (item_ >= 0) {
      unsigned item = 0;
      if (owner_->seam_->getCaptureItem(owner_->mixer_, e, item) < 0) return E_FAIL;
      enable = item == static_cast<unsigned>(item_);
      return S_OK;
    }
    return owner_->seam_->getCaptureSwitch(owner_->mixer_, e, enable) < 0 ? E_FAIL : S_OK;
  }
  HRESULT put_MixLevel(double level) override { return level >= 0 && level <= 1 ? S_OK : E_INVALIDARG; }
  HRESULT get_MixLevel(double& level) override {
    level = 1.0;
    return S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return E_UNEXPECTED; }

 private:
  AlsaCaptureFilter* owner_;
  size_t element_;
  int item_;
};

// ---------------------------------------------------------------------------------------------
std::vector<MediaType> AlsaCaptureFilter::probeFormats(AlsaSeam& seam, const std::string& pcm) {
  static const unsigned rates[] = {44100, 48000, 32000, 22050, 16000, 11025, 8000};
  std::vector<MediaType> out;
  AlsaSeam::Handle h = nullptr;
  const bool open = seam.pcmOpen(pcm, true, h) == 0;
  for (unsigned channels : {2u, 1u})
    for (unsigned rate : rates)
      if (!open || seam.pcmSupports(h, PcmSampleFormat::S16_LE, channels, rate))
        out.push_back(MediaType::pcm(rate, static_cast<uint16_t>(channels), 16));
  if (open) seam.pcmClose(h);
  return out;
}

AlsaCaptureFilter::AlsaCaptureFilter(std::shared_ptr<AlsaSeam> seam, AlsaCaptureDevice device)
    : BaseFilter(CLSID_AlsaAudioCapture, QString::fromStdString(device.friendlyName())),
      seam_(std::move(seam)),
      device_(std::move(device)),
      formats_(probeFormats(*seam_, device_.pcm())) {
  addPin(std::make_shared<CapturePin>(this));
  if (seam_->mixerOpen(device_.card.index, mixer_) < 0) {
    mixer_ = nullptr;
    return;
  }
  sources_ = seam_->mixerElements(mixer_);
  for (size_t i = 0; i < sources_.size(); ++i) {
    const auto& e = sources_[i];
    if (!e.captureItems.empty()) {
      for (size_t k = 0; k < e.captureItems.size(); ++k)
        addPin(std::make_shared<SourcePin>(this, QString::fromStdString(e.captureItems[k]), i,
                                           static_cast<int>(k)));
    } else {
      addPin(std::make_shared<SourcePin>(this, QString::fromStdString(e.name), i, -1));
    }
  }
}

AlsaCaptureFilter::~AlsaCaptureFilter() {
  session_.reset();
  closeMixer();
}

void AlsaCaptureFilter::closeMixer() {
  if (mixer_) seam_->mixerClose(mixer_);
  mixer_ = nullptr;
}

void AlsaCaptureFilter::setDeviceLost() {
  if (lost_.exchange(true)) return;
  say(device_.friendlyName() + ": the device was removed");
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, 0, self()});
}

void AlsaCaptureFilter::setDeviceBack() {
  if (!lost_.exchange(false)) return;
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, 1, self()});
}

HRESULT AlsaCaptureFilter::onPause() {
  auto* cap = pin(0);
  if (!cap || !cap->isConnected()) return S_OK;
  if (lost_.load()) return VFW_E_DEVICE_LOST;
  const auto w = cap->currentMediaType().waveFormat();
  if (!w) return VFW_E_TYPE_NOT_ACCEPTED;
  auto s = std::make_unique<Session>();
  s->seam = seam_;
  s->wave = *w;
  const std::string name = device_.pcm();
  if (int r = seam_->pcmOpen(name, true, s->pcm); r < 0) {
    s->pcm = nullptr;
    say(device_.friendlyName() + " (" + name + "): " + describeAlsaError(r));
    return E_FAIL;
  }
  const auto format = w->wBitsPerSample == 8 ? PcmSampleFormat::U8 : PcmSampleFormat::S16_LE;
  if (int r = seam_->pcmConfigure(s->pcm, format, w->nChannels, w->nSamplesPerSec,
                                  w->nSamplesPerSec * kBlockMs / 1000);
      r < 0) {
    say(device_.friendlyName() + ": cannot capture " + std::to_string(w->nSamplesPerSec) + " Hz " +
        std::to_string(w->nChannels) + " channel(s): " + describeAlsaError(r));
    return E_FAIL;
  }
  session_ = std::move(s);
  return S_OK;
}

HRESULT AlsaCaptureFilter::onRun(REFERENCE_TIME) {
  if (session_) session_->thread.start([this](StreamingThread& t) { stream(t); });
  return S_OK;
}

void AlsaCaptureFilter::haltStreaming() {
  if (session_) session_->thread.stop();
}

HRESULT AlsaCaptureFilter::EnumPins(std::shared_ptr<IEnumPins>& pins) {
  if (!lost_.load()) return BaseFilter::EnumPins(pins);
  pins = visiblePins(pins_, true);
  return S_OK;
}

HRESULT AlsaCaptureFilter::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  if (!graph) unlinkPins(pins_);
  return BaseFilter::JoinFilterGraph(graph, name);
}

HRESULT AlsaCaptureFilter::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT AlsaCaptureFilter::onStop() {
  session_.reset();
  return S_OK;
}

// Streaming thread: the session stays until the user-interface thread has joined it.
void AlsaCaptureFilter::stream(StreamingThread& thread) {
  Session& s = *session_;
  auto* cap = static_cast<BaseOutputPin*>(pin(0));
  const unsigned rate = s.wave.nSamplesPerSec;
  const unsigned align = std::max<unsigned>(s.wave.nBlockAlign, 1);
  const unsigned blockFrames = std::max(1u, rate * kBlockMs / 1000);
  std::vector<uint8_t> block(size_t(blockFrames) * align);
  unsigned filled = 0;
  bool haveBase = false;
  REFERENCE_TIME base = 0;
  int64_t frames = 0;  // frames delivered since the base
  int errors = 0;
  bool gone = false;
  while (!thread.stopRequested() && !lost_.load()) {
    const long n = seam_->pcmRead(s.pcm, block.data() + size_t(filled) * align, blockFrames - filled);
    if (n == -EAGAIN || n == 0) {
      const int w = seam_->pcmWait(s.pcm, kWaitMs);
      if (w >= 0) continue;
      if (isGone(w)) {
        gone = true;
        break;
      }
      if (w != -EPIPE && w != -ESTRPIPE && ++errors > kMaxConsecutiveErrors) break;
      if (w == -EPIPE || w == -ESTRPIPE) seam_->pcmRecover(s.pcm, w);
      continue;
    }
    if (n < 0) {
      if (isGone(n)) {
        gone = true;
        break;
      }
      if (n == -EPIPE || n == -ESTRPIPE) {
        // An overrun: the device lost sound while we were late. Count it and restart the clock.
        dropped_.fetch_add(1);
        haveBase = false;
        filled = 0;
        if (seam_->pcmRecover(s.pcm, static_cast<int>(n)) == 0) continue;
      }
      if (++errors > kMaxConsecutiveErrors) break;
      continue;
    }
    errors = 0;
    filled += static_cast<unsigned>(n);
    if (filled < blockFrames) continue;
    filled = 0;
    if (!haveBase) {
      const REFERENCE_TIME now = streamTime();
      base = std::max<REFERENCE_TIME>(0, now - REFERENCE_TIME(blockFrames) * UNITS / rate);
      frames = 0;
      haveBase = true;
    }
    REFERENCE_TIME start = base + frames * UNITS / rate;
    frames += blockFrames;
    REFERENCE_TIME stop = base + frames * UNITS / rate;
    std::shared_ptr<MediaSample> sample;
    if (FAILED(cap->GetDeliveryBuffer(sample, AM_GBF_NOWAIT)) || !sample ||
        sample->GetSize() < static_cast<int32_t>(block.size())) {
      dropped_.fetch_add(1);  // the branch is late: lose this block rather than wait
      continue;
    }
    std::memcpy(sample->data(), block.data(), block.size());
    sample->SetActualDataLength(static_cast<int32_t>(block.size()));
    sample->SetTime(&start, &stop);
    int64_t m0 = frames - blockFrames, m1 = frames;
    sample->SetMediaTime(&m0, &m1);
    sample->SetSyncPoint(true);
    delivered_.fetch_add(1);
    bytes_.fetch_add(static_cast<int64_t>(block.size()));
    cap->Deliver(sample);
  }
  if (thread.stopRequested() || lost_.load()) return;
  if (gone) {
    setDeviceLost();
    return;
  }
  say(device_.friendlyName() + ": capture stopped after repeated errors");
  NotifyEvent(GraphEvent{EC_ERRORABORT, E_FAIL, 0, nullptr});
}

HRESULT AlsaCaptureFilter::GetNumDropped(int32_t& dropped) {
  dropped = static_cast<int32_t>(dropped_.load());
  return S_OK;
}
HRESULT AlsaCaptureFilter::GetNumNotDropped(int32_t& delivered) {
  delivered = static_cast<int32_t>(delivered_.load());
  return S_OK;
}
HRESULT AlsaCaptureFilter::GetAverageFrameSize(int32_t& size) {
  const int64_t n = delivered_.load();
  size = n ? static_cast<int32_t>(bytes_.load() / n) : 0;
  return S_OK;
}

}  // namespace vistrel::platform::devices::alsa
