#pragma once
// Compression settings of a capture pin that delivers compressed video (key-frame rate, quality).

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

class IAMVideoCompression : public virtual Unknown {
 public:
  virtual HRESULT put_KeyFrameRate(int32_t rate) = 0;
  virtual HRESULT get_KeyFrameRate(int32_t& rate) = 0;
  // 0.0 (lowest) to 1.0 (highest); negative: the driver's default.
  virtual HRESULT put_Quality(double quality) = 0;
  virtual HRESULT get_Quality(double& quality) = 0;
};

}  // namespace vistrel::platform::media
