#pragma once
// The main window: its controls at their design bounds, its life (creation, first show, the
// deferred start at the first idle moment, close and destruction), the layout of the preview
// and the switching of the option panels. The work behind the capture commands is added by the
// recording, engine and panel code as it comes.

#include <QDateTime>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <QStringList>
#include <QToolBar>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "actions/ActionList.h"

#include "app/NeedleGauge.h"
#include "app/Plaque.h"
#include "app/RecordingWatch.h"  // recording control
#include "app/SceneFile.h"       // recording control
#include "app/SessionFiles.h"    // recording control
#include "app/StatusPanels.h"
#include "platform/media/IAMDroppedFrames.h"  // recording control
#include "platform/ui/PostedMessages.h"
#include "settings/SavePreferences.h"

namespace vistrel::actions {
class TCustomSuperAction;
class TIntegerAction;
class TOBActionList;
class TOBAppliMan;
class TKeyDispatcher;
class TRaccourcisForm;
class TScript;
class TSwitch;
}  // namespace vistrel::actions

namespace vistrel::settings {
class TparameterList;
class TOrbanoPreferences;
}  // namespace vistrel::settings

namespace vistrel::engine {
class Tdm;
class TGraphEvents;
struct SettingsMenuEntry;
using SettingsMenu = std::vector<SettingsMenuEntry>;
}  // namespace vistrel::engine

namespace vistrel::filters {
class Tvt_Superposer;
}

namespace vistrel::sources {
class TavFlux;
class TCaptureDeviceList;
class TMonikerList;
class TpluginList;
class TVideoSource;
class TAudioSource;
template <class Source>
class TSourcesList;
using TvideoSourcesList = TSourcesList<TVideoSource>;
using TAudioSourcesList = TSourcesList<TAudioSource>;
}  // namespace vistrel::sources

namespace vistrel::platform::media {
class IBaseFilter;
class IVideoWindow;
}  // namespace vistrel::platform::media

namespace vistrel::platform::ui {
class VideoWidget;
}

namespace vistrel::platform::shell {
class ScreenSaverInhibitor;
}

class QListWidget;
class QMenu;
class QTimer;

namespace vistrel::app {

class Tplaque;
// Recording control (RecordingState.h).
enum class CaptureEvent;
struct TInterfaceLook;
struct TPreviewFlags;
class TDossiersFrame;
class TExtraireFrame;
class TOptionsFrame;
class TErrorPanel;
class TSourcesFrame;

enum TEtatCapture : uint8_t { etatPreview = 1, etatCapture = 2, etatProgAttente = 3, etatProgCapture = 4 };

class TCaptureForm : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPanelCount = 9;

  explicit TCaptureForm(QWidget* parent = nullptr);
  ~TCaptureForm() override;

  void setPlaque(Tplaque* plaque) { plaque_ = plaque; }
  // The shortcuts window, created after the main window by the program entry.
  void setRaccourcis(actions::TRaccourcisForm* form);
  Tplaque* plaque() const { return plaque_; }
  platform::ui::WindowHandle handle() const { return handle_; }
  settings::TparameterList& params() const { return *params_; }
  settings::TOrbanoPreferences& gp() const { return *gp_; }

  // Layout of the preview.
  void DisposerFenetre();
  void DimensionnerWithRatio();
  void PlacerEcran(int a, int b);

  // Option panels.
  void AfficherPanneau(int number);
  void MasquerPanneau();
  void NextPanneau();
  void BasculerPanneau();
  int shownPanel() const { return shownPanel_; }
  QFrame* panel(int number) const { return panels_.at(static_cast<size_t>(number)); }

  // The folders panel and the names of the next recording and picture.
  TDossiersFrame* dossiersFrame() const { return dossiersFrame_; }
  TOptionsFrame* optionsFrame() const { return optionsFrame_; }
  TSourcesFrame* sourcesFrame() const { return sourcesFrame_; }
  QString NomVideo();
  QString NomImage();
  const QString& videoFileName() const { return videoFileName_; }
  const QString& imageFileName() const { return imageFileName_; }
  const QString& videoDrive() const { return videoDrive_; }
  const QString& imageDrive() const { return imageDrive_; }

  // The capture engine (the program entry's; without one the window makes its own) and the
  // sources panel.
  void setDm(engine::Tdm* dm);
  engine::Tdm& dm();
  sources::TVideoSource* currentVideo() const;
  sources::TAudioSource* currentAudio() const;
  virtual bool ChargerDrivers();
  bool activervideo(const QString& name);
  bool ActiverAudio(const QString& name);
  void activerformatcapture(uint8_t code);
  void cboxVideoChange();
  void cboxAudioChange();
  void cbFormatCaptureClick();
  void SourcesFramecbEntriesChange();
  void ActualiserVideoBtnClick();
  void VideoPropBtnClick();
  void AudiopropBtnClick();
  void VideoSettingsMenuPopup();
  void AudioSettingsMenuPopup();
  void GraphDeviceLost();
  // The options panel's "Notifier" box: device losses go to GraphDeviceLost, or not.
  void routeDeviceLost(bool toWindow);
  const QStringList& failedSources() const { return failedSources_; }
  QListWidget* sourcesExclues() const { return lbSourcesExclues_; }
  QMenu* videoSettingsMenu() const { return videoSettingsMenu_; }
  QMenu* audioSettingsMenu() const { return audioSettingsMenu_; }

  // The preview: lock, overlay, flips and what depends on the sources.
  void VerrouillerPreview(bool locked);
  void AppliquerIncrustation();
  void AppliquerMiroirV();
  void AppliquerMiroirH();
  void AvecVideo();
  void SansVideo();
  void AvecAudio();
  void SansAudio();
  // The options panel's "Permettre la superposition".
  void setActiverSuperposition(bool on);
  bool processingAllowed() const { return processingAllowed_; }
  bool overlayApplied() const { return overlayApplied_; }
  bool vflipApplied() const { return vflipApplied_; }
  bool hflipApplied() const { return hflipApplied_; }
  QSlider* xSlider() const { return xslider_; }
  QSlider* ySlider() const { return yslider_; }
  // The renderer's widget that shows the live picture (null before the deferred start).
  platform::ui::VideoWidget* videoRendererWidget() const;

  // Volume: the slider, mute and the gauge.
  void AppliquerVolume();
  void setMute(bool on);
  void setFullScreen(bool on);
  void setReduced(bool on);
  bool reduced() const { return reduced_; }
  // The status texts that show the preview's flags (mute, overlay, flips), after one changed.
  void ActualiserStatut();

  // Commands.
  actions::TActionList& al() const { return *al_; }
  actions::TCustomSuperAction* action(const QString& name) const;
  // The interactive execution of an action (as a button or a key runs it).
  bool runAction(const QString& name);
  // The preview's context menu, as a right click on the picture opens it.
  std::unique_ptr<QMenu> createPreviewMenu();
  actions::TSwitch& switch1() const { return *Switch1_; }
  actions::TScript& script1() const { return *Script1_; }
  // The application manager and the window's list of abstract actions (iaNumMediatype).
  actions::TOBAppliMan& am() const { return *am_; }
  actions::TOBActionList& obal() const { return *obal_; }
  actions::TIntegerAction& iaNumMediatype() const { return *iaNumMediatype_; }
  // The two camcorder windows whose bounds raCam1 and raCam2 keep (none until they exist).
  void setCamWindows(QWidget* cam1, QWidget* cam2);

  // Start-up stages; public so that tests can drive them.
  void ChargerPrefs1();
  void ChargerPrefs2();
  void AppEventsIdle();
  bool deferredStartDone() const { return deferredStartDone_; }
  // Covers the window with the start-up error report (created on first use).
  void AfficherErreur(const QString& text, bool fatal);
  TErrorPanel* errorPanel() const { return errorPanel_; }
  void SauverPrefs();

  // Where the window's controls are, for tests and the later panels.
  QWidget* previewArea() const { return panel1_; }
  QWidget* videoWindow() const { return vwEcran_; }
  QWidget* noVideoPanel() const { return panel2_; }
  QWidget* buttonsPanel() const { return panelBoutons_; }
  QFrame* pictureFrame() const { return shape2_; }
  QToolBar* actionsToolbar() const { return tbActions_; }
  QToolBar* panelsToolbar() const { return tbPanneaux_; }
  StatusPanels* statusBar() const { return statusBar_; }
  QSlider* volumeSlider() const { return tb_; }
  bool hasVideoSource() const { return videoWidth_ > 0 || currentVideo() != nullptr; }

  // The connected video's size and picture aspect (0:0 when the stream gives none), until the
  // engine provides them.
  void setConnectedVideo(int width, int height, int aspectX, int aspectY, bool dv);

 signals:
  void deferredStartFinished();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  void createPanels();
  void createActions();
  std::map<QString, actions::THandler> mainHandlers();
  void applyRunTimeActionTexts();
  void showPreviewMenu(const QPoint& at);
  void markShownPanel(int number, bool shown);
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void FormDestroy();
  // A close that the exit dialog refused: the sources and the preview come back.
  void resumeAfterRefusedClose();
  void finishPendingGrab();
  void gpLoadPrefs();
  void gpSavePrefs();
  void gpChangeMode(settings::TSavePreferences mode);
  void writeDisplayScalingFlag();
  void removeDisplayScalingFlag();
  void onPanel1Resized();
  void onWindowMessage(uint32_t message, intptr_t wParam, intptr_t lParam);
  QRect pictureBounds() const;
  void connectDossiersFrame();
  // The options panel: its links to the window, its loading (first and second step), saving.
  void connectOptionsFrame();
  void chargerOptions1();
  bool chargerOptions2();
  void sauverOptions();
  void ChargerDossiers();
  void SauverDossiers();
  void showVideoName();
  void showImageName();
  void VideoDirEditChange();
  void ImageDirEditChange();
  void PlugInDirEditChosen(const QString& folder);
  // Sources.
  void connectSourcesFrame();
  std::map<QString, actions::THandler> sourcesHandlers();
  void createSourceLists();
  void destroySourceLists();
  void loadSourcesExclues(const QString& text);
  QString sourcesExcluesText() const;
  bool deviceAllowed(const QString& deviceName);
  void fillSoundCardEntries(sources::TAudioSource& source);
  void reconnectAll(const QString& video, const QString& audio, uint8_t format);
  void onDeviceChange(intptr_t wParam, intptr_t lParam);
  void onSettingsChanged(bool video);
  QString currentVideoText() const;
  QString currentAudioText() const;
  void fillMenu(QMenu& menu, const engine::SettingsMenu& entries);
  // Preview.
  void connectPreviewControls();
  std::map<QString, actions::THandler> previewHandlers();
  void attachVideoWindow();
  void detachVideoWindow();
  void placeVideoWindow(const QRect& bounds);
  void placeButtonBar();
  filters::Tvt_Superposer* superposer();
  void setIncruster(bool on);
  void setLock(bool on);
  void setFreezePreview(bool on);
  void toggleSliders();
  void XsliderChange();
  void YsliderChange();

  std::unique_ptr<settings::TparameterList> params_;
  settings::TOrbanoPreferences* gp_ = nullptr;  // a child of the window
  QPointer<Tplaque> plaque_;
  platform::ui::WindowHandle handle_ = 0;
  QList<QIcon> images_;
  actions::TActionList* al_ = nullptr;
  actions::TScript* Script1_ = nullptr;
  actions::TSwitch* Switch1_ = nullptr;
  actions::TOBAppliMan* am_ = nullptr;
  actions::TOBActionList* obal_ = nullptr;
  actions::TIntegerAction* iaNumMediatype_ = nullptr;
  void createAppliMan();
  actions::TKeyDispatcher* keys_ = nullptr;
  QPointer<actions::TRaccourcisForm> raccourcis_;

  QToolBar* tbActions_ = nullptr;
  QToolBar* tbPanneaux_ = nullptr;
  QWidget* panel1_ = nullptr;
  QFrame* shape2_ = nullptr;
  QWidget* vwEcran_ = nullptr;
  QLabel* panel2_ = nullptr;
  QSlider* xslider_ = nullptr;
  QSlider* yslider_ = nullptr;
  QFrame* shape1_ = nullptr;
  QWidget* panelBoutons_ = nullptr;
  QLabel* lblVolume_ = nullptr;
  QSlider* tb_ = nullptr;
  TNeedleGauge* gaugeVolume_ = nullptr;
  QPushButton* btnCapture_ = nullptr;
  QPushButton* btnCouper_ = nullptr;
  QPushButton* btnGrab_ = nullptr;
  std::array<QFrame*, kPanelCount> panels_{};
  TSourcesFrame* sourcesFrame_ = nullptr;
  TDossiersFrame* dossiersFrame_ = nullptr;
  TOptionsFrame* optionsFrame_ = nullptr;
  StatusPanels* statusBar_ = nullptr;
  TErrorPanel* errorPanel_ = nullptr;

  TEtatCapture etat_ = etatPreview;
  int shownPanel_ = -1;
  int panelsLeft_ = 0;
  int previewOffset_ = 0;
  bool startupInProgress_ = true;
  bool firstShowDone_ = false;
  bool deferredStartDone_ = false;
  bool dvWideScreen_ = false;
  bool reduced_ = false;
  // The close query leaves full screen before the settings are saved: what it left is saved.
  bool fullScreenAtClose_ = false;
  bool closeTornDown_ = false;  // the close query has disconnected the sources
  // What the close query disconnected, connected again when the close is refused.
  QString closedVideo_, closedAudio_;
  uint8_t closedFormat_ = 0;
  std::unique_ptr<platform::shell::ScreenSaverInhibitor> screenSaver_;
  bool screenSaverWasActive_ = false;
  int videoWidth_ = 0, videoHeight_ = 0, aspectX_ = 0, aspectY_ = 0;
  bool videoIsDv_ = false;
  int engineVolume_ = 0;

  // File naming.
  QString videoFileName_, imageFileName_;
  int32_t videoCounter_ = 0, imageCounter_ = 0;
  QDateTime sessionDate_;
  QString videoDrive_, imageDrive_;  // mount points of the two names
  bool imageByImage_ = false;        // image-by-image recording: the image labels say so

  // Engine and sources.
  engine::Tdm* dm_ = nullptr;
  std::unique_ptr<engine::Tdm> ownDm_;
  std::unique_ptr<engine::TGraphEvents> graphEvents_;
  std::unique_ptr<sources::TpluginList> plugins_;
  std::unique_ptr<sources::TMonikerList> crossbars_;
  std::unique_ptr<sources::TCaptureDeviceList> videoDevices_, audioDevices_;
  std::unique_ptr<sources::TvideoSourcesList> videoSources_;
  std::unique_ptr<sources::TAudioSourcesList> audioSources_;
  QStringList failedSources_;  // devices that failed to connect: left out until the next run
  QListWidget* lbSourcesExclues_ = nullptr;
  QMenu* videoSettingsMenu_ = nullptr;
  QMenu* audioSettingsMenu_ = nullptr;
  bool settingsEntryHandled_ = false;
  bool batchReconnect_ = false;
  bool divxAvailable_ = false, mp3Available_ = false;
  std::shared_ptr<platform::media::IBaseFilter> videoRenderer_;
  std::shared_ptr<platform::media::IVideoWindow> videoWindowItf_;

  // Preview.
  bool processingAllowed_ = false;
  bool overlayApplied_ = false, vflipApplied_ = false, hflipApplied_ = false;
  // ---- Recording control (CaptureForm_Recording.cpp) --------------------------------------------
 public:
  bool LancerCapture();
  bool StopperCapture();
  void FinirFichier();
  void EchecCapture();
  // acCouper: the recording goes on in the next file.
  void Couper();
  void setFreezeCapture(bool on);
  // The state-entry routines; each sets the state, then the window.
  void setinterfacepreview();
  void SetInterfaceCapture();
  void SetInterfaceProgAttente();
  void SetInterfaceProgCapture();
  void EnterCaptureState(TEtatCapture state);
  void AfficherStatut();
  void DroppedActionTimer();
  // The time code under the heads and the recording date of a connected DV source, every 300 ms
  // in every state, for the camcorder window that shows them (unset: no window shows them).
  std::function<void(sources::TavFlux&, const QString& timeCode, const QString& date)> ShowTapePosition;
  // Stops the recording, with a message, when its file vanished or its video device stalled.
  // `frames`: the video device's frames, or the sound device's blocks when `sound`.
  void watchRecording(std::optional<int64_t> frames, bool sound = false);
  void showRecordingProgress();  // DroppedActionTimer's duration and frame counts
  // The alarm handlers of the schedule.
  void lancerEnregistrement();
  void stopperEnregistrement();
  void RunCaptureEvent(CaptureEvent event);
  TEtatCapture etat() const { return etat_; }
  TSessionFiles& sessionFiles() const { return *sessionFiles_; }
  TSceneFile& sceneFile() const { return *sceneFile_; }
  const QString& recordingFileName() const { return recordingFileName_; }
  const QString& statusSuffix() const { return statusSuffix_; }
  int imageByImageCount() const { return imageByImageCount_; }

 private:
  void createRecording();
  std::map<QString, actions::THandler> recordingHandlers();
  bool startCapture();
  bool buildRecording(uint8_t format);
  void openSceneFile();
  void routeDeviceLostDuringRecording();
  void applyLook(const TInterfaceLook& look);
  uint8_t captureFormat() const;
  bool graphStopped() const;
  std::optional<QString> connectedVideoName() const;
  std::optional<QString> connectedAudioName() const;
  TPreviewFlags previewFlags(bool incrust) const;

  std::unique_ptr<TSessionFiles> sessionFiles_;
  std::unique_ptr<TSceneFile> sceneFile_;
  QTimer* droppedFramesTimer_ = nullptr;
  std::shared_ptr<platform::media::IAMDroppedFrames> droppedFrames_;
  TRecordingWatch recordingWatch_;
  QString recordingFileName_;
  QDateTime recordingStart_;
  QString statusSuffix_;
  int imageByImageCount_ = 0;
  bool separateAudio_ = false;
  bool notifierBeforeRecording_ = true;
  // ---- End of recording control -------------------------------------------------------------------
  // ---- Grabbing, the intervalometer and image-by-image recording (CaptureForm_Grab.cpp) ----------
 public:
  TExtraireFrame* extraireFrame() const { return extraireFrame_; }
  void saGrabexecute();
  void RxSwitch1Click();
  void SauverImage();
  void ModeImageParImage(bool on);
  bool modeImageParImage() const { return imageByImage_; }
  void FinImageParImage();
  // The last picture saved (or about to be), after deinterlacing and aspect correction.
  const QImage& savedPicture() const { return grabSaved_; }
  // Plays the countdown beeps (a WAV file each); the sound output unless replaced.
  void setBeepPlayer(std::function<void(const QByteArray&)> player) { beepPlayer_ = std::move(player); }

 private:
  std::map<QString, actions::THandler> grabHandlers();
  void connectExtraireFrame();
  void ChargerExtraire();
  void AfficherStatutIntervallo();
  void grabAvecVideo();
  void grabSansVideo();
  void setImageExtension(int extension);
  void onGrabbed(int slot);
  void onCountdown(intptr_t seconds);
  filters::Tvt_Superposer* grabFilter();

  TExtraireFrame* extraireFrame_ = nullptr;
  QImage grabRaw_, grabProcessed_, grabSaved_, grabMask1_, grabMask2_;
  std::function<void(const QByteArray&)> beepPlayer_;
  // ---- End of grabbing ----------------------------------------------------------------------------
};

}  // namespace vistrel::app
