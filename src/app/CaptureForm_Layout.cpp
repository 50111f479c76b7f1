// The preview's layout, its aspect and the listening volume.
#include <QResizeEvent>
#include <QScreen>
#include <cmath>

#include "actions/SuperAction.h"
#include "app/ApplicationTexts.h"
#include "app/CaptureForm.h"
#include "app/Plaque.h"
#include "app/PreviewLayout.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "platform/media/IVideoWindow.h"
#include "settings/Parameters.h"

namespace vistrel::app {

QRect TCaptureForm::pictureBounds() const { return vwEcran_->geometry(); }

void TCaptureForm::DisposerFenetre() {
  const bool left = params_->Find(QStringLiteral("EcranGauche"))
                        ? params_->Boolean(QStringLiteral("EcranGauche")).Value != 0
                        : true;
  const QRect picture = pictureBounds();
  const WindowLayout l =
      layoutWindow(size(), left, panel1_->y(), picture.top() + picture.height(), panelBoutons_->width());
  panelsLeft_ = l.panelsLeft;
  previewOffset_ = l.previewOffset;
  if (l.actionsToolbarLeft) {
    tbActions_->move(0, tbActions_->y());
    tbPanneaux_->move(width() - tbPanneaux_->sizeHint().width(), tbPanneaux_->y());
  } else {
    tbPanneaux_->move(0, tbPanneaux_->y());
    tbActions_->move(width() - tbActions_->sizeHint().width(), tbActions_->y());
  }
  panel1_->setGeometry(l.panel1);
  onPanel1Resized();
  const QRect placed = pictureBounds();
  panelBoutons_->move(l.panel1.left() + (l.panel1.width() - panelBoutons_->width()) / 2,
                      l.panel1.top() + placed.top() + placed.height() + 24);
  for (QFrame* p : panels_) p->move(panelsLeft_, p->y());
  for (int i = 0; i < StatusPanels::kPanelCount; ++i) statusBar_->setPanelWidth(i, l.statusPanelWidth);
  statusBar_->setGeometry(0, height() - statusBar_->height(), width(), statusBar_->height());
}

void TCaptureForm::onPanel1Resized() {
  panel2_->setGeometry(16, 16, std::max(0, panel1_->width() - 32), std::max(0, panel1_->height() - 32));
  if (!hasVideoSource()) {
    vwEcran_->setGeometry(panel2_->geometry());
    shape2_->setGeometry(panel2_->geometry().adjusted(-12, -12, 12, 12));
  }
  DimensionnerWithRatio();
}

void TCaptureForm::DimensionnerWithRatio() {
  if (!hasVideoSource() || !params_->Find(QStringLiteral("Aspect ratio"))) return;
  int a = 0, b = 0;
  switch (params_->Enum(QStringLiteral("Aspect ratio")).Value) {
    case 0:
      if (videoIsDv_) {
        a = dvWideScreen_ ? 16 : 4;
        b = dvWideScreen_ ? 9 : 3;
      } else if (aspectX_ > 0 && aspectY_ > 0) {
        a = aspectX_;
        b = aspectY_;
      } else {
        a = videoWidth_;
        b = videoHeight_;
      }
      break;
    case 1: a = 4, b = 3; break;
    case 2: a = 16, b = 9; break;
    case 3: a = videoWidth_, b = videoHeight_; break;
    default: break;
  }
  if (a == 0 || b == 0) a = 4, b = 3;
  PlacerEcran(a, b);
}

void TCaptureForm::PlacerEcran(int a, int b) {
  if (plaque_ && plaque_->isVisible()) {
    const QRect screen = plaque_->rect().adjusted(12, 12, -12, -12);
    const QRect fitted = fitToAspect(screen, a, b);
    plaque_->setShapeBounds(fitted.adjusted(-12, -12, 12, 12));
    if (videoWindowItf_) {
      videoWindowItf_->put_Owner(plaque_);
      placeVideoWindow(fitted);
      videoWindowItf_->put_Visible(true);
    }
    return;
  }
  const QRect picture = fitToAspect(panel2_->geometry(), a, b);
  vwEcran_->setGeometry(picture);
  if (videoWindowItf_) {
    QWidget* owner = nullptr;
    if (videoWindowItf_->get_Owner(owner) == platform::media::S_OK && owner != panel1_)
      videoWindowItf_->put_Owner(panel1_);
    placeVideoWindow(picture);
  }
  shape2_->setGeometry(picture.adjusted(-12, -12, 12, 12));
  const int sliderThickness = yslider_->sizeHint().width();
  yslider_->setGeometry(picture.right() + 1 - 6, picture.top() - 8, sliderThickness, picture.height() + 16);
  const int sliderHeight = xslider_->sizeHint().height();
  xslider_->setGeometry(picture.left() - 8, picture.bottom() + 1 - 6, picture.width() + 16, sliderHeight);
  shape1_->move(yslider_->x(), xslider_->y());
}

void TCaptureForm::AppliquerVolume() {
  const bool mute =
      params_->Find(QStringLiteral("Mute On")) && params_->Boolean(QStringLiteral("Mute On")).Value != 0;
  engineVolume_ = mute ? 0 : tb_->value();
  if (dm_) dm_->SetVolume(engineVolume_);
  gaugeVolume_->setProgress(engineVolume_ / 100);
}

void TCaptureForm::setMute(bool on) {
  params_->Boolean(QStringLiteral("Mute On")).Value = on ? 1 : 0;
  if (auto* a = action(QStringLiteral("taMute"))) a->SetChecked(on);
  AppliquerVolume();
  ActualiserStatut();
}

void TCaptureForm::ActualiserStatut() {
  if (!params_ || !params_->Find(QStringLiteral("Mute On"))) return;
  // A recording's panels show the recording, which these flags do not change.
  if (etat_ == etatPreview)
    AfficherStatut();
  else if (etat_ == etatProgAttente)
    SetInterfaceProgAttente();
}

void TCaptureForm::setFullScreen(bool on) {
  if (auto* a = action(QStringLiteral("tafullscreen"))) a->SetChecked(on);
  if (on) {
    // Without a video source only the check mark changes.
    if (!hasVideoSource() || !plaque_) return;
    plaque_->showFullScreen();
  } else if (plaque_) {
    if (videoWindowItf_) videoWindowItf_->put_FullScreenMode(false);
    plaque_->hide();
  }
  DimensionnerWithRatio();
}

void TCaptureForm::setReduced(bool on) {
  auto* a = action(QStringLiteral("acReduire"));
  reduced_ = on;
  if (on) {
    panel1_->move(0, 0);
    resize(panel1_->size());
    if (a) a->setCaption(QStringLiteral("Restaurer"));
    panel1_->raise();
    setWindowTitle(sourcesFrame_->cboxvideo->currentText());
    return;
  }
  DisposerFenetre();
  const bool wide = params_->Boolean(QStringLiteral("WideScreen")).Value != 0;
  panel1_->move(previewOffset_ + 10, wide ? 76 : 40);
  resize(700, 459);
  if (a) a->setCaption(QStringLiteral("Réduire"));
  setWindowTitle(QStringLiteral("%1 de %2").arg(AppTitle(), kMakerName));
}

void TCaptureForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (reduced_) {
    // The reduced window is the preview alone: the picture follows the window's size.
    panel1_->setGeometry(rect());
    onPanel1Resized();
    return;
  }
  if (params_ && params_->Find(QStringLiteral("EcranGauche"))) DisposerFenetre();
}

}  // namespace vistrel::app
