#pragma once
// The overlay's grab ring and intervalometer arithmetic.
//
// The ring holds 20 pictures, each with a busy flag that hands the slot over: the streaming
// thread fills a free slot, sets its flag (release) and tells the window; the window reads the
// picture after seeing the flag (acquire) and clears it when done; only then does the streaming
// thread write that slot again. Neither side waits for the other.

#include <QImage>
#include <array>
#include <atomic>
#include <cstdint>

namespace vistrel::filters {

class OverlayGrabRing {
 public:
  static constexpr int kSlots = 20;

  // Streaming thread. Moves the ring position on and answers the new position, or -1 when that
  // slot is still busy (the grab is lost).
  int Advance();
  // Streaming thread, on the slot Advance answered: copies the picture in and marks it busy.
  void Fill(int slot, const QImage& picture);

  // Any thread. True while the window has not taken the slot's picture.
  bool Busy(int slot) const;
  // User-interface thread, while the slot is busy: the grabbed picture (top-down, B, G, R).
  const QImage* Picture(int slot) const;
  // User-interface thread: the picture was taken; the slot may be filled again.
  void Release(int slot);
  int Position() const { return position_; }

 private:
  struct Slot {
    QImage picture;
    std::atomic<bool> busy{false};
  };
  std::array<Slot, kSlots> slots_;
  int position_ = 0;  // streaming thread
};

// Sample times in 100 µs units (sample start time div 1000).
class OverlayIntervalometer {
 public:
  struct Step {
    bool grab = false;
    bool countdownChanged = false;
    int64_t countdown = 0;  // whole seconds to the next grab, when changed
  };

  // Starts over: the next sample grabs.
  void Restart() { next_ = 0; }
  // One sample at time t with the period; both in 100 µs units.
  Step Advance(int64_t t, int64_t period);
  int64_t Next() const { return next_; }

 private:
  int64_t next_ = 0;
  int64_t lastCountdown_ = -1;
};

}  // namespace vistrel::filters
