#pragma once
// The capture filter of one ALSA capture device. Pins, in this order: "Capture" (PIN_CATEGORY_
// CAPTURE, PCM with IAMStreamConfig over the rates and channel counts the device takes), then one
// input pin per capture source of the card's mixer ("Line", "Mic", "CD"...), each with
// IAMAudioInputMixer: enabling one selects it as the card's capture source.
//
// Life cycle: stopped -> paused opens and configures the device; running starts the streaming
// thread, which reads 20 ms blocks and stamps them by the sample count from the graph clock at
// the first block; stop joins the thread, then closes the device. Overruns and blocks the graph
// had no buffer for count as dropped; a vanished card (ENODEV) raises EC_DEVICE_LOST once.

#include <QString>
#include <atomic>
#include <memory>
#include <vector>

#include "platform/devices/alsa/AlsaDevices.h"
#include "platform/devices/alsa/AlsaSeam.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/IAMDroppedFrames.h"

namespace vistrel::platform::media {
class StreamingThread;
}

namespace vistrel::platform::devices::alsa {

constexpr media::GUID CLSID_AlsaAudioCapture = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0201}");

class AlsaCaptureFilter : public media::BaseFilter, public media::IAMDroppedFrames {
 public:
  AlsaCaptureFilter(std::shared_ptr<AlsaSeam> seam, AlsaCaptureDevice device);
  ~AlsaCaptureFilter() override;

  // The 16-bit PCM formats the device takes, 44 100 Hz stereo first when it has it. A device
  // that cannot be opened now (busy) is offered the usual set; the run then says what is wrong.
  static std::vector<media::MediaType> probeFormats(AlsaSeam& seam, const std::string& pcm);
  const std::vector<media::MediaType>& formats() const { return formats_; }
  const AlsaCaptureDevice& device() const { return device_; }

  void setDeviceLost();
  void setDeviceBack();
  bool deviceLost() const { return lost_.load(); }

  // While the device is lost the filter shows no output pin (the liveness test fails); leaving
  // the graph breaks every connection, those of the hidden pins too. User-interface thread.
  media::HRESULT EnumPins(std::shared_ptr<media::IEnumPins>& pins) override;
  media::HRESULT JoinFilterGraph(const std::shared_ptr<media::IFilterGraph>& graph,
                                 const QString& name) override;

  media::HRESULT Stop() override;
  void haltStreaming() override;
  media::HRESULT GetNumDropped(int32_t& dropped) override;
  media::HRESULT GetNumNotDropped(int32_t& delivered) override;
  media::HRESULT GetAverageFrameSize(int32_t& size) override;

 protected:
  media::HRESULT onPause() override;
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onStop() override;

 private:
  class CapturePin;
  class SourcePin;
  struct Session;
  friend class SourcePin;

  void stream(media::StreamingThread& thread);
  void closeMixer();

  std::shared_ptr<AlsaSeam> seam_;
  AlsaCaptureDevice device_;
  std::vector<media::MediaType> formats_;
  AlsaSeam::Handle mixer_ = nullptr;
  std::vector<AlsaMixerElement> sources_;
  std::unique_ptr<Session> session_;
  std::atomic<bool> lost_{false};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> delivered_{0};
  std::atomic<int64_t> bytes_{0};
};

}  // namespace vistrel::platform::devices::alsa
