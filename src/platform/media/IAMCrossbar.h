#pragma once
// A crossbar: routes one of its input pins to each output pin. Inputs are numbered 0..n-1 and
// outputs 0..m-1 separately; the filter lists its input pins first, then its output pins.

#include "platform/media/Guid.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Physical connector types of crossbar pins: video types below 4096, audio types from 4096.
enum PhysicalConnectorType {
  PhysConn_Video_Tuner = 1,
  PhysConn_Video_Composite = 2,
  PhysConn_Video_SVideo = 3,
  PhysConn_Video_RGB = 4,
  PhysConn_Video_YRYBY = 5,
  PhysConn_Video_SerialDigital = 6,
  PhysConn_Video_ParallelDigital = 7,
  PhysConn_Video_SCSI = 8,
  PhysConn_Video_AUX = 9,
  PhysConn_Video_1394 = 10,
  PhysConn_Video_USB = 11,
  PhysConn_Video_VideoDecoder = 12,
  PhysConn_Video_VideoEncoder = 13,
  PhysConn_Video_SCART = 14,
  PhysConn_Audio_Tuner = 4096,
  PhysConn_Audio_Line = 4097,
  PhysConn_Audio_Mic = 4098,
  PhysConn_Audio_AESDigital = 4099,
  PhysConn_Audio_SPDIFDigital = 4100,
  PhysConn_Audio_SCSI = 4101,
  PhysConn_Audio_AUX = 4102,
  PhysConn_Audio_1394 = 4103,
  PhysConn_Audio_USB = 4104,
  PhysConn_Audio_AudioDecoder = 4105,
};

// The major type of the links between a crossbar, a tuner and an analogue video input pin.
constexpr GUID MEDIATYPE_AnalogVideo = makeGuid("{0482DDE1-7817-11CF-8A03-00AA006ECB65}");
constexpr GUID MEDIATYPE_AnalogAudio = makeGuid("{0482DEE1-7817-11CF-8A03-00AA006ECB65}");

class IAMCrossbar : public virtual Unknown {
 public:
  virtual HRESULT get_PinCounts(int32_t& outputs, int32_t& inputs) = 0;
  // S_OK when `input` can be routed to `output`, S_FALSE when not, E_INVALIDARG out of range.
  virtual HRESULT CanRoute(int32_t output, int32_t input) = 0;
  virtual HRESULT Route(int32_t output, int32_t input) = 0;
  // The input routed to `output`, -1 when none.
  virtual HRESULT get_IsRoutedTo(int32_t output, int32_t& input) = 0;
  // `related` is the pin of the other kind that goes with this one (-1 when none).
  virtual HRESULT get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related,
                                      int32_t& physicalType) = 0;
};

}  // namespace vistrel::platform::media
