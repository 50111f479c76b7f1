#pragma once
// The picture size of the DV Video Decoder.

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

constexpr int DVRESOLUTION_FULL = 1000;
constexpr int DVRESOLUTION_HALF = 1001;

class IIPDVDec : public virtual Unknown {
 public:
  // The output type follows at the next connection of the output.
  virtual HRESULT put_IPDisplay(int displayPix) = 0;
  virtual HRESULT get_IPDisplay(int* displayPix) = 0;
};

}  // namespace vistrel::platform::media
