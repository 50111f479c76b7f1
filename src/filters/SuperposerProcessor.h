#pragma once
// The overlay filter's processing, independent of any graph: text on the picture, mirrors, the
// grab ring and the intervalometer, over plain sample buffers and bitmap headers.
//
// Threads: ProcessFrame runs on the streaming thread; StartStreaming on the user-interface
// thread while no frame flows. Every setter may be called from the user-interface thread at any
// time: the description and its font are published as one immutable snapshot swapped
// atomically, switches and counters are atomics, and grab slots are handed over by their busy
// flags. A frame may see some settings old and some new, never a torn value; the streaming
// thread never waits for the user-interface thread.

#include <QImage>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "filters/OverlayDrawing.h"
#include "filters/OverlayGrabRing.h"
#include "filters/SceneDetector.h"
#include "platform/media/VideoInfoHeader.h"
#include "platform/ui/PostedMessages.h"
#include "settings/IncrustRec.h"

namespace vistrel::filters {

// What setincrust derives from a description: the record with its positions clamped to 0-1000
// and the font.
struct OverlaySnapshot {
  settings::TincrustRec rec;
  OverlayFont font;
};

class SuperposerProcessor {
 public:
  // lParam: the ring slot just filled.
  static constexpr uint32_t kGrabMessage = platform::ui::WM_USER + 1;
  // wParam: whole seconds to the next intervalometer grab.
  static constexpr uint32_t kCountdownMessage = platform::ui::WM_USER + 2;
  static constexpr int32_t kInitialDurationFrames = 125;
  // Pictures beyond this size in either direction are refused at streaming start.
  static constexpr int kMaxDimension = 16384;

  // Local date and time in days since 30 December 1899.
  using Clock = std::function<double()>;
  static double LocalNow();

  // Starts from the default description with both positions at 900, the switch off, mode 0.
  SuperposerProcessor();

  // ---- Setters: user-interface thread, any time.
  void setincrust(const settings::TincrustRec& rec);
  void SetOverlaySwitch(bool on);
  void whenincrust(uint8_t mode, int32_t seconds);
  void SetVerticalFlip(bool on) { verticalFlip_.store(on); }
  void SetHorizontalFlip(bool on) { horizontalFlip_.store(on); }
  // Period in 100 µs units; the next frame grabs.
  void StartIntervalometer(int64_t period);
  void StopIntervalometer() { intervalometerOn_.store(false); }
  void GrabNow() { grabRequest_.store(true); }
  // A grab asked for and not yet taken from a frame.
  bool GrabPending() const { return grabRequest_.load(); }
  void SetDvInformationSource(std::shared_ptr<SceneDetector> source) { dvSource_.store(std::move(source)); }
  void SetSourceRowsInverted(bool on) { rowsInverted_.store(on); }
  // The setting "Activer Superposition" as the frames see it; whoever writes the setting passes
  // the new value here too.
  void SetOverlayAllowed(bool allowed) { overlayAllowed_.store(allowed); }
  // The engine's current average time per frame (100 ns units), used by whenincrust.
  void SetFrameDuration(int64_t duration) { frameDuration_.store(duration); }
  // The window that receives the grab and countdown messages (0: none).
  void SetNotifyWindow(platform::ui::WindowHandle window) { window_.store(window); }
  // While stopped only; tests and tools replace the local clock.
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  // ---- Readers: any thread.
  std::shared_ptr<const OverlaySnapshot> Description() const { return snapshot_.load(); }
  bool OverlaySwitch() const { return overlaySwitch_.load(); }
  uint8_t WhenMode() const { return whenMode_.load(); }
  int32_t DurationSeconds() const { return durationSeconds_.load(); }
  int32_t DurationFrames() const { return durationFrames_.load(); }
  int32_t FramesLeft() const { return framesLeft_.load(); }
  bool IntervalometerOn() const { return intervalometerOn_.load(); }
  // The window takes slot pictures and releases them here.
  OverlayGrabRing& GrabRing() { return ring_; }
  const OverlayGrabRing& GrabRing() const { return ring_; }

  // ---- Streaming.
  // Reads the picture size from the input's bitmap header; false (keeping the previous size)
  // without a header or for an unusable size.
  bool StartStreaming(const platform::media::BITMAPINFOHEADER* header);

  enum class FrameResult { Deliver, Drop };
  // Streaming thread. Transforms one frame (`in`: the input's actual data) into `out` (the whole
  // output buffer) and gives the length to deliver; then grabs as the intervalometer and the
  // manual request say. Drop when the frame could not be copied.
  FrameResult ProcessFrame(std::span<const uint8_t> in, int64_t startTime, std::span<uint8_t> out,
                           int32_t& outLength);

  // Streaming thread state, for tests.
  const QImage& WorkingPicture() const { return picture_; }
  const QString& Line1() const { return line1_; }
  const QString& Line2() const { return line2_; }
  double CurrentClockValue() const { return clock0_; }
  double CurrentDvDateTime() const { return dv0_; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  void retrigger() { framesLeft_.store(durationFrames_.load() - 1); }
  bool timedModeShows(uint8_t mode);
  void grab(std::span<const uint8_t> in, bool overlayAllowed, int64_t startTime);
  void takeGrab(std::span<const uint8_t> in, bool overlayAllowed);
  void post(uint32_t message, intptr_t wParam, intptr_t lParam) const;

  // Published by the user-interface thread.
  std::atomic<std::shared_ptr<const OverlaySnapshot>> snapshot_;
  std::atomic<bool> overlaySwitch_{false};
  std::atomic<uint8_t> whenMode_{0};
  std::atomic<int32_t> durationSeconds_{0};
  std::atomic<int32_t> durationFrames_{kInitialDurationFrames};
  std::atomic<int32_t> framesLeft_{kInitialDurationFrames - 1};
  std::atomic<bool> verticalFlip_{false};
  std::atomic<bool> horizontalFlip_{false};
  std::atomic<bool> rowsInverted_{false};
  std::atomic<bool> overlayAllowed_{true};
  std::atomic<bool> grabRequest_{false};
  std::atomic<bool> intervalometerOn_{false};
  std::atomic<int64_t> period_{0};
  std::atomic<uint32_t> intervalometerStarts_{0};
  std::atomic<int64_t> frameDuration_{0};
  std::atomic<std::shared_ptr<SceneDetector>> dvSource_;
  std::atomic<platform::ui::WindowHandle> window_{0};
  std::atomic<int> pictureWidth_{0};
  Clock clock_;

  // Streaming thread (and StartStreaming while stopped).
  int width_ = 0;
  int height_ = 0;        // as the input's header gives it
  int headerHeight_ = 0;  // the header copy's height, its sign set per frame
  QImage picture_;
  QString line1_, line2_;
  double clock0_ = 0, clock1_ = 0;  // current and previous clock value
  double dv0_ = 0, dv1_ = 0;        // current and previous DV recording date-time
  OverlayIntervalometer intervalometer_;
  uint32_t seenStarts_ = 0;
  OverlayTextPainter painter_;
  std::shared_ptr<const OverlaySnapshot> fontSource_;
  OverlayFont font_;
  OverlayGrabRing ring_;
};

}  // namespace vistrel::filters
