#pragma once

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

enum VideoProcAmpProperty {
  VideoProcAmp_Brightness = 0,
  VideoProcAmp_Contrast = 1,
  VideoProcAmp_Hue = 2,
  VideoProcAmp_Saturation = 3,
};
constexpr int32_t VideoProcAmp_Flags_Auto = 1;
constexpr int32_t VideoProcAmp_Flags_Manual = 2;

class IAMVideoProcAmp : public virtual Unknown {
 public:
  virtual HRESULT GetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                           int32_t& flags) = 0;
  virtual HRESULT Set(int32_t property, int32_t value, int32_t flags) = 0;
  virtual HRESULT Get(int32_t property, int32_t& value, int32_t& flags) = 0;
};

}  // namespace vistrel::platform::media
