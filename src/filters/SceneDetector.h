#pragma once
// The DV scene detector's processing, independent of any graph: for every DV frame it decodes
// the frame record, stores it with the frame's header areas in the ring, tells the main window
// when the 16:9 flag changes, and reports a new scene whenever the recording date and time jump
// (a camcorder's stop and restart) or the date disappears or reappears.
//
// Threads: AnalyseFrame runs on the streaming thread; CloseLastScene and Reset run in the graph's
// stop, after the streaming thread has stopped. Readers (CurrentRecord, Ring, FindEntryAtOrBefore,
// ReadIndex) may run on any thread at any time and never block. The setters may be called from
// the user-interface thread while frames flow.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "filters/FrameRecord.h"
#include "filters/FrameRing.h"
#include "filters/SeqLockValue.h"
#include "platform/ui/PostedMessages.h"

namespace vistrel::filters {

class SceneDetector {
 public:
  // (scene-start record, current record); called on the streaming thread (and once in the stop);
  // must not wait on the user interface.
  using SceneCallback = std::function<void(const TFrameRecord& sceneStart, const TFrameRecord& current)>;

  // The message posted to the main window when the 16:9 flag changes: wParam 1, lParam 1 or 0.
  static constexpr uint32_t kWideScreenMessage = platform::ui::WM_USER + 3;
  // Recording date jumps of more than this many seconds start a scene.
  static constexpr int kDateJumpSeconds = 2;
  // Dated frames resuming within this many frames of the last scene start start no new scene.
  static constexpr int kFrameGap = 12;

  SceneDetector();

  // Streaming thread. Analyses one frame (its bytes as delivered) with the sample's start time
  // and returns the frame number to stamp as the sample's media time (n, n + 1).
  int64_t AnalyseFrame(std::span<const uint8_t> frame, int64_t startTime);

  // Graph stop, before the framework's stop: reports the last scene to the callback.
  void CloseLastScene();
  // Graph stop, after the framework's stop: restarts counting and scene tracking. The ring keeps
  // its contents until they are overwritten.
  void Reset();

  // Any thread. The callback takes effect from the next scene; none clears it.
  void SetSceneCallback(SceneCallback callback);
  // Any thread. The window that receives the 16:9 notifications (0: none).
  void SetNotifyWindow(platform::ui::WindowHandle window) { window_.store(window); }
  // Any thread. Forgets the remembered 16:9 state, so that the next 16:9 frame notifies again.
  void ForgetWideScreen() { forgetWide_.store(true); }

  // Any thread. The record of the frame analysed last.
  TFrameRecord CurrentRecord() const;
  const FrameRing& Ring() const { return ring_; }
  int WritePosition() const { return writePosition_.load(std::memory_order_acquire); }
  int ReadIndex() const { return readIndex_.load(std::memory_order_acquire); }
  void SetReadIndex(int index);
  // The newest ring entry whose start time is not after `startTime`, looking back from the write
  // position over at most the whole ring; the oldest entry examined when none qualifies; -1 when
  // no entry can be read.
  int FindEntryAtOrBefore(int64_t startTime) const;

  // Streaming thread state, exposed for tests of the scene rules.
  const TFrameRecord& SceneStartRecord() const { return sceneStart_; }

 private:
  void decode(std::span<const uint8_t> frame);
  void newScene();
  void publishCurrent();

  FrameRing ring_;
  std::atomic<int> writePosition_{0};
  std::atomic<int> readIndex_{0};

  // Owned by the streaming thread (and by the stop, once streaming has stopped).
  TFrameRecord current_;
  TFrameRecord previous_;
  TFrameRecord sceneStart_;
  double previousDate_ = 0;
  bool havePreviousDate_ = false;
  bool firstFrame_ = true;

  // The current record as other threads see it.
  SeqLockValue<TFrameRecord> published_;

  std::atomic<std::shared_ptr<const SceneCallback>> callback_;
  std::atomic<platform::ui::WindowHandle> window_{0};
  std::atomic<bool> forgetWide_{false};
};

}  // namespace vistrel::filters
