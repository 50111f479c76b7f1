// The folders panel and the names of the next recording and of the next picture.
#include <QFileInfo>
#include <QSignalBlocker>

#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "app/ExtraireFrame.h"
#include "app/FileNaming.h"
#include "app/SourcesFrame.h"
#include "platform/Environment.h"
#include "platform/shell/Desktop.h"
#include "platform/shell/DiskSpace.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/Parameters.h"

namespace vistrel::app {

QString TCaptureForm::NomVideo() {
  VideoNameParts parts;
  parts.folder = dossiersFrame_->VideoDirEdit->text();
  parts.root = dossiersFrame_->VideoRacineEdit->text();
  parts.withDate = dossiersFrame_->cbVideoDate->isChecked();
  parts.session = sessionDate_;
  parts.captureFormat = params_->Enum(QStringLiteral("Capture Format")).Value;
  const QString name = composeVideoName(parts, videoCounter_);
  ++videoCounter_;
  videoFileName_ = name;
  showVideoName();
  return name;
}

QString TCaptureForm::NomImage() {
  ImageNameParts parts;
  parts.folder = dossiersFrame_->ImageDirEdit->text();
  parts.root = dossiersFrame_->ImageRacineEdit->text();
  parts.withDate = dossiersFrame_->cbImageDate->isChecked();
  parts.session = sessionDate_;
  parts.imageExtension = static_cast<uint8_t>(params_->Integer(QStringLiteral("Extension des images")).Value);
  const QString name = composeImageName(parts, imageCounter_);
  ++imageCounter_;
  imageFileName_ = name;
  showImageName();
  return name;
}

void TCaptureForm::showVideoName() {
  const QString shown = QFileInfo(videoFileName_).fileName();
  dossiersFrame_->LabelVideo->setText(shown);
  sourcesFrame_->LabelVideo->setText(shown);
}

void TCaptureForm::showImageName() {
  dossiersFrame_->LabelImage->setText(imageByImage_ ? QStringLiteral("Capture Image/Image dans Vidéo")
                                                    : QFileInfo(imageFileName_).fileName());
  if (extraireFrame_) extraireFrame_->destlabel->setText(dossiersFrame_->LabelImage->text());
}

void TCaptureForm::VideoDirEditChange() {
  if (!params_->Find(QStringLiteral("Video Directory"))) return;  // the settings are not made yet
  params_->String(QStringLiteral("Video Directory")).Value = dossiersFrame_->VideoDirEdit->text();
  --videoCounter_;
  NomVideo();
  videoDrive_ = platform::shell::mountPoint(videoFileName_);
}

void TCaptureForm::ImageDirEditChange() {
  if (!params_->Find(QStringLiteral("Image Directory"))) return;
  params_->String(QStringLiteral("Image Directory")).Value = dossiersFrame_->ImageDirEdit->text();
  imageDrive_ = platform::shell::mountPoint(imageFileName_);
  --imageCounter_;
  NomImage();
}

void TCaptureForm::PlugInDirEditChosen(const QString& folder) {
  auto& dir = params_->String(QStringLiteral("Plugins Dir"));
  const QString chosen = platform::withTrailingSlash(folder);
  if (chosen == platform::withTrailingSlash(dir.Value)) return;
  dir.Value = chosen;
  dossiersFrame_->PlugInDirEdit->setText(chosen);
  platform::ui::showMessage(platform::ui::MessageKind::Information,
                            QStringLiteral("Les plugs-in trouvés dans le dossier ") + chosen +
                                QStringLiteral("\r\nne seront activés qu'au prochain lancement de ") +
                                QStringLiteral("Vistrel") +
                                QStringLiteral("\r\n\r\nVous devriez le relancer maintenant."));
}

void TCaptureForm::ChargerDossiers() {
  TDossiersFrame* f = dossiersFrame_;
  {
    // Filling the fields is not an edit: the names are composed once, below.
    const QSignalBlocker b1(f->VideoDirEdit), b2(f->ImageDirEdit), b3(f->feKronel), b4(f->PlugInDirEdit);
    f->feKronel->setText(params_->String(QStringLiteral("Kronel")).Value);
    f->PlugInDirEdit->setText(params_->String(QStringLiteral("Plugins Dir")).Value);
    f->VideoDirEdit->setText(params_->String(QStringLiteral("Video Directory")).Value);
    f->VideoRacineEdit->setText(params_->String(QStringLiteral("Video Racine")).Value);
    f->cbVideoDate->setChecked(params_->Boolean(QStringLiteral("Video Date")).Value != 0);
    f->ImageDirEdit->setText(params_->String(QStringLiteral("Image Directory")).Value);
    f->ImageRacineEdit->setText(params_->String(QStringLiteral("Image Racine")).Value);
    f->cbImageDate->setChecked(params_->Boolean(QStringLiteral("Image date")).Value != 0);
  }
  sessionDate_ = QDateTime::currentDateTime();
  NomVideo();
  NomImage();
  videoDrive_ = platform::shell::mountPoint(videoFileName_);
  imageDrive_ = platform::shell::mountPoint(imageFileName_);
}

void TCaptureForm::SauverDossiers() {
  TDossiersFrame* f = dossiersFrame_;
  params_->String(QStringLiteral("Kronel")).Value = f->feKronel->text();
  params_->String(QStringLiteral("Plugins Dir")).Value = f->PlugInDirEdit->text();
  params_->String(QStringLiteral("Video Directory")).Value = f->VideoDirEdit->text();
  params_->String(QStringLiteral("Video Racine")).Value = f->VideoRacineEdit->text();
  params_->Boolean(QStringLiteral("Video Date")).Value = f->cbVideoDate->isChecked() ? 1 : 0;
  params_->String(QStringLiteral("Image Directory")).Value = f->ImageDirEdit->text();
  params_->String(QStringLiteral("Image Racine")).Value = f->ImageRacineEdit->text();
  params_->Boolean(QStringLiteral("Image date")).Value = f->cbImageDate->isChecked() ? 1 : 0;
}

void TCaptureForm::connectDossiersFrame() {
  TDossiersFrame* f = dossiersFrame_;
  connect(f->VideoDirEdit, &TPathEdit::textChanged, this, [this] { VideoDirEditChange(); });
  connect(f->ImageDirEdit, &TPathEdit::textChanged, this, [this] { ImageDirEditChange(); });
  // A change of a root or of the date box recomposes the same number.
  auto recomposeVideo = [this] {
    if (!params_->Find(QStringLiteral("Capture Format"))) return;
    --videoCounter_;
    NomVideo();
  };
  auto recomposeImage = [this] {
    if (!params_->Find(QStringLiteral("Extension des images"))) return;
    --imageCounter_;
    NomImage();
  };
  connect(f->VideoRacineEdit, &QLineEdit::editingFinished, this, recomposeVideo);
  connect(f->cbVideoDate, &QCheckBox::clicked, this, recomposeVideo);
  connect(f->ImageRacineEdit, &QLineEdit::editingFinished, this, recomposeImage);
  connect(f->cbImageDate, &QCheckBox::clicked, this, recomposeImage);
  connect(f->feKronel, &TPathEdit::textChanged, this, [this](const QString& text) {
    if (params_->Find(QStringLiteral("Kronel"))) params_->String(QStringLiteral("Kronel")).Value = text;
  });
  connect(f->PlugInDirEdit, &TPathEdit::chosen, this,
          [this](const QString& folder) { PlugInDirEditChosen(folder); });
  connect(f->sbVideo, &QToolButton::clicked, this, [this] {
    platform::shell::openWithDefaultApplication(params_->String(QStringLiteral("Video Directory")).Value);
  });
  connect(f->sbImage, &QToolButton::clicked, this, [this] {
    platform::shell::openWithDefaultApplication(params_->String(QStringLiteral("Image Directory")).Value);
  });
  connect(f->LabelVideo, &TLinkLabel::clicked, this, [this] { runAction(QStringLiteral("acSourcesFrame")); });
  connect(f->LabelImage, &TLinkLabel::clicked, this,
          [this] { runAction(QStringLiteral("acExtraireFrame")); });
  connect(sourcesFrame_->LabelVideo, &TLinkLabel::clicked, this,
          [this] { runAction(QStringLiteral("acDossiersFrame")); });
  f->sbVideo->setIcon(images_.value(34));
  f->sbImage->setIcon(images_.value(34));
}

}  // namespace vistrel::app
