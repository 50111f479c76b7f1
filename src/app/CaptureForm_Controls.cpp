// The main window's controls at their design bounds.
#include <QPainter>
#include <QStyle>

#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "app/ExtraireFrame.h"
#include "app/OptionsFrame.h"
#include "app/SourcesFrame.h"
#include "settings/Parameters.h"

namespace vistrel::app {
namespace {

const char* const kPanelClassNames[TCaptureForm::kPanelCount] = {
    "TSourcesFrame", "TDossiersFrame", "TProgrammerFrame", "TExtraireFrame", "TIncrusterFrame",
    "TOptionsFrame", "TListeFrame",    "THelpFrame",       "TAproposFrame"};

QPixmap noVideoPicture() {
  QPixmap picture(384, 288);
  picture.fill(QColor(20, 20, 40));
  QPainter p(&picture);
  p.setPen(QColor(200, 200, 220));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(18);
  p.setFont(font);
  p.drawText(picture.rect(), Qt::AlignCenter | Qt::TextWordWrap,
             QStringLiteral("Aucune source vidéo n'a été sélectionnée"));
  return picture;
}

QToolBar* makeToolbar(QWidget* parent, const char* name, QPoint at) {
  auto* bar = new QToolBar(parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setIconSize(QSize(22, 22));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bar->move(at);
  return bar;
}

}  // namespace

void TCaptureForm::createControls() {
  tbActions_ = makeToolbar(this, "tbActions", QPoint(0, 2));
  tbPanneaux_ = makeToolbar(this, "tbPanneaux", QPoint(424, 2));

  panel1_ = new QWidget(this);
  panel1_->setObjectName(QStringLiteral("Panel1"));
  panel1_->setGeometry(0, 40, 416, 321);
  panel1_->installEventFilter(this);

  shape2_ = new QFrame(panel1_);
  shape2_->setObjectName(QStringLiteral("Shape2"));
  shape2_->setAutoFillBackground(true);
  shape2_->setPalette(QPalette(QPalette::Window, palette().color(QPalette::Base)));

  vwEcran_ = new QWidget(panel1_);
  vwEcran_->setObjectName(QStringLiteral("vwEcran"));
  vwEcran_->setGeometry(16, 16, 384, 288);
  vwEcran_->setAutoFillBackground(true);
  vwEcran_->setPalette(QPalette(QPalette::Window, Qt::black));
  vwEcran_->setCursor(Qt::PointingHandCursor);
  vwEcran_->setToolTip(
      QStringLiteral("Ecran de prévisualisation du flux vidéo. \r\nL'aspect ratio de la vidéo peut être "
                     "changé avec F3.\r\nUn "
                     "clic gauche saisit une image. Un clic droit ouvre  un menu contextuel."));
  vwEcran_->hide();
  for (QWidget* preview : {vwEcran_}) {
    preview->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(preview, &QWidget::customContextMenuRequested, this,
            [this, preview](const QPoint& at) { showPreviewMenu(preview->mapToGlobal(at)); });
  }

  panel2_ = new QLabel(panel1_);
  panel2_->setObjectName(QStringLiteral("Panel2"));
  panel2_->setGeometry(16, 16, 384, 288);
  panel2_->setPixmap(noVideoPicture());
  panel2_->setScaledContents(true);

  xslider_ = new QSlider(Qt::Horizontal, panel1_);
  xslider_->setObjectName(QStringLiteral("Xslider"));
  xslider_->setRange(0, 970);
  xslider_->setValue(900);
  xslider_->setToolTip(
      QStringLiteral("Faire glisser le curseur pour modifier la position horizontale des incrustations"));
  xslider_->hide();
  yslider_ = new QSlider(Qt::Vertical, panel1_);
  yslider_->setObjectName(QStringLiteral("Yslider"));
  yslider_->setRange(0, 930);
  yslider_->setValue(100);
  yslider_->setToolTip(
      QStringLiteral("Faire glisser le curseur pour modifier la position verticale des incrustations"));
  yslider_->hide();
  shape1_ = new QFrame(panel1_);
  shape1_->setObjectName(QStringLiteral("Shape1"));
  shape1_->setFrameShape(QFrame::Box);
  shape1_->resize(20, 20);
  shape1_->setAutoFillBackground(true);
  {
    QPalette hatched = shape1_->palette();
    hatched.setBrush(QPalette::Window, QBrush(palette().color(QPalette::WindowText), Qt::BDiagPattern));
    shape1_->setPalette(hatched);
  }
  shape1_->setToolTip(QStringLiteral(
      "Cliquez sur ce coin pour faire apparaître ou disparaitre\r\nles curseurs de position de "
      "l'incrustation."));
  shape1_->hide();

  panelBoutons_ = new QWidget(this);
  panelBoutons_->setObjectName(QStringLiteral("panelBoutons"));
  panelBoutons_->resize(417, 81);
  lblVolume_ = new QLabel(QStringLiteral("Volume"), panelBoutons_);
  lblVolume_->setGeometry(8, 4, 60, 16);
  tb_ = new QSlider(Qt::Horizontal, panelBoutons_);
  tb_->setObjectName(QStringLiteral("tb"));
  tb_->setRange(0, 10000);
  tb_->setSingleStep(100);
  tb_->setPageStep(100);
  tb_->setGeometry(8, 22, 116, 24);
  tb_->setToolTip(
      QStringLiteral("Modifier le volume de l'écoute Audio.\r\nN'a pas d'effet sur le volume enregistré."));
  connect(tb_, &QSlider::valueChanged, this, [this] {
    if (params_ && params_->Find(QStringLiteral("Volume")))
      params_->Integer(QStringLiteral("Volume")).Value = tb_->value();
    AppliquerVolume();
  });
  gaugeVolume_ = new TNeedleGauge(panelBoutons_);
  gaugeVolume_->setObjectName(QStringLiteral("gaugeVolume"));
  gaugeVolume_->setGeometry(36, 46, 60, 34);
  gaugeVolume_->setToolTip(QStringLiteral(
      "Volume de la reproduction sonore.\r\nTapez + ou - au clavier numérique pour le modifier."));

  QFont arial(QStringLiteral("Arial"));
  btnCapture_ = new QPushButton(QStringLiteral("Capturer"), panelBoutons_);
  btnCapture_->setObjectName(QStringLiteral("btnCapture"));
  btnCapture_->setFont(arial);
  // The buttons end before the option panels, which stand over the preview area's last pixels.
  btnCapture_->setGeometry(132, 8, 120, 64);
  btnCouper_ = new QPushButton(QString(), panelBoutons_);
  btnCouper_->setObjectName(QStringLiteral("btnCouper"));
  QFont bold = arial;
  bold.setBold(true);
  btnCouper_->setFont(bold);
  btnCouper_->setStyleSheet(QStringLiteral("color: red"));
  btnCouper_->setIcon(images_.value(29));
  btnCouper_->setGeometry(258, 8, 44, 64);
  btnGrab_ = new QPushButton(QStringLiteral("Grab!"), panelBoutons_);
  btnGrab_->setObjectName(QStringLiteral("btnGrab"));
  btnGrab_->setFont(arial);
  btnGrab_->setIcon(images_.value(6));
  btnGrab_->setGeometry(308, 8, 90, 64);

  statusBar_ = new StatusPanels(this);
}

void TCaptureForm::createPanels() {
  sourcesFrame_ = new TSourcesFrame(this);
  dossiersFrame_ = new TDossiersFrame(this);
  extraireFrame_ = new TExtraireFrame(this);
  optionsFrame_ = new TOptionsFrame(this);
  for (int i = 0; i < kPanelCount; ++i) {
    QFrame* frame = i == 0   ? sourcesFrame_
                    : i == 1 ? static_cast<QFrame*>(dossiersFrame_)
                    : i == 3 ? static_cast<QFrame*>(extraireFrame_)
                    : i == 5 ? static_cast<QFrame*>(optionsFrame_)
                             : new QFrame(this);
    frame->setObjectName(QString::fromLatin1(kPanelClassNames[i]));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setGeometry(424, 40, 275, 400);
    frame->hide();
    panels_[static_cast<size_t>(i)] = frame;
  }
}

}  // namespace vistrel::app
