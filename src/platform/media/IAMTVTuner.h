#pragma once

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Analogue video standards (AnalogVideo_* bits) as the tuner reports them.
constexpr int32_t AnalogVideo_None = 0;
constexpr int32_t AnalogVideo_NTSC_M = 0x00000001;
constexpr int32_t AnalogVideo_NTSC_M_J = 0x00000002;
constexpr int32_t AnalogVideo_PAL_B = 0x00000010;
constexpr int32_t AnalogVideo_PAL_D = 0x00000020;
constexpr int32_t AnalogVideo_PAL_G = 0x00000040;
constexpr int32_t AnalogVideo_PAL_H = 0x00000080;
constexpr int32_t AnalogVideo_PAL_I = 0x00000100;
constexpr int32_t AnalogVideo_PAL_M = 0x00000200;
constexpr int32_t AnalogVideo_PAL_N = 0x00000400;
constexpr int32_t AnalogVideo_SECAM_B = 0x00001000;
constexpr int32_t AnalogVideo_SECAM_D = 0x00002000;
constexpr int32_t AnalogVideo_SECAM_G = 0x00004000;
constexpr int32_t AnalogVideo_SECAM_H = 0x00008000;
constexpr int32_t AnalogVideo_SECAM_K = 0x00010000;
constexpr int32_t AnalogVideo_SECAM_K1 = 0x00020000;
constexpr int32_t AnalogVideo_SECAM_L = 0x00040000;

// A TV tuner: the frequency it receives and, through a channel table, the channel.
class IAMTVTuner : public virtual Unknown {
 public:
  // Frequency in Hz.
  virtual HRESULT put_Frequency(int64_t hz) = 0;
  virtual HRESULT get_Frequency(int64_t& hz) = 0;
  // Channel numbers of the tuner's channel table (1-based); video/audio subchannels are ignored.
  virtual HRESULT put_Channel(int32_t channel, int32_t videoSubChannel, int32_t audioSubChannel) = 0;
  virtual HRESULT get_Channel(int32_t& channel, int32_t& videoSubChannel, int32_t& audioSubChannel) = 0;
  virtual HRESULT ChannelMinMax(int32_t& min, int32_t& max) = 0;
  // Signal strength: 0 none, 1 present (the driver's reading above half its range).
  virtual HRESULT SignalPresent(int32_t& strength) = 0;
  virtual HRESULT get_AvailableTVFormats(int32_t& standards) = 0;
  virtual HRESULT get_TVFormat(int32_t& standard) = 0;
  virtual HRESULT put_TVFormat(int32_t standard) = 0;
};

}  // namespace vistrel::platform::media
