#pragma once
// The control filter's processing without a graph: a one-frame gate for image-by-image
// recording that numbers the frames it lets through and can mark them sync points and
// discontinuities.
//
// Threads: Open and the setters may be called from the user-interface thread while frames flow;
// Pass runs on the streaming thread; Stop runs in the graph's stop.

#include <atomic>
#include <cstdint>
#include <optional>

namespace vistrel::filters {

class ControlGate {
 public:
  struct Decision {
    bool pass = false;
    std::optional<int64_t> mediaStart, mediaStop;  // set when renumbering
    bool syncPoint = false;                        // mark the sample a sync point
    bool discontinuity = false;                    // mark the sample a discontinuity
  };

  // Lets the next frame through. Two openings before a frame arrives still let one frame through.
  void Open() { passOne_.store(true); }
  // Closes the gate without letting a frame through.
  void Close() { passOne_.store(false); }
  bool IsOpen() const { return passOne_.load(); }
  void SetRenumber(bool on) { renumber_.store(on); }
  void SetMarkSyncPoint(bool on) { markSync_.store(on); }
  void SetMarkDiscontinuity(bool on) { markDiscontinuity_.store(on); }
  void SetStep(int64_t step) { step_.store(step); }

  // Streaming thread: whether this frame passes, and what to stamp on it. The gate closes
  // behind a passing frame.
  Decision Pass();

  // Graph stop: the gate opens again. The media-time counter keeps counting across runs.
  void Stop() { passOne_.store(true); }

 private:
  std::atomic<bool> passOne_{true};
  std::atomic<bool> renumber_{false};
  std::atomic<bool> markSync_{false};
  std::atomic<bool> markDiscontinuity_{false};
  std::atomic<int64_t> step_{1};
  int64_t next_ = 0;  // streaming thread only
};

}  // namespace vistrel::filters
