#include "sources/PluginSource.h"

#include <algorithm>
#include <chrono>

#include "platform/media/BaseOutputPin.h"
#include "platform/media/StreamingThread.h"

namespace vistrel::sources {

using namespace platform::media;

namespace {

class PluginSourcePin : public BaseOutputPin {
 public:
  PluginSourcePin(PluginSource* source, const MediaType& type, vt_fill_frame fill, void* user)
      : BaseOutputPin(source, QStringLiteral("Capture"), PIN_CATEGORY_CAPTURE),
        source_(source),
        type_(type),
        fill_(fill),
        user_(user) {}
  ~PluginSourcePin() override { thread_.stop(); }

  HRESULT CheckMediaType(const MediaType& type) override {
    return type == type_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    ALLOCATOR_PROPERTIES want = request;
    want.cBuffers = std::max(want.cBuffers, 4);
    want.cbBuffer = std::max<int32_t>(want.cbBuffer, static_cast<int32_t>(type_.lSampleSize));
    want.cbAlign = std::max(want.cbAlign, 1);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
  }

  void startStreaming() {
    if (connected_) thread_.start([this](StreamingThread& t) { stream(t); });
  }
  void stopStreaming() { thread_.stop(); }

 private:
  // Streaming thread: the module's callback fills each buffer; blocks only in the frame timer.
  void stream(StreamingThread& thread) {
    const auto bmi = *type_.bitmapHeader();
    const REFERENCE_TIME interval = type_.averageTimePerFrame();
    const auto period = std::chrono::nanoseconds(interval * 100);
    const auto t0 = std::chrono::steady_clock::now();
    int64_t k = 0;
    while (thread.sleepUntil(t0 + k * period)) {
      const int64_t behind = (std::chrono::steady_clock::now() - (t0 + k * period)) / period;
      if (behind > 0) {
        source_->countDropped(behind);
        k += behind;
      }
      std::shared_ptr<MediaSample> sample;
      if (FAILED(GetDeliveryBuffer(sample, AM_GBF_NOWAIT)) || !sample) {
        source_->countDropped(1);
        ++k;
        continue;
      }
      fill_(user_, sample->data(), bmi.biWidth, bmi.biHeight, k);
      REFERENCE_TIME start = source_->streamTime();
      REFERENCE_TIME stop = start + interval;
      sample->SetTime(&start, &stop);
      int64_t m0 = k, m1 = k + 1;
      sample->SetMediaTime(&m0, &m1);
      sample->SetSyncPoint(true);
      sample->SetActualDataLength(static_cast<int32_t>(type_.lSampleSize));
      source_->countDelivered();
      Deliver(sample);
      ++k;
    }
  }

  PluginSource* source_;
  const MediaType type_;
  vt_fill_frame fill_;
  void* user_;
  StreamingThread thread_;
};

}  // namespace

PluginSource::PluginSource(const QString& name, int32_t width, int32_t height, int32_t framesPerSecond,
                           vt_fill_frame fill, void* user)
    : BaseFilter(CLSID_PluginSource, name), frameBytes_(width * height * 3) {
  const MediaType type = MediaType::rgb24(width, height, UNITS / framesPerSecond);
  addPin(std::make_shared<PluginSourcePin>(this, type, fill, user));
}

PluginSource::~PluginSource() { haltStreaming(); }

void PluginSource::haltStreaming() {
  for (auto& p : pins_) static_cast<PluginSourcePin*>(p.get())->stopStreaming();
}

HRESULT PluginSource::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT PluginSource::onPause() {
  haltStreaming();
  return S_OK;
}

HRESULT PluginSource::onRun(REFERENCE_TIME) {
  for (auto& p : pins_) static_cast<PluginSourcePin*>(p.get())->startStreaming();
  return S_OK;
}

HRESULT PluginSource::GetNumDropped(int32_t& dropped) {
  dropped = static_cast<int32_t>(dropped_.load());
  return S_OK;
}

HRESULT PluginSource::GetNumNotDropped(int32_t& delivered) {
  delivered = static_cast<int32_t>(delivered_.load());
  return S_OK;
}

HRESULT PluginSource::GetAverageFrameSize(int32_t& size) {
  size = delivered_.load() ? frameBytes_ : 0;
  return S_OK;
}

}  // namespace vistrel::sources
