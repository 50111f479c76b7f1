#pragma once

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Camera controls of a capture filter, in the platform's numbering and units (pan and tilt in
// degrees, zoom in millimetres, exposure as log2 seconds, focus in millimetres, iris in f-stop x 10;
// devices report their own ranges, which callers read with GetRange).
enum CameraControlProperty {
  CameraControl_Pan = 0,
  CameraControl_Tilt = 1,
  CameraControl_Roll = 2,
  CameraControl_Zoom = 3,
  CameraControl_Exposure = 4,
  CameraControl_Iris = 5,
  CameraControl_Focus = 6,
};
constexpr int32_t CameraControl_Flags_Auto = 1;
constexpr int32_t CameraControl_Flags_Manual = 2;

class IAMCameraControl : public virtual Unknown {
 public:
  virtual HRESULT GetRange(int32_t property, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt,
                           int32_t& flags) = 0;
  virtual HRESULT Set(int32_t property, int32_t value, int32_t flags) = 0;
  virtual HRESULT Get(int32_t property, int32_t& value, int32_t& flags) = 0;
};

}  // namespace vistrel::platform::media
