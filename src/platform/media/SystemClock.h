#pragma once
// The default graph clock: the system's monotonic clock in 100 ns units.

#include "platform/media/IReferenceClock.h"

namespace vistrel::platform::media {

class SystemClock : public IReferenceClock {
 public:
  HRESULT GetTime(REFERENCE_TIME* time) override;
  static REFERENCE_TIME now();
};

}  // namespace vistrel::platform::media
