// Recording control of the main window: start, stop, cut and freeze of a recording, the looks of
// the capture states, and the status panels' texts while previewing and recording.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <cerrno>
#include <chrono>

#include "actions/SuperAction.h"
#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "app/OptionsFrame.h"
#include "app/Plaque.h"
#include "app/RecordingState.h"
#include "app/RecordingWatch.h"
#include "app/SceneFile.h"
#include "app/SessionFiles.h"
#include "app/SourcesFrame.h"
#include "engine/GraphEvents.h"
#include "engine/Record.h"
#include "engine/Tdm.h"
#include "filters/Tvt_ControlFilter.h"
#include "filters/Tvt_SceneDetect.h"
#include "filters/Tvt_TimeStamper.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/Result.h"
#include "platform/shell/DiskSpace.h"
#include "platform/shell/Trash.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/CaptureFormats.h"
#include "settings/Parameters.h"
#include "sources/Sources.h"

namespace vistrel::app {

using namespace platform::media;
using platform::ui::Answer;
using platform::ui::Buttons;
using platform::ui::MessageKind;
using platform::ui::showMessage;

namespace {

int64_t steadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Formats whose file holds the video source's frames: a video device that stalls stops them.
bool RecordsVideo(RecordRequest request) {
  return request != RecordRequest::None && request != RecordRequest::Wav && request != RecordRequest::Mp3;
}

// Formats whose file holds only sound: a sound device that stalls stops them.
bool RecordsSoundOnly(RecordRequest request) {
  return request == RecordRequest::Wav || request == RecordRequest::Mp3;
}

// What a source's IAMDroppedFrames counted, delivered and dropped together; none without one.
std::optional<int64_t> periodsOf(const std::shared_ptr<IBaseFilter>& filter) {
  auto counters = interfaceOf<IAMDroppedFrames>(filter);
  int32_t delivered = 0, dropped = 0;
  if (!counters || FAILED(counters->GetNumNotDropped(delivered)) || FAILED(counters->GetNumDropped(dropped)))
    return std::nullopt;
  return int64_t(delivered) + dropped;
}

// The transitions' operations as the window carries them out. Scheduling is not part of the
// window yet: arming and the end time are refused, cancelling has nothing to undo.
class FormSteps : public TRecordingSteps {
 public:
  explicit FormSteps(TCaptureForm& form) : form_(form) {}
  bool Start() override { return form_.LancerCapture(); }
  bool Stop() override { return form_.StopperCapture(); }
  bool ProgrammerDebut() override { return false; }
  bool ProgrammerFin() override { return false; }
  void AnnulerProgrammation() override {}
  void EnterState(TEtatCapture state) override { form_.EnterCaptureState(state); }
  void EchecCapture() override { form_.EchecCapture(); }

 private:
  TCaptureForm& form_;
};

}  // namespace

void TCaptureForm::createRecording() {
  sessionFiles_ = std::make_unique<TSessionFiles>();
  sceneFile_ = std::make_unique<TSceneFile>();
  droppedFramesTimer_ = new QTimer(this);
  droppedFramesTimer_->setInterval(300);
  connect(droppedFramesTimer_, &QTimer::timeout, this, [this] { DroppedActionTimer(); });
  droppedFramesTimer_->start();
}

std::map<QString, actions::THandler> TCaptureForm::recordingHandlers() {
  std::map<QString, actions::THandler> h;
  h["saCapturerBasculeexecute"] = [this](QObject*) { RunCaptureEvent(CaptureEvent::CaptureToggle); };
  h["acProgrammerBasculeExecute"] = [this](QObject*) { RunCaptureEvent(CaptureEvent::ProgrammeToggle); };
  h["acCouperExecute"] = [this](QObject*) { Couper(); };
  // As for every toggle, the handler of the false state switches the feature on.
  h["taFreezeCapturefalseExecute"] = [this](QObject*) { setFreezeCapture(true); };
  h["taFreezeCaptureTrueExecute"] = [this](QObject*) { setFreezeCapture(false); };
  return h;
}

void TCaptureForm::RunCaptureEvent(CaptureEvent event) {
  FormSteps steps(*this);
  RunTransition(etat_, event, steps);
}

void TCaptureForm::lancerEnregistrement() { RunCaptureEvent(CaptureEvent::StartAlarm); }
void TCaptureForm::stopperEnregistrement() { RunCaptureEvent(CaptureEvent::EndAlarm); }

uint8_t TCaptureForm::captureFormat() const { return params_->Enum(QStringLiteral("Capture Format")).Value; }

bool TCaptureForm::graphStopped() const {
  OAFilterState state = State_Stopped;
  return !dm_ || FAILED(dm_->Graph()->GetState(0, state)) || state == State_Stopped;
}

// ---- Start ---------------------------------------------------------------------------------------

bool TCaptureForm::LancerCapture() {
  const bool started = startCapture();
  if (!started)
    if (auto* a = action(QStringLiteral("saCapturerBascule"))) a->SetChecked(false);
  return started;
}

bool TCaptureForm::startCapture() {
  try {
    const uint8_t format = captureFormat();
    auto& confirm = params_->Boolean(QStringLiteral("Confirmer Video")).Value;
    if (etat_ == etatPreview) {
      if (confirm && QFileInfo::exists(videoFileName_)) {
        const Answer a =
            showMessage(MessageKind::Warning, OverwriteQuestion(videoFileName_), Buttons::YesNoAll);
        if (a == Answer::No) return false;
        if (a == Answer::All) {
          // Unchecking the options panel's box clears the setting through its handler; the
          // settings are saved from the box, so a cleared setting alone would come back.
          if (optionsFrame_) optionsFrame_->cbConfirmerVideo->setChecked(false);
          confirm = 0;
        }
      }
      const QString folder = QFileInfo(videoFileName_).absolutePath();
      if (confirm && !QFileInfo::exists(folder)) {
        if (showMessage(MessageKind::Warning, CreateFolderQuestion(folder), Buttons::YesNo) != Answer::Yes)
          return false;
      }
      QDir().mkpath(folder);
    }
    if (QFileInfo::exists(videoFileName_)) platform::shell::moveToTrash(videoFileName_);
    const bool writesFile = RequestFor(format) != RecordRequest::None;
    // A name the file system refuses (too long, forbidden characters, a read-only or missing
    // folder) is said now, before the preview stops, rather than after a recording of nothing.
    if (int error = 0; writesFile && !ProbeFileCreation(videoFileName_, error)) {
      showMessage(MessageKind::Error, CannotCreateFileText(videoFileName_, FileErrorText(error)));
      return false;
    }
    recordingFileName_ = videoFileName_;
    FinirFichier();

    auto* video = currentVideo();
    auto* audio = currentAudio();
    const bool separate =
        SeparateAudio(video, audio, video && audio && video->Device == audio->Device, format);
    separateAudio_ = separate;

    if (!buildRecording(format)) {
      // Back to the preview: what the chain added goes, the sources keep running.
      dm().StopCapture();
      dm().Run();
      showMessage(MessageKind::Error,
                  ChainRefusedText(sourcesFrame_ ? sourcesFrame_->cbFormatCapture->currentText()
                                                 : QString::number(format)));
      return false;
    }
    if (video && WantsSceneFile(true, video->SceneDetector != nullptr, format,
                                params_->Boolean(QStringLiteral("scn")).Value != 0, false))
      openSceneFile();
    droppedFrames_.reset();
    if (video && dm().VideoCaptureFilter) {
      const GUID category = PIN_CATEGORY_CAPTURE, type = MEDIATYPE_Video;
      std::shared_ptr<IAMDroppedFrames> dropped;
      if (SUCCEEDED(dm().Builder()->FindInterface(&category, &type, dm().VideoCaptureFilter, dropped)))
        droppedFrames_ = dropped;
      if (!droppedFrames_) droppedFrames_ = interfaceOf<IAMDroppedFrames>(dm().VideoCaptureFilter);
    }
    AppliquerVolume();
    recordingStart_ = QDateTime::currentDateTime();

    // Device losses stop the recording before the sources are set up again, whatever "Notifier"
    // says; device-change notifications are ignored meanwhile.
    routeDeviceLostDuringRecording();
    auto& notifier = params_->Boolean(QStringLiteral("Notifier")).Value;
    notifierBeforeRecording_ = notifier != 0;
    notifier = 0;
    if (!dm().Run()) {
      // A writer that cannot open its file or an encoder that refuses the picture would leave
      // a recording of nothing that looks like a running one: undo the start and say so.
      dm().Stop();
      if (sceneFile_->IsOpen()) {
        sceneFile_->Close();
        if (video && video->SceneDetector) video->SceneDetector->SetSceneCallback(nullptr);
      }
      imageByImage_ = false;
      droppedFrames_.reset();
      dm().StopCapture();
      notifier = notifierBeforeRecording_ ? 1 : 0;
      routeDeviceLost(!notifierBeforeRecording_);
      dm().Run();
      if (QFileInfo file(videoFileName_); file.exists() && file.size() == 0) QFile::remove(videoFileName_);
      showMessage(MessageKind::Error, RunRefusedText(videoFileName_));
      return false;
    }
    recordingWatch_.Begin(videoFileName_, writesFile, steadyMs());
    return true;
  } catch (...) {
    return false;
  }
}

bool TCaptureForm::buildRecording(uint8_t format) {
  engine::TRecordChoices choices;
  // The listed Windows Media profile when the page offers the full list; null: the preset.
  choices.CustomWmvProfile = optionsFrame_->ProfilWmvChoisi();
  // The encoder the DivX page shows, also when it is the default rather than the favourite.
  if (optionsFrame_->DivxFound()) choices.DivxCompressor = optionsFrame_->cboxdivx->currentText();
  // "DV demi si DivX" reconnects the camcorder at half size, and the stop brings the full size
  // back: the sources panel shows the description each time.
  auto showDescription = [this](const QString& text) {
    if (sourcesFrame_) sourcesFrame_->LabVideo->setText(text);
  };
  choices.ShowVideoDescription = showDescription;
  dm().ShowVideoDescription = showDescription;
  engine::TRecorder recorder(dm(), *params_, std::move(choices));
  const QString file = videoFileName_;
  switch (RequestFor(format)) {
    case RecordRequest::None: return true;
    case RecordRequest::DeviceMux: {
      auto* video = currentVideo();
      return video && video->Device && video->Device->BuildMuxGraph(file);
    }
    case RecordRequest::DVType2: return recorder.RecordDVType2(file);
    case RecordRequest::Stream: return recorder.RecordStream(file);
    case RecordRequest::Avi: return recorder.RecordAvi(file);
    case RecordRequest::DVRecompressed: return recorder.RecordDVRecompressed(file);
    case RecordRequest::Wmv: return recorder.RecordWmv(file);
    case RecordRequest::Images:
      if (!recorder.RecordImages(file, [this] { FinImageParImage(); })) return false;
      imageByImageCount_ = 0;
      ModeImageParImage(true);
      return true;
    case RecordRequest::DivX: return recorder.RecordDivX(file);
    case RecordRequest::Wav: return recorder.RecordWav(file);
    case RecordRequest::Mp3: return recorder.RecordMp3(file);
  }
  return false;
}

void TCaptureForm::openSceneFile() {
  auto* video = currentVideo();
  if (!video || !video->SceneDetector) return;
  // A file that cannot be created records nothing; the recording goes on without it.
  sceneFile_->Open(SceneFileName(videoFileName_));
  video->SceneDetector->SetSceneCallback(sceneFile_->Routine());
}

void TCaptureForm::routeDeviceLostDuringRecording() {
  if (!graphEvents_) return;
  // A writer that fails (disk full, folder gone) has stopped writing: finish the file it wrote
  // so far, go back to the preview and say why.
  graphEvents_->OnGraphError = [this](int32_t, intptr_t result) {
    QMetaObject::invokeMethod(
        this,
        [this, result] {
          if (etat_ != etatCapture && etat_ != etatProgCapture) return;
          const QString file = videoFileName_;
          if (StopperCapture())
            EnterCaptureState(etatPreview);
          else
            EchecCapture();
          if (auto* a = action(QStringLiteral("saCapturerBascule"))) a->SetChecked(false);
          // The writers do not say why; a full disk is by far the likeliest.
          const auto space = platform::shell::diskSpace(file);
          const QString reason =
              space.freeMiB < 16 ? FileErrorText(ENOSPC) : AMGetErrorText(static_cast<HRESULT>(result));
          showMessage(MessageKind::Error, WriteErrorText(file, reason));
        },
        Qt::QueuedConnection);
  };
  graphEvents_->OnGraphDeviceLost = [this](QObject*, std::shared_ptr<Unknown>, bool) {
    // After the event's delivery, so that the graph is not rebuilt under it.
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (etat_ == etatCapture || etat_ == etatProgCapture) {
            StopperCapture();
            EnterCaptureState(etatPreview);
          }
          GraphDeviceLost();
        },
        Qt::QueuedConnection);
  };
}

// ---- Stop ----------------------------------------------------------------------------------------

bool TCaptureForm::StopperCapture() {
  try {
    recordingWatch_.End();
    FinirFichier();
    dm().StopCapture();
    bool ok = true;
    if (auto* v = currentVideo()) ok = ok && v->Connected;
    if (auto* a = currentAudio()) ok = ok && a->Connected;
    ModeImageParImage(false);
    droppedFrames_.reset();
    if (ok) {
      AppliquerVolume();
      params_->Boolean(QStringLiteral("Notifier")).Value = notifierBeforeRecording_ ? 1 : 0;
      // Without "Notifier" device losses are still the graph events' to report.
      routeDeviceLost(!notifierBeforeRecording_);
      dm().Run();
    }
    return ok;
  } catch (...) {
    return false;
  }
}

void TCaptureForm::FinirFichier() {
  try {
    if (graphStopped()) return;
    dm().Stop();
    if (etat_ == etatCapture || etat_ == etatProgCapture) {
      TDataFichier item = TDataFichier::ForFile(videoFileName_);
      if (droppedFrames_) {
        int32_t n = 0;
        if (SUCCEEDED(droppedFrames_->GetNumNotDropped(n))) item.CapturedFrames = n;
        if (SUCCEEDED(droppedFrames_->GetNumDropped(n))) item.DroppedFrames = n;
      }
      if (sourcesFrame_) {
        item.VideoSource = sourcesFrame_->cboxvideo->currentText();
        item.AudioSource = sourcesFrame_->cboxAudio->currentText();
        item.AudioInput = sourcesFrame_->cbEntries->currentText();
        item.CaptureFormat = sourcesFrame_->cbFormatCapture->currentText();
      }
      // An image-by-image recording without a grab has removed its file: nothing to list.
      if (!imageByImage_ || imageByImageCount_ > 0) sessionFiles_->Add(std::move(item));
      NomVideo();
    }
    if (sceneFile_->IsOpen()) {
      sceneFile_->Close();
      if (auto* v = currentVideo(); v && v->SceneDetector) v->SceneDetector->SetSceneCallback(nullptr);
      int32_t dropped = 0;
      if (droppedFrames_ && SUCCEEDED(droppedFrames_->GetNumDropped(dropped)) && dropped > 0 &&
          showMessage(MessageKind::Warning, DeleteSceneFileQuestion(dropped, sceneFile_->Path()),
                      Buttons::YesNo) == Answer::Yes)
        platform::shell::moveToTrash(sceneFile_->Path());
    }
  } catch (...) {
  }
}

void TCaptureForm::EchecCapture() {
  FinirFichier();
  SansVideo();
}

// ---- Cut -----------------------------------------------------------------------------------------

void TCaptureForm::Couper() {
  if (etat_ != etatCapture && etat_ != etatProgCapture) return;
  try {
    FinirFichier();
    const uint8_t format = captureFormat();
    const QString file = videoFileName_;
    auto retarget = [&](const std::shared_ptr<IFileSinkFilter>& sink) {
      if (sink) sink->SetFileName(file, nullptr);
    };
    switch (CutTargetFor(format)) {
      case CutTarget::None: break;
      case CutTarget::DeviceRebuild:
        if (auto* v = currentVideo(); v && v->Device) {
          v->Device->KillMuxGraph();
          v->Device->BuildMuxGraph(file);
        }
        break;
      case CutTarget::AviWriter:
      case CutTarget::AsfWriter: retarget(dm().FileSink()); break;
      case CutTarget::FileWriter: retarget(interfaceOf<IFileSinkFilter>(dm().FileWriter.filter())); break;
      case CutTarget::StreamWriter: retarget(interfaceOf<IFileSinkFilter>(dm().writer.filter())); break;
    }
    auto* video = currentVideo();
    if (video && WantsSceneFile(true, video->SceneDetector != nullptr, format,
                                params_->Boolean(QStringLiteral("scn")).Value != 0, true))
      openSceneFile();
    dm().Run();
    recordingWatch_.Begin(videoFileName_, CutTargetFor(format) != CutTarget::None, steadyMs());
    imageByImageCount_ = 0;
    AppliquerVolume();
  } catch (...) {
  }
}

// ---- Freeze --------------------------------------------------------------------------------------

void TCaptureForm::setFreezeCapture(bool on) {
  if (auto* a = action(QStringLiteral("taFreezeCapture"))) a->SetChecked(on);
  const Qt::BrushStyle style = on ? Qt::DiagCrossPattern : Qt::SolidPattern;
  if (shape2_) {
    QPalette p = shape2_->palette();
    QBrush brush = p.brush(QPalette::Window);
    brush.setStyle(style);
    p.setBrush(QPalette::Window, brush);
    shape2_->setPalette(p);
    shape2_->setAutoFillBackground(true);
  }
  if (plaque_) {
    plaque_->setShapeStyle(style);
    plaque_->setPlateColour(on ? palette().color(QPalette::Button) : QColor(Qt::black));
  }
  if (dm_) {
    // The file stays open: what arrives meanwhile is dropped before the writers, and what comes
    // after the pause is stamped as going on from where it paused, frames and sound alike.
    dm_->ControlCaptureVideo->Hold(on);
    dm_->AudioCapTamponer->Hold(on);
  }
  params_->Boolean(QStringLiteral("Freeze Capture")).Value = on ? 1 : 0;
}

// ---- State entry ---------------------------------------------------------------------------------

void TCaptureForm::EnterCaptureState(TEtatCapture state) {
  switch (state) {
    case etatPreview: setinterfacepreview(); break;
    case etatCapture: SetInterfaceCapture(); break;
    case etatProgAttente: SetInterfaceProgAttente(); break;
    case etatProgCapture: SetInterfaceProgCapture(); break;
  }
}

void TCaptureForm::applyLook(const TInterfaceLook& look) {
  etat_ = look.state;
  if (shape2_) {
    QPalette p = shape2_->palette();
    p.setColor(QPalette::Window,
               look.previewColour.isValid() ? look.previewColour : palette().color(QPalette::Window));
    shape2_->setPalette(p);
    shape2_->setAutoFillBackground(true);
  }
  for (QSlider* s : {xslider_, yslider_}) {
    if (!s) continue;
    QPalette p = s->palette();
    p.setColor(QPalette::Window,
               look.previewColour.isValid() ? look.previewColour : palette().color(QPalette::Window));
    s->setPalette(p);
  }
  if (plaque_) plaque_->setShapeColour(look.plateColour);
  // The schedule's start group and its Now button, where the window has them.
  for (const char* name : {"gbDebut", "NowBtn"})
    if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) w->setVisible(look.scheduleStartShown);
  if (sourcesFrame_) {
    sourcesFrame_->gbVideo->setEnabled(look.sourceGroupsEnabled);
    sourcesFrame_->gbAudio->setEnabled(look.sourceGroupsEnabled);
    sourcesFrame_->gbFormat->setEnabled(look.sourceGroupsEnabled);
  }
  if (look.profilesAndFoldersEnabled && dossiersFrame_)
    dossiersFrame_->setEnabled(*look.profilesAndFoldersEnabled);
  if (auto* a = action(QStringLiteral("acCouper"))) a->setEnabled(look.couperEnabled);
  if (auto* a = action(QStringLiteral("taLock"))) a->setEnabled(look.lockEnabled);

  const bool videoConnected = currentVideo() != nullptr;
  int captureImage = look.captureImage;
  if (captureImage == kImageFromSources) captureImage = PreviewCaptureImage(videoConnected, captureFormat());
  if (auto* a = action(QStringLiteral("saCapturerBascule"))) {
    a->setText(QString::fromUtf8(look.captureCaption));
    a->setToolTip(QString::fromUtf8(look.captureHint));
    if (captureImage != kImageUnchanged) a->setimageindex(captureImage);
    if (look.state == etatPreview) a->setEnabled(videoConnected || currentAudio() != nullptr);
  }
  if (auto* a = action(QStringLiteral("acProgrammerBascule"))) {
    a->setText(QString::fromUtf8(look.progCaption));
    a->setToolTip(QString::fromUtf8(look.progHint));
    if (look.progImage != kImageUnchanged) a->setimageindex(look.progImage);
  }
  const int glyph = look.captureGlyph == kImageFromSources ? captureImage : look.captureGlyph;
  if (btnCapture_ && glyph >= 0 && glyph < images_.size()) btnCapture_->setIcon(images_.at(glyph));
  if (auto* prog = findChild<QAbstractButton*>(QStringLiteral("ProgBtn"));
      prog && look.progGlyph >= 0 && look.progGlyph < images_.size())
    prog->setIcon(images_.at(look.progGlyph));
}

std::optional<QString> TCaptureForm::connectedVideoName() const {
  if (auto* v = currentVideo()) return v->SourceName;
  return std::nullopt;
}
std::optional<QString> TCaptureForm::connectedAudioName() const {
  if (auto* a = currentAudio()) return a->SourceName;
  return std::nullopt;
}

TPreviewFlags TCaptureForm::previewFlags(bool incrust) const {
  TPreviewFlags f;
  f.mute = params_->Boolean(QStringLiteral("Mute On")).Value != 0;
  f.incrust = incrust;
  f.wide = params_->Boolean(QStringLiteral("WideScreen")).Value != 0;
  f.verticalFlip = vflipApplied_;
  f.horizontalFlip = hflipApplied_;
  return f;
}

void TCaptureForm::setinterfacepreview() {
  applyLook(InterfaceLook(etatPreview));
  AfficherStatut();
}

void TCaptureForm::SetInterfaceCapture() {
  applyLook(InterfaceLook(etatCapture));
  statusBar_->setPanel(1, SourceSummary(connectedVideoName(), connectedAudioName(), captureFormat()));
  statusSuffix_.clear();
  statusBar_->setSuffix(statusSuffix_);
  statusBar_->update();
}

void TCaptureForm::SetInterfaceProgAttente() {
  applyLook(InterfaceLook(etatProgAttente));
  const auto* inc = action(QStringLiteral("taIncruster"));
  const TPreviewFlags flags = previewFlags(inc && inc->isChecked());
  statusBar_->setPanel(1, PreviewPanel1(QStringLiteral("programmation"), flags));
  statusSuffix_ = PreviewSuffix(flags);
  statusBar_->setSuffix(statusSuffix_);
  statusBar_->update();
}

void TCaptureForm::SetInterfaceProgCapture() {
  applyLook(InterfaceLook(etatProgCapture));
  statusSuffix_.clear();
  statusBar_->setSuffix(statusSuffix_);
  statusBar_->update();
}

void TCaptureForm::AfficherStatut() {
  if (!statusBar_) return;
  AfficherStatutIntervallo();
  const TPreviewFlags flags = previewFlags(overlayApplied_);
  statusBar_->setPanel(1, PreviewPanel1(QString::fromUtf8("Prévisualisation"), flags));
  statusSuffix_ = PreviewSuffix(flags);
  statusBar_->setSuffix(statusSuffix_);
  if (const auto text = PreviewSourcesText(connectedVideoName(), connectedAudioName(), captureFormat()))
    statusBar_->setPanel(2, *text);
  const auto space = platform::shell::diskSpace(videoFileName_);
  statusBar_->setPanel(3, FreeSpaceText(space.freeMiB * 1'048'576, videoDrive_));
  statusBar_->update();
}

void TCaptureForm::DroppedActionTimer() {
  if (etat_ == etatCapture || etat_ == etatProgCapture) showRecordingProgress();
  // In every state: the tape position of the DV sources, for their camcorder windows; the audio
  // source's only when it is another device's.
  if (!ShowTapePosition) return;
  auto* video = currentVideo();
  auto* audio = currentAudio();
  for (sources::TavFlux* source :
       {static_cast<sources::TavFlux*>(video), static_cast<sources::TavFlux*>(audio)}) {
    if (!source || (source == audio && video && audio->Device == video->Device)) continue;
    if (const auto position = ReadTapePosition(*source))
      ShowTapePosition(*source, position->timeCode, position->date);
  }
}

void TCaptureForm::showRecordingProgress() {
  if (!statusBar_) return;
  statusBar_->setPanel(2, DurationText(recordingStart_.msecsTo(QDateTime::currentDateTime())));
  std::optional<TDroppedCounts> counts;
  if (droppedFrames_) {
    TDroppedCounts c;
    droppedFrames_->GetNumDropped(c.dropped);
    droppedFrames_->GetNumNotDropped(c.notDropped);
    counts = c;
  }
  statusBar_->setPanel(3, CaptureCountText(captureFormat(), imageByImageCount_, counts));
  statusBar_->update();
  std::optional<int64_t> frames;
  const RecordRequest request = RequestFor(captureFormat());
  if (counts && currentVideo() && RecordsVideo(request))
    frames = int64_t(counts->dropped) + counts->notDropped;
  // A recording of sound alone watches the sound device's blocks instead.
  const bool sound = RecordsSoundOnly(request) && currentAudio() && dm_;
  if (sound) frames = periodsOf(dm().AudioCaptureFilter);
  watchRecording(frames, sound);
}

void TCaptureForm::watchRecording(std::optional<int64_t> frames, bool sound) {
  const auto fault = recordingWatch_.Check(steadyMs(), frames);
  if (fault == TRecordingWatch::Fault::None) return;
  const QString file = recordingWatch_.File();
  auto stop = [this] {
    if (StopperCapture())
      EnterCaptureState(etatPreview);
    else
      EchecCapture();
    if (auto* a = action(QStringLiteral("saCapturerBascule"))) a->SetChecked(false);
  };
  if (fault == TRecordingWatch::Fault::Stalled) {
    stop();
    const int seconds = TRecordingWatch::kStallMs / 1000;
    showMessage(MessageKind::Error,
                sound ? StalledSoundDeviceText(seconds, file) : StalledDeviceText(seconds, file));
    return;
  }
  // The writer still has the file open: keep its content, let the writer finish it, then put
  // it back under its name.
  const bool held = recordingWatch_.HoldVanishedFile();
  stop();
  QString why;
  const bool restored = held && recordingWatch_.RestoreVanishedFile(why);
  showMessage(MessageKind::Error, VanishedFileText(file, restored, why));
}

}  // namespace vistrel::app
