// Grabbing pictures from the stream, the intervalometer and image-by-image recording.
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QSignalBlocker>

#include "actions/SuperAction.h"
#include "app/AviFrameRate.h"
#include "app/CaptureForm.h"
#include "app/Deinterlacer.h"
#include "app/DossiersFrame.h"
#include "app/ExtraireFrame.h"
#include "app/GrabPicture.h"
#include "app/OptionsFrame.h"
#include "app/RecordingState.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "filters/Tvt_ControlFilter.h"
#include "filters/Tvt_Superposer.h"
#include "platform/shell/SoundPlayer.h"
#include "platform/shell/Trash.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/Parameters.h"

namespace vistrel::app {

using platform::ui::Answer;
using platform::ui::Buttons;
using platform::ui::MessageKind;

namespace {

constexpr int kGrabPanel = 3;
constexpr int kGlyphImageByImage = 3;
constexpr int kGlyphGrab = 6;

// Gives the ring slot back to the overlay filter however the handling ends.
class SlotRelease {
 public:
  SlotRelease(filters::OverlayGrabRing& ring, int slot) : ring_(ring), slot_(slot) {}
  ~SlotRelease() { ring_.Release(slot_); }
  SlotRelease(const SlotRelease&) = delete;
  SlotRelease& operator=(const SlotRelease&) = delete;

 private:
  filters::OverlayGrabRing& ring_;
  int slot_;
};

}  // namespace

std::map<QString, actions::THandler> TCaptureForm::grabHandlers() {
  std::map<QString, actions::THandler> h;
  h["saGrabexecute"] = [this](QObject*) { saGrabexecute(); };
  h["saIntervalloexecute"] = [this](QObject*) {
    if (!extraireFrame_ || !extraireFrame_->RxSwitch1->isEnabled()) return;
    extraireFrame_->RxSwitch1->setChecked(!extraireFrame_->RxSwitch1->isChecked());
    RxSwitch1Click();
  };
  h["acJpgOptionExecute"] = [this](QObject*) { setImageExtension(1); };
  h["acBmpOptionExecute"] = [this](QObject*) { setImageExtension(0); };
  return h;
}

void TCaptureForm::connectExtraireFrame() {
  TExtraireFrame* f = extraireFrame_;
  if (!f) return;
  connect(f->RxSwitch1, &QPushButton::clicked, this, [this] { RxSwitch1Click(); });
  connect(f->cbBeeps, &QCheckBox::clicked, this, [this](bool on) {
    if (params_->Find(QStringLiteral("Beeps"))) params_->Boolean(QStringLiteral("Beeps")).Value = on ? 1 : 0;
  });
  connect(f->RxSpinEdit7, &QSpinBox::valueChanged, this, [this](int value) {
    if (params_->Find(QStringLiteral("Valeur Intervallomètre")))
      params_->Integer(QStringLiteral("Valeur Intervallomètre")).Value = value;
  });
  connect(f->cbUnites, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0 && params_->Find(QStringLiteral("Unités Intervallomètre")))
      params_->Integer(QStringLiteral("Unités Intervallomètre")).Value = index;
  });
  QLineEdit* rate = sourcesFrame_->leFramerate;
  rate->setToolTip(QStringLiteral(
      "Nombre d'images par secondes du fichier avi obtenu par la capture image/image.\r\nCe peut "
      "être un nombre décimal (la partie décimale est séparée par une virgule)."));
  connect(rate, &QLineEdit::editingFinished, this, [this, rate] {
    if (!params_->Find(QStringLiteral("Framerate"))) return;
    if (const auto value = ParseFramerate(rate->text())) {
      params_->Real(QStringLiteral("Framerate")).Value = *value;
      return;
    }
    rate->setText(QStringLiteral("18,0"));
    params_->Real(QStringLiteral("Framerate")).Value = 18.0;
    platform::ui::showMessage(
        MessageKind::Warning,
        QStringLiteral("La valeur de \"images/seconde\" n'est pas correcte\r\nEntrez une "
                       "valeur décimale - avec virgule comme séparateur"));
  });
  connect(f->destlabel, &TLinkLabel::clicked, this, [this] { runAction(QStringLiteral("acDossiersFrame")); });
  f->Image->setPixmap(QPixmap());
  beepPlayer_ = [](const QByteArray& wav) { platform::shell::SoundPlayer::shared().play(wav); };
}

void TCaptureForm::ChargerExtraire() {
  TExtraireFrame* f = extraireFrame_;
  if (!f) return;
  const QSignalBlocker b1(f->RxSpinEdit7), b2(f->cbUnites), b3(f->cbBeeps);
  f->RxSpinEdit7->setValue(params_->Integer(QStringLiteral("Valeur Intervallomètre")).Value);
  const int unit = params_->Integer(QStringLiteral("Unités Intervallomètre")).Value;
  f->cbUnites->setCurrentIndex(unit >= 0 && unit < f->cbUnites->count() ? unit : 0);
  f->cbBeeps->setChecked(params_->Boolean(QStringLiteral("Beeps")).Value != 0);
}

filters::Tvt_Superposer* TCaptureForm::grabFilter() {
  filters::Tvt_Superposer* s = superposer();
  // The filter tells this window of its grabs and countdown.
  if (s) s->SetNotifyWindow(handle_);
  return s;
}

// ---- Grab by hand -----------------------------------------------------------------------------

void TCaptureForm::saGrabexecute() {
  if (shownPanel_ != kGrabPanel) runAction(QStringLiteral("acExtraireFrame"));
  if (filters::Tvt_Superposer* s = grabFilter()) s->GrabNow();
  if (extraireFrame_) extraireFrame_->Bevel3->hide();
}

// ---- Intervalometer ---------------------------------------------------------------------------

void TCaptureForm::RxSwitch1Click() {
  TExtraireFrame* f = extraireFrame_;
  if (!f) return;
  f->chronoLab->hide();
  filters::Tvt_Superposer* s = grabFilter();
  if (f->RxSwitch1->isChecked()) {
    const double rate = dm_ ? dm_->Engine().VideoInfo.FramesPerSecond : 0.0;
    const int32_t period = IntervalPeriod(f->RxSpinEdit7->value(), f->cbUnites->currentIndex(), rate);
    if (s) s->StartIntervalometer(period);
    f->chronoLab->clear();
    f->chronoLab->show();
    f->RxSpinEdit7->setEnabled(false);
    f->cbUnites->setEnabled(false);
  } else {
    if (s) s->StopIntervalometer();
    f->RxSpinEdit7->setEnabled(true);
    f->cbUnites->setEnabled(true);
  }
  AfficherStatutIntervallo();
}

void TCaptureForm::AfficherStatutIntervallo() {
  if (!statusBar_ || !params_->Find(QStringLiteral("Extension des images"))) return;
  const auto ext = static_cast<uint8_t>(params_->Integer(QStringLiteral("Extension des images")).Value);
  const bool runs = extraireFrame_ && extraireFrame_->RxSwitch1->isChecked();
  const int value = extraireFrame_ ? extraireFrame_->RxSpinEdit7->value() : 0;
  const QString unit = extraireFrame_ ? extraireFrame_->cbUnites->currentText() : QString();
  statusBar_->setPanel(0, PreviewPanel0(ext, runs, value, unit), PreviewPanel0Colour(runs));
  statusBar_->update();
}

void TCaptureForm::onCountdown(intptr_t seconds) {
  if (!extraireFrame_) return;
  extraireFrame_->chronoLab->setText(QString::number(seconds));
  if (!params_->Boolean(QStringLiteral("Beeps")).Value || !beepPlayer_) return;
  if (seconds == 0)
    beepPlayer_(BeepWave(0));
  else if (seconds >= 1 && seconds <= 4)
    beepPlayer_(BeepWave(1));
}

void TCaptureForm::grabAvecVideo() {
  if (extraireFrame_) extraireFrame_->RxSwitch1->setEnabled(true);
}

void TCaptureForm::grabSansVideo() {
  if (!extraireFrame_) return;
  // A running intervalometer is started again with its period for the next source.
  if (extraireFrame_->RxSwitch1->isChecked()) RxSwitch1Click();
  extraireFrame_->RxSwitch1->setEnabled(false);
}

void TCaptureForm::setImageExtension(int extension) {
  if (!params_->Find(QStringLiteral("Extension des images"))) return;
  params_->Integer(QStringLiteral("Extension des images")).Value = extension;
  if (optionsFrame_) optionsFrame_->ShowExtension(extension);
  // The name keeps its number and takes the new extension.
  --imageCounter_;
  NomImage();
  AfficherStatutIntervallo();
}

// ---- A grabbed picture ------------------------------------------------------------------------

void TCaptureForm::onGrabbed(int slot) {
  filters::Tvt_Superposer* s = superposer();
  if (!s || slot < 0 || slot >= filters::OverlayGrabRing::kSlots) return;
  filters::OverlayGrabRing& ring = s->processing().GrabRing();
  const SlotRelease release(ring, slot);
  if (imageByImage_) {
    if (dm_ && dm_->ControlFilter) dm_->ControlFilter->PassOne();
    ++imageByImageCount_;
    return;
  }
  const QImage* picture = ring.Picture(slot);
  if (!picture) return;
  grabRaw_ = picture->copy();
  if (params_->Boolean(QStringLiteral("Internal Deinterlacer")).Value)
    Deinterlace(grabRaw_, grabProcessed_, grabMask1_, grabMask2_);
  else
    grabProcessed_ = grabRaw_.copy();
  GrabVideo video;
  video.width = videoWidth_;
  video.height = videoHeight_;
  video.aspectX = aspectX_;
  video.aspectY = aspectY_;
  video.dv = videoIsDv_;
  video.dvWideScreen = dvWideScreen_;
  const Aspect aspect = GrabAspect(params_->Enum(QStringLiteral("Aspect ratio")).Value, video);
  const QSize size = AspectCorrectedSize(grabProcessed_.size(), aspect);
  grabSaved_ = size == grabProcessed_.size()
                   ? grabProcessed_
                   : grabProcessed_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  if (extraireFrame_) {
    const QRect bounds = ThumbnailBounds(grabSaved_.size());
    extraireFrame_->Image->setGeometry(bounds);
    extraireFrame_->Image->setPixmap(QPixmap::fromImage(grabSaved_));
    extraireFrame_->Bevel3->setGeometry(bounds);
    extraireFrame_->Bevel3->show();
  }
  SauverImage();
}

void TCaptureForm::SauverImage() {
  if (imageByImage_) return;
  const QString file = imageFileName_;
  const bool exists = QFileInfo::exists(file);
  auto& confirm = params_->Boolean(QStringLiteral("Confirmer Image")).Value;
  if (confirm && exists) {
    const Answer answer = platform::ui::showMessage(
        MessageKind::Warning,
        QStringLiteral("L'image ") + QFileInfo(file).fileName() +
            QStringLiteral(
                " existe déjà. Voulez-vous la remplacer?\r\nSi vous cliquez sur \"Tous\", alors plus "
                "aucune confirmation ne sera demandée"),
        Buttons::YesNoAll);
    if (answer == Answer::No) return;
    if (answer == Answer::All) confirm = 0;
  }
  if (exists) platform::shell::moveToTrash(file);
  const int extension = params_->Integer(QStringLiteral("Extension des images")).Value;
  const int quality = params_->Integer(QStringLiteral("Qualité jpeg")).Value;
  if (!WritePicture(grabSaved_, file, extension, quality)) {
    // Nothing was written: no session item, and the same name serves the next grab.
    platform::ui::showMessage(MessageKind::Error,
                              QStringLiteral("Impossible de créer le fichier \"%1\"").arg(file));
    return;
  }
  TDataFichier item = TDataFichier::ForFile(file);
  item.DroppedFrames = -1;
  item.CapturedFrames = 1;
  if (sourcesFrame_) {
    item.VideoSource = sourcesFrame_->cboxvideo->currentText();
    item.AudioSource = sourcesFrame_->cboxAudio->currentText();
    item.AudioInput = sourcesFrame_->cbEntries->currentText();
    item.CaptureFormat = sourcesFrame_->cbFormatCapture->currentText();
  }
  sessionFiles_->Add(std::move(item));
  NomImage();
}

// ---- Image-by-image recording -----------------------------------------------------------------

void TCaptureForm::ModeImageParImage(bool on) {
  imageByImage_ = on;
  btnGrab_->setIcon(images_.value(on ? kGlyphImageByImage : kGlyphGrab));
  showImageName();
}

void TCaptureForm::FinImageParImage() {
  // Runs in the graph's stop, before the next name is composed: the name is the finished file's.
  const QString file = videoFileName_;
  if (imageByImageCount_ > 0)
    RewriteAviFrameRate(file, params_->Real(QStringLiteral("Framerate")).Value);
  else
    QFile::remove(file);
}

}  // namespace vistrel::app
