#include "platform/media/SystemClock.h"

#include <atomic>

namespace vistrel::platform::media {

namespace {

REFERENCE_TIME steadyNow() {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return ns.count() / 100;
}

// now() = clockOrigin + (steady - steadyOrigin) * rate, continuous across rate changes.
std::atomic<double> gRate{1.0};
std::atomic<REFERENCE_TIME> gSteadyOrigin{0};
std::atomic<REFERENCE_TIME> gClockOrigin{0};

}  // namespace

REFERENCE_TIME SystemClock::now() {
  const double r = gRate.load(std::memory_order_acquire);
  const REFERENCE_TIME steady = steadyNow();
  if (r == 1.0) return steady - gSteadyOrigin.load() + gClockOrigin.load();
  return gClockOrigin.load() +
         static_cast<REFERENCE_TIME>(static_cast<double>(steady - gSteadyOrigin.load()) * r);
}

std::chrono::steady_clock::time_point SystemClock::wallTimeOf(REFERENCE_TIME time) {
  const double r = gRate.load(std::memory_order_acquire);
  const REFERENCE_TIME sinceOrigin = time - gClockOrigin.load();
  const REFERENCE_TIME steady =
      gSteadyOrigin.load() +
      (r == 1.0 ? sinceOrigin : static_cast<REFERENCE_TIME>(static_cast<double>(sinceOrigin) / r));
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::nanoseconds(steady * 100)));
}

void SystemClock::setRate(double rate) {
  if (!(rate > 0)) return;
  if (rate == 1.0) {
    // Back to the plain monotonic clock (a jump, harmless between graph runs).
    gRate.store(1.0, std::memory_order_release);
    gSteadyOrigin.store(0);
    gClockOrigin.store(0);
    return;
  }
  const REFERENCE_TIME clock = now();
  gSteadyOrigin.store(steadyNow());
  gClockOrigin.store(clock);
  gRate.store(rate, std::memory_order_release);
}

double SystemClock::rate() { return gRate.load(); }

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  *time = now();
  return S_OK;
}

}  // namespace vistrel::platform::media
