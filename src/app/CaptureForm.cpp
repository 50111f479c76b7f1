// The main window's life: creation, first show, the deferred start and the close.
#include "app/CaptureForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>

#include "actions/AppliMan.h"
#include "actions/CustomScript.h"
#include "actions/KeyDispatch.h"
#include "actions/OBActionList.h"
#include "actions/OBSwitch.h"
#include "actions/RaccourcisForm.h"
#include "actions/SuperAction.h"

#include "app/ApplicationTexts.h"
#include "app/DossiersFrame.h"
#include "app/ErrorPanel.h"
#include "app/GrabPicture.h"
#include "app/ImageList.h"
#include "app/OptionsFrame.h"
#include "app/Plaque.h"
#include "app/SourcesFrame.h"
#include "engine/GraphEvents.h"
#include "engine/Tdm.h"
#include "filters/Tvt_Superposer.h"
#include "platform/Environment.h"
#include "platform/Trace.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/devices/hotplug/HotplugMonitor.h"
#include "platform/registry/Registry.h"
#include "platform/shell/ScreenSaver.h"
#include "settings/OrbanoPreferences.h"
#include "settings/Parameters.h"
#include "sources/Crossbar.h"
#include "sources/Plugins.h"
#include "sources/Sources.h"

namespace vistrel::app {
namespace {

const QString kLayersKey =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers");

// Runs one start-up step; any exception ends the routine it belongs to, silently.
template <typename Steps>
void guarded(Steps&& steps) {
  try {
    steps();
  } catch (...) {
  }
}

}  // namespace

TCaptureForm::TCaptureForm(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CaptureForm"));
  setWindowTitle(QStringLiteral("......"));
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(8);
  setFont(font);
  resize(719, 506);
  images_ = createMainImageList();
  createControls();
  createPanels();
  createActions();
  connectDossiersFrame();
  connectSourcesFrame();
  connectOptionsFrame();
  connectPreviewControls();
  connectExtraireFrame();
  handle_ = platform::ui::registerWindow(this);
  platform::devices::VirtualDevices::instance().addNotifyWindow(handle_);
  platform::devices::HotplugMonitor::system().addNotifyWindow(handle_);
  FormCreate();
}

TCaptureForm::~TCaptureForm() {
  FormDestroy();
  platform::ui::unregisterWindow(handle_);
}

void TCaptureForm::FormCreate() {
  writeDisplayScalingFlag();
  platform::traceOpen(platform::programFolder() + QStringLiteral("vistrel.txt"));
  platform::traceLine(QStringLiteral("Version %1.%2.%3.%4 du %5/%6/%7")
                          .arg(6)
                          .arg(2)
                          .arg(0)
                          .arg(55)
                          .arg(21)
                          .arg(10)
                          .arg(2023));
  platform::traceLine(QStringLiteral("Enter FormCreate"));
  gp_ = new settings::TOrbanoPreferences(this);
  gp_->settitre(kProductName);
  gp_->setversion(kSignature);
  gp_->OnLoadPrefs = [this](settings::TOrbanoPreferences&) { gpLoadPrefs(); };
  gp_->OnSavePrefs = [this](settings::TOrbanoPreferences&) { gpSavePrefs(); };
  gp_->OnChangeMode = [this](settings::TSavePreferences mode) { gpChangeMode(mode); };
  gp_->OnCloseRefused = [this] { resumeAfterRefusedClose(); };
  params_ = std::make_unique<settings::TparameterList>(kSignature);
  createAppliMan();
  createRecording();
  startupInProgress_ = true;
  platform::traceLine(QStringLiteral("Exit FormCreate"));
}

void TCaptureForm::FormShow() {
  platform::traceLine(QStringLiteral("Enter FormShow"));
  panel2_->show();
  applyRunTimeActionTexts();
  setWindowTitle(QStringLiteral("%1 de %2").arg(AppTitle(), kMakerName));
  // Keys are caught on the window before the focused control sees them.
  if (QWindow* window = windowHandle()) window->installEventFilter(keys_);
  optionsFrame_->TextesOptions();
  ChargerPrefs1();
  // No schedule can be armed before the first show: entering the preview state is all there is.
  setinterfacepreview();
  platform::traceLine(QStringLiteral("Exit FormShow"));
}

void TCaptureForm::ChargerPrefs1() {
  guarded([&] {
    params_->CreateSettings();
    platform::traceLine(QStringLiteral("loadfromregistry passed"));
    DisposerFenetre();
    AfficherPanneau(params_->Enum(QStringLiteral("Panneau actif")).Value);
    tb_->setValue(params_->Integer(QStringLiteral("Volume")).Value);
    AppliquerVolume();
    if (params_->Boolean(QStringLiteral("Fullscreen On")).Value) runAction(QStringLiteral("tafullscreen"));
    platform::traceLine(QStringLiteral("Fullscreen passed"));
    if (params_->Boolean(QStringLiteral("Reduced on")).Value) runAction(QStringLiteral("acReduire"));
    platform::traceLine(QStringLiteral("ReducedOn passed"));
    if (params_->Boolean(QStringLiteral("Mute On")).Value) runAction(QStringLiteral("taMute"));
    platform::traceLine(QStringLiteral("MuteOn passed"));
    ChargerDossiers();
    platform::traceLine(QStringLiteral("DossiersFrame passed"));
    ChargerExtraire();
    sourcesFrame_->leFramerate->setText(FramerateText(params_->Real(QStringLiteral("Framerate")).Value));
    platform::traceLine(QStringLiteral("SourcesFrame passed"));
    chargerOptions1();
    platform::traceLine(QStringLiteral("Optionsframe passed"));
    const bool freeze = params_->Boolean(QStringLiteral("Freeze Preview")).Value != 0;
    if (auto* a = action(QStringLiteral("taFreezepreview"))) {
      a->SetChecked(!freeze);
      a->Execute();
    }
    platform::traceLine(QStringLiteral("FreezePreview passed"));
    const bool freezeCapture = params_->Boolean(QStringLiteral("Freeze Capture")).Value != 0;
    if (auto* a = action(QStringLiteral("taFreezeCapture"))) {
      a->SetChecked(!freezeCapture);
      a->Execute();
    }
    platform::traceLine(QStringLiteral("FreezeCapture passed"));
    if (raccourcis_) {
      raccourcis_->setSortOrder(params_->Enum(QStringLiteral("Raccourcis Sort")).Value);
      raccourcis_->OnSortChanged = [this](int order) {
        params_->Enum(QStringLiteral("Raccourcis Sort")).Value = static_cast<uint8_t>(order);
      };
      raccourcis_->Fill(al_);
    }
    platform::traceLine(QStringLiteral("Exit ChargerPrefs1"));
  });
}

void TCaptureForm::AppEventsIdle() {
  if (deferredStartDone_) return;  // the idle event fires again and again; the start runs once
  deferredStartDone_ = true;
  QString error;
  guarded([&] {
    createSourceLists();
    attachVideoWindow();
    graphEvents_ = std::make_unique<engine::TGraphEvents>(dm().Graph());
    dm().SetParameters(params_.get());
    dm().SetDialogOwner(this);
    dm().OnSettingsChanged = [this](bool video) { onSettingsChanged(video); };
    ChargerPrefs2();
    plugins_->Register(params_->String(QStringLiteral("Plugins Dir")).Value);
    platform::traceLine(QStringLiteral("pluginaddtolist passed"));
    if (!ChargerDrivers())
      error = QStringLiteral("impossible de charger les sources vidéo.\r\n");
    else
      platform::traceLine(QStringLiteral("ChargerDrivers passed"));
    processingAllowed_ = true;
    batchReconnect_ = true;
    activervideo(params_->String(QStringLiteral("Source video")).Value);
    platform::traceLine(QStringLiteral("activervideo passed"));
    ActiverAudio(params_->String(QStringLiteral("Source Audio")).Value);
    platform::traceLine(QStringLiteral("activeraudio passed"));
    activerformatcapture(params_->Enum(QStringLiteral("Capture Format")).Value);
    platform::traceLine(QStringLiteral("activerformatcapture passed"));
    batchReconnect_ = false;
    dm().Run();
    platform::traceLine(QStringLiteral("play passed"));
    // The engine may have come after the settings: the preview freeze reaches its stampers now.
    setFreezePreview(params_->Boolean(QStringLiteral("Freeze Preview")).Value != 0);
    for (auto [want, name] :
         {std::pair{"Want vert Flip", "acVertFlip"}, std::pair{"Want Horz flip", "acHorzFlip"}}) {
      auto& p = params_->Boolean(QString::fromLatin1(want));
      if (!p.Value) continue;
      p.Value = 0;
      runAction(QString::fromLatin1(name));
    }
    platform::traceLine(QStringLiteral("flip passed"));
    if (params_->Boolean(QStringLiteral("Want Incrust")).Value) runAction(QStringLiteral("taIncruster"));
    platform::traceLine(QStringLiteral("incruster.execute passed"));
    if (!params_->Boolean(QStringLiteral("Notifier")).Value) routeDeviceLost(true);
    if (btnCapture_->isEnabled()) btnCapture_->setFocus();
    if (params_->Boolean(QStringLiteral("Preview Locked")).Value) runAction(QStringLiteral("taLock"));
    // Full screen restored with the settings, before any source existed, only checked the
    // action: the plate comes now that the picture does.
    if (auto* a = action(QStringLiteral("tafullscreen"));
        a && a->isChecked() && hasVideoSource() && plaque_ && !plaque_->isVisible())
      setFullScreen(true);
    if (!error.isEmpty()) {
      lblVolume_->hide();
      gaugeVolume_->hide();
      AfficherErreur(error, true);
      platform::traceLine(QStringLiteral("erreur passed"));
    }
  });
  // The screen saver would blank a preview or a recording: it stays away until the program ends.
  screenSaver_ = std::make_unique<platform::shell::ScreenSaverInhibitor>();
  screenSaverWasActive_ = screenSaver_->inhibit(QStringLiteral("Vistrel prévisualise ou capture la vidéo"));
  ModeImageParImage(false);
  startupInProgress_ = false;
  platform::traceLine(QStringLiteral("Exit AppEventsIdle"));
  emit deferredStartFinished();
  // Where no window manager activates the application (a virtual screen, the offscreen
  // platform), the command line is interpreted now; the processor does it only once.
  Switch1_->AppActivate();
  am_->Switch()->AppActivate();
}

void TCaptureForm::AfficherErreur(const QString& text, bool fatal) {
  if (!errorPanel_) errorPanel_ = new TErrorPanel(this);
  errorPanel_->ShowError(text, fatal);
}

void TCaptureForm::ChargerPrefs2() {
  guarded([&] {
    optionsFrame_->SetEngine(&dm());
    optionsFrame_->populate();
    platform::traceLine(QStringLiteral("optionsframe.populate passed"));
    loadSourcesExclues(params_->String(QStringLiteral("Sources Exclues")).Value);
    if (!chargerOptions2()) return;
    platform::traceLine(QStringLiteral("Exit ChargerPrefs2 OK"));
  });
}

void TCaptureForm::SauverPrefs() {
  if (settings::currentStoreMode() == settings::spNone) return;
  guarded([&] {
    // "EcranGauche" needs no copy: the panel switching changes the setting itself.
    auto checked = [this](const char* name) -> uint8_t {
      const auto* a = action(QString::fromLatin1(name));
      return a && a->isChecked() ? 1 : 0;
    };
    params_->Integer(QStringLiteral("Volume")).Value = tb_->value();
    params_->Boolean(QStringLiteral("Fullscreen On")).Value = checked("tafullscreen") || fullScreenAtClose_;
    params_->Boolean(QStringLiteral("Reduced on")).Value = reduced_ ? 1 : 0;
    params_->Boolean(QStringLiteral("Mute On")).Value = checked("taMute");
    params_->Boolean(QStringLiteral("Want Incrust")).Value = checked("taIncruster");
    params_->Boolean(QStringLiteral("Want vert Flip")).Value = checked("acVertFlip");
    params_->Boolean(QStringLiteral("Want Horz flip")).Value = checked("acHorzFlip");
    params_->Boolean(QStringLiteral("Freeze Preview")).Value = checked("taFreezepreview");
    params_->Boolean(QStringLiteral("Freeze Capture")).Value = checked("taFreezeCapture");
    SauverDossiers();
    params_->String(QStringLiteral("Source video")).Value = sourcesFrame_->cboxvideo->currentText();
    params_->String(QStringLiteral("Source Audio")).Value = sourcesFrame_->cboxAudio->currentText();
    params_->Real(QStringLiteral("Framerate")).Value =
        ParseFramerate(sourcesFrame_->leFramerate->text()).value_or(18.0);
    params_->String(QStringLiteral("Sources Exclues")).Value = sourcesExcluesText();
    sauverOptions();
  });
  params_->SaveAll();
}

void TCaptureForm::gpLoadPrefs() {
  am_->LoadFromPrefs(*gp_);
  obal_->LoadFromPrefs(*gp_);
}

void TCaptureForm::gpSavePrefs() {
  SauverPrefs();
  obal_->SaveToPrefs(*gp_);
  am_->SaveToPrefs(*gp_);
}

void TCaptureForm::gpChangeMode(settings::TSavePreferences mode) {
  if (optionsFrame_) optionsFrame_->SetStoreMode(mode);
  settings::setCurrentStoreMode(mode);
}

void TCaptureForm::FormCloseQuery() {
  platform::traceLine(QStringLiteral("Enter FormCloseQuery"));
  fullScreenAtClose_ = false;
  if (auto* a = action(QStringLiteral("tafullscreen")); a && a->isChecked()) {
    fullScreenAtClose_ = true;
    runAction(QStringLiteral("tafullscreen"));
  }
  finishPendingGrab();
  // A recording ends as a stop would end its file: listed in the session, the scene file
  // question asked, an image-by-image file given its frame rate.
  FinirFichier();
  guarded([&] {
    closedVideo_ = currentVideoText();
    closedAudio_ = currentAudioText();
    closedFormat_ = captureFormat();
    closeTornDown_ = true;
    destroySourceLists();
    if (dm_) dm_->Clear();
    detachVideoWindow();
  });
  platform::traceLine(QStringLiteral("Exit FormCloseQuery"));
}

void TCaptureForm::finishPendingGrab() {
  // A grab asked just before the close (a command file's "grab" then "quit") is taken from the
  // next frame: let that frame come and its picture be saved. A stopped graph brings none.
  filters::Tvt_Superposer* s = superposer();
  if (!s || !s->processing().GrabPending() || graphStopped()) return;
  QElapsedTimer waited;
  waited.start();
  while (s->processing().GrabPending() && waited.elapsed() < 2000)
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
  QCoreApplication::sendPostedEvents(this);
}

void TCaptureForm::resumeAfterRefusedClose() {
  if (!closeTornDown_) return;
  closeTornDown_ = false;
  const bool fullScreen = fullScreenAtClose_;
  fullScreenAtClose_ = false;
  platform::traceLine(QStringLiteral("Close refused: the sources are connected again"));
  guarded([&] {
    if (etat_ == etatCapture || etat_ == etatProgCapture) {
      // The close query finished the file: the rest of the recording is taken down as a stop
      // would, and the window goes back to the preview.
      StopperCapture();
      if (auto* a = action(QStringLiteral("saCapturerBascule"))) a->SetChecked(false);
    }
    attachVideoWindow();
    if (ChargerDrivers()) reconnectAll(closedVideo_, closedAudio_, closedFormat_);
    setinterfacepreview();
    if (fullScreen) setFullScreen(true);  // the close had left it
  });
}

void TCaptureForm::FormDestroy() {
  platform::traceLine(QStringLiteral("Enter FormDestroy"));
  platform::devices::VirtualDevices::instance().removeNotifyWindow(handle_);
  platform::devices::HotplugMonitor::system().removeNotifyWindow(handle_);
  if (screenSaver_ && screenSaverWasActive_) screenSaver_->release();
  screenSaver_.reset();
  guarded([&] {
    destroySourceLists();
    graphEvents_.reset();
    videoSources_.reset();
    audioSources_.reset();
    videoDevices_.reset();
    audioDevices_.reset();
    crossbars_.reset();
    plugins_.reset();
    detachVideoWindow();
  });
  params_.reset();
  platform::traceLine(QStringLiteral("Exit FormDestroy"));
  removeDisplayScalingFlag();
}

void TCaptureForm::writeDisplayScalingFlag() {
  using namespace platform::registry;
  if (createKey(Hive::CurrentUser, kLayersKey))
    setValue(Hive::CurrentUser, kLayersKey, platform::programFile(),
             stringValue(QStringLiteral("~ GDIDPISCALING DPIUNAWARE")));
}

void TCaptureForm::removeDisplayScalingFlag() {
  platform::registry::deleteValue(platform::registry::Hive::CurrentUser, kLayersKey, platform::programFile());
}

void TCaptureForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (firstShowDone_) return;
  firstShowDone_ = true;
  FormShow();
  // The slow work waits for the first idle moment, so that the window is painted first.
  QTimer::singleShot(0, this, [this] { AppEventsIdle(); });
}

void TCaptureForm::closeEvent(QCloseEvent* event) {
  FormCloseQuery();
  event->accept();
}

bool TCaptureForm::event(QEvent* e) {
  if (e->type() == platform::ui::WindowMessageEvent::eventType()) {
    auto* m = static_cast<platform::ui::WindowMessageEvent*>(e);
    onWindowMessage(m->message(), m->wParam(), m->lParam());
    return true;
  }
  return QWidget::event(e);
}

void TCaptureForm::onWindowMessage(uint32_t message, intptr_t wParam, intptr_t lParam) {
  if (message == platform::devices::WM_DEVICECHANGE) {
    onDeviceChange(wParam, lParam);
    return;
  }
  if (message == platform::ui::WM_USER + 1) {
    onGrabbed(static_cast<int>(lParam));
    return;
  }
  if (message == platform::ui::WM_USER + 2) {
    onCountdown(wParam);
    return;
  }
  const sources::TVideoSource* video = currentVideo();
  if (message == platform::ui::WM_USER + 3 && wParam == 1 && (!video || video->SceneDetector || videoIsDv_)) {
    dvWideScreen_ = lParam == 1;
    DimensionnerWithRatio();
  }
}

void TCaptureForm::setConnectedVideo(int width, int height, int aspectX, int aspectY, bool dv) {
  videoWidth_ = width;
  videoHeight_ = height;
  aspectX_ = aspectX;
  aspectY_ = aspectY;
  videoIsDv_ = dv;
  panel2_->setVisible(!hasVideoSource());
  vwEcran_->setVisible(hasVideoSource());
  DimensionnerWithRatio();
}

}  // namespace vistrel::app
