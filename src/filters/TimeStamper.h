#pragma once
// The time-stamper's processing, independent of any graph: a valve that drops every sample while
// closed, and a mode that strips start, stop and media times so that a renderer shows frames as
// they come. The switches are set from the user-interface thread while samples flow and take
// effect on the next sample; Transform runs on the streaming thread and never blocks.

#include <atomic>
#include <cstdint>

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

  // 1 (S_FALSE): the sample is dropped; 0: it passes, without times when stripping.
  platform::media::HRESULT Transform(platform::media::MediaSample& sample) const;

 private:
  std::atomic<bool> drop_{false};
  std::atomic<bool> strip_{false};
  std::atomic<int32_t> tag_{0};
};

}  // namespace vistrel::filters
