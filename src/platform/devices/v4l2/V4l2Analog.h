#pragma once
// The analogue side of a V4L2 card: its driver inputs (VIDIOC_ENUMINPUT) as a crossbar, published
// in the crossbar category, whose output feeds the capture filter's "Analog Video In" pin, and its
// tuner as IAMTVTuner on the same filter, and a television tuner's sound as IAMTVAudio (with a
// property page). Pins: one input per driver input, in the driver's order,
// then the output "Video Decoder Out". Routing an input selects it on the card (VIDIOC_S_INPUT).

#include <QString>
#include <memory>
#include <mutex>

#include "platform/devices/v4l2/V4l2Kernel.h"
#include "platform/devices/v4l2/V4l2Probe.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/IAMCrossbar.h"
#include "platform/media/IAMTVAudio.h"
#include "platform/media/IAMTVTuner.h"

namespace vistrel::platform::devices::v4l2 {

constexpr media::GUID CLSID_V4l2Crossbar = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0402}");

// True for a card whose inputs make a crossbar: several inputs, or a tuner.
bool hasAnalogInputs(const V4l2DeviceInfo& info);
// The link type between the crossbar and the capture filter's analogue input.
media::MediaType analogVideoType();
// The physical connector type of a driver input: a tuner, S-video when its name says so, else
// composite (cameras included).
int32_t physicalTypeOf(const V4l2Input& input);
// Frequency in Hz of a broadcast channel: the European table for 625-line standards, the North
// American one for 525-line standards. 0 for a channel outside the table.
int64_t channelFrequency(int32_t channel, bool lines525);
void channelRange(bool lines525, int32_t& min, int32_t& max);

class V4l2Crossbar : public media::BaseFilter, public media::IAMCrossbar {
 public:
  V4l2Crossbar(std::shared_ptr<V4l2Kernel> kernel, V4l2DeviceInfo info);
  ~V4l2Crossbar() override;

  std::string identity() const;
  const V4l2DeviceInfo& info() const { return info_; }
  bool hasTuner() const { return !info_.tuners.empty(); }

  media::HRESULT get_PinCounts(int32_t& outputs, int32_t& inputs) override;
  media::HRESULT CanRoute(int32_t output, int32_t input) override;
  media::HRESULT Route(int32_t output, int32_t input) override;
  media::HRESULT get_IsRoutedTo(int32_t output, int32_t& input) override;
  media::HRESULT get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related,
                                     int32_t& physicalType) override;

  // 0 or -errno; any thread.
  int controlIoctl(unsigned long request, void* arg);

 protected:
  std::shared_ptr<media::Unknown> getInterface(const std::type_info& type) override;

 private:
  class Tuner;
  class TvAudio;
  std::shared_ptr<V4l2Kernel> kernel_;
  V4l2DeviceInfo info_;
  std::shared_ptr<Tuner> tuner_;
  std::shared_ptr<TvAudio> tvAudio_;
  std::mutex lock_;
  int fd_ = -1;
};

}  // namespace vistrel::platform::devices::v4l2
