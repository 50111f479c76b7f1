#include "app/ExtraireFrame.h"

namespace vistrel::app {

TExtraireFrame::TExtraireFrame(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("TExtraireFrame"));
  setFrameShape(QFrame::StyledPanel);
  resize(275, 400);

  Caption = new QLabel(QStringLiteral("Extraire des images (F5)"), this);
  Caption->setObjectName(QStringLiteral("Caption"));
  Caption->setGeometry(8, 2, 259, 16);
  QFont bold = Caption->font();
  bold.setBold(true);
  Caption->setFont(bold);

  // The thumbnail's area: 192 x 144 from x 32, its bottom at 163.
  Bevel3 = new QFrame(this);
  Bevel3->setObjectName(QStringLiteral("Bevel3"));
  Bevel3->setFrameShape(QFrame::Panel);
  Bevel3->setFrameShadow(QFrame::Sunken);
  Bevel3->setGeometry(32, 19, 192, 144);
  Bevel3->hide();
  Image = new QLabel(this);
  Image->setObjectName(QStringLiteral("Image"));
  Image->setGeometry(32, 19, 192, 144);
  Image->setScaledContents(true);
  Image->setToolTip(QStringLiteral("Dernière image saisie et enregistrée sur le disque dur"));

  gbProchaine = new QGroupBox(QStringLiteral("Prochaine image"), this);
  gbProchaine->setObjectName(QStringLiteral("gbProchaine"));
  gbProchaine->setGeometry(4, 172, 267, 48);
  destlabel = new TLinkLabel(gbProchaine);
  destlabel->setObjectName(QStringLiteral("destlabel"));
  destlabel->setGeometry(8, 20, 251, 20);

  RxSwitch1 = new QPushButton(QStringLiteral("Intervallomètre"), this);
  RxSwitch1->setObjectName(QStringLiteral("RxSwitch1"));
  RxSwitch1->setCheckable(true);
  RxSwitch1->setGeometry(8, 232, 120, 28);
  RxSwitch1->setToolTip(QStringLiteral("Basculer l'intervallomètre."));

  chronoLab = new QLabel(this);
  chronoLab->setObjectName(QStringLiteral("chronoLab"));
  chronoLab->setGeometry(140, 232, 100, 28);
  QFont chrono = chronoLab->font();
  chrono.setBold(true);
  chrono.setPointSize(14);
  chronoLab->setFont(chrono);
  chronoLab->setStyleSheet(QStringLiteral("color: red"));
  chronoLab->setToolTip(QStringLiteral("Durée en secondes jusqu'à la prochaine capture d'image."));
  chronoLab->hide();

  RxSpinEdit7 = new QSpinBox(this);
  RxSpinEdit7->setObjectName(QStringLiteral("RxSpinEdit7"));
  RxSpinEdit7->setRange(0, 999999);
  RxSpinEdit7->setValue(10);
  RxSpinEdit7->setGeometry(8, 268, 90, 22);
  RxSpinEdit7->setToolTip(QStringLiteral("Valeurs pour définir l'intervalle entre deux saisies d'images"));

  cbUnites = new QComboBox(this);
  cbUnites->setObjectName(QStringLiteral("cbUnites"));
  cbUnites->addItems({QStringLiteral("secondes"), QStringLiteral("frames"), QStringLiteral("minutes"),
                      QStringLiteral("heures")});
  cbUnites->setCurrentIndex(0);
  cbUnites->setGeometry(104, 268, 100, 22);

  cbBeeps = new QCheckBox(QStringLiteral("Bips"), this);
  cbBeeps->setObjectName(QStringLiteral("cbBeeps"));
  cbBeeps->setGeometry(8, 300, 120, 20);
}

}  // namespace vistrel::app
