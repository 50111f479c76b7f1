#pragma once
// The time-stamper's processing, independent of any graph: a valve that drops every sample while
// closed, and a mode that strips start, stop and media times so that a renderer shows frames as
// they come. The switches are set from the user-interface thread while samples flow and take
// effect on the next sample; Transform runs on the streaming thread and never blocks.

#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/media/MediaSample.h"

namespace vistrel::filters {

class TimeStamper {
 public:
  void SetDrop(bool drop) { drop_.store(drop, std::memory_order_relaxed); }
  void StripTimesOn() { strip_.store(true, std::memory_order_relaxed); }
  void PassThrough() { strip_.store(false, std::memory_order_relaxed); }
  bool Drop() const { return drop_.load(std::memory_order_relaxed); }
  bool StripTimes() const { return strip_.load(std::memory_order_relaxed); }
  // The engine's label for an instance; the filter never reads it.
  void SetTag(int32_t tag) { tag_.store(tag, std::memory_order_relaxed); }
  int32_t Tag() const { return tag_.load(std::memory_order_relaxed); }

  // The capture freeze: holding drops the samples stamped from the hold on (and any without a
  // stamp) like the valve; samples stamped before it still pass. On release, samples stamped
  // during the hold are dropped too, and later ones are moved back by the held stretch, so that a
  // file goes on from where it paused instead of keeping the stretch as a hole. `now` is the
  // stream time of the call; every instance held at the same moment moves its samples by the
  // same amount, which keeps their streams in step.
  void Hold(bool on, platform::media::REFERENCE_TIME now);
  bool Holding() const { return Drop(); }
  // A new run starts the stream times again: what was held before no longer counts (a hold
  // still on goes on from the new start).
  void RestartHold();

  // 1 (S_FALSE): the sample is dropped; 0: it passes, without times when stripping.
  platform::media::HRESULT Transform(platform::media::MediaSample& sample) const;

 private:
  struct HeldStretch {
    bool holding = false;                             // a hold is on (the valve may close alone)
    platform::media::REFERENCE_TIME since = 0;        // start of the current or last hold
    platform::media::REFERENCE_TIME resumedAt = 0;    // end of the last hold
    platform::media::REFERENCE_TIME shift = 0;        // all the held stretches of this run
    platform::media::REFERENCE_TIME shiftBefore = 0;  // the same, before the last hold
  };
  mutable std::mutex holdLock_;  // taken briefly on both threads, never while waiting
  HeldStretch held_;
  std::atomic<bool> drop_{false};
  std::atomic<bool> strip_{false};
  std::atomic<int32_t> tag_{0};
};

}  // namespace vistrel::filters
