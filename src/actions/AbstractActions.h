#pragma once
// The kinds of abstract action: without value (TNopeAction), with a text, an integer, a boolean
// or a rectangle (TWidestringAction, TIntegerAction, TBooleanAction, TRectAction), and the check
// action whose value is its checked state (TCheckAction).
//
// Each kind has published events (On..., BeforeSave) for the program's windows and internal
// handlers (Internal...) set by the component that owns the action. Prepare-shaped handlers
// return whether to go on; for OnDefault and BeforeSave the result is ignored and only the value
// they leave counts.
//
// Macro recording: while MacroLines is set and MacroNesting clear, applying an action through
// SetValue, SetChecked or a TNopeAction's Apply appends its script line, and MacroNesting stays
// set while its handlers run, so that actions they apply record nothing. User-interface thread
// only.

#include <QString>
#include <cstdint>
#include <functional>

#include "actions/AbstractAction.h"
#include "settings/SavePreferences.h"

namespace vistrel::actions {

using TRect = settings::TRect;

using TPrepareNopeEvent = std::function<bool()>;
using TApplyNopeEvent = std::function<void()>;
using TPrepareWideStringEvent = std::function<bool(QString& awidestring)>;
using TApplyWideStringEvent = std::function<void(const QString& awidestring)>;
using TPrepareIntegerEvent = std::function<bool(int32_t& ainteger)>;
using TApplyIntegerEvent = std::function<void(const int32_t& ainteger)>;
using TPrepareBooleanEvent = std::function<bool(bool& aBoolean)>;
using TApplyBooleanEvent = std::function<void(const bool& aBoolean)>;
using TPrepareRectEvent = std::function<bool(TRect& aRect)>;
using TApplyRectEvent = std::function<void(const TRect& aRect)>;

// The base of the kinds that keep their checked state apart from their value.
class TAbstractAction : public TCustomAbstractAction {
  Q_OBJECT
 public:
  using TCustomAbstractAction::TCustomAbstractAction;
};

class TNopeAction : public TAbstractAction {
  Q_OBJECT
 public:
  using TAbstractAction::TAbstractAction;

  TPrepareNopeEvent OnPrepare;
  TApplyNopeEvent OnBeforeApply, OnAfterApply;
  TPrepareNopeEvent BeforeSave;
  TPrepareNopeEvent InternalPrepare;
  TApplyNopeEvent InternalApply;
  TPrepareNopeEvent InternalBeforeSave;

  // "procedure " + ScriptName + ";", bound to Apply; nothing is declared without a ScriptName.
  bool RegisterInScript(TOBScript& engine) override;
  void PrepareAndApply() override;
  QString GetScriptSyntax() override;
  QString GetSwitchSyntax() override;
  void ResetAction() override;
  // The text is ignored.
  void ApplyText(const QString& text) override;
  // Records "    " + ScriptName + ";" (with a ScriptName), then OnBeforeApply, InternalApply,
  // OnAfterApply.
  void Apply() override;
  // Reads nothing; applies when ApplyWhenLoad.
  bool LoadFromPrefs(settings::TOrbanoPreferences& prefs) override;
  // Runs BeforeSave and InternalBeforeSave; writes nothing.
  bool SaveToPrefs(settings::TOrbanoPreferences& prefs) override;
};

// The common part of the kinds with a value of type T.
template <class T>
class TValueAction : public TAbstractAction {
 public:
  using TPrepareEvent = std::function<bool(T&)>;
  using TApplyEvent = std::function<void(const T&)>;

  using TAbstractAction::TAbstractAction;

  // The value a load gives when the store has none; OnDefault and InternalDefault may change it
  // first.
  T DefaultValue{};

  TPrepareEvent OnPrepare, OnDefault, BeforeSave;
  TApplyEvent OnBeforeApply, OnAfterApply;
  TPrepareEvent InternalPrepare, InternalDefault, InternalBeforeSave;
  TApplyEvent InternalApply;

  const T& Value() const { return value_; }
  // Records the script line, sets the value and applies it.
  virtual void SetValue(const T& value);

  // Without any prepare handler nothing happens; otherwise a fresh value goes through OnPrepare
  // then InternalPrepare, and SetValue follows when every assigned one returned true.
  void PrepareAndApply() override;
  void ResetAction() override;
  // OnBeforeApply, InternalApply, OnAfterApply with the current value.
  void Apply() override;
  bool LoadFromPrefs(settings::TOrbanoPreferences& prefs) override;
  bool SaveToPrefs(settings::TOrbanoPreferences& prefs) override;

 protected:
  // The line recorded for SetValue(value), without the leading blanks.
  virtual QString recordedCall(const T& value) const = 0;
  virtual T readPrefs(settings::TOrbanoPreferences& prefs, const T& defaultValue) = 0;
  virtual bool writePrefs(settings::TOrbanoPreferences& prefs, const T& value) = 0;
  // Sets the value and applies it, recording `line` (none when empty).
  void assignAndApply(const T& value, const QString& line);

  T value_{};
};

class TWidestringAction : public TValueAction<QString> {
  Q_OBJECT
 public:
  using TValueAction<QString>::TValueAction;

  // "procedure " + ScriptName + "(const " + Variables + ":widestring);", default aWidestring.
  QString GetScriptSyntax() override;
  QString GetSwitchSyntax() override;
  bool RegisterInScript(TOBScript& engine) override;
  void ApplyText(const QString& text) override;

 protected:
  // A quote inside the text is doubled so that the recorded call compiles and replays the text.
  QString recordedCall(const QString& value) const override;
  QString readPrefs(settings::TOrbanoPreferences& prefs, const QString& defaultValue) override;
  bool writePrefs(settings::TOrbanoPreferences& prefs, const QString& value) override;
};

class TIntegerAction : public TValueAction<int32_t> {
  Q_OBJECT
 public:
  using TValueAction<int32_t>::TValueAction;

  // "procedure " + ScriptName + "(const " + Variables + ":integer);", default aInteger.
  QString GetScriptSyntax() override;
  QString GetSwitchSyntax() override;
  bool RegisterInScript(TOBScript& engine) override;
  // A decimal integer; -1 for any other text.
  void ApplyText(const QString& text) override;

 protected:
  QString recordedCall(const int32_t& value) const override;
  int32_t readPrefs(settings::TOrbanoPreferences& prefs, const int32_t& defaultValue) override;
  bool writePrefs(settings::TOrbanoPreferences& prefs, const int32_t& value) override;
};

class TBooleanAction : public TValueAction<bool> {
  Q_OBJECT
 public:
  using TValueAction<bool>::TValueAction;

  // Only a value that differs from the current one is recorded, set and applied.
  void SetValue(const bool& value) override;
  // "procedure " + ScriptName + "(const " + Variables + ":Boolean);", default aBoolean.
  QString GetScriptSyntax() override;
  QString GetSwitchSyntax() override;
  bool RegisterInScript(TOBScript& engine) override;
  // SwitchTextToBool.
  void ApplyText(const QString& text) override;

 protected:
  QString recordedCall(const bool& value) const override;
  bool readPrefs(settings::TOrbanoPreferences& prefs, const bool& defaultValue) override;
  bool writePrefs(settings::TOrbanoPreferences& prefs, const bool& value) override;
};

class TRectAction : public TValueAction<TRect> {
  Q_OBJECT
 public:
  using TValueAction<TRect>::TValueAction;

  // "procedure " + ScriptName + "(const " + Variables + ":integer);", default
  // left,right,top,bottom: the routine takes left, right, top, bottom in that order, and the
  // recorded call lists them in the same order, so that replaying it restores the rectangle.
  QString GetScriptSyntax() override;
  QString GetSwitchSyntax() override;
  bool RegisterInScript(TOBScript& engine) override;
  // "(left, top, right, bottom)" with blanks allowed; a number that does not read counts as 0;
  // text of any other form is ignored.
  void ApplyText(const QString& text) override;

 protected:
  QString recordedCall(const TRect& value) const override;
  TRect readPrefs(settings::TOrbanoPreferences& prefs, const TRect& defaultValue) override;
  bool writePrefs(settings::TOrbanoPreferences& prefs, const TRect& value) override;
};

// A two-state action whose value is its checked state; caption, hint and image follow the state.
class TCheckAction : public TCustomAbstractAction {
  Q_OBJECT
 public:
  // AutoCheck off, both image indexes -1.
  explicit TCheckAction(TActionList* list = nullptr, const QString& internalId = {});

  bool DefaultValue() const { return defaultValue_; }
  // Also sets Checked and shows the texts and image of that state (without applying).
  void setDefaultValue(bool value);

  const QString& TrueCaption() const { return trueCaption_; }
  void setTrueCaption(const QString& text);
  const QString& FalseCaption() const { return falseCaption_; }
  void setFalseCaption(const QString& text);
  int TrueImageIndex() const { return trueImage_; }
  void setTrueImageIndex(int index);
  int FalseImageIndex() const { return falseImage_; }
  void setFalseImageIndex(int index);
  const QString& TrueHint() const { return trueHint_; }
  void setTrueHint(const QString& text);
  const QString& FalseHint() const { return falseHint_; }
  void setFalseHint(const QString& text);

  TApplyNopeEvent InternalTrueApply, InternalFalseApply;
  TPrepareNopeEvent InternalPrepare;
  TPrepareBooleanEvent InternalDefault, InternalBeforeSave;
  TApplyNopeEvent OnBeforeTrueApply, OnBeforeFalseApply, OnAfterTrueApply, OnAfterFalseApply;
  TPrepareNopeEvent OnPrepare;
  TPrepareBooleanEvent OnDefault, BeforeSave;

  // Records "    set" + ScriptName + "(True|False);" (nothing for the ScriptName "Script"; the
  // action with InternalId "naStopMacro" neither records nor blocks recording), sets Checked and
  // applies, also when the state does not change.
  virtual void SetChecked(bool value);
  // SetChecked(not Checked).
  void Toggle();

  // "procedure set" + ScriptName + "(const aBoolean:Boolean);" bound to SetChecked and
  // "procedure " + ScriptName + ";" bound to Toggle; true only when both are declared.
  bool RegisterInScript(TOBScript& engine) override;
  // Toggles when every assigned prepare handler returns true.
  void PrepareAndApply() override;
  // "procedure set" + ScriptName + "(const " + Variables + ":Boolean);" CR LF
  // "procedure " + ScriptName + ";", default fisTrue.
  QString GetScriptSyntax() override;
  QString GetSwitchSyntax() override;
  void ResetAction() override;
  // SwitchTextToBool, then SetChecked.
  void ApplyText(const QString& text) override;
  // The true or the false handlers, then the caption, hint and image of the current state.
  void Apply() override;
  bool LoadFromPrefs(settings::TOrbanoPreferences& prefs) override;
  bool SaveToPrefs(settings::TOrbanoPreferences& prefs) override;

 private:
  void showState();

  bool defaultValue_ = false;
  QString trueCaption_, falseCaption_, trueHint_, falseHint_;
  int trueImage_ = -1;
  int falseImage_ = -1;
};

extern template class TValueAction<QString>;
extern template class TValueAction<int32_t>;
extern template class TValueAction<bool>;
extern template class TValueAction<TRect>;

}  // namespace vistrel::actions
