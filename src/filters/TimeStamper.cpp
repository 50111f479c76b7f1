#include "filters/TimeStamper.h"

namespace vistrel::filters {

using namespace platform::media;

void TimeStamper::Hold(bool on, REFERENCE_TIME now) {
  std::lock_guard lock(holdLock_);
  if (on && !held_.holding) {
    held_.holding = true;
    held_.since = now;
  } else if (!on && held_.holding) {
    held_.holding = false;
    held_.shiftBefore = held_.shift;
    if (now > held_.since) held_.shift += now - held_.since;
    held_.resumedAt = now;
  }
  SetDrop(on);
}

void TimeStamper::RestartHold() {
  std::lock_guard lock(holdLock_);
  const bool holding = held_.holding;
  held_ = HeldStretch{};
  // A hold still on goes on from the new run's start.
  held_.holding = holding;
}

HRESULT TimeStamper::Transform(MediaSample& sample) const {
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = SUCCEEDED(sample.GetTime(&start, &stop));
  if (Drop() && !timed) return S_FALSE;
  if (timed) {
    std::lock_guard lock(holdLock_);
    // Samples reach the valve some time after their stamp (a frame's latency, more on a loaded
    // machine): whether one belongs to a held stretch is told by its stamp, not by its arrival,
    // so that what was captured just before a hold is kept and the streams lose the same stretch.
    REFERENCE_TIME shift = 0;
    if (Drop()) {
      if (!held_.holding || start >= held_.since) return S_FALSE;
      shift = held_.shift;
    } else if (start >= held_.resumedAt) {
      shift = held_.shift;
    } else if (start >= held_.since) {
      return S_FALSE;  // stamped during the last hold, passing only now
    } else {
      shift = held_.shiftBefore;
    }
    if (shift > 0) {
      start -= shift;
      stop -= shift;
      sample.SetTime(&start, &stop);
    }
  }
  if (StripTimes()) {
    sample.SetTime(nullptr, nullptr);
    sample.SetMediaTime(nullptr, nullptr);
  }
  return S_OK;
}

}  // namespace vistrel::filters
