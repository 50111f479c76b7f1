#pragma once

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Volume in hundredths of a decibel, -10000 (silence) to 0 (full); balance likewise.
class IBasicAudio : public virtual Unknown {
 public:
  virtual HRESULT put_Volume(int32_t volume) = 0;
  virtual HRESULT get_Volume(int32_t& volume) = 0;
  virtual HRESULT put_Balance(int32_t balance) = 0;
  virtual HRESULT get_Balance(int32_t& balance) = 0;
};

}  // namespace vistrel::platform::media
