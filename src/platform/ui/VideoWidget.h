#pragma once
// The live preview: a widget that paints the latest video frame scaled to its rectangle. Any
// renderer hands frames over with presentFrame() from its streaming thread; the frame is copied
// once, into a picture nobody else holds, which then becomes the newest frame, shared read-only:
// the widget paints it without copying it, and the streaming thread never writes into a picture
// that is published. The widget is asked to repaint once, so a frame that arrives before the
// previous one was painted simply replaces it (no queue builds up, the streaming thread never
// waits for the user interface). Left and right clicks are forwarded as signals; the cursor is a
// hand. VideoWindow puts IVideoWindow on top of it (owner, position, visibility).

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>

#include "platform/media/IVideoWindow.h"
#include "platform/media/MediaType.h"

namespace vistrel::platform::ui {

// The hand-over point between a renderer (any thread) and the widget (user-interface thread).
// Shared by both, so that either may go first.
class FrameSlot {
 public:
  // A published frame: never written again. When its last holder lets it go, its memory serves
  // a later frame of the same size.
  using Frame = std::shared_ptr<const QImage>;

  FrameSlot();
  ~FrameSlot();

  // Streaming thread. Copies one frame of `type` (RGB24 or RGB32, bottom-up or top-down as its
  // height says) into a free picture and publishes it. False for a type or length it cannot
  // show. Never blocks on the user interface (the lock it takes guards a pointer swap).
  bool present(const media::MediaType& type, const uint8_t* data, int32_t length);
  // Any thread: an image already in memory (shared, not copied; the caller's copy may change).
  void presentImage(const QImage& image);
  // User-interface thread: the newest frame, without a copy (null before the first); the next
  // present() asks for a repaint again.
  Frame take();
  // Any thread: a copy of the newest frame that the caller may keep (a null image before the
  // first). The widget does not use it.
  QImage latest() const;
  int64_t framesPresented() const { return presented_.load(); }

 private:
  friend class VideoWidget;
  struct Pool;
  void setListener(QObject* widget);
  void notify();
  void publish(Frame frame);

  std::shared_ptr<Pool> pool_;  // outlives the slot while a frame is still held
  mutable std::mutex lock_;
  Frame front_;
  bool fresh_ = false;
  QObject* listener_ = nullptr;  // guarded by lock_: the widget clears it before it dies
  std::atomic<bool> pending_{false};
  std::atomic<int64_t> presented_{0};
};

class VideoWidget : public QWidget {
  Q_OBJECT
 public:
  explicit VideoWidget(QWidget* parent = nullptr, std::shared_ptr<FrameSlot> slot = nullptr);
  ~VideoWidget() override;

  const std::shared_ptr<FrameSlot>& frameSlot() const { return slot_; }
  // Any thread: see FrameSlot::present.
  bool presentFrame(const media::MediaType& type, const uint8_t* data, int32_t length) {
    return slot_->present(type, data, length);
  }
  int paintCount() const { return paints_; }
  // Mouse and key events go to the drain as well, mapped to its coordinates, and no longer
  // travel up to the parent (a video child window's input belongs to its drain).
  void setMessageDrain(QWidget* drain) { drain_ = drain; }
  QWidget* messageDrain() const { return drain_.data(); }

 signals:
  void leftClicked(QPoint position);
  void rightClicked(QPoint position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  bool forwardToDrain(QEvent* event);

  std::shared_ptr<FrameSlot> slot_;
  FrameSlot::Frame shown_;  // held while shown: the streaming thread never writes into it
  int paints_ = 0;
  QPointer<QWidget> drain_;
};

// IVideoWindow over a VideoWidget: the widget becomes a child of the owner at the given position;
// it is never full screen (the plate window does that). The window style is kept and reported
// only: the widget is always a plain child without caption or border. User-interface thread.
class VideoWindow : public media::IVideoWindow {
 public:
  VideoWindow();
  ~VideoWindow() override;
  media::HRESULT put_Owner(QWidget* owner) override;
  media::HRESULT get_Owner(QWidget*& owner) override;
  media::HRESULT put_WindowStyle(int32_t style) override;
  media::HRESULT get_WindowStyle(int32_t& style) override;
  media::HRESULT SetWindowPosition(int left, int top, int width, int height) override;
  media::HRESULT GetWindowPosition(int& left, int& top, int& width, int& height) override;
  media::HRESULT put_Visible(bool visible) override;
  media::HRESULT get_Visible(bool& visible) override;
  media::HRESULT put_MessageDrain(QWidget* drain) override;
  media::HRESULT get_MessageDrain(QWidget*& drain) override;
  media::HRESULT put_FullScreenMode(bool on) override;
  media::HRESULT get_FullScreenMode(bool& on) override;

  // Null once the owner destroyed it with itself.
  VideoWidget* widget() const { return widget_.data(); }
  const std::shared_ptr<FrameSlot>& frameSlot() const { return slot_; }

 private:
  std::shared_ptr<FrameSlot> slot_;
  QWidget* owner_ = nullptr;
  QPointer<VideoWidget> widget_;  // owned by its parent once it has one, else by us
  bool visible_ = true;
  int32_t style_ = media::WS_CHILD | media::WS_CLIPSIBLINGS | media::WS_CLIPCHILDREN;
};

}  // namespace vistrel::platform::ui
