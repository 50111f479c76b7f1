#include "platform/media/filters/VideoRenderer.h"

#include <QApplication>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/media/BaseInputPin.h"
#include "platform/media/IVideoWindow.h"
#include "platform/ui/VideoWidget.h"

namespace vistrel::platform::media {

namespace {
// The longest the presenter sleeps before looking at the clock and the state again.
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr int kMaxSide = 16384;

// Bytes of one picture of `type`, or 0 when the renderer cannot show it.
int64_t pictureBytes(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Video) return 0;
  const bool rgb24 = type.subtype == MEDIASUBTYPE_RGB24, rgb32 = type.subtype == MEDIASUBTYPE_RGB32;
  if (!rgb24 && !rgb32) return 0;
  if (type.formattype != FORMAT_VideoInfo && type.formattype != FORMAT_VideoInfo2) return 0;
  const auto bmi = type.bitmapHeader();  // nullopt for a block shorter than its header
  if (!bmi || bmi->biCompression != BI_RGB || bmi->biBitCount != (rgb24 ? 24 : 32)) return 0;
  const int64_t w = bmi->biWidth, h = bmi->biHeight < 0 ? -int64_t(bmi->biHeight) : bmi->biHeight;
  if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return 0;
  return int64_t(dibRowBytes(int32_t(w), bmi->biBitCount)) * h;
}

class RendererInput : public BaseInputPin {
 public:
  explicit RendererInput(VideoRenderer* f) : BaseInputPin(f, QStringLiteral("Input")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return VideoRenderer::acceptsType(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return owner_->queueFrame(*sample);
  }

 private:
  VideoRenderer* owner_;
};

bool onUserInterfaceThread() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app && QThread::currentThread() == app->thread();
}
}  // namespace

VideoRenderer::VideoRenderer() : BaseFilter(CLSID_VideoRenderer, QStringLiteral("Video Renderer")) {
  addPin(std::make_shared<RendererInput>(this));
  if (onUserInterfaceThread()) {
    window_ = std::make_shared<ui::VideoWindow>();
    slot_ = window_->frameSlot();
  } else {
    slot_ = std::make_shared<ui::FrameSlot>();
  }
}

VideoRenderer::~VideoRenderer() {
  stopPresenter();
  // The widget belongs to the user-interface thread: let it go there.
  if (window_ && !onUserInterfaceThread() && QCoreApplication::instance())
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [w = std::move(window_)]() mutable { w.reset(); },
        Qt::QueuedConnection);
}

std::shared_ptr<IBaseFilter> VideoRenderer::create() { return std::make_shared<VideoRenderer>(); }

bool VideoRenderer::acceptsType(const MediaType& type) { return pictureBytes(type) > 0; }

std::shared_ptr<Unknown> VideoRenderer::getInterface(const std::type_info& type) {
  if (window_ && (type == typeid(IVideoWindow) || type == typeid(ui::VideoWindow))) return window_;
  return BaseFilter::getInterface(type);
}

HRESULT VideoRenderer::queueFrame(const MediaSample& sample) {
  std::optional<MediaType> changed;
  sample.GetMediaType(changed);
  Frame frame;
  {
    std::lock_guard g(lock_);
    if (changed) {
      if (!acceptsType(*changed)) return VFW_E_INVALIDMEDIATYPE;
      type_ = *changed;
    }
    frame.type = type_;
    if (!spare_.empty()) {
      frame.bytes = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  const int64_t need = pictureBytes(frame.type);
  if (need <= 0 || sample.GetActualDataLength() < need) {
    dropped_.fetch_add(1);  // a short picture: never read past the sample's data
    recycle(std::move(frame.bytes));
    return S_OK;
  }
  // The copy is made here, on the upstream thread, so that the sample's buffer goes back to its
  // pool at once: holding it would starve a source with few buffers.
  frame.bytes.resize(size_t(need));
  std::memcpy(frame.bytes.data(), sample.data(), size_t(need));
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT t = sample.GetTime(&start, &stop);
  frame.timed = SUCCEEDED(t);
  frame.start = start;
  frame.stop = t == S_OK ? stop : start;
  {
    std::lock_guard g(lock_);
    if (queue_.size() >= kQueueDepth) {
      spare_.push_back(std::move(queue_.front().bytes));
      queue_.pop_front();  // the presenter is behind: the oldest picture is lost, upstream never waits
      dropped_.fetch_add(1);
    }
    queue_.push_back(std::move(frame));
  }
  wake_.notify_all();
  return S_OK;
}

void VideoRenderer::recycle(std::vector<uint8_t>&& bytes) {
  if (bytes.capacity() == 0) return;
  std::lock_guard g(lock_);
  if (spare_.size() < kQueueDepth + 1) spare_.push_back(std::move(bytes));
}

HRESULT VideoRenderer::onPause() {
  {
    std::lock_guard g(lock_);
    type_ = pin(0)->currentMediaType();
  }
  if (pin(0)->isConnected()) startPresenter();
  return S_OK;
}

HRESULT VideoRenderer::onRun(REFERENCE_TIME) {
  wake_.notify_all();  // frames waiting since the pause are due against the new start
  return S_OK;
}

HRESULT VideoRenderer::onStop() {
  stopPresenter();
  std::lock_guard g(lock_);
  for (auto& f : queue_)
    if (spare_.size() < kQueueDepth + 1) spare_.push_back(std::move(f.bytes));
  queue_.clear();
  return S_OK;
}

void VideoRenderer::haltStreaming() { stopPresenter(); }

void VideoRenderer::startPresenter() {
  std::lock_guard g(lock_);
  if (presenter_.joinable()) return;
  stopping_ = false;
  presenter_ = std::thread([this] { presentLoop(); });
}

void VideoRenderer::stopPresenter() {
  std::thread t;
  {
    std::lock_guard g(lock_);
    stopping_ = true;
    t = std::move(presenter_);
  }
  wake_.notify_all();
  if (t.joinable()) t.join();
}

void VideoRenderer::presentLoop() {
  std::unique_lock lk(lock_);
  while (!stopping_) {
    if (queue_.empty()) {
      wake_.wait(lk, [this] { return stopping_ || !queue_.empty(); });
      continue;
    }
    // How long the front frame still has to wait, in stream time (0: show it now).
    const Frame& front = queue_.front();
    REFERENCE_TIME early = 0, late = 0;
    if (front.timed && state() == State_Running && clock()) {
      const REFERENCE_TIME now = streamTime();
      early = front.start - now;
      if (early > kMaxWait) early = 0;
      const REFERENCE_TIME avg = front.type.averageTimePerFrame();
      const REFERENCE_TIME duration = front.stop > front.start ? front.stop - front.start
                                      : avg > 0                ? avg
                                                               : UNITS / 25;
      late = now - (front.start + duration);
    }
    if (early > 0) {
      // Woken early by a new frame or a state change: look again.
      wake_.wait_for(lk, std::min<std::chrono::microseconds>(std::chrono::microseconds(early / 10), kPoll));
      continue;
    }
    Frame frame = std::move(queue_.front());
    queue_.pop_front();
    // Past its display time with a newer picture already waiting: showing it would only delay
    // the newer one.
    const bool drop = late > 0 && !queue_.empty();
    lk.unlock();
    if (drop)
      dropped_.fetch_add(1);
    else if (slot_->present(frame.type, frame.bytes.data(), int32_t(frame.bytes.size())))
      drawn_.fetch_add(1);
    else
      dropped_.fetch_add(1);
    lk.lock();
    if (spare_.size() < kQueueDepth + 1) spare_.push_back(std::move(frame.bytes));
  }
}

}  // namespace vistrel::platform::media
