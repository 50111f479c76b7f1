#pragma once
// The virtual tone microphone: a capture pin (PCM 16-bit stereo at 44 100 or 48 000 Hz, through
// IAMStreamConfig) and three named input pins "Line In", "Micro" and "CD" with
// IAMAudioInputMixer; the enabled input chooses the tone (440, 660 or 880 Hz). The capture pin
// streams 20 ms blocks on its own thread while the graph runs, stamped with the graph clock.

#include <QString>
#include <atomic>

#include "platform/media/BaseFilter.h"
#include "platform/media/IAMDroppedFrames.h"

namespace vistrel::platform::devices {

class ToneMicrophone : public media::BaseFilter, public media::IAMDroppedFrames {
 public:
  explicit ToneMicrophone(const QString& friendlyName);
  ~ToneMicrophone() override;

  static const std::vector<media::MediaType>& formats();
  static double toneFrequency(int input);  // 0 Line In, 1 Micro, 2 CD

  void setDeviceLost(bool lost);

  // Once lost, the device shows no output pin (see LostDevicePins.h).

  media::HRESULT EnumPins(std::shared_ptr<media::IEnumPins>& pins) override;

  media::HRESULT JoinFilterGraph(const std::shared_ptr<media::IFilterGraph>& graph,
                                 const QString& name) override;
  bool deviceLost() const { return lost_.load(); }
  // Any thread: a stalled microphone stays in the graph but delivers and counts nothing, as a
  // device whose driver hangs.
  void setStalled(bool stalled) { stalled_.store(stalled); }
  bool stalled() const { return stalled_.load(); }
  // The input whose tone is captured (written from the user-interface thread).
  void selectInput(int input) { input_.store(input); }
  int selectedInput() const { return input_.load(); }

  media::HRESULT Stop() override;
  void haltStreaming() override;
  media::HRESULT GetNumDropped(int32_t& dropped) override;
  media::HRESULT GetNumNotDropped(int32_t& delivered) override;
  media::HRESULT GetAverageFrameSize(int32_t& size) override;
  void countDropped() { dropped_.fetch_add(1); }
  void countDelivered() { delivered_.fetch_add(1); }

 protected:
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onPause() override;

 private:
  std::atomic<bool> lost_{false};
  std::atomic<bool> stalled_{false};
  std::atomic<int> input_{0};
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> delivered_{0};
};

// Fills interleaved 16-bit stereo samples of a sine tone; `phase` carries over between blocks.
void renderTone(int16_t* samples, int frames, int channels, double frequency, int rate, double& phase);

}  // namespace vistrel::platform::devices
