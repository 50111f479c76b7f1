#include "filters/TimeStamper.h"

namespace vistrel::filters {

using namespace platform::media;

void TimeStamper::Hold(bool on, REFERENCE_TIME now) {
  std::lock_guard lock(holdLock_);
  if (on && !Drop()) {
    held_.since = now;
  } else if (!on && Drop() && now > held_.since) {
    held_.shift += now - held_.since;
    held_.resumedAt = now;
  }
  SetDrop(on);
}

void TimeStamper::RestartHold() {
  std::lock_guard lock(holdLock_);
  held_ = HeldStretch{};
}

HRESULT TimeStamper::Transform(MediaSample& sample) const {
  if (Drop()) return S_FALSE;
  REFERENCE_TIME start = 0, stop = 0;
  if (SUCCEEDED(sample.GetTime(&start, &stop))) {
    std::lock_guard lock(holdLock_);
    if (held_.shift > 0) {
      // Stamped while held, and passing only now: it belongs to the stretch left out.
      if (start < held_.resumedAt) return S_FALSE;
      start -= held_.shift;
      stop -= held_.shift;
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
