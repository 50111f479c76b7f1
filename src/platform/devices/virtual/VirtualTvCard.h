#pragma once
// The virtual analogue capture card. Its pieces share one TvCardHardware (the card's routing,
// tuned channel and sound mode), whichever filter objects are bound to it:
//  - the capture filter VirtualTvCard: the test camera's "Capture" and "Preview" pins, an
//    "Analog Video In" pin (PIN_CATEGORY_ANALOGVIDEOIN) that only this card's crossbar connects
//    to, an "Audio" capture pin (PCM) for a card with sound, and IAMVfwCaptureDialogs with the
//    source, format and display dialogs. The picture shows what the routed input receives: the
//    test pattern under a band of the input's colour (a colour per channel for the tuner), black
//    when nothing is routed;
//  - the crossbar VirtualCrossbar (listed in the crossbar category) that feeds the capture
//    filter: inputs tuner, composite, S-video (related to no audio input), tuner audio and line
//    audio, then the outputs "Video Decoder" and "Audio Decoder"; with the "chain" option a second
//    crossbar upstream holds the tuner and composite inputs, and the first one's first input is
//    fed by it;
//  - the TV tuner VirtualTvTuner: IAMTVTuner (the channel changes the picture and the sound) and
//    IAMTVAudio, its analogue outputs feeding the outermost crossbar's tuner inputs.
// When the first crossbar's video output connects to the capture filter, the crossbar puts the
// second crossbar and the tuner into the graph and connects them, as a driver's upstream filters
// come with its crossbar; they leave the graph with it.

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/media/IAMCrossbar.h"
#include "platform/media/IAMTVAudio.h"
#include "platform/media/IAMTVTuner.h"
#include "platform/media/IAMVfwCaptureDialogs.h"
#include "platform/media/ISpecifyPropertyPages.h"

class QDialog;

namespace vistrel::platform::devices {

constexpr media::GUID CLSID_VirtualTvCard = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0004}");
constexpr media::GUID CLSID_VirtualCrossbar = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0005}");
constexpr media::GUID CLSID_VirtualTvTuner = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0006}");
constexpr media::GUID PAGE_VirtualCrossbar = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0320}");
constexpr media::GUID PAGE_VirtualTuner = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0321}");

struct TvCardSettings {
  bool sound = false;  // an audio capture pin on the capture filter
  bool chain = false;  // a second crossbar upstream of the first
  QString error;       // an option that could not be read
};
TvCardSettings tvCardSettings(const QStringList& options);

// What reaches the capture filter.
enum class TvInput { None, Tuner, Composite, SVideo };

struct CrossbarPin {
  bool input;
  QString name;
  int32_t physicalType;
  int32_t related;  // index of the related pin of the same direction, -1 for none
};

// The card itself: thread-safe (streaming threads read what the user-interface thread routes).
class TvCardHardware {
 public:
  explicit TvCardHardware(TvCardSettings settings);
  const TvCardSettings& settings() const { return settings_; }
  int crossbarCount() const { return settings_.chain ? 2 : 1; }
  // Crossbar 0 feeds the capture filter, crossbar 1 (with "chain") feeds crossbar 0.
  const std::vector<CrossbarPin>& pins(int crossbar) const { return layout_[static_cast<size_t>(crossbar)]; }
  int inputCount(int crossbar) const;
  int outputCount(int crossbar) const;
  bool canRoute(int crossbar, int output, int input) const;
  // The input routed to an output, -1 for none.
  int routedTo(int crossbar, int output) const;
  media::HRESULT route(int crossbar, int output, int input);
  // The outermost crossbar's tuner inputs (video, audio).
  int tunerVideoInput() const { return 0; }
  int tunerAudioInput() const { return settings_.chain ? 2 : 3; }

  TvInput videoSource() const;
  // The sound that reaches the card's audio pin: the tuner's, the line's, or none.
  TvInput audioSource() const;
  // Chooses an input for both video and sound, routing every crossbar on the way.
  void select(TvInput input);

  std::atomic<int32_t> channel{4};
  std::atomic<int32_t> tvFormat{media::AnalogVideo_PAL_B};
  std::atomic<int32_t> audioMode{media::AMTVAUDIO_MODE_STEREO};

 private:
  TvCardSettings settings_;
  std::array<std::vector<CrossbarPin>, 2> layout_;
  std::array<std::array<std::atomic<int>, 2>, 2> routes_;
};

// The colour (0xRRGGBB) of the band across the top of the picture for an input; -1 for none.
int32_t tvInputColour(TvInput input, int32_t channel);
// The frequency of the tone the card's audio pin hears (0: silence).
double tvInputTone(TvInput input, int32_t channel);

// Property pages: the crossbar's routing (one list of inputs per output), the tuner's channel,
// and its sound (the TV audio page of the V4L2 cards).
class VirtualCrossbar : public media::BaseFilter,
                        public media::IAMCrossbar,
                        public media::ISpecifyPropertyPages {
 public:
  VirtualCrossbar(const QString& friendlyName, std::shared_ptr<TvCardHardware> card, int index);
  ~VirtualCrossbar() override;
  const std::shared_ptr<TvCardHardware>& card() const { return card_; }
  int index() const { return index_; }

  media::HRESULT get_PinCounts(int32_t& outputs, int32_t& inputs) override;
  media::HRESULT CanRoute(int32_t output, int32_t input) override;
  media::HRESULT Route(int32_t output, int32_t input) override;
  media::HRESULT get_IsRoutedTo(int32_t output, int32_t& input) override;
  media::HRESULT get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related,
                                     int32_t& physicalType) override;

  media::HRESULT GetPages(std::vector<media::GUID>& pages) override;
  media::PropertyPage* CreatePage(const media::GUID& page, QWidget* parent) override;

  media::HRESULT JoinFilterGraph(const std::shared_ptr<media::IFilterGraph>& graph,
                                 const QString& name) override;
  void pinConnected(media::BasePin& pin) override;

 private:
  void addUpstream();
  void removeUpstream();
  std::shared_ptr<TvCardHardware> card_;
  int index_;
  std::vector<std::shared_ptr<media::IBaseFilter>> upstream_;  // filters this crossbar put in
  std::weak_ptr<media::IFilterGraph> upstreamGraph_;
};

class VirtualTvTuner : public media::BaseFilter,
                       public media::IAMTVTuner,
                       public media::IAMTVAudio,
                       public media::ISpecifyPropertyPages {
 public:
  VirtualTvTuner(const QString& friendlyName, std::shared_ptr<TvCardHardware> card);
  const std::shared_ptr<TvCardHardware>& card() const { return card_; }

  media::HRESULT put_Frequency(int64_t hz) override;
  media::HRESULT get_Frequency(int64_t& hz) override;
  media::HRESULT put_Channel(int32_t channel, int32_t videoSubChannel, int32_t audioSubChannel) override;
  media::HRESULT get_Channel(int32_t& channel, int32_t& videoSubChannel, int32_t& audioSubChannel) override;
  media::HRESULT ChannelMinMax(int32_t& min, int32_t& max) override;
  media::HRESULT SignalPresent(int32_t& strength) override;
  media::HRESULT get_AvailableTVFormats(int32_t& standards) override;
  media::HRESULT get_TVFormat(int32_t& standard) override;
  media::HRESULT put_TVFormat(int32_t standard) override;

  media::HRESULT GetHardwareSupportedTVAudioModes(int32_t& modes) override;
  media::HRESULT GetAvailableTVAudioModes(int32_t& modes) override;
  media::HRESULT get_TVAudioMode(int32_t& mode) override;
  media::HRESULT put_TVAudioMode(int32_t mode) override;

  media::HRESULT GetPages(std::vector<media::GUID>& pages) override;
  media::PropertyPage* CreatePage(const media::GUID& page, QWidget* parent) override;

 private:
  std::shared_ptr<TvCardHardware> card_;
};

class VirtualTvCard : public VirtualCamera, public media::IAMVfwCaptureDialogs {
 public:
  VirtualTvCard(const QString& friendlyName, std::shared_ptr<TvCardHardware> card);
  ~VirtualTvCard() override;
  const std::shared_ptr<TvCardHardware>& card() const { return card_; }

  void renderPicture(uint8_t* rgb, int width, int height, int64_t frameNumber, int64_t timeMs) override;
  void haltStreaming() override;

  media::HRESULT HasDialog(int dialog) override;
  media::HRESULT ShowDialog(int dialog, QWidget* parent) override;
  media::HRESULT SendDriverMessage(int dialog, int message, intptr_t param1, intptr_t param2) override;

  // Replaces the dialogs' modal loop (tests, scripted runs): gets the dialog, returns its result.
  using DialogRunner = std::function<int(QDialog&)>;
  static void setDialogRunner(DialogRunner runner);

 protected:
  media::HRESULT onRun(media::REFERENCE_TIME start) override;
  media::HRESULT onPause() override;

 private:
  class AnalogInputPin;
  class AudioPin;
  std::shared_ptr<TvCardHardware> card_;
};

}  // namespace vistrel::platform::devices
