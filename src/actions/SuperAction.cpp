#include "actions/SuperAction.h"

namespace vistrel::actions {

QString ActionArg0() { return ActionArgs.isEmpty() ? QString() : ActionArgs.first(); }

TCustomSuperAction::TCustomSuperAction(TActionList* list, const QString& name) : TCustomAction(list, name) {}

void TCustomSuperAction::setimageindex(int index) {
  if (index == imageIndex_) return;
  imageIndex_ = index;
  imagesChanged();
  if (OnImageChanged) OnImageChanged(ActionList() ? ActionList()->Images() : nullptr, index);
}

void TCustomSuperAction::imagesChanged() {
  setIcon(ActionList() ? ActionList()->icon(imageIndex_) : QIcon());
}

bool TCustomSuperAction::Execute() {
  if (!Enabled()) return false;
  ActionProceed = true;
  ActionArgs.clear();
  if (Onprepare) {
    const THandler prepare = Onprepare;  // the handler may replace itself
    prepare(this);
  }
  if (!ActionProceed) return true;
  if (AutoCheck()) setCheckedState(!Checked());
  const THandler handler = handler_;  // a handler that calls SetChecked replaces handler_
  if (!handler) return false;
  handler(this);
  return true;
}

void TtoggleAction::SetChecked(bool value) {
  if (value) {
    setCaption(TrueCaption);
    setHint(TrueHint);
    setimageindex(TrueImageIndex);
    installHandler(OnTrueExecute);
  } else {
    setCaption(FalseCaption);
    setHint(FalseHint);
    setimageindex(FalseImageIndex);
    installHandler(OnfalseExecute);
  }
  TCustomSuperAction::SetChecked(value);
}

bool TtoggleAction::Execute() {
  SetChecked(Checked());
  return TCustomSuperAction::Execute();
}

}  // namespace vistrel::actions
