#include "actions/AbstractActions.h"

#include <QPointer>

#include "actions/MacroRecorder.h"
#include "actions/OBScript.h"
#include "script/ScriptEngine.h"
#include "settings/OrbanoPreferences.h"

namespace vistrel::actions {
namespace {

const QString kIndent = QStringLiteral("    ");

QString boolText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

// A Pascal string expression that reads back as `text`: quotes doubled, and control characters
// (which a quoted literal cannot hold) written as #n between the quoted runs.
QString pascalString(const QString& text) {
  QString out;
  bool inQuotes = false;
  for (QChar ch : text) {
    if (ch.unicode() < 32) {
      if (inQuotes) out += u'\'';
      inQuotes = false;
      out += u'#' + QString::number(ch.unicode());
      continue;
    }
    if (!inQuotes) out += u'\'';
    inQuotes = true;
    out += ch;
    if (ch == u'\'') out += u'\'';
  }
  if (inQuotes) out += u'\'';
  return out.isEmpty() ? QStringLiteral("''") : out;
}

// Declares `declaration` bound to `call` on the action, which may be gone by the time a script
// runs: the call then stops the script instead of reaching a dead object.
template <class A>
bool declareBound(TOBScript& engine, A* action, const QString& declaration,
                  std::function<void(A&, script::HostCall&)> call) {
  script::CompileContext* compiler = engine.Compiler();
  if (!compiler || action->ScriptName.isEmpty()) return false;
  QPointer<A> target(action);
  const QString name = action->ScriptName;
  return compiler->declareRoutine(declaration, [target, name, call](script::HostCall& h) {
    if (!target) throw script::HostError(QStringLiteral("Action inexistante: ") + name);
    call(*target, h);
  });
}

}  // namespace

// ---- TNopeAction -------------------------------------------------------------------------------

bool TNopeAction::RegisterInScript(TOBScript& engine) {
  return declareBound<TNopeAction>(engine, this, GetScriptSyntax(),
                                   [](TNopeAction& a, script::HostCall&) { a.Apply(); });
}

void TNopeAction::PrepareAndApply() {
  if (OnPrepare && !OnPrepare()) return;
  if (InternalPrepare && !InternalPrepare()) return;
  Apply();
}

QString TNopeAction::GetScriptSyntax() {
  return QStringLiteral("procedure ") + ScriptName + QStringLiteral(";");
}

QString TNopeAction::GetSwitchSyntax() { return QStringLiteral("/") + Switch; }

void TNopeAction::ResetAction() {
  TAbstractAction::ResetAction();
  InternalPrepare = nullptr;
  InternalApply = nullptr;
  InternalBeforeSave = nullptr;
}

void TNopeAction::ApplyText(const QString&) { Apply(); }

void TNopeAction::Apply() {
  TMacroStep step(ScriptName.isEmpty() ? QString() : kIndent + ScriptName + QStringLiteral(";"));
  if (OnBeforeApply) OnBeforeApply();
  if (InternalApply) InternalApply();
  if (OnAfterApply) OnAfterApply();
}

bool TNopeAction::LoadFromPrefs(settings::TOrbanoPreferences&) {
  try {
    if (ApplyWhenLoad) Apply();
    return true;
  } catch (...) {
    return false;
  }
}

bool TNopeAction::SaveToPrefs(settings::TOrbanoPreferences&) {
  try {
    if (BeforeSave) BeforeSave();
    if (InternalBeforeSave) InternalBeforeSave();
    return true;
  } catch (...) {
    return false;
  }
}

// ---- TValueAction ------------------------------------------------------------------------------

template <class T>
void TValueAction<T>::SetValue(const T& value) {
  assignAndApply(value, recordedCall(value));
}

template <class T>
void TValueAction<T>::assignAndApply(const T& value, const QString& line) {
  TMacroStep step(line.isEmpty() ? QString() : kIndent + line);
  value_ = value;
  Apply();
}

template <class T>
void TValueAction<T>::PrepareAndApply() {
  if (!OnPrepare && !InternalPrepare) return;
  T value{};
  if (OnPrepare && !OnPrepare(value)) return;
  if (InternalPrepare && !InternalPrepare(value)) return;
  SetValue(value);
}

template <class T>
void TValueAction<T>::ResetAction() {
  TAbstractAction::ResetAction();
  InternalPrepare = nullptr;
  InternalDefault = nullptr;
  InternalBeforeSave = nullptr;
  InternalApply = nullptr;
}

template <class T>
void TValueAction<T>::Apply() {
  // Handlers get a copy: one that sets the action's value again must not change what the
  // following handlers see mid-call.
  const T value = value_;
  if (OnBeforeApply) OnBeforeApply(value);
  if (InternalApply) InternalApply(value);
  if (OnAfterApply) OnAfterApply(value);
}

template <class T>
bool TValueAction<T>::LoadFromPrefs(settings::TOrbanoPreferences& prefs) {
  try {
    if (OnDefault) OnDefault(DefaultValue);
    if (InternalDefault) InternalDefault(DefaultValue);
    value_ = readPrefs(prefs, DefaultValue);
    if (ApplyWhenLoad) Apply();
    return true;
  } catch (...) {
    return false;
  }
}

template <class T>
bool TValueAction<T>::SaveToPrefs(settings::TOrbanoPreferences& prefs) {
  try {
    if (BeforeSave) BeforeSave(value_);
    if (InternalBeforeSave) InternalBeforeSave(value_);
    return writePrefs(prefs, value_);
  } catch (...) {
    return false;
  }
}

template class TValueAction<QString>;
template class TValueAction<int32_t>;
template class TValueAction<bool>;
template class TValueAction<TRect>;

// ---- TWidestringAction -------------------------------------------------------------------------

QString TWidestringAction::GetScriptSyntax() {
  return QStringLiteral("procedure ") + ScriptName + QStringLiteral("(const ") +
         variablesOr(QStringLiteral("aWidestring")) + QStringLiteral(":widestring);");
}

QString TWidestringAction::GetSwitchSyntax() {
  return QStringLiteral("/") + Switch + u'=' +
         (Variables.isEmpty() ? QStringLiteral("aWidestring") : Variables);
}

bool TWidestringAction::RegisterInScript(TOBScript& engine) {
  return declareBound<TWidestringAction>(
      engine, this, GetScriptSyntax(),
      [](TWidestringAction& a, script::HostCall& h) { a.SetValue(h.string(0)); });
}

void TWidestringAction::ApplyText(const QString& text) { SetValue(text); }

QString TWidestringAction::recordedCall(const QString& value) const {
  return ScriptName + u'(' + pascalString(value) + QStringLiteral(");");
}

QString TWidestringAction::readPrefs(settings::TOrbanoPreferences& prefs, const QString& defaultValue) {
  return prefs.ReadString(ScriptName, defaultValue);
}

bool TWidestringAction::writePrefs(settings::TOrbanoPreferences& prefs, const QString& value) {
  return prefs.WriteString(ScriptName, value);
}

// ---- TIntegerAction ----------------------------------------------------------------------------

QString TIntegerAction::GetScriptSyntax() {
  return QStringLiteral("procedure ") + ScriptName + QStringLiteral("(const ") +
         variablesOr(QStringLiteral("aInteger")) + QStringLiteral(":integer);");
}

QString TIntegerAction::GetSwitchSyntax() {
  return QStringLiteral("/") + Switch + u'=' + (Variables.isEmpty() ? QStringLiteral("aInteger") : Variables);
}

bool TIntegerAction::RegisterInScript(TOBScript& engine) {
  return declareBound<TIntegerAction>(
      engine, this, GetScriptSyntax(),
      [](TIntegerAction& a, script::HostCall& h) { a.SetValue(static_cast<int32_t>(h.integer(0))); });
}

void TIntegerAction::ApplyText(const QString& text) {
  bool ok = false;
  const int n = text.trimmed().toInt(&ok, 10);
  SetValue(ok ? n : -1);
}

QString TIntegerAction::recordedCall(const int32_t& value) const {
  return ScriptName + u'(' + QString::number(value) + QStringLiteral(");");
}

int32_t TIntegerAction::readPrefs(settings::TOrbanoPreferences& prefs, const int32_t& defaultValue) {
  return prefs.ReadInteger(ScriptName, defaultValue);
}

bool TIntegerAction::writePrefs(settings::TOrbanoPreferences& prefs, const int32_t& value) {
  return prefs.WriteInteger(ScriptName, value);
}

// ---- TBooleanAction ----------------------------------------------------------------------------

void TBooleanAction::SetValue(const bool& value) {
  if (value == value_) return;
  TValueAction<bool>::SetValue(value);
}

QString TBooleanAction::GetScriptSyntax() {
  return QStringLiteral("procedure ") + ScriptName + QStringLiteral("(const ") +
         variablesOr(QStringLiteral("aBoolean")) + QStringLiteral(":Boolean);");
}

QString TBooleanAction::GetSwitchSyntax() {
  return QStringLiteral("/") + Switch + u'=' + (Variables.isEmpty() ? QStringLiteral("aBoolean") : Variables);
}

bool TBooleanAction::RegisterInScript(TOBScript& engine) {
  return declareBound<TBooleanAction>(
      engine, this, GetScriptSyntax(),
      [](TBooleanAction& a, script::HostCall& h) { a.SetValue(h.boolean(0)); });
}

void TBooleanAction::ApplyText(const QString& text) { SetValue(SwitchTextToBool(text)); }

QString TBooleanAction::recordedCall(const bool& value) const {
  return ScriptName + u'(' + boolText(value) + QStringLiteral(");");
}

bool TBooleanAction::readPrefs(settings::TOrbanoPreferences& prefs, const bool& defaultValue) {
  return prefs.ReadBoolean(ScriptName, defaultValue);
}

bool TBooleanAction::writePrefs(settings::TOrbanoPreferences& prefs, const bool& value) {
  return prefs.WriteBoolean(ScriptName, value);
}

// ---- TRectAction -------------------------------------------------------------------------------

QString TRectAction::GetScriptSyntax() {
  return QStringLiteral("procedure ") + ScriptName + QStringLiteral("(const ") +
         variablesOr(QStringLiteral("left,right,top,bottom")) + QStringLiteral(":integer);");
}

QString TRectAction::GetSwitchSyntax() {
  return QStringLiteral("/") + Switch + u'=' + (Variables.isEmpty() ? QStringLiteral("aRect") : Variables);
}

bool TRectAction::RegisterInScript(TOBScript& engine) {
  return declareBound<TRectAction>(engine, this, GetScriptSyntax(), [](TRectAction& a, script::HostCall& h) {
    if (h.argumentCount() != 4) throw script::HostError(QStringLiteral("Rectangle: 4 entiers attendus"));
    TRect r;
    r.Left = static_cast<int32_t>(h.integer(0));
    r.Right = static_cast<int32_t>(h.integer(1));
    r.Top = static_cast<int32_t>(h.integer(2));
    r.Bottom = static_cast<int32_t>(h.integer(3));
    a.SetValue(r);
  });
}

void TRectAction::ApplyText(const QString& text) {
  const QString t = text.trimmed();
  if (t.size() < 2 || !t.startsWith(u'(') || !t.endsWith(u')')) return;
  const QStringList parts = t.mid(1, t.size() - 2).split(u',');
  if (parts.size() != 4) return;
  int32_t n[4];
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    n[i] = parts[i].trimmed().toInt(&ok, 10);
    if (!ok) n[i] = 0;
  }
  SetValue(TRect{n[0], n[1], n[2], n[3]});
}

QString TRectAction::recordedCall(const TRect& value) const {
  // The declared order: left, right, top, bottom.
  return ScriptName + u'(' + QString::number(value.Left) + u',' + QString::number(value.Right) + u',' +
         QString::number(value.Top) + u',' + QString::number(value.Bottom) + QStringLiteral(");");
}

TRect TRectAction::readPrefs(settings::TOrbanoPreferences& prefs, const TRect& defaultValue) {
  return prefs.ReadRect(ScriptName, defaultValue);
}

bool TRectAction::writePrefs(settings::TOrbanoPreferences& prefs, const TRect& value) {
  return prefs.WriteRect(ScriptName, value);
}

// ---- TCheckAction ------------------------------------------------------------------------------

TCheckAction::TCheckAction(TActionList* list, const QString& internalId)
    : TCustomAbstractAction(list, internalId) {
  setAutoCheck(false);
}

void TCheckAction::setDefaultValue(bool value) {
  defaultValue_ = value;
  setCheckedState(value);
  showState();
}

void TCheckAction::setTrueCaption(const QString& text) {
  trueCaption_ = text;
  if (Checked()) setCaption(text);
}

void TCheckAction::setFalseCaption(const QString& text) {
  falseCaption_ = text;
  if (!Checked()) setCaption(text);
}

void TCheckAction::setTrueImageIndex(int index) {
  trueImage_ = index;
  if (Checked()) setImageIndex(index);
}

void TCheckAction::setFalseImageIndex(int index) {
  falseImage_ = index;
  if (!Checked()) setImageIndex(index);
}

void TCheckAction::setTrueHint(const QString& text) {
  trueHint_ = text;
  if (Checked()) setHint(text);
}

void TCheckAction::setFalseHint(const QString& text) {
  falseHint_ = text;
  if (!Checked()) setHint(text);
}

void TCheckAction::showState() {
  const bool on = Checked();
  setCaption(on ? trueCaption_ : falseCaption_);
  setHint(on ? trueHint_ : falseHint_);
  setImageIndex(on ? trueImage_ : falseImage_);
}

void TCheckAction::SetChecked(bool value) {
  // Stopping a macro must not hold the recorder while it clears it.
  const bool takesPart = InternalId != u"naStopMacro";
  QString line;
  if (takesPart && MacroLines && !MacroNesting && ScriptName != u"Script")
    line = kIndent + QStringLiteral("set") + ScriptName + u'(' + boolText(value) + QStringLiteral(");");
  TMacroStep step(line, takesPart);
  setCheckedState(value);
  Apply();
}

void TCheckAction::Toggle() { SetChecked(!Checked()); }

bool TCheckAction::RegisterInScript(TOBScript& engine) {
  const bool set = declareBound<TCheckAction>(
      engine, this, QStringLiteral("procedure set") + ScriptName + "(const aBoolean:Boolean);",
      [](TCheckAction& a, script::HostCall& h) { a.SetChecked(h.boolean(0)); });
  const bool toggle =
      declareBound<TCheckAction>(engine, this, QStringLiteral("procedure ") + ScriptName + u';',
                                 [](TCheckAction& a, script::HostCall&) { a.Toggle(); });
  return set && toggle;
}

void TCheckAction::PrepareAndApply() {
  if (OnPrepare && !OnPrepare()) return;
  if (InternalPrepare && !InternalPrepare()) return;
  Toggle();
}

QString TCheckAction::GetScriptSyntax() {
  return QStringLiteral("procedure set") + ScriptName + QStringLiteral("(const ") +
         variablesOr(QStringLiteral("fisTrue")) + QStringLiteral(":Boolean);\r\nprocedure ") + ScriptName +
         u';';
}

QString TCheckAction::GetSwitchSyntax() {
  return QStringLiteral("/") + Switch + QStringLiteral(" +") + Switch + QStringLiteral(" -") + Switch;
}

void TCheckAction::ResetAction() {
  TCustomAbstractAction::ResetAction();
  InternalTrueApply = nullptr;
  InternalFalseApply = nullptr;
  InternalPrepare = nullptr;
  InternalDefault = nullptr;
  InternalBeforeSave = nullptr;
}

void TCheckAction::ApplyText(const QString& text) { SetChecked(SwitchTextToBool(text)); }

void TCheckAction::Apply() {
  if (Checked()) {
    if (OnBeforeTrueApply) OnBeforeTrueApply();
    if (InternalTrueApply) InternalTrueApply();
    if (OnAfterTrueApply) OnAfterTrueApply();
  } else {
    if (OnBeforeFalseApply) OnBeforeFalseApply();
    if (InternalFalseApply) InternalFalseApply();
    if (OnAfterFalseApply) OnAfterFalseApply();
  }
  showState();
}

bool TCheckAction::LoadFromPrefs(settings::TOrbanoPreferences& prefs) {
  try {
    if (OnDefault) OnDefault(defaultValue_);
    if (InternalDefault) InternalDefault(defaultValue_);
    setCheckedState(prefs.ReadBoolean(ScriptName, defaultValue_));
    showState();
    if (ApplyWhenLoad) Apply();
    return true;
  } catch (...) {
    return false;
  }
}

bool TCheckAction::SaveToPrefs(settings::TOrbanoPreferences& prefs) {
  try {
    bool value = Checked();
    if (BeforeSave) BeforeSave(value);
    if (InternalBeforeSave) InternalBeforeSave(value);
    return prefs.WriteBoolean(ScriptName, value);
  } catch (...) {
    return false;
  }
}

}  // namespace vistrel::actions
