#include "platform/devices/virtual/ToneMicrophone.h"

#include <chrono>
#include <cmath>

#include "platform/devices/LostDevicePins.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IAMAudioInputMixer.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/StreamingThread.h"
#include "platform/media/SystemClock.h"

namespace vistrel::platform::devices {

using namespace media;

void renderTone(int16_t* samples, int frames, int channels, double frequency, int rate, double& phase) {
  const double step = 2.0 * M_PI * frequency / rate;
  for (int i = 0; i < frames; ++i) {
    const auto v = static_cast<int16_t>(std::lround(std::sin(phase) * 8000.0));
    for (int c = 0; c < channels; ++c) samples[i * channels + c] = v;
    phase += step;
    if (phase > 2.0 * M_PI) phase -= 2.0 * M_PI;
  }
}

namespace {
constexpr int kBlockMs = 20;

class MicCapturePin : public BaseOutputPin, public IAMStreamConfig {
 public:
  explicit MicCapturePin(ToneMicrophone* mic)
      : BaseOutputPin(mic, QStringLiteral("Capture"), PIN_CATEGORY_CAPTURE),
        mic_(mic),
        preferred_(ToneMicrophone::formats()[0]) {}
  ~MicCapturePin() override { thread_.stop(); }

  HRESULT CheckMediaType(const MediaType& type) override {
    for (const auto& f : ToneMicrophone::formats())
      if (f == type) return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    const auto& all = ToneMicrophone::formats();
    if (position < 0) return E_INVALIDARG;
    if (position == 0) {
      type = preferred_;
      return S_OK;
    }
    if (position > static_cast<int>(all.size())) return VFW_S_NO_MORE_ITEMS;
    type = all[static_cast<size_t>(position - 1)];
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    const auto w = *currentMediaType().waveFormat();
    ALLOCATOR_PROPERTIES want = request;
    want.cBuffers = std::max(want.cBuffers, 8);
    want.cbBuffer =
        std::max<int32_t>(want.cbBuffer, static_cast<int32_t>(w.nAvgBytesPerSec / (1000 / kBlockMs)));
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator.SetProperties(want, actual);
    return FAILED(hr) ? hr : (actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL);
  }
  HRESULT SetFormat(const MediaType& type) override {
    if (CheckMediaType(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    if (connected_ && !(mt_ == type)) return VFW_E_NOT_STOPPED;  // the connection keeps its type
    preferred_ = type;
    return S_OK;
  }
  HRESULT GetFormat(MediaType& type) override {
    type = connected_ ? mt_ : preferred_;
    return S_OK;
  }
  HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& size) override {
    count = static_cast<int32_t>(ToneMicrophone::formats().size());
    size = 0;
    return S_OK;
  }
  HRESULT GetStreamCaps(int32_t index, MediaType& type, std::vector<uint8_t>& caps) override {
    const auto& all = ToneMicrophone::formats();
    if (index < 0) return E_INVALIDARG;
    if (index >= static_cast<int32_t>(all.size())) return S_FALSE;
    type = all[static_cast<size_t>(index)];
    caps.clear();
    return S_OK;
  }

  void startStreaming() {
    if (connected_) thread_.start([this](StreamingThread& t) { stream(t); });
  }
  void stopStreaming() { thread_.stop(); }

 private:
  // Streaming thread of the capture pin: a 20 ms block per tick from the pool without waiting
  // (a block that finds no buffer is dropped and counted), delivered to the peer's Receive.
  void stream(StreamingThread& thread) {
    const auto w = *mt_.waveFormat();
    const int frames = static_cast<int>(w.nSamplesPerSec) * kBlockMs / 1000;
    const REFERENCE_TIME period = REFERENCE_TIME{kBlockMs} * 10000;
    // Paced by the graph's clock, as the cameras are.
    const REFERENCE_TIME t0 = SystemClock::now();
    double phase = 0;
    int64_t block = 0;
    while (thread.sleepUntil(SystemClock::wallTimeOf(t0 + (block + 1) * period))) {
      const int64_t first = block * frames;
      ++block;
      if (mic_->deviceLost() || mic_->stalled()) continue;
      std::shared_ptr<MediaSample> sample;
      if (FAILED(GetDeliveryBuffer(sample, AM_GBF_NOWAIT))) {
        mic_->countDropped();
        continue;
      }
      renderTone(reinterpret_cast<int16_t*>(sample->data()), frames, w.nChannels,
                 ToneMicrophone::toneFrequency(mic_->selectedInput()), static_cast<int>(w.nSamplesPerSec),
                 phase);
      REFERENCE_TIME start = first * UNITS / w.nSamplesPerSec,
                     stop = (first + frames) * UNITS / w.nSamplesPerSec;
      sample->SetTime(&start, &stop);
      int64_t m0 = first, m1 = first + frames;
      sample->SetMediaTime(&m0, &m1);
      sample->SetSyncPoint(true);
      sample->SetActualDataLength(frames * w.nBlockAlign);
      mic_->countDelivered();
      Deliver(sample);
    }
  }

  ToneMicrophone* mic_;
  MediaType preferred_;
  StreamingThread thread_;
};

class MixerLinePin : public BaseInputPin, public IAMAudioInputMixer {
 public:
  MixerLinePin(ToneMicrophone* mic, QString name, int index)
      : BaseInputPin(mic, std::move(name)), mic_(mic), index_(index) {}
  HRESULT CheckMediaType(const MediaType&) override {
    return VFW_E_TYPE_NOT_ACCEPTED;
  }  // a mixer line, not a stream
  HRESULT put_Enable(bool enable) override {
    if (!filter_) return E_UNEXPECTED;
    if (enable) mic_->selectInput(index_);
    return S_OK;
  }
  HRESULT get_Enable(bool& enable) override {
    enable = filter_ && mic_->selectedInput() == index_;
    return S_OK;
  }
  HRESULT put_MixLevel(double level) override { return level >= 0 && level <= 1 ? S_OK : E_INVALIDARG; }
  HRESULT get_MixLevel(double& level) override {
    level = 1.0;
    return S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return E_UNEXPECTED; }

 private:
  ToneMicrophone* mic_;
  int index_;
};
}  // namespace

const std::vector<MediaType>& ToneMicrophone::formats() {
  static const std::vector<MediaType> list = {MediaType::pcm(44100, 2, 16), MediaType::pcm(48000, 2, 16)};
  return list;
}

double ToneMicrophone::toneFrequency(int input) { return input == 1 ? 660.0 : input == 2 ? 880.0 : 440.0; }

ToneMicrophone::ToneMicrophone(const QString& friendlyName)
    : BaseFilter(CLSID_VirtualToneMicrophone, friendlyName) {
  addPin(std::make_shared<MicCapturePin>(this));
  addPin(std::make_shared<MixerLinePin>(this, QStringLiteral("Line In"), 0));
  addPin(std::make_shared<MixerLinePin>(this, QStringLiteral("Micro"), 1));
  addPin(std::make_shared<MixerLinePin>(this, QStringLiteral("CD"), 2));
}

ToneMicrophone::~ToneMicrophone() { haltStreaming(); }

void ToneMicrophone::haltStreaming() { static_cast<MicCapturePin*>(pins_[0].get())->stopStreaming(); }

HRESULT ToneMicrophone::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT ToneMicrophone::onPause() {
  haltStreaming();
  return S_OK;
}

HRESULT ToneMicrophone::onRun(REFERENCE_TIME) {
  static_cast<MicCapturePin*>(pins_[0].get())->startStreaming();
  return S_OK;
}

void ToneMicrophone::setDeviceLost(bool lost) {
  if (lost_.exchange(lost) == lost) return;
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, lost ? 0 : 1, self()});
}

HRESULT ToneMicrophone::EnumPins(std::shared_ptr<IEnumPins>& pins) {
  pins = visiblePins(pins_, lost_.load());
  return S_OK;
}

HRESULT ToneMicrophone::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  if (!graph) unlinkPins(pins_);  // the graph cannot unlink the outputs it no longer sees
  return BaseFilter::JoinFilterGraph(graph, name);
}

HRESULT ToneMicrophone::GetNumDropped(int32_t& dropped) {
  dropped = static_cast<int32_t>(dropped_.load());
  return S_OK;
}
HRESULT ToneMicrophone::GetNumNotDropped(int32_t& delivered) {
  delivered = static_cast<int32_t>(delivered_.load());
  return S_OK;
}
HRESULT ToneMicrophone::GetAverageFrameSize(int32_t& size) {
  size = static_cast<int32_t>(formats()[0].waveFormat()->nAvgBytesPerSec / (1000 / kBlockMs));
  return S_OK;
}

}  // namespace vistrel::platform::devices
