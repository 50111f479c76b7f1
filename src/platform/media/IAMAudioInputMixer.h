#pragma once

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// On an audio capture filter's named input pin: whether that input feeds the capture.
class IAMAudioInputMixer : public virtual Unknown {
 public:
  virtual HRESULT put_Enable(bool enable) = 0;
  virtual HRESULT get_Enable(bool& enable) = 0;
  virtual HRESULT put_MixLevel(double level) = 0;
  virtual HRESULT get_MixLevel(double& level) = 0;
};

}  // namespace vistrel::platform::media
