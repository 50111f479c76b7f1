#pragma once

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Frames a capture source lost (at the device, or because its branch was late) and delivered.
// Any thread.
class IAMDroppedFrames : public virtual Unknown {
 public:
  virtual HRESULT GetNumDropped(int32_t& dropped) = 0;
  virtual HRESULT GetNumNotDropped(int32_t& delivered) = 0;
  virtual HRESULT GetAverageFrameSize(int32_t& size) = 0;
};

}  // namespace vistrel::platform::media
