#pragma once
// Abstract actions: actions that carry a typed value, keep it in the preferences under their
// script name, declare themselves as routines of the script engine, take their value from a
// command-line switch and write a line into the macro being recorded.
//
// TCustomAbstractAction is the common base; the valued kinds (text, integer, boolean, rectangle,
// none) and the check action are in AbstractActions.h. Every abstract action is a TCustomAction,
// so it lives in an action list, shows in menus and buttons and reacts to its shortcuts; its
// interactive execution is PrepareAndApply. User-interface thread only.

#include <QString>
#include <QStringList>
#include <functional>

#include "actions/ActionList.h"

namespace vistrel::settings {
class TOrbanoPreferences;
}

namespace vistrel::actions {

class TOBScript;

class TCustomAbstractAction : public TCustomAction {
  Q_OBJECT
 public:
  // With a list the action joins it; with a list and an internal id it also gets that id and the
  // category "internal". Image index -1, IncludePrefs true, no comments.
  explicit TCustomAbstractAction(TActionList* list = nullptr, const QString& internalId = {});
  ~TCustomAbstractAction() override;

  // Only such actions take part in loading and saving a list.
  bool IncludePrefs = true;
  // The identity by which an owning component finds the action.
  QString InternalId;
  // The parameter names of the script declaration; empty stands for the kind's default, which
  // GetScriptSyntax then stores here.
  QString Variables;
  // Free text for help pages.
  QStringList Comments;
  // Apply the action right after its value is loaded.
  bool ApplyWhenLoad = false;
  // The routine name in scripts and the key in the preferences.
  QString ScriptName;
  // The command-line name, as written (lookups ignore case).
  QString Switch;

  int ImageIndex() const { return imageIndex_; }
  // A different index changes the icon and, while the action is in a list, calls
  // OnImageChanged with the list's images; the same index does nothing.
  void setImageIndex(int index);
  std::function<void(const TImageList* images, int index)> OnImageChanged;

  // Declares the action's routine(s) to the compilation `engine` is running (inside its
  // OnCompile only); false when there is none or a declaration is refused.
  virtual bool RegisterInScript(TOBScript& engine);
  // The interactive execution: asks the prepare handlers for a value, then applies it.
  virtual void PrepareAndApply();
  // The script declaration, e.g. "procedure Name(const aInteger:integer);".
  virtual QString GetScriptSyntax();
  // The command-line form shown on help pages, e.g. "/name=aInteger".
  virtual QString GetSwitchSyntax();
  // Clears Category, ScriptName, the shortcuts and the internal handlers.
  virtual void ResetAction();
  // Applies a command-line value.
  virtual void ApplyText(const QString& text);
  // Runs the apply handlers with the current value.
  virtual void Apply();
  // Reads the value under ScriptName (applying it when ApplyWhenLoad); false on a store error.
  virtual bool LoadFromPrefs(settings::TOrbanoPreferences& prefs);
  // Writes the value under ScriptName; false when the store keeps nothing or fails.
  virtual bool SaveToPrefs(settings::TOrbanoPreferences& prefs);

  // Runs PrepareAndApply; a disabled action does nothing and reports the call as not handled.
  bool Execute() override;

 protected:
  // The parameter names: Variables, or `fallback` (stored into Variables) when it is empty.
  QString variablesOr(const QString& fallback);
  void imagesChanged() override;
  // Sets the QAction icon from the list's images without notifying.
  void showImage(int index);

 private:
  int imageIndex_ = -1;
};

// Reads a command-line value as a boolean: trimmed and lower-cased, "true", "vrai", "t", "v" or
// a non-zero integer are true; anything else is false.
bool SwitchTextToBool(const QString& text);

}  // namespace vistrel::actions
