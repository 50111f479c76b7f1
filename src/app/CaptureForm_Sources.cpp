// The sources panel: enumeration of the capture devices, connection of the chosen video and
// audio sources, the capture formats they allow, the settings menus and the reactions to
// devices that come and go.
#include <QActionGroup>
#include <QListWidget>
#include <QMenu>
#include <QSignalBlocker>
#include <exception>

#include "actions/ActionHandlers.h"
#include "actions/SuperAction.h"
#include "app/CaptureForm.h"
#include "app/FileNaming.h"
#include "app/SourcesFrame.h"
#include "engine/DirectShowUtils.h"
#include "engine/GraphEvents.h"
#include "engine/Tdm.h"
#include "filters/Tvt_Superposer.h"
#include "platform/Trace.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/IAMAudioInputMixer.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/filters/Mp3Encoder.h"
#include "settings/CaptureFormats.h"
#include "settings/Parameters.h"
#include "sources/Crossbar.h"
#include "sources/Plugins.h"
#include "sources/Sources.h"

namespace vistrel::app {

using namespace platform::media;
using platform::traceLine;

namespace {

int exactIndex(const QComboBox* box, const QString& text) {
  return box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

// Selects `text` without telling the handlers; false when the list does not hold it.
bool selectText(QComboBox* box, const QString& text) {
  const int index = exactIndex(box, text);
  if (index < 0) return false;
  const QSignalBlocker block(box);
  box->setCurrentIndex(index);
  return true;
}

// Keeps the entries still offered at their places, drops the others and appends the new ones,
// then the "none" entry.
void mergeList(QComboBox* box, const QStringList& names, const QString& none) {
  const QSignalBlocker block(box);
  const QString current = box->currentText();
  for (int i = box->count() - 1; i >= 0; --i)
    if (!names.contains(box->itemText(i))) box->removeItem(i);
  for (const QString& name : names)
    if (exactIndex(box, name) < 0) box->addItem(name);
  box->addItem(none);
  const int index = exactIndex(box, current);
  box->setCurrentIndex(index >= 0 ? index : 0);
}

// The input pins of a filter, in enumeration order.
std::vector<std::shared_ptr<IPin>> inputPins(const std::shared_ptr<IBaseFilter>& filter) {
  std::vector<std::shared_ptr<IPin>> pins;
  for (int i = 0;; ++i) {
    auto pin = sources::PinOf(filter, i);
    if (!pin) break;
    PIN_INFO info;
    if (SUCCEEDED(pin->QueryPinInfo(info)) && info.dir == PINDIR_INPUT) pins.push_back(pin);
  }
  return pins;
}

QString pinName(const std::shared_ptr<IPin>& pin) {
  PIN_INFO info;
  return pin && SUCCEEDED(pin->QueryPinInfo(info)) ? info.achName : QString();
}

}  // namespace

// ------------------------------------------------------------------------------------------
// Engine and lists

void TCaptureForm::setDm(engine::Tdm* dm) { dm_ = dm; }

engine::Tdm& TCaptureForm::dm() {
  if (!dm_) {
    ownDm_ = std::make_unique<engine::Tdm>();
    dm_ = ownDm_.get();
  }
  return *dm_;
}

sources::TVideoSource* TCaptureForm::currentVideo() const {
  return dm_ ? dm_->CurrentVideoSource() : nullptr;
}
sources::TAudioSource* TCaptureForm::currentAudio() const {
  return dm_ ? dm_->CurrentAudioSource() : nullptr;
}

void TCaptureForm::createSourceLists() {
  engine::Tdm& engine = dm();
  plugins_ = std::make_unique<sources::TpluginList>();
  crossbars_ = std::make_unique<sources::TMonikerList>();
  crossbars_->Populate();
  engine.Engine().crossbars = crossbars_.get();
  engine.Engine().plugins = plugins_.get();
  engine.Engine().notifyWindow = handle_;
  videoDevices_ = std::make_unique<sources::TCaptureDeviceList>(engine.Engine());
  audioDevices_ = std::make_unique<sources::TCaptureDeviceList>(engine.Engine());
  traceLine(QStringLiteral("populatecrossbar passed"));
  videoSources_ = std::make_unique<sources::TvideoSourcesList>();
  audioSources_ = std::make_unique<sources::TAudioSourcesList>();
  divxAvailable_ = false;
  for (const QString& name : engine::VideoCompressorNames())
    if (name.contains(QLatin1String("divx"), Qt::CaseInsensitive) ||
        name.contains(QLatin1String("xvid"), Qt::CaseInsensitive))
      divxAvailable_ = true;
  std::shared_ptr<IBaseFilter> mp3;
  mp3Available_ = SUCCEEDED(FilterMapper::instance()->CreateInstance(CLSID_LameMp3Encoder, mp3)) && mp3;
}

void TCaptureForm::destroySourceLists() {
  if (dm_) {
    if (auto* v = currentVideo()) dm_->Disconnect(*v, true);
    if (auto* a = currentAudio()) dm_->Disconnect(*a, true);
    dm_->Engine().CurrentVideo = nullptr;
    dm_->Engine().CurrentAudio = nullptr;
  }
  if (videoSources_) videoSources_->Clear();
  if (audioSources_) audioSources_->Clear();
}

void TCaptureForm::loadSourcesExclues(const QString& text) {
  const QSignalBlocker block(lbSourcesExclues_);
  lbSourcesExclues_->clear();
  for (QString line : text.split(QLatin1Char('\n'))) {
    line.remove(QLatin1Char('\r'));
    // A damaged value may hold anything: only printable names are kept, each once.
    if (line.trimmed().isEmpty() || line.size() > 255) continue;
    bool printable = true;
    for (QChar c : line) printable = printable && c.isPrint();
    if (!printable ||
        !lbSourcesExclues_->findItems(line, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
      continue;
    auto* item = new QListWidgetItem(line, lbSourcesExclues_);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
}

QString TCaptureForm::sourcesExcluesText() const {
  QString text;
  for (int i = 0; i < lbSourcesExclues_->count(); ++i) {
    const QListWidgetItem* item = lbSourcesExclues_->item(i);
    if (item->checkState() == Qt::Unchecked) text += item->text() + QStringLiteral("\r\n");
  }
  return text;
}

// Whether a device may give sources: not failed this run, and not unchecked in the exclusion
// list (a device seen for the first time joins it, checked).
bool TCaptureForm::deviceAllowed(const QString& deviceName) {
  if (failedSources_.contains(deviceName)) return false;
  const auto found = lbSourcesExclues_->findItems(deviceName, Qt::MatchExactly | Qt::MatchCaseSensitive);
  if (!found.isEmpty()) return found.first()->checkState() != Qt::Unchecked;
  const QSignalBlocker block(lbSourcesExclues_);
  auto* item = new QListWidgetItem(deviceName, lbSourcesExclues_);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Checked);
  return true;
}

bool TCaptureForm::ChargerDrivers() {
  try {
    if (!videoSources_) return false;
    engine::Tdm& engine = dm();
    if (auto* v = currentVideo(); v && v->Connected) engine.Disconnect(*v, true);
    if (auto* a = currentAudio(); a && a->Connected) engine.Disconnect(*a, true);
    // The lists below are emptied: nothing may keep pointing at their sources.
    engine.Engine().CurrentVideo = nullptr;
    engine.Engine().CurrentAudio = nullptr;
    videoSources_->Clear();
    audioSources_->Clear();
    if (!videoDevices_->Refresh(CLSID_VideoInputDeviceCategory)) return false;
    if (!audioDevices_->Refresh(CLSID_AudioInputDeviceCategory)) return false;

    QStringList videoNames, audioNames;
    for (int i = 0; i < videoDevices_->Count(); ++i) {
      sources::TCaptureDevice* device = videoDevices_->Items(i);
      if (!device || !deviceAllowed(device->DeviceName)) continue;
      for (int n = 1; n <= device->VideoStreams; ++n)
        if (auto* s = videoSources_->Add(std::make_unique<sources::TVideoSource>(device, n)))
          videoNames << s->SourceName;
      for (int n = 1; n <= device->AudioStreams; ++n)
        if (auto* s = audioSources_->Add(std::make_unique<sources::TAudioSource>(device, n)))
          audioNames << s->SourceName;
    }
    for (int i = 0; i < audioDevices_->Count(); ++i) {
      sources::TCaptureDevice* device = audioDevices_->Items(i);
      if (!device || !deviceAllowed(device->DeviceName)) continue;
      for (int n = 1; n <= device->AudioStreams; ++n)
        if (auto* s = audioSources_->Add(std::make_unique<sources::TAudioSource>(device, n)))
          audioNames << s->SourceName;
    }
    mergeList(sourcesFrame_->cboxvideo, videoNames, kAucunFluxVideo);
    mergeList(sourcesFrame_->cboxAudio, audioNames, kAucunFluxAudio);
    return true;
  } catch (...) {
    return false;
  }
}

// ------------------------------------------------------------------------------------------
// Connection

bool TCaptureForm::activervideo(const QString& name) {
  engine::Tdm& engine = dm();
  QComboBox* box = sourcesFrame_->cboxvideo;
  sources::TVideoSource* connected = currentVideo();
  if (connected && connected->SourceName == name) {
    traceLine(name + QStringLiteral(" est déjà connecté"));
    return true;
  }
  if (!connected && name == kAucunFluxVideo) {
    selectText(box, params_->String(QStringLiteral("Source video")).Value);
    SansVideo();
    traceLine(QStringLiteral("No Video"));
    return true;
  }
  const QString used = selectText(box, name) ? name : box->itemText(0);
  if (used != name) selectText(box, used);
  traceLine(QStringLiteral("vstext= ") + used);
  sources::TVideoSource* source = nullptr;
  if (used != kAucunFluxVideo && videoSources_) {
    source = videoSources_->Find(used);
    if (!source) source = videoSources_->Items(0);
  }
  if (!source) {
    traceLine(QStringLiteral("Aucune connexion video"));
    selectText(box, kAucunFluxVideo);
    if (connected && !engine.Disconnect(*connected, true)) return false;
    params_->String(QStringLiteral("Source video")).Value = kAucunFluxVideo;
    SansVideo();
  } else if (engine.Connect(*source)) {
    traceLine(QStringLiteral("connexion Video réussie"));
    sourcesFrame_->LabVideo->setText(sources::VideoDescriptionText(engine.Engine().VideoInfo));
    params_->String(QStringLiteral("Source video")).Value = source->SourceName;
    AvecVideo();
  } else {
    traceLine(QStringLiteral("connexion échouée"));
    if (source->Device) failedSources_ << source->Device->DeviceName;
    ActualiserVideoBtnClick();
    return false;
  }

  selectText(box, params_->String(QStringLiteral("Source video")).Value);
  if (etat_ == etatPreview) {
    setinterfacepreview();
    traceLine(QStringLiteral("setinterfacepreview passed"));
  }
  if (sources::TVideoSource* video = currentVideo()) {
    if (video->SceneDetector) video->SceneDetector->processing().ForgetWideScreen();
    dvWideScreen_ = false;
    const sources::TConnectedVideo& info = engine.Engine().VideoInfo;
    setConnectedVideo(info.VideoWidth, info.VideoHeight, info.AspectX, info.AspectY,
                      video->Device && video->Device->DeviceKind == sources::kDeviceDV);
    traceLine(QStringLiteral("DimensionnerWithRatio passed"));
    if (auto* freeze = action(QStringLiteral("taFreezeCapture")))
      freeze->setEnabled(!info.TemporalCompression);
    if (engine.Superposer)
      engine.Superposer->whenincrust(params_->Enum(QStringLiteral("When Incrust")).Value,
                                     params_->Integer(QStringLiteral("Durée Incruster")).Value);
    if (!batchReconnect_) {
      engine.Run();
      traceLine(QStringLiteral("dm.play passed"));
    }
    placeButtonBar();
  }
  traceLine(QStringLiteral("Exit activervideo OK"));
  return true;
}

bool TCaptureForm::ActiverAudio(const QString& name) {
  traceLine(QStringLiteral("Enter ActiverAudio"));
  traceLine(QStringLiteral(" Source Audio: ") + name);
  engine::Tdm& engine = dm();
  bool ok = true;
  try {
    engine.Stop();
    traceLine(QStringLiteral("stop passed"));
    QComboBox* box = sourcesFrame_->cboxAudio;
    const QString used = exactIndex(box, name) >= 0 ? name : box->itemText(0);
    selectText(box, used);
    sources::TAudioSource* connected = currentAudio();
    if (connected && connected->SourceName == used) {
      // already the one
    } else if (used == kAucunFluxAudio) {
      if (connected) engine.Disconnect(*connected, true);
      SansAudio();
      traceLine(QStringLiteral("No Audio"));
    } else {
      sources::TAudioSource* source = audioSources_ ? audioSources_->Find(used) : nullptr;
      if (!source && audioSources_) source = audioSources_->Items(0);
      if (source && engine.Connect(*source)) {
        traceLine(QStringLiteral("Connexion audio a réussi"));
        sourcesFrame_->LabAudio->setText(sources::AudioDescriptionText(engine.Engine().AudioInfo));
        AvecAudio();
        fillSoundCardEntries(*source);
        sourcesFrame_->gbFormat->setVisible(currentVideo() || currentAudio());
        ActualiserStatut();
        traceLine(QStringLiteral("Exit ActiverAudio OK"));
      } else if (source) {
        traceLine(QStringLiteral("Connexion audio a échoué"));
        if (source->Device) failedSources_ << source->Device->DeviceName;
        ok = false;
        ActualiserVideoBtnClick();
      } else {
        SansAudio();
      }
    }
  } catch (...) {
    ok = false;
  }
  if (!batchReconnect_) {
    engine.Run();
    traceLine(QStringLiteral("finally dm.play passed"));
  }
  return ok;
}

void TCaptureForm::fillSoundCardEntries(sources::TAudioSource& source) {
  QComboBox* entries = sourcesFrame_->cbEntries;
  const QSignalBlocker block(entries);
  entries->clear();
  if (!source.Device || source.Device->DeviceKind != sources::kDeviceAudio) {
    entries->hide();
    return;
  }
  auto& entry = params_->String(QStringLiteral("Sound Card Entry"));
  for (const auto& pin : inputPins(dm().AudioCaptureFilter)) {
    const QString name = pinName(pin);
    entries->addItem(name);
    bool enabled = false;
    if (auto mixer = interfaceOf<IAMAudioInputMixer>(pin);
        mixer && SUCCEEDED(mixer->get_Enable(enabled)) && enabled)
      entry.Value = name;
  }
  traceLine(QStringLiteral("plsource passed"));
  if (entries->count() == 0) {
    entries->hide();
    return;
  }
  entries->show();
  if (!selectText(entries, entry.Value)) entries->setCurrentIndex(0);
}

void TCaptureForm::SourcesFramecbEntriesChange() {
  const QString chosen = sourcesFrame_->cbEntries->currentText();
  params_->String(QStringLiteral("Sound Card Entry")).Value = chosen;
  for (const auto& pin : inputPins(dm().AudioCaptureFilter))
    if (auto mixer = interfaceOf<IAMAudioInputMixer>(pin)) mixer->put_Enable(pinName(pin) == chosen);
}

void TCaptureForm::activerformatcapture(uint8_t code) {
  using namespace settings;
  QStringList names;
  if (sources::TVideoSource* video = currentVideo()) {
    if (video->Device) {
      for (uint8_t native : {video->Device->NativeFormat1, video->Device->NativeFormat2})
        if (native != 0) names << FormatCaptureToStr(native);
    }
    names << FormatCaptureToStr(fcDV2Recomp);
    if (divxAvailable_) names << FormatCaptureToStr(fcDivx);
    names << FormatCaptureToStr(fcWmv) << FormatCaptureToStr(fcImageImage);
  }
  if (currentAudio()) {
    names << FormatCaptureToStr(fcWav);
    if (mp3Available_) names << FormatCaptureToStr(fcMp3);
  }
  QComboBox* box = sourcesFrame_->cbFormatCapture;
  {
    const QSignalBlocker block(box);
    box->clear();
    box->addItems(names);
    const int index = exactIndex(box, FormatCaptureToStr(code));
    box->setCurrentIndex(index >= 0 ? index : 0);
  }
  sourcesFrame_->gbFormat->setVisible(!names.isEmpty());
  const uint8_t chosen = StrToFormatCapture(box->currentText());
  params_->Enum(QStringLiteral("Capture Format")).Value = chosen;
  videoFileName_ = withVideoExtension(videoFileName_, chosen);
  showVideoName();
  sourcesFrame_->setFramerateVisible(chosen == fcImageImage);
  TSourcesFrame::setGreyText(sourcesFrame_->cboxAudio, chosen == fcImageImage);
  TSourcesFrame::setGreyText(sourcesFrame_->cboxvideo, chosen == fcWav || chosen == fcMp3);
  // The capture glyph and the status texts follow the format; a recording keeps its own look.
  if (etat_ == etatPreview) setinterfacepreview();
}

// ------------------------------------------------------------------------------------------
// List handlers

void TCaptureForm::cboxVideoChange() {
  using namespace settings;
  const QString text = sourcesFrame_->cboxvideo->currentText();
  sources::TVideoSource* connected = currentVideo();
  if ((connected && connected->SourceName == text) || (!connected && text == kAucunFluxVideo)) return;
  activervideo(text);
  params_->String(QStringLiteral("Want video source")).Value = text;
  const bool locked = params_->Boolean(QStringLiteral("Preview Locked")).Value != 0;
  uint8_t format = params_->Enum(QStringLiteral("Capture Format")).Value;
  if (locked && currentVideo() && (format == fcWav || format == fcMp3)) format = fcAucun;
  activerformatcapture(format);
  VerrouillerPreview(locked);
}

void TCaptureForm::cboxAudioChange() {
  using namespace settings;
  const QString text = sourcesFrame_->cboxAudio->currentText();
  ActiverAudio(text);
  params_->String(QStringLiteral("Want audio source")).Value = text;
  const bool locked = params_->Boolean(QStringLiteral("Preview Locked")).Value != 0;
  uint8_t format = params_->Enum(QStringLiteral("Capture Format")).Value;
  if (locked && currentAudio() && format == fcImageImage) format = fcAucun;
  activerformatcapture(format);
  VerrouillerPreview(locked);
}

void TCaptureForm::cbFormatCaptureClick() {
  const uint8_t code = settings::StrToFormatCapture(sourcesFrame_->cbFormatCapture->currentText());
  if (code == params_->Enum(QStringLiteral("Capture Format")).Value) return;
  activerformatcapture(code);
  params_->String(QStringLiteral("Want Format capture")).Value = settings::FormatCaptureToStr(code);
  VerrouillerPreview(params_->Boolean(QStringLiteral("Preview Locked")).Value != 0);
}

void TCaptureForm::reconnectAll(const QString& video, const QString& audio, uint8_t format) {
  batchReconnect_ = true;
  activervideo(video);
  ActiverAudio(audio);
  activerformatcapture(format);
  batchReconnect_ = false;
  dm().Run();
}

void TCaptureForm::ActualiserVideoBtnClick() {
  const QString video = sourcesFrame_->cboxvideo->currentText();
  const QString audio = sourcesFrame_->cboxAudio->currentText();
  const uint8_t format = settings::StrToFormatCapture(sourcesFrame_->cbFormatCapture->currentText());
  if (!ChargerDrivers()) return;
  reconnectAll(video, audio, format);
}

void TCaptureForm::GraphDeviceLost() {
  // A recording in progress is finished by the recording control before this runs again.
  const QString video = sourcesFrame_->cboxvideo->currentText();
  const QString audio = sourcesFrame_->cboxAudio->currentText();
  const uint8_t format = settings::StrToFormatCapture(sourcesFrame_->cbFormatCapture->currentText());
  ChargerDrivers();
  reconnectAll(video, audio, format);
}

void TCaptureForm::routeDeviceLost(bool toWindow) {
  if (!graphEvents_) return;
  if (toWindow)
    graphEvents_->OnGraphDeviceLost = [this](QObject*, std::shared_ptr<Unknown>, bool) {
      // Handled after the event's delivery, so that the graph is not rebuilt under it.
      QMetaObject::invokeMethod(
          this, [this] { GraphDeviceLost(); }, Qt::QueuedConnection);
    };
  else
    graphEvents_->OnGraphDeviceLost = nullptr;
}

void TCaptureForm::onDeviceChange(intptr_t wParam, intptr_t lParam) {
  if (startupInProgress_ || !deferredStartDone_) return;
  if (params_->Boolean(QStringLiteral("Notifier")).Value == 0) return;
  if (wParam != platform::devices::DBT_DEVNODES_CHANGED || lParam != 0) return;
  const QString video = sourcesFrame_->cboxvideo->currentText();
  const QString audio = sourcesFrame_->cboxAudio->currentText();
  const uint8_t format = settings::StrToFormatCapture(sourcesFrame_->cbFormatCapture->currentText());
  ChargerDrivers();
  reconnectAll(video, audio, format);
}

// ------------------------------------------------------------------------------------------
// Settings menus

void TCaptureForm::fillMenu(QMenu& menu, const engine::SettingsMenu& entries) {
  menu.clear();
  QActionGroup* group = nullptr;
  for (const engine::SettingsMenuEntry& entry : entries) {
    if (entry.isSeparator()) {
      menu.addSeparator();
      continue;
    }
    if (!entry.submenu.empty()) {
      fillMenu(*menu.addMenu(entry.caption), entry.submenu);
      continue;
    }
    QAction* a = menu.addAction(entry.caption);
    a->setEnabled(entry.enabled);
    if (entry.radio) {
      if (!group) group = new QActionGroup(&menu);
      a->setActionGroup(group);
    }
    a->setCheckable(entry.checked || entry.radio);
    a->setChecked(entry.checked);
    if (entry.action)
      connect(a, &QAction::triggered, this, [this, run = entry.action] {
        settingsEntryHandled_ = true;
        run();
      });
  }
}

void TCaptureForm::VideoSettingsMenuPopup() {
  engine::SettingsMenu entries;
  dm().FillVideoSettings(entries);
  fillMenu(*videoSettingsMenu_, entries);
  if (videoSettingsMenu_->isEmpty())
    videoSettingsMenu_->addAction(QStringLiteral("[aucune page de réglages]"));
}

void TCaptureForm::AudioSettingsMenuPopup() {
  engine::SettingsMenu entries;
  dm().FillAudioSettings(entries);
  fillMenu(*audioSettingsMenu_, entries);
  if (audioSettingsMenu_->isEmpty())
    audioSettingsMenu_->addAction(QStringLiteral("[aucune page de réglages]"));
}

void TCaptureForm::onSettingsChanged(bool video) {
  reconnectAll(video ? sourcesFrame_->cboxvideo->currentText() : currentVideoText(),
               video ? currentAudioText() : sourcesFrame_->cboxAudio->currentText(),
               settings::StrToFormatCapture(sourcesFrame_->cbFormatCapture->currentText()));
}

QString TCaptureForm::currentVideoText() const { return sourcesFrame_->cboxvideo->currentText(); }
QString TCaptureForm::currentAudioText() const { return sourcesFrame_->cboxAudio->currentText(); }

void TCaptureForm::VideoPropBtnClick() {
  if (auto* v = currentVideo()) dm().Disconnect(*v, false);
  VideoSettingsMenuPopup();
  settingsEntryHandled_ = false;
  QToolButton* button = sourcesFrame_->sbVideoSettings;
  videoSettingsMenu_->exec(button->mapToGlobal(QPoint(0, button->height())));
  // Dismissed without a choice: the source is connected again rather than left off.
  if (!settingsEntryHandled_) onSettingsChanged(true);
}

void TCaptureForm::AudiopropBtnClick() {
  if (auto* a = currentAudio()) dm().Disconnect(*a, false);
  AudioSettingsMenuPopup();
  settingsEntryHandled_ = false;
  QToolButton* button = sourcesFrame_->sbAudioSettings;
  audioSettingsMenu_->exec(button->mapToGlobal(QPoint(0, button->height())));
  if (!settingsEntryHandled_) onSettingsChanged(false);
}

void TCaptureForm::connectSourcesFrame() {
  TSourcesFrame* f = sourcesFrame_;
  connect(f->cboxvideo, &QComboBox::activated, this, [this] { cboxVideoChange(); });
  connect(f->cboxAudio, &QComboBox::activated, this, [this] { cboxAudioChange(); });
  connect(f->cbFormatCapture, &QComboBox::activated, this, [this] { cbFormatCaptureClick(); });
  connect(f->cbEntries, &QComboBox::activated, this, [this] { SourcesFramecbEntriesChange(); });
  connect(f->ActualiserVideoSpeedBtn, &QToolButton::clicked, this, [this] { ActualiserVideoBtnClick(); });
  connect(f->sbVideoSettings, &QToolButton::clicked, this, [this] { VideoPropBtnClick(); });
  connect(f->sbAudioSettings, &QToolButton::clicked, this, [this] { AudiopropBtnClick(); });
  videoSettingsMenu_ = new QMenu(this);
  audioSettingsMenu_ = new QMenu(this);
  if (auto* a = action(QStringLiteral("acShowVideoPilotDV"))) f->sbVideoPilotVCR->setDefaultAction(a);
  if (auto* a = action(QStringLiteral("acShowAudioPilotDV"))) f->sbAudioPilotVCR->setDefaultAction(a);
  if (auto* a = action(QStringLiteral("acOuvrirDossierVideos"))) f->sbVideo->setDefaultAction(a);
  if (auto* a = action(QStringLiteral("acKronel"))) f->sbKronel->setDefaultAction(a);
  f->sbVideoSettings->setIcon(images_.value(13));
  f->sbAudioSettings->setIcon(images_.value(13));
  f->ActualiserVideoSpeedBtn->setIcon(images_.value(12));

  // The exclusion list lives on the help panel's "Sources" tab.
  lbSourcesExclues_ = new QListWidget(panel(7));
  lbSourcesExclues_->setObjectName(QStringLiteral("lbSourcesExclues"));
  lbSourcesExclues_->setGeometry(8, 8, 259, 384);
  connect(lbSourcesExclues_, &QListWidget::itemChanged, this, [this] { ActualiserVideoBtnClick(); });
}

std::map<QString, actions::THandler> TCaptureForm::sourcesHandlers() {
  std::map<QString, actions::THandler> h;
  h["saSourceVideoprepare"] =
      actions::makeArgumentPrepare([this] { return sourcesFrame_->cboxvideo->currentText(); });
  h["saSourceAudioprepare"] =
      actions::makeArgumentPrepare([this] { return sourcesFrame_->cboxAudio->currentText(); });
  h["saFormatCaptureprepare"] =
      actions::makeArgumentPrepare([this] { return sourcesFrame_->cbFormatCapture->currentText(); });
  // A command chooses as the list would, so that the formats follow the new source.
  h["saSourceVideoexecute"] = [this](QObject*) {
    const QString name = actions::ActionArg0();
    if (!selectText(sourcesFrame_->cboxvideo, name)) {
      activervideo(name);
      return;
    }
    cboxVideoChange();
  };
  h["saSourceAudioexecute"] = [this](QObject*) {
    const QString name = actions::ActionArg0();
    if (!selectText(sourcesFrame_->cboxAudio, name)) {
      ActiverAudio(name);
      return;
    }
    cboxAudioChange();
  };
  h["saFormatCaptureexecute"] = [this](QObject*) {
    const uint8_t code = settings::StrToFormatCapture(actions::ActionArg0());
    activerformatcapture(code);
    VerrouillerPreview(params_->Boolean(QStringLiteral("Preview Locked")).Value != 0);
  };
  return h;
}

}  // namespace vistrel::app
