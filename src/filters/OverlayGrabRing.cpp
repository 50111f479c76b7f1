#include "filters/OverlayGrabRing.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vistrel::filters {
namespace {

int64_t saturatingAdd(int64_t a, int64_t b) {
  if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) return std::numeric_limits<int64_t>::max();
  if (b < 0 && a < std::numeric_limits<int64_t>::min() - b) return std::numeric_limits<int64_t>::min();
  return a + b;
}

}  // namespace

int OverlayGrabRing::Advance() {
  position_ = (position_ + 1) % kSlots;
  return slots_[position_].busy.load(std::memory_order_acquire) ? -1 : position_;
}

void OverlayGrabRing::Fill(int slot, const QImage& picture) {
  if (slot < 0 || slot >= kSlots) return;
  Slot& s = slots_[slot];
  if (s.picture.size() != picture.size() || s.picture.format() != picture.format())
    s.picture = QImage(picture.size(), picture.format());
  const qsizetype rowBytes = std::min(s.picture.bytesPerLine(), picture.bytesPerLine());
  for (int r = 0; r < picture.height(); ++r)
    std::memcpy(s.picture.scanLine(r), picture.constScanLine(r), rowBytes);
  s.busy.store(true, std::memory_order_release);
}

bool OverlayGrabRing::Busy(int slot) const {
  return slot >= 0 && slot < kSlots && slots_[slot].busy.load(std::memory_order_acquire);
}

const QImage* OverlayGrabRing::Picture(int slot) const {
  return Busy(slot) ? &slots_[slot].picture : nullptr;
}

void OverlayGrabRing::Release(int slot) {
  if (slot >= 0 && slot < kSlots) slots_[slot].busy.store(false, std::memory_order_release);
}

OverlayIntervalometer::Step OverlayIntervalometer::Advance(int64_t t, int64_t period) {
  Step step;
  if (next_ > t) {
    const int64_t remaining = saturatingAdd(next_, -t) / 10'000;
    if (remaining != lastCountdown_) {
      lastCountdown_ = remaining;
      step.countdownChanged = true;
      step.countdown = remaining;
    }
    return step;
  }
  next_ = saturatingAdd(next_, period);
  if (next_ <= t) next_ = saturatingAdd(t, period);
  step.grab = true;
  return step;
}

}  // namespace vistrel::filters
