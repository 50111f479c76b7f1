#pragma once
// Super actions: every command of the main window, with a command-line switch and a script token
// besides what a plain action has, so that one command runs from a button, a key, the command
// line, a command file or the shortcuts window.
//
// Interactive execution (Execute): a toggle re-synchronises first; a disabled action does
// nothing and reports the call as not handled; otherwise ActionProceed is set, ActionArgs
// cleared and the preparation handler called; when it cleared ActionProceed the call ends,
// handled; otherwise an AutoCheck action inverts its checked flag by the plain setter and the
// installed execute handler runs with the action as Sender. The call is handled when a handler
// ran. Exceptions of the handlers pass to the caller.
//
// User-interface thread only.

#include <QString>
#include <QStringList>

#include "actions/ActionList.h"

namespace vistrel::actions {

// The arguments of the action being executed; handlers that take one read entry 0. Valid from
// the moment a handler is entered until it processes events.
inline QStringList ActionArgs;
// A preparation handler clears it to cancel an interactive execution.
inline bool ActionProceed = true;
// Entry 0 of ActionArgs, or empty when there is none.
QString ActionArg0();

class TCustomSuperAction : public TCustomAction {
  Q_OBJECT
 public:
  explicit TCustomSuperAction(TActionList* list = nullptr, const QString& name = {});

  // Both are stored lower-cased.
  const QString& Switch() const { return switch_; }
  void setSwitch(const QString& value) { switch_ = value.toLower(); }
  const QString& Token() const { return token_; }
  void setToken(const QString& value) { token_ = value.toLower(); }

  int imageindex() const { return imageIndex_; }
  // A different value changes the icon, then calls OnImageChanged; the same value does nothing.
  void setimageindex(int index);

  THandler Onprepare;
  std::function<void(const TImageList* images, int index)> OnImageChanged;

  // The state setter that handlers and commands use; the base sets only the checked flag.
  virtual void SetChecked(bool value) { setCheckedState(value); }
  bool Execute() override;

  // The handler an execution runs (for a toggle, the one of the state last set by SetChecked).
  const THandler& ExecuteHandler() const { return handler_; }

 protected:
  void installHandler(THandler handler) { handler_ = std::move(handler); }
  void imagesChanged() override;

 private:
  QString switch_, token_;
  int imageIndex_ = -1;
  THandler handler_;
};

class TSuperAction : public TCustomSuperAction {
  Q_OBJECT
 public:
  using TCustomSuperAction::TCustomSuperAction;
  const THandler& Onexecute() const { return ExecuteHandler(); }
  void setOnexecute(THandler handler) { installHandler(std::move(handler)); }
};

// A two-state action whose caption, hint, image and execute handler follow the state it was last
// set to through SetChecked; an action whose state was never set has no execute handler.
class TtoggleAction : public TCustomSuperAction {
  Q_OBJECT
 public:
  using TCustomSuperAction::TCustomSuperAction;

  QString TrueCaption, FalseCaption, TrueHint, FalseHint;
  int TrueImageIndex = 0;
  int FalseImageIndex = 0;
  THandler OnTrueExecute, OnfalseExecute;

  void SetChecked(bool value) override;
  bool Execute() override;
};

}  // namespace vistrel::actions
