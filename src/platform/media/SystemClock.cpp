#include "platform/media/SystemClock.h"

#include <chrono>

namespace vistrel::platform::media {

REFERENCE_TIME SystemClock::now() {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  return ns.count() / 100;
}

HRESULT SystemClock::GetTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  *time = now();
  return S_OK;
}

}  // namespace vistrel::platform::media
