#include "platform/ui/VideoWidget.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cstring>
#include <vector>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace vistrel::platform::ui {

using namespace media;

namespace {
// Posted to the widget when a fresh frame waits; one at a time.
const QEvent::Type kFrameEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// Qt's event queue orders the posting thread's writes before the receiver's reads, but inside
// the Qt library, which the thread sanitizer does not see: the hand-over is told to it here.
void postFrameEvent(QObject* widget) {
  auto* e = new QEvent(kFrameEvent);
#if defined(__SANITIZE_THREAD__)
  __tsan_release(e);
#endif
  QCoreApplication::postEvent(widget, e);
}
void receivedEvent([[maybe_unused]] QEvent* e) {
#if defined(__SANITIZE_THREAD__)
  __tsan_acquire(e);
#endif
}
}  // namespace

// Pictures whose last holder let them go, kept for the next frames of the same size. Shared with
// the deleters of published frames, which may run on any thread after the slot is gone.
struct FrameSlot::Pool {
  static constexpr size_t kSpares = 2;  // one being written, one published, one still painted
  std::mutex lock;
  std::vector<std::unique_ptr<QImage>> spare;

  std::unique_ptr<QImage> take(int w, int h, QImage::Format f) {
    {
      std::lock_guard g(lock);
      while (!spare.empty()) {
        std::unique_ptr<QImage> p = std::move(spare.back());
        spare.pop_back();
        if (p->width() == w && p->height() == h && p->format() == f) return p;
      }
    }
    return std::make_unique<QImage>(w, h, f);
  }
  // Runs when the last holder of a published picture drops it: nobody reads it any more.
  void giveBack(QImage* image) {
    std::unique_ptr<QImage> p(image);
    std::lock_guard g(lock);
    if (spare.size() < kSpares) spare.push_back(std::move(p));
  }
};

FrameSlot::FrameSlot() : pool_(std::make_shared<Pool>()) {}
FrameSlot::~FrameSlot() = default;

bool FrameSlot::present(const MediaType& type, const uint8_t* data, int32_t length) {
  const auto bmi = type.bitmapHeader();
  if (!bmi || !data || type.majortype != MEDIATYPE_Video) return false;
  const bool rgb24 = type.subtype == MEDIASUBTYPE_RGB24, rgb32 = type.subtype == MEDIASUBTYPE_RGB32;
  if (!rgb24 && !rgb32) return false;
  const int w = bmi->biWidth, h = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
  if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return false;
  const int bits = rgb24 ? 24 : 32;
  const uint32_t stride = dibRowBytes(w, bits);
  if (length < 0 || uint64_t(stride) * uint64_t(h) > uint64_t(length)) return false;
  const bool bottomUp = bmi->biHeight > 0;
  // A picture nobody else holds: written without a lock, published afterwards.
  std::unique_ptr<QImage> picture = pool_->take(w, h, rgb24 ? QImage::Format_BGR888 : QImage::Format_RGB32);
  if (picture->isNull()) return false;
  const size_t row = size_t(w) * (bits / 8);
  for (int y = 0; y < h; ++y)
    std::memcpy(picture->scanLine(y), data + size_t(bottomUp ? h - 1 - y : y) * stride, row);
  std::shared_ptr<Pool> pool = pool_;
  publish(Frame(picture.release(), [pool](const QImage* p) { pool->giveBack(const_cast<QImage*>(p)); }));
  return true;
}

void FrameSlot::presentImage(const QImage& image) { publish(std::make_shared<const QImage>(image)); }

void FrameSlot::publish(Frame frame) {
  {
    std::lock_guard g(lock_);
    std::swap(front_, frame);
    fresh_ = true;
  }
  frame.reset();  // the previous frame, outside the lock: back to the pool unless still painted
  presented_.fetch_add(1);
  notify();
}

FrameSlot::Frame FrameSlot::take() {
  std::lock_guard g(lock_);
  fresh_ = false;
  pending_.store(false);
  return front_;
}

QImage FrameSlot::latest() const {
  Frame frame;
  {
    std::lock_guard g(lock_);
    frame = front_;
  }
  return frame ? frame->copy() : QImage();
}

void FrameSlot::setListener(QObject* widget) {
  std::lock_guard g(lock_);
  listener_ = widget;
  // A frame presented while nobody listened left the flag up: the new widget must hear of the next.
  pending_.store(false);
  if (widget && fresh_) {
    pending_.store(true);
    postFrameEvent(widget);
  }
}

void FrameSlot::notify() {
  if (pending_.exchange(true)) return;  // a repaint is already on its way: it will show this frame
  std::lock_guard g(lock_);
  if (listener_) postFrameEvent(listener_);
}

// ---------------------------------------------------------------------------------------------
VideoWidget::VideoWidget(QWidget* parent, std::shared_ptr<FrameSlot> slot)
    : QWidget(parent), slot_(slot ? std::move(slot) : std::make_shared<FrameSlot>()) {
  setCursor(Qt::PointingHandCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
  slot_->setListener(this);
}

VideoWidget::~VideoWidget() { slot_->setListener(nullptr); }

bool VideoWidget::event(QEvent* e) {
  receivedEvent(e);
  if (e->type() == kFrameEvent) {
    shown_ = slot_->take();
    update();
    return true;
  }
  if (drain_ && forwardToDrain(e)) return true;
  return QWidget::event(e);
}

bool VideoWidget::forwardToDrain(QEvent* e) {
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* m = static_cast<QMouseEvent*>(e);
      QMouseEvent copy(m->type(), drain_->mapFromGlobal(m->globalPosition()), m->scenePosition(),
                       m->globalPosition(), m->button(), m->buttons(), m->modifiers());
      QCoreApplication::sendEvent(drain_, &copy);
      if (e->type() == QEvent::MouseButtonRelease) mouseReleaseEvent(m);  // the click signals still fire
      break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(e);
      QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(), k->count());
      QCoreApplication::sendEvent(drain_, &copy);
      break;
    }
    default: return false;
  }
  e->accept();
  return true;
}

void VideoWidget::paintEvent(QPaintEvent*) {
  ++paints_;
  QPainter p(this);
  if (!shown_ || shown_->isNull()) {
    p.fillRect(rect(), Qt::black);
    return;
  }
  // Fast scaling: the preview is judged by its smoothness, not by its filtering.
  p.drawImage(rect(), *shown_);
}

void VideoWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) emit leftClicked(e->position().toPoint());
  if (e->button() == Qt::RightButton) emit rightClicked(e->position().toPoint());
  QWidget::mouseReleaseEvent(e);
}

// ---------------------------------------------------------------------------------------------
VideoWindow::VideoWindow() : slot_(std::make_shared<FrameSlot>()), widget_(new VideoWidget(nullptr, slot_)) {}

VideoWindow::~VideoWindow() {
  if (widget_ && !widget_->parent()) delete widget_;
}

HRESULT VideoWindow::put_Owner(QWidget* owner) {
  if (!widget_) return E_UNEXPECTED;
  owner_ = owner;
  const QRect geometry = widget_->geometry();
  widget_->setParent(owner);  // a child window: never a top-level or full-screen one
  widget_->setGeometry(geometry);
  widget_->setVisible(visible_ && owner);
  return S_OK;
}

HRESULT VideoWindow::get_Owner(QWidget*& owner) {
  owner = owner_;
  return S_OK;
}

HRESULT VideoWindow::put_WindowStyle(int32_t style) {
  style_ = style;
  return S_OK;
}

HRESULT VideoWindow::get_WindowStyle(int32_t& style) {
  style = style_;
  return S_OK;
}

HRESULT VideoWindow::SetWindowPosition(int left, int top, int width, int height) {
  if (!widget_) return E_UNEXPECTED;
  if (width < 0 || height < 0) return E_INVALIDARG;
  widget_->setGeometry(left, top, width, height);
  return S_OK;
}

HRESULT VideoWindow::GetWindowPosition(int& left, int& top, int& width, int& height) {
  if (!widget_) return E_UNEXPECTED;
  const QRect r = widget_->geometry();
  left = r.left(), top = r.top(), width = r.width(), height = r.height();
  return S_OK;
}

HRESULT VideoWindow::put_Visible(bool visible) {
  visible_ = visible;
  if (!widget_) return E_UNEXPECTED;
  widget_->setVisible(visible && owner_);
  return S_OK;
}

HRESULT VideoWindow::get_Visible(bool& visible) {
  visible = visible_;
  return S_OK;
}

HRESULT VideoWindow::put_MessageDrain(QWidget* drain) {
  if (!widget_) return E_UNEXPECTED;
  widget_->setMessageDrain(drain);
  return S_OK;
}

HRESULT VideoWindow::get_MessageDrain(QWidget*& drain) {
  drain = widget_ ? widget_->messageDrain() : nullptr;
  return S_OK;
}

HRESULT VideoWindow::put_FullScreenMode(bool on) { return on ? E_NOTIMPL : S_OK; }

HRESULT VideoWindow::get_FullScreenMode(bool& on) {
  on = false;
  return S_OK;
}

}  // namespace vistrel::platform::ui
