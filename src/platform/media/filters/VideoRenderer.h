#pragma once
// Video Renderer: one input pin for RGB24 and RGB32 pictures (VIDEOINFOHEADER or VIDEOINFOHEADER2,
// bottom-up or top-down), shown in a preview widget through its FrameSlot. IVideoWindow (reached
// with queryInterface) places that widget in the program's window.
//
// Threads: Receive runs on the upstream streaming thread and only copies the frame into a short
// queue (the oldest waiting frame is dropped when the queue is full), so it never waits for the
// clock or the user interface. A presenter thread of the renderer's own, running from pause to
// stop, shows each frame when the graph clock reaches its start time while the graph runs, at
// once when it is paused or the frame carries no time. A frame whose display time has passed
// while a newer one already waits is dropped and counted. Stopping or pausing leaves the last
// frame on show.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/MediaSample.h"

namespace vistrel::platform::ui {
class FrameSlot;
class VideoWindow;
}  // namespace vistrel::platform::ui

namespace vistrel::platform::media {

class VideoRenderer : public BaseFilter {
 public:
  // Frames waiting for their time; one more arriving drops the oldest.
  static constexpr size_t kQueueDepth = 3;
  // A frame due further ahead than this has times that do not follow the clock: shown at once.
  static constexpr REFERENCE_TIME kMaxWait = UNITS;

  // User-interface thread: the window's widget is created here (without a running QApplication
  // the frames still reach frameSlot(), and there is no IVideoWindow).
  VideoRenderer();
  ~VideoRenderer() override;
  static std::shared_ptr<IBaseFilter> create();

  // Null when the renderer was made without a user interface.
  const std::shared_ptr<ui::VideoWindow>& videoWindow() const { return window_; }
  const std::shared_ptr<ui::FrameSlot>& frameSlot() const { return slot_; }
  // Any thread.
  int64_t framesDrawn() const { return drawn_.load(); }
  int64_t framesDropped() const { return dropped_.load(); }

  // Upstream streaming thread: copies the picture into the queue; never blocks for long.
  HRESULT queueFrame(const MediaSample& sample);
  // True for the picture types the renderer shows.
  static bool acceptsType(const MediaType& type);

  void haltStreaming() override;

 protected:
  HRESULT onPause() override;
  HRESULT onRun(REFERENCE_TIME start) override;
  HRESULT onStop() override;
  std::shared_ptr<Unknown> getInterface(const std::type_info& type) override;

 private:
  struct Frame {
    std::vector<uint8_t> bytes;
    MediaType type;
    bool timed = false;
    REFERENCE_TIME start = 0, stop = 0;
  };
  void startPresenter();
  void stopPresenter();
  void presentLoop();
  // Presenter thread, lock held: waits until `frame` is due; false when told to stop.
  bool waitUntilDue(std::unique_lock<std::mutex>& lock, const Frame& frame);
  void recycle(std::vector<uint8_t>&& bytes);

  std::shared_ptr<ui::VideoWindow> window_;
  std::shared_ptr<ui::FrameSlot> slot_;

  std::mutex lock_;
  std::condition_variable wake_;  // a frame arrived, the state changed or a stop was asked
  std::deque<Frame> queue_;
  std::vector<std::vector<uint8_t>> spare_;  // buffers of shown frames, reused by the next
  MediaType type_;                           // the type of the frames now arriving
  bool stopping_ = false;
  std::thread presenter_;
  std::atomic<int64_t> drawn_{0}, dropped_{0};
};

}  // namespace vistrel::platform::media
