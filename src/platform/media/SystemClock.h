#pragma once
// The default graph clock: the system's monotonic clock in 100 ns units.
//
// Tests may run it faster than real time (setRate), so that sources paced by it deliver minutes
// of media in seconds while every filter does the same work per sample. Sources turn the clock's
// instants into wake-up times with wallTimeOf, so that their pace and their time stamps follow
// one clock. At the rate 1 (the default) the clock is exactly CLOCK_MONOTONIC, which kernel
// capture time stamps are compared with.

#include <chrono>

#include "platform/media/IReferenceClock.h"

namespace vistrel::platform::media {

class SystemClock : public IReferenceClock {
 public:
  HRESULT GetTime(REFERENCE_TIME* time) override;
  static REFERENCE_TIME now();
  // The monotonic instant at which now() reaches `time`.
  static std::chrono::steady_clock::time_point wallTimeOf(REFERENCE_TIME time);
  // Media time per real time from this instant on; 1 returns to the monotonic clock itself.
  // Call while no graph runs.
  static void setRate(double rate);
  static double rate();
};

}  // namespace vistrel::platform::media
