#include "app/DossiersFrame.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QMouseEvent>

namespace vistrel::app {

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  setStyleSheet(QStringLiteral("color: navy; text-decoration: underline"));
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) emit clicked();
}

TPathEdit::TPathEdit(Kind kind, QWidget* parent)
    : QWidget(parent), kind_(kind), edit_(new QLineEdit(this)), browse_(new QToolButton(this)) {
  browse_->setText(QStringLiteral("..."));
  connect(edit_, &QLineEdit::textChanged, this, &TPathEdit::textChanged);
  connect(browse_, &QToolButton::clicked, this, &TPathEdit::browse);
}

void TPathEdit::browse() {
  const QString path = chooser()(this, kind_, text());
  if (path.isEmpty()) return;
  setText(path);
  emit chosen(path);
}

TPathEdit::Chooser& TPathEdit::chooser() {
  static Chooser c = [](QWidget* parent, Kind kind, const QString& current) {
    return kind == Kind::Folder ? QFileDialog::getExistingDirectory(parent, QString(), current)
                                : QFileDialog::getOpenFileName(parent, QString(), current);
  };
  return c;
}

namespace {

// Lays a path field out at design bounds: the field, then its browse button.
void place(TPathEdit* edit, int x, int y, int width) {
  edit->setGeometry(x, y, width, 22);
  edit->lineEdit()->setGeometry(0, 0, width - 24, 22);
  edit->browseButton()->setGeometry(width - 22, 0, 22, 22);
}

QLabel* caption(const QString& text, QWidget* parent, int x, int y) {
  auto* label = new QLabel(text, parent);
  label->move(x, y);
  return label;
}

}  // namespace

TDossiersFrame::TDossiersFrame(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("TDossiersFrame"));
  setFrameShape(QFrame::StyledPanel);
  resize(275, 400);

  auto* gbVideo = new QGroupBox(QStringLiteral("Vidéos et audios"), this);
  gbVideo->setObjectName(QStringLiteral("gbVideo"));
  gbVideo->setGeometry(4, 4, 267, 150);
  caption(QStringLiteral("Dossier"), gbVideo, 8, 20);
  VideoDirEdit = new TPathEdit(TPathEdit::Kind::Folder, gbVideo);
  VideoDirEdit->setObjectName(QStringLiteral("VideoDirEdit"));
  place(VideoDirEdit, 8, 36, 222);
  sbVideo = new QToolButton(gbVideo);
  sbVideo->setObjectName(QStringLiteral("sbVideo"));
  sbVideo->setGeometry(234, 35, 26, 24);
  sbVideo->setToolTip(QStringLiteral("Ouvrir le dossier des vidéos"));
  caption(QStringLiteral("Racine"), gbVideo, 8, 66);
  VideoRacineEdit = new QLineEdit(gbVideo);
  VideoRacineEdit->setObjectName(QStringLiteral("VideoRacineEdit"));
  VideoRacineEdit->setGeometry(8, 82, 140, 22);
  cbVideoDate = new QCheckBox(QStringLiteral("Inclure date"), gbVideo);
  cbVideoDate->setObjectName(QStringLiteral("cbVideoDate"));
  cbVideoDate->setGeometry(156, 82, 104, 22);
  LabelVideo = new TLinkLabel(gbVideo);
  LabelVideo->setObjectName(QStringLiteral("LabelVideo"));
  LabelVideo->setGeometry(8, 114, 252, 20);
  LabelVideo->setToolTip(
      QStringLiteral("Indique le nom du prochain fichier  enregistré,\r\nou le nom actuel si on est en train "
                     "d'enregistrer."));

  auto* gbImage = new QGroupBox(QStringLiteral("Images"), this);
  gbImage->setObjectName(QStringLiteral("gbImage"));
  gbImage->setGeometry(4, 158, 267, 140);
  caption(QStringLiteral("Dossier"), gbImage, 8, 20);
  ImageDirEdit = new TPathEdit(TPathEdit::Kind::Folder, gbImage);
  ImageDirEdit->setObjectName(QStringLiteral("ImageDirEdit"));
  place(ImageDirEdit, 8, 36, 222);
  sbImage = new QToolButton(gbImage);
  sbImage->setObjectName(QStringLiteral("sbImage"));
  sbImage->setGeometry(234, 35, 26, 24);
  sbImage->setToolTip(QStringLiteral("Ouvrir le dossier des images"));
  caption(QStringLiteral("Racine"), gbImage, 8, 66);
  ImageRacineEdit = new QLineEdit(gbImage);
  ImageRacineEdit->setObjectName(QStringLiteral("ImageRacineEdit"));
  ImageRacineEdit->setGeometry(8, 82, 140, 22);
  cbImageDate = new QCheckBox(QStringLiteral("Inclure date"), gbImage);
  cbImageDate->setObjectName(QStringLiteral("cbImageDate"));
  cbImageDate->setGeometry(156, 82, 104, 22);
  LabelImage = new TLinkLabel(gbImage);
  LabelImage->setObjectName(QStringLiteral("LabelImage"));
  LabelImage->setGeometry(8, 112, 252, 20);

  auto* gbKronel = new QGroupBox(QStringLiteral("Kronel"), this);
  gbKronel->setGeometry(4, 302, 267, 46);
  feKronel = new TPathEdit(TPathEdit::Kind::File, gbKronel);
  feKronel->setObjectName(QStringLiteral("feKronel"));
  place(feKronel, 8, 18, 252);

  auto* gbPlugins = new QGroupBox(QStringLiteral("Plug-ins"), this);
  gbPlugins->setGeometry(4, 350, 267, 46);
  PlugInDirEdit = new TPathEdit(TPathEdit::Kind::Folder, gbPlugins);
  PlugInDirEdit->setObjectName(QStringLiteral("PlugInDirEdit"));
  place(PlugInDirEdit, 8, 18, 252);
}

}  // namespace vistrel::app
