#include "app/SourcesFrame.h"

#include <QApplication>

namespace vistrel::app {
namespace {

QToolButton* toolButton(const char* name, QWidget* parent, QRect bounds, const QString& hint = {}) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setGeometry(bounds);
  button->setAutoRaise(true);
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

QComboBox* dropDownList(const char* name, QWidget* parent, QRect bounds, const QString& hint) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setEditable(false);
  box->setGeometry(bounds);
  box->setToolTip(hint);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  return box;
}

}  // namespace

TSourcesFrame::TSourcesFrame(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("TSourcesFrame"));
  setFrameShape(QFrame::StyledPanel);
  resize(275, 400);

  gbVideo = new QGroupBox(QStringLiteral("Source Vidéo"), this);
  gbVideo->setObjectName(QStringLiteral("gbVideo"));
  gbVideo->setGeometry(4, 4, 267, 92);
  cboxvideo = dropDownList("cboxvideo", gbVideo, QRect(8, 20, 196, 22),
                           QStringLiteral("Liste des sources  de capture vidéo"));
  sbVideoSettings = toolButton("sbVideoSettings", gbVideo, QRect(208, 19, 24, 24),
                               QStringLiteral("Règlages de la source de capture vidéo."));
  sbVideoPilotVCR = toolButton("sbVideoPilotVCR", gbVideo, QRect(236, 19, 24, 24),
                               QStringLiteral("Afficher ou masquer le pilotage du camescope DV"));
  LabVideo = new QLabel(gbVideo);
  LabVideo->setObjectName(QStringLiteral("LabVideo"));
  LabVideo->setGeometry(8, 48, 252, 36);
  LabVideo->setWordWrap(true);

  gbAudio = new QGroupBox(QStringLiteral("Source Audio"), this);
  gbAudio->setObjectName(QStringLiteral("gbAudio"));
  gbAudio->setGeometry(4, 100, 267, 118);
  cboxAudio = dropDownList("cboxAudio", gbAudio, QRect(8, 20, 196, 22),
                           QStringLiteral("Liste des sources de capture audio"));
  sbAudioSettings = toolButton("sbAudioSettings", gbAudio, QRect(208, 19, 24, 24),
                               QStringLiteral("Règlages de la source de capture audio."));
  sbAudioPilotVCR = toolButton("sbAudioPilotVCR", gbAudio, QRect(236, 19, 24, 24),
                               QStringLiteral("Afficher ou masquer le pilotage du camescope DV"));
  LabAudio = new QLabel(gbAudio);
  LabAudio->setObjectName(QStringLiteral("LabAudio"));
  LabAudio->setGeometry(8, 48, 252, 20);
  cbEntries = dropDownList("cbEntries", gbAudio, QRect(8, 86, 196, 22),
                           QStringLiteral("Liste des entrées de la carte audio"));

  gbFormat = new QGroupBox(QStringLiteral("Format de capture"), this);
  gbFormat->setObjectName(QStringLiteral("gbFormat"));
  gbFormat->setGeometry(4, 222, 267, 80);
  cbFormatCapture = dropDownList(
      "cbFormatCapture", gbFormat, QRect(8, 20, 196, 22),
      QStringLiteral(
          "Liste des formats de capture disponibles.\r\nS'applique à la prochaine vidéo capturée."));
  sbFormatCapturesettings = toolButton("sbFormatCapturesettings", gbFormat, QRect(208, 19, 24, 24));
  lbFramerate = new QLabel(QStringLiteral("Images/seconde"), gbFormat);
  lbFramerate->setGeometry(8, 50, 100, 20);
  leFramerate = new QLineEdit(gbFormat);
  leFramerate->setObjectName(QStringLiteral("leFramerate"));
  leFramerate->setGeometry(112, 48, 60, 22);
  setFramerateVisible(false);

  LabelVideo = new TLinkLabel(this);
  LabelVideo->setObjectName(QStringLiteral("LabelVideo"));
  LabelVideo->setGeometry(8, 310, 259, 20);
  LabelVideo->setToolTip(
      QStringLiteral("Indique le nom du prochain fichier  enregistré,\r\nou le nom actuel si on est en train "
                     "d'enregistrer."));

  ActualiserVideoSpeedBtn = toolButton(
      "ActualiserVideoSpeedBtn", this, QRect(8, 340, 32, 32),
      QStringLiteral(
          "Actualiser la liste des sources vidéo.\r\nUtile si en cours de route une nouvelle source "
          "est devenue active."));
  ActualiserVideoSpeedBtn->setText(QStringLiteral("Actualiser"));
  sbVideo = toolButton("sbVideo", this, QRect(44, 340, 32, 32));
  sbKronel = toolButton("sbKronel", this, QRect(80, 340, 32, 32));
}

void TSourcesFrame::setFramerateVisible(bool visible) {
  lbFramerate->setVisible(visible);
  leFramerate->setVisible(visible);
}

void TSourcesFrame::setGreyText(QComboBox* box, bool grey) {
  QPalette p = box->palette();
  const QPalette standard = QApplication::palette(box);
  const QColor colour = grey ? standard.color(QPalette::Disabled, QPalette::Text)
                             : standard.color(QPalette::Active, QPalette::ButtonText);
  p.setColor(QPalette::Active, QPalette::ButtonText, colour);
  p.setColor(QPalette::Inactive, QPalette::ButtonText, colour);
  p.setColor(QPalette::Active, QPalette::Text, colour);
  p.setColor(QPalette::Inactive, QPalette::Text, colour);
  box->setPalette(p);
}

}  // namespace vistrel::app
