#pragma once
// What kind of external device a source filter drives (a deck, a camcorder in camera mode...).
// Any thread.

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

constexpr int32_t ED_DEVCAP_DEVICE_TYPE = 4103;
constexpr int32_t ED_DEVTYPE_VCR = 4104;
constexpr int32_t ED_DEVTYPE_CAMERA = 4996;

// Power states (ED_POWER_*).
constexpr int32_t ED_POWER_OFF = 4107;
constexpr int32_t ED_POWER_ON = 4108;

class IAMExtDevice : public virtual Unknown {
 public:
  // The value of one capability; E_INVALIDARG for a capability the device does not report.
  // `doubleValue` is set for capabilities that have one, 0 otherwise.
  virtual HRESULT GetCapability(int32_t capability, int32_t& value, double& doubleValue) = 0;
  virtual HRESULT get_DevicePower(int32_t& powerMode) = 0;
};

}  // namespace vistrel::platform::media
