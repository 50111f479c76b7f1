#pragma once
// Settings of the DV Video Encoder: the video system of its output and the resolution.

#include <cstdint>

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

constexpr int DVENCODERVIDEOFORMAT_NTSC = 2000;
constexpr int DVENCODERVIDEOFORMAT_PAL = 2001;
constexpr int DVENCODERFORMAT_DVSD = 2007;
constexpr int DVENCODERRESOLUTION_720x480 = 2012;  // the full resolution, PAL or NTSC

struct DVINFO {
  uint32_t dwDVAAuxSrc = 0, dwDVAAuxCtl = 0, dwDVAAuxSrc1 = 0, dwDVAAuxCtl1 = 0;
  uint32_t dwDVVAuxSrc = 0, dwDVVAuxCtl = 0, dwDVReserved[2] = {0, 0};
};
static_assert(sizeof(DVINFO) == 32);

class IDVEnc : public virtual Unknown {
 public:
  // E_INVALIDARG for a value the encoder does not offer; a connected output keeps its type until
  // it is connected again.
  virtual HRESULT put_IFormatResolution(int videoFormat, int dvFormat, int resolution, bool withDvInfo,
                                        const DVINFO* info) = 0;
  virtual HRESULT get_IFormatResolution(int* videoFormat, int* dvFormat, int* resolution, bool withDvInfo,
                                        DVINFO* info) = 0;
};

}  // namespace vistrel::platform::media
