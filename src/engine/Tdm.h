#pragma once
// The capture engine: the one filter graph of the program, every filter component the program
// puts into it besides the devices' own, and the program's own filter instances, created once and
// only put into and taken out of the graph under their graph names. It connects the current video
// and audio sources to the preview (the main window's video renderer and the default sound
// output), keeps the tees the recording branches start from, removes the branches again, runs and
// stops the graph, sets the monitoring volume and offers the connected devices' settings.
//
// User-interface thread only. No operation lets an exception out: a failure gives false (or
// nothing) and no message is shown; the caller decides what the user hears of it.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/SettingsMenu.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/FilterComponent.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMCameraControl.h"
#include "platform/media/IAMCrossbar.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IAMTVAudio.h"
#include "platform/media/IAMTVTuner.h"
#include "platform/media/IAMVfwCaptureDialogs.h"
#include "platform/media/IAMVideoCompression.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/IMoniker.h"
#include "sources/EngineGraph.h"

class QWidget;

namespace vistrel::settings {
class TparameterList;
}
namespace vistrel::filters {
class Tvt_Superposer;
class Tvt_TimeStamper;
class Tvt_DVheader;
class Tvt_ControlFilter;
class TVT_Resizer;
class Tvt_WaveDest;
}  // namespace vistrel::filters
namespace vistrel::sources {
class TavFlux;
class TVideoSource;
class TAudioSource;
class TCrossbar;
}  // namespace vistrel::sources

namespace vistrel::engine {

// Graph names of the program's filter instances.
inline const QString kSuperposer = QStringLiteral("Superposer");
inline const QString kControlPreviewVideo = sources::kControlPreviewVideo;
inline const QString kTamponerVideo = QStringLiteral("Tamponer Video");
inline const QString kControlPreviewAudio = sources::kControlPreviewAudio;
inline const QString kTamponerAudio = QStringLiteral("Tamponer Audio");
inline const QString kControlCaptureVideo = QStringLiteral("Control_Capture_Video");
inline const QString kVideoCapTamponer = QStringLiteral("VideoCap Tamponer");
inline const QString kAudioCapTamponer = QStringLiteral("AudioCap Tamponer");
inline const QString kAudioCapTimestamper = QStringLiteral("AudioCap Timestamper");  // the DivX branch's name
inline const QString kDvHeader = QStringLiteral("DV Header");
inline const QString kControlFilter = QStringLiteral("Control Filter");
inline const QString kResizer = QStringLiteral("Resizer");
inline const QString kWaveDest = QStringLiteral("Wave Dest");

// At most this many capture-pin formats are listed.
constexpr int kMaxCaptureFormats = 300;

// The monitoring volume (0...10000, clamped) in hundredths of a decibel: 0 is silence (-10000),
// 10000 is full (0).
int32_t VolumeToHundredthsDb(int volume);

class Tdm {
 public:
  Tdm();
  ~Tdm();
  Tdm(const Tdm&) = delete;
  Tdm& operator=(const Tdm&) = delete;

  // --- Set by the main window at start-up ---------------------------------------------------
  // The parameter list ("Video Input Select" is read and written through it); may stay null.
  void SetParameters(settings::TparameterList* parameters) { parameters_ = parameters; }
  // The main window's video renderer (IVideoWindow), put into the graph now; null takes the
  // current one out.
  bool SetVideoRenderer(const std::shared_ptr<platform::media::IBaseFilter>& renderer);
  // The window that owns the settings dialogs and property frames.
  void SetDialogOwner(QWidget* owner) { dialogOwner_ = owner; }
  // Called after a settings-menu dialog closed: the window reconnects the video source (true)
  // or the audio source (false), then the capture format, and runs the graph.
  std::function<void(bool video)> OnSettingsChanged;
  // The camcorder window of a source whose device has a tape transport: attached at connect,
  // detached at a full disconnect (the window's code sets these; unset, none is shown).
  std::function<void(sources::TavFlux&)> AttachCamWindow;
  std::function<void(sources::TavFlux&)> DetachCamWindow;
  // The sources panel's video description after StopCapture brought back full DV resolution.
  std::function<void(const QString&)> ShowVideoDescription;

  // --- Sources ------------------------------------------------------------------------------
  bool Connect(sources::TVideoSource& source);
  bool Disconnect(sources::TVideoSource& source, bool full);
  bool Connect(sources::TAudioSource& source);
  bool Disconnect(sources::TAudioSource& source, bool full);

  // --- Graph --------------------------------------------------------------------------------
  // Removes whatever recording branch is in the graph and restores the preview.
  bool StopCapture();
  bool Run();
  void Stop();
  // Stops and removes every filter from the graph.
  void Clear();
  // 0...10000 (clamped), applied to the graph's audio renderers.
  void SetVolume(int volume);

  // Removes the filter owning `pin` and, depth first, everything upstream of it, keeping
  // `stopFilter`. False on an exception.
  bool RemoveUpstream(const std::shared_ptr<platform::media::IPin>& pin,
                      const std::shared_ptr<platform::media::IBaseFilter>& stopFilter);
  // Removes the chain between the filter downstream of `a`'s first connected output and the one
  // upstream of `b`'s first connected input (a and b stay).
  bool RemoveBetween(const std::shared_ptr<platform::media::IBaseFilter>& a,
                     const std::shared_ptr<platform::media::IBaseFilter>& b);

  // --- Settings menus -----------------------------------------------------------------------
  // Rebuilt each time the menu pops up; choosing an entry shows its dialog.
  void FillVideoSettings(SettingsMenu& menu);
  void FillAudioSettings(SettingsMenu& menu);

  // After the capture pin's property pages: the chosen format index becomes the position of the
  // pin's current format in the format list (unchanged when it is not in the list).
  void UpdateFormatIndexFromPin();
  // After the crossbar's pages: "Video Input Select" := the input routed to output 0.
  void UpdateVideoInputFromCrossbar();

  // "Video Input Select": the remembered crossbar input, -1 for none.
  int VideoInputSelect() const;
  void SetVideoInputSelect(int value);

  // --- Engine-wide state --------------------------------------------------------------------
  sources::EngineGraph& Engine() { return *engine_; }
  const std::shared_ptr<platform::media::FilterGraph>& Graph() const { return engine_->fg; }
  const std::shared_ptr<platform::media::CaptureGraphBuilder2>& Builder() const { return engine_->builder; }
  std::shared_ptr<platform::media::IPin> VideoOutPin() const { return engine_->VideoOutPin; }
  std::shared_ptr<platform::media::FilterComponent> VideoTee() const { return engine_->VideoTee; }
  std::shared_ptr<platform::media::FilterComponent> AudioTee() const { return engine_->AudioTee; }
  sources::TVideoSource* CurrentVideoSource() const { return engine_->CurrentVideo; }
  sources::TAudioSource* CurrentAudioSource() const { return engine_->CurrentAudio; }

  // The capture-pin format list of the connected video source and the chosen index (1-based, 0 =
  // none; the main window keeps it with the preferences).
  const std::vector<platform::media::MediaType>& CaptureFormats() const { return formats_; }
  int CaptureFormatCount() const { return static_cast<int>(formats_.size()); }
  int FormatIndex = 0;

  // The crossbar object of the connected video source (null when it has none) and the number of
  // inputs it had when it was built.
  sources::TCrossbar* Crossbar() const { return crossbar_.get(); }
  int CrossbarInputCount = 0;

  // Renderers.
  std::shared_ptr<platform::media::IBaseFilter> VideoRenderer() const { return videoRenderer_; }
  std::shared_ptr<platform::media::IBaseFilter> AudioRenderer() const { return audiorender.filter(); }

  // Interfaces of the connected video source.
  std::shared_ptr<platform::media::IBaseFilter> VideoCaptureFilter;
  std::shared_ptr<platform::media::IAMVideoCompression> VideoCompression;
  std::shared_ptr<platform::media::IAMStreamConfig> VideoCaptureConfig;
  std::shared_ptr<platform::media::IAMStreamConfig> VideoPreviewConfig;
  std::shared_ptr<platform::media::IAMTVTuner> TVTuner;
  std::shared_ptr<platform::media::IAMVfwCaptureDialogs> VideoVfwDialogs;
  std::shared_ptr<platform::media::IAMVideoProcAmp> VideoProcAmp;
  std::shared_ptr<platform::media::IAMCameraControl> CameraControl;
  std::shared_ptr<platform::media::IAMCrossbar> FirstCrossbar;
  std::shared_ptr<platform::media::IBaseFilter> FirstCrossbarFilter;
  std::shared_ptr<platform::media::IAMCrossbar> SecondCrossbar;
  // Interfaces of the connected audio source.
  std::shared_ptr<platform::media::IBaseFilter> AudioCaptureFilter;
  std::shared_ptr<platform::media::IAMStreamConfig> AudioCaptureConfig;
  std::shared_ptr<platform::media::IAMTVAudio> TVAudio;
  std::shared_ptr<platform::media::IAMVfwCaptureDialogs> AudioVfwDialogs;

  // The multiplexer and file sink of the last SetOutputFileName (shared with the devices).
  std::shared_ptr<platform::media::IBaseFilter>& Multiplexer() { return engine_->multiplexer; }
  std::shared_ptr<platform::media::IFileSinkFilter>& FileSink() { return engine_->fileSink; }
  // The filter-mapper enumerator of the MPEG stream recording's candidates.
  std::shared_ptr<platform::media::IEnumMoniker> CandidateEnumerator;

  // --- Components (bound at creation unless said) -------------------------------------------
  platform::media::FilterComponent audiorender{QStringLiteral("audiorender")};  // in the graph from creation
  platform::media::FilterComponent color1{QStringLiteral("color1")};
  platform::media::FilterComponent color3{QStringLiteral("color3")};
  platform::media::FilterComponent infdecvideo{QStringLiteral("infdecvideo")};
  platform::media::FilterComponent infsupvideo{QStringLiteral("infsupvideo")};
  platform::media::FilterComponent infdumvideo{QStringLiteral("infdumvideo")};
  platform::media::FilterComponent infdecaudio{QStringLiteral("infdecaudio")};
  platform::media::FilterComponent infsupaudio{QStringLiteral("infsupaudio")};
  platform::media::FilterComponent acmcap{QStringLiteral("acmcap")};
  platform::media::FilterComponent DVenc{QStringLiteral("DVenc")};
  platform::media::FilterComponent DVmux{QStringLiteral("DVmux")};
  platform::media::FilterComponent DVsplitter{QStringLiteral("DVsplitter")};
  platform::media::FilterComponent FileWriter{QStringLiteral("FileWriter")};
  platform::media::FilterComponent writer{QStringLiteral("writer")};
  platform::media::FilterComponent null{QStringLiteral("null")};
  // Bound at run time by the recording chains.
  platform::media::FilterComponent divx{QStringLiteral("divx")};
  platform::media::FilterComponent mp3{QStringLiteral("mp3")};
  platform::media::FilterComponent muxer{QStringLiteral("muxer")};
  platform::media::FilterComponent audioenc{QStringLiteral("audioenc")};
  // The spare slot the device probe binds (owned by the engine graph object).
  platform::media::FilterComponent& test() { return *engine_->test; }

  // --- The program's filter instances -------------------------------------------------------
  std::shared_ptr<filters::Tvt_Superposer> Superposer;
  std::shared_ptr<filters::Tvt_TimeStamper> ControlPreviewVideo;
  std::shared_ptr<filters::Tvt_TimeStamper> TamponerVideo;  // strips times
  std::shared_ptr<filters::Tvt_TimeStamper> ControlPreviewAudio;
  std::shared_ptr<filters::Tvt_TimeStamper> TamponerAudio;  // strips times
  std::shared_ptr<filters::Tvt_TimeStamper> ControlCaptureVideo;
  std::shared_ptr<filters::Tvt_TimeStamper> VideoCapTamponer;
  std::shared_ptr<filters::Tvt_TimeStamper> AudioCapTamponer;
  std::shared_ptr<filters::Tvt_DVheader> DVHeader;
  std::shared_ptr<filters::Tvt_ControlFilter> ControlFilter;
  std::shared_ptr<filters::TVT_Resizer> Resizer;
  std::shared_ptr<filters::Tvt_WaveDest> WaveDest;

  // Adds one of the instances above under its graph name (nothing when it is in already);
  // false when the graph refuses it.
  bool AddFilter(const std::shared_ptr<platform::media::IBaseFilter>& filter, const QString& name);
  // Takes one out of the graph (nothing when it is not in).
  void RemoveFilter(const std::shared_ptr<platform::media::IBaseFilter>& filter);

 private:
  bool ConnectVideo(sources::TVideoSource& source);
  bool ConnectAudio(sources::TAudioSource& source);
  void TearDownVideo(sources::TVideoSource& source, bool full);
  void TearDownAudio(sources::TAudioSource& source, bool full);
  bool StopCaptureSteps();
  void ReleaseVideoInterfaces();
  void ReleaseAudioInterfaces();
  void GatherVideoInterfaces(const std::shared_ptr<platform::media::IBaseFilter>& source);
  void GatherAudioInterfaces(const std::shared_ptr<platform::media::IBaseFilter>& source);
  void ReadCaptureFormats(const std::shared_ptr<platform::media::IBaseFilter>& source);
  void BuildCrossbar(const std::shared_ptr<platform::media::IBaseFilter>& capture);
  void RouteVideoInput();
  void AddPropertyPageEntry(SettingsMenu& menu, const QString& caption,
                            const std::shared_ptr<platform::media::Unknown>& object, bool video,
                            std::function<void()> after = nullptr);
  bool AddVfwEntries(SettingsMenu& menu, bool video);
  void AddCrossbarInputs(SettingsMenu& menu);
  template <class T>
  std::shared_ptr<T> Lookup(const platform::media::GUID& category, bool audio,
                            const std::shared_ptr<platform::media::IBaseFilter>& filter);

  std::unique_ptr<sources::EngineGraph> engine_;
  settings::TparameterList* parameters_ = nullptr;
  QWidget* dialogOwner_ = nullptr;
  std::shared_ptr<platform::media::IBaseFilter> videoRenderer_;
  std::vector<platform::media::MediaType> formats_;
  std::unique_ptr<sources::TCrossbar> crossbar_;
  int videoInputSelect_ = -1;  // without a parameter list
};

}  // namespace vistrel::engine
