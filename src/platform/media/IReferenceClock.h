#pragma once
// The graph clock: monotonic time in 100 ns units. Any thread.

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"
#include "platform/media/VideoInfoHeader.h"

namespace vistrel::platform::media {

class IReferenceClock : public virtual Unknown {
 public:
  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
};

}  // namespace vistrel::platform::media
