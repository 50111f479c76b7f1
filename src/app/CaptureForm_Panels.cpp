// The nine option panels beside the preview, one shown at a time.
#include "app/CaptureForm.h"
#include "settings/Parameters.h"

namespace vistrel::app {

void TCaptureForm::AfficherPanneau(int number) {
  if (number < 0 || number >= kPanelCount) return;
  MasquerPanneau();
  params_->Enum(QStringLiteral("Panneau actif")).Value = static_cast<uint8_t>(number);
  QFrame* shown = panel(number);
  shown->move(panelsLeft_, shown->y());
  shown->raise();
  shown->show();
  shownPanel_ = number;
  markShownPanel(number, true);
}

void TCaptureForm::MasquerPanneau() {
  if (shownPanel_ >= 0) {
    panel(shownPanel_)->hide();
    markShownPanel(shownPanel_, false);
  }
  shownPanel_ = -1;
  params_->Enum(QStringLiteral("Panneau actif")).Value = 0;
}

void TCaptureForm::NextPanneau() {
  const int current = params_->Enum(QStringLiteral("Panneau actif")).Value;
  AfficherPanneau(current >= kPanelCount - 1 ? 0 : current + 1);
}

void TCaptureForm::BasculerPanneau() {
  auto& left = params_->Boolean(QStringLiteral("EcranGauche"));
  left.Value = left.Value ? 0 : 1;
  // The reduced window shows the preview alone; the side counts when it is restored.
  if (!reduced_) DisposerFenetre();
}

}  // namespace vistrel::app
