#include "actions/AbstractAction.h"

namespace vistrel::actions {

TCustomAbstractAction::TCustomAbstractAction(TActionList* list, const QString& internalId)
    : TCustomAction(list) {
  if (list && !internalId.isEmpty()) {
    InternalId = internalId;
    setCategory(QStringLiteral("internal"));
  }
}

TCustomAbstractAction::~TCustomAbstractAction() = default;

void TCustomAbstractAction::setImageIndex(int index) {
  if (index == imageIndex_) return;
  imageIndex_ = index;
  showImage(index);
  if (ActionList() && OnImageChanged) OnImageChanged(ActionList()->Images(), index);
}

void TCustomAbstractAction::showImage(int index) {
  setIcon(ActionList() ? ActionList()->icon(index) : QIcon());
}

void TCustomAbstractAction::imagesChanged() { showImage(imageIndex_); }

bool TCustomAbstractAction::RegisterInScript(TOBScript&) { return false; }
void TCustomAbstractAction::PrepareAndApply() {}
QString TCustomAbstractAction::GetScriptSyntax() { return {}; }
QString TCustomAbstractAction::GetSwitchSyntax() { return {}; }

void TCustomAbstractAction::ResetAction() {
  setCategory({});
  ScriptName.clear();
  setShortCut(kNoKey);
  setSecondaryShortCuts({});
}

void TCustomAbstractAction::ApplyText(const QString&) {}
void TCustomAbstractAction::Apply() {}
bool TCustomAbstractAction::LoadFromPrefs(settings::TOrbanoPreferences&) { return true; }
bool TCustomAbstractAction::SaveToPrefs(settings::TOrbanoPreferences&) { return true; }

bool TCustomAbstractAction::Execute() {
  if (!Enabled()) return false;
  PrepareAndApply();
  return true;
}

QString TCustomAbstractAction::variablesOr(const QString& fallback) {
  if (Variables.isEmpty()) Variables = fallback;
  return Variables;
}

bool SwitchTextToBool(const QString& text) {
  const QString t = text.trimmed().toLower();
  if (t == u"true" || t == u"vrai" || t == u"t" || t == u"v") return true;
  bool ok = false;
  const qlonglong n = t.toLongLong(&ok, 10);
  return ok && n != 0;
}

}  // namespace vistrel::actions
