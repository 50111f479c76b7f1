#include "platform/devices/virtual/VirtualCamera.h"

#include <chrono>
#include <vector>

#include "platform/devices/LostDevicePins.h"
#include "platform/devices/v4l2/V4l2PropertyPages.h"
#include "platform/devices/virtual/JpegFrameEncoder.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IFilterGraph.h"
#include "platform/media/StreamingThread.h"
#include "platform/media/SystemClock.h"

namespace vistrel::platform::devices {

using namespace media;

namespace {
class CameraPin : public BaseOutputPin, public IAMStreamConfig, public ISpecifyPropertyPages {
 public:
  // Frames the emulated driver holds for a reader that is late, as a V4L2 capture queue does.
  static constexpr int64_t kDriverQueue = 4;

  CameraPin(VirtualCamera* camera, QString name, const GUID& category)
      : BaseOutputPin(camera, std::move(name), category),
        camera_(camera),
        preferred_(VirtualCamera::formats()[3]) {}
  ~CameraPin() override { thread_.stop(); }

  HRESULT CheckMediaType(const MediaType& type) override {
    for (const auto& f : VirtualCamera::formats())
      if (f == type) return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    // The format chosen with SetFormat comes first, then the whole list.
    const auto& all = VirtualCamera::formats();
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
    ALLOCATOR_PROPERTIES want = request;
    want.cBuffers = std::max(want.cBuffers, 4);
    want.cbBuffer = std::max<int32_t>(want.cbBuffer, static_cast<int32_t>(currentMediaType().lSampleSize));
    want.cbAlign = std::max(want.cbAlign, 1);
    ALLOCATOR_PROPERTIES actual;
    HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
  }

  HRESULT SetFormat(const MediaType& type) override {
    if (CheckMediaType(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    if (!filter_ || filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
    MediaType old = preferred_;
    preferred_ = type;
    if (!connected_ || mt_ == type) return S_OK;
    // Connected: reconnect with the new type, or keep the old connection when the peer refuses.
    std::shared_ptr<IPin> peerPin = peer();
    if (!peerPin || peerPin->QueryAccept(type) != S_OK) {
      preferred_ = old;
      return VFW_E_TYPE_NOT_ACCEPTED;
    }
    peerPin->Disconnect();
    Disconnect();
    if (Connect(peerPin, &type) == S_OK) return S_OK;
    preferred_ = old;
    Connect(peerPin, &old);
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetFormat(MediaType& type) override {
    type = connected_ ? mt_ : preferred_;
    return S_OK;
  }
  HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& size) override {
    count = static_cast<int32_t>(VirtualCamera::formats().size());
    size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
  }
  HRESULT GetStreamCaps(int32_t index, MediaType& type, std::vector<uint8_t>& caps) override {
    const auto& all = VirtualCamera::formats();
    if (index < 0) return E_INVALIDARG;
    if (index >= static_cast<int32_t>(all.size())) return S_FALSE;
    type = all[static_cast<size_t>(index)];
    auto bmi = type.bitmapHeader();
    VIDEO_STREAM_CONFIG_CAPS c;
    c.minWidth = c.maxWidth = bmi->biWidth;
    c.minHeight = c.maxHeight = bmi->biHeight;
    c.MinFrameInterval = c.MaxFrameInterval = type.averageTimePerFrame();
    caps.assign(reinterpret_cast<const uint8_t*>(&c), reinterpret_cast<const uint8_t*>(&c) + sizeof c);
    return S_OK;
  }

  HRESULT GetPages(std::vector<GUID>& pages) override {
    pages = {v4l2::PAGE_V4l2StreamFormat};
    return S_OK;
  }
  PropertyPage* CreatePage(const GUID& page, QWidget* parent) override {
    if (page != v4l2::PAGE_V4l2StreamFormat) return nullptr;
    return new v4l2::StreamFormatPage(std::dynamic_pointer_cast<IAMStreamConfig>(self()), parent);
  }

  void startStreaming() {
    if (!connected_) return;
    thread_.start([this](StreamingThread& t) { stream(t); });
  }
  void stopStreaming() { thread_.stop(); }

 private:
  // Streaming thread of this pin. Owns nothing but its scratch picture; samples come from the
  // connection's pool without waiting and go to the peer's Receive. Blocks only in its frame
  // timer, which a stop request interrupts.
  void stream(StreamingThread& thread) {
    const MediaType type = mt_;
    const auto bmi = *type.bitmapHeader();
    const int width = bmi.biWidth, height = bmi.biHeight;
    const bool yuy2 = type.subtype == MEDIASUBTYPE_YUY2;
    const bool jpeg = type.subtype == MEDIASUBTYPE_MJPG;
    const REFERENCE_TIME interval = type.averageTimePerFrame() > 0 ? type.averageTimePerFrame() : UNITS / 30;
    // YUY2 and MJPEG frames are drawn in RGB24 first.
    std::vector<uint8_t> scratch(yuy2 || jpeg ? dibRowBytes(width, 24) * static_cast<size_t>(height) : 0);
    std::unique_ptr<JpegFrameEncoder> encoder = jpeg ? std::make_unique<JpegFrameEncoder>() : nullptr;
    // Paced by the graph's clock, which also stamps the frames.
    const REFERENCE_TIME t0 = SystemClock::now();
    int64_t k = 0;
    while (thread.sleepUntil(SystemClock::wallTimeOf(t0 + k * interval))) {
      if (camera_->deviceLost() || camera_->stalled()) {
        ++k;
        continue;
      }
      // A real camera captures into its driver's queue whether or not the reader is on time: a
      // late thread (a loaded machine) still gets the frames of the periods it missed, with their
      // own times, and only those beyond the queue's depth are lost.
      const int64_t behind = (SystemClock::now() - (t0 + k * interval)) / interval;
      if (behind >= kDriverQueue) {
        const int64_t lost = behind - (kDriverQueue - 1);
        camera_->countDropped(lost);
        k += lost;
      }
      std::shared_ptr<MediaSample> sample;
      if (FAILED(GetDeliveryBuffer(sample, AM_GBF_NOWAIT))) {
        camera_->countDropped(1);
        ++k;
        continue;
      }
      // Stamped with the instant the frame was captured, on the graph clock.
      REFERENCE_TIME start = std::max<REFERENCE_TIME>(0, t0 + k * interval - camera_->streamStart());
      const int64_t ms = start / 10000;
      int32_t length = static_cast<int32_t>(type.lSampleSize);
      if (yuy2) {
        camera_->renderPicture(scratch.data(), width, height, k, ms);
        rgb24ToYuy2(scratch.data(), width, height, sample->data());
      } else if (jpeg) {
        camera_->renderPicture(scratch.data(), width, height, k, ms);
        length = static_cast<int32_t>(encoder->encode(scratch.data(), width, height, sample->data(),
                                                      static_cast<size_t>(std::max(sample->GetSize(), 0))));
        if (length <= 0) {  // cannot happen with a raw frame's room, but is then a lost frame
          camera_->countDropped(1);
          ++k;
          continue;
        }
      } else {
        camera_->renderPicture(sample->data(), width, height, k, ms);
      }
      REFERENCE_TIME stop = start + interval;
      sample->SetTime(&start, &stop);
      int64_t m0 = k, m1 = k + 1;
      sample->SetMediaTime(&m0, &m1);
      sample->SetSyncPoint(true);
      sample->SetActualDataLength(length);
      camera_->countDelivered(length);
      Deliver(sample);
      ++k;
    }
  }

  VirtualCamera* camera_;
  MediaType preferred_;
  StreamingThread thread_;
};
}  // namespace

const std::vector<MediaType>& VirtualCamera::formats() {
  static const std::vector<MediaType> list = [] {
    std::vector<MediaType> l;
    const int sizes[5][2] = {{320, 240}, {640, 480}, {720, 576}, {1280, 720}, {1920, 1080}};
    for (int sub = 0; sub < 3; ++sub)
      for (const auto& s : sizes)
        for (int fps : {25, 30}) {
          const REFERENCE_TIME interval = UNITS / fps;
          if (sub == 0)
            l.push_back(MediaType::rgb24(s[0], s[1], interval));
          else if (sub == 1)
            l.push_back(MediaType::video(MEDIASUBTYPE_YUY2, s[0], s[1], 16, makeFourcc('Y', 'U', 'Y', '2'),
                                         interval));
          else
            l.push_back(mjpeg(s[0], s[1], interval));
        }
    return l;
  }();
  return list;
}

MediaType VirtualCamera::mjpeg(int width, int height, REFERENCE_TIME interval) {
  MediaType mt =
      MediaType::video(MEDIASUBTYPE_MJPG, width, height, 24, makeFourcc('M', 'J', 'P', 'G'), interval);
  // Every frame has its own size; a buffer holds the worst case, a raw RGB24 frame.
  mt.bFixedSizeSamples = false;
  mt.bTemporalCompression = false;
  return mt;
}

VirtualCamera::VirtualCamera(const QString& friendlyName, const GUID& clsid)
    : BaseFilter(clsid, friendlyName) {
  addPin(std::make_shared<CameraPin>(this, QStringLiteral("Capture"), PIN_CATEGORY_CAPTURE));
  addPin(std::make_shared<CameraPin>(this, QStringLiteral("Preview"), PIN_CATEGORY_PREVIEW));
}

VirtualCamera::~VirtualCamera() { haltStreaming(); }

void VirtualCamera::renderPicture(uint8_t* rgb, int width, int height, int64_t frameNumber, int64_t timeMs) {
  renderTestPattern(rgb, width, height, frameNumber, timeMs, pattern());
}

void VirtualCamera::haltStreaming() {
  // Cards derived from the camera add pins of other kinds.
  for (auto& p : pins_)
    if (auto* pin = dynamic_cast<CameraPin*>(p.get())) pin->stopStreaming();
}

HRESULT VirtualCamera::Stop() {
  haltStreaming();
  return BaseFilter::Stop();
}

HRESULT VirtualCamera::onPause() {
  haltStreaming();  // running -> paused: no frames while paused
  return S_OK;
}

HRESULT VirtualCamera::onRun(REFERENCE_TIME) {
  for (auto& p : pins_)
    if (auto* pin = dynamic_cast<CameraPin*>(p.get())) pin->startStreaming();
  return S_OK;
}

void VirtualCamera::setDeviceLost(bool lost) {
  if (lost_.exchange(lost) == lost) return;
  NotifyEvent(GraphEvent{EC_DEVICE_LOST, 0, lost ? 0 : 1, self()});
}

HRESULT VirtualCamera::EnumPins(std::shared_ptr<IEnumPins>& pins) {
  pins = visiblePins(pins_, lost_.load());
  return S_OK;
}

HRESULT VirtualCamera::JoinFilterGraph(const std::shared_ptr<IFilterGraph>& graph, const QString& name) {
  if (!graph) unlinkPins(pins_);  // the graph cannot unlink the outputs it no longer sees
  return BaseFilter::JoinFilterGraph(graph, name);
}

HRESULT VirtualCamera::GetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                                int32_t& flags) {
  flags = VideoProcAmp_Flags_Manual;
  step = 1;
  if (property == VideoProcAmp_Brightness) {
    min = -100, max = 100, deflt = 0;
    return S_OK;
  }
  if (property == VideoProcAmp_Contrast) {
    min = 0, max = 200, deflt = 100;
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT VirtualCamera::Set(int32_t property, int32_t value, int32_t) {
  if (property == VideoProcAmp_Brightness && value >= -100 && value <= 100) {
    brightness_.store(value);
    return S_OK;
  }
  if (property == VideoProcAmp_Contrast && value >= 0 && value <= 200) {
    contrast_.store(value);
    return S_OK;
  }
  return E_INVALIDARG;
}

HRESULT VirtualCamera::Get(int32_t property, int32_t& value, int32_t& flags) {
  flags = VideoProcAmp_Flags_Manual;
  if (property == VideoProcAmp_Brightness)
    value = brightness_.load();
  else if (property == VideoProcAmp_Contrast)
    value = contrast_.load();
  else
    return E_INVALIDARG;
  return S_OK;
}

HRESULT VirtualCamera::GetNumDropped(int32_t& dropped) {
  dropped = static_cast<int32_t>(dropped_.load());
  return S_OK;
}

HRESULT VirtualCamera::GetNumNotDropped(int32_t& delivered) {
  delivered = static_cast<int32_t>(delivered_.load());
  return S_OK;
}

HRESULT VirtualCamera::GetAverageFrameSize(int32_t& size) {
  const int64_t n = delivered_.load();
  size = n ? static_cast<int32_t>(bytes_.load() / n) : 0;
  return S_OK;
}

HRESULT VirtualCamera::GetPages(std::vector<GUID>& pages) {
  pages = {v4l2::PAGE_V4l2VideoProcAmp};
  return S_OK;
}

PropertyPage* VirtualCamera::CreatePage(const GUID& page, QWidget* parent) {
  auto me = std::dynamic_pointer_cast<IAMVideoProcAmp>(self());
  if (page != v4l2::PAGE_V4l2VideoProcAmp || !me) return nullptr;
  return new v4l2::ControlPage(QStringLiteral("Réglages vidéo"), v4l2::procAmpAccess(me),
                               v4l2::procAmpControls(), parent);
}

}  // namespace vistrel::platform::devices
