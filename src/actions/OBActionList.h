#pragma once
// Lists of abstract actions: loading and saving their values through the preferences component,
// attaching them to a script engine (their actions become script routines) and to a command-line
// processor (their actions answer to their switches), and the base of the components that build
// their own actions.
//
// User-interface thread only.

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <utility>

#include "actions/AbstractAction.h"
#include "actions/OBScript.h"
#include "actions/SuperList.h"

namespace vistrel::settings {
class TOrbanoPreferences;
}

namespace vistrel::actions {

using TListLoadEvent = std::function<bool(settings::TOrbanoPreferences& gp)>;
using TListSaveEvent = std::function<bool(settings::TOrbanoPreferences& gp)>;

class TCustomOBActionList : public TActionList {
  Q_OBJECT
 public:
  explicit TCustomOBActionList(QObject* parent = nullptr);
  ~TCustomOBActionList() override;

  // Called after the actions have loaded or saved; false makes the pass report false.
  TListLoadEvent OnLoadFromPrefs;
  TListSaveEvent OnSaveToPrefs;

  // Every abstract action with IncludePrefs, in list order, then the list's event. True when
  // all of them succeeded; a failure does not stop the others, an exception ends the pass with
  // the result so far.
  bool LoadFromPrefs(settings::TOrbanoPreferences& prefs);
  bool SaveToPrefs(settings::TOrbanoPreferences& prefs);

  // The first abstract action whose InternalId equals `id` exactly, or none.
  TCustomAbstractAction* FindByInternalId(const QString& id) const;
  template <class T>
  T* FindByInternalId(const QString& id) const {
    return qobject_cast<T*>(FindByInternalId(id));
  }
  // The first abstract action whose Switch equals `name` ignoring case (empty names included),
  // or none.
  TCustomAbstractAction* FindBySwitch(const QString& name) const;
  // The abstract actions of the list, in list order.
  QList<TCustomAbstractAction*> AbstractActions() const;
};

// The switch registry of a command-line processor over abstract actions: which action answers
// to which switch text, and how a parsed command applies to its action. The processor itself
// (reading the command line, the default action, quit) derives from it.
class TOBSwitchRegistry : public QObject {
  Q_OBJECT
 public:
  explicit TOBSwitchRegistry(QObject* parent = nullptr);
  ~TOBSwitchRegistry() override;

  // Registers every abstract action of the list under its Switch text (empty ones included).
  void RegisterActions(TCustomOBActionList& list);
  // Removes the list's actions.
  void UnregisterActions(TCustomOBActionList& list);

  int RegisteredCount() const;
  // The action registered under `name`, ignoring case; none when the registry is empty or no
  // action has that text. Actions destroyed since their registration are never found.
  TCustomAbstractAction* FindRegistered(const QString& name) const;

  // Applies one parsed command: a check action is set checked for smPlus, unchecked for
  // smMinus, inverted for smSlash and left alone for smBare; any other abstract action gets
  // `value` through ApplyText whatever the mode.
  static void ApplyCommand(TCustomAbstractAction& action, TSwitchMode mode, const QString& value);

 private:
  QList<std::pair<QString, QPointer<TCustomAbstractAction>>> registry_;
};

class TOBActionList : public TCustomOBActionList {
  Q_OBJECT
 public:
  explicit TOBActionList(QObject* parent = nullptr);
  ~TOBActionList() override;

  // The script engine this list declares its routines to. Attaching keeps the engine's compile
  // handler and installs one that runs it first, then RegisterInScript of every abstract action
  // in list order; none gives the kept handler back.
  TOBScript* PascalScript() const { return script_; }
  void setPascalScript(TOBScript* engine);

  // The command-line processor the list's actions are registered with. The same processor again
  // does nothing; otherwise the actions leave the previous one and join the new one.
  TOBSwitchRegistry* Switch() const { return switch_; }
  void setSwitch(TOBSwitchRegistry* processor);

  // The state of one attachment to an engine, shared with the compile handler installed there.
  struct Attachment;

 private:
  void detachScript();
  QPointer<TOBScript> script_;
  std::shared_ptr<Attachment> attachment_;
  QPointer<TOBSwitchRegistry> switch_;
};

// A list that builds and finds its own actions (the application manager derives from it). Its
// hidden message window, Handle(), receives events posted to the component and hands them to
// WndProc.
class TOBActionComponent : public TCustomOBActionList {
  Q_OBJECT
 public:
  explicit TOBActionComponent(QObject* parent = nullptr);
  ~TOBActionComponent() override;

  // Where to post messages for this component.
  QObject* Handle() const { return handle_; }

  // The component is being set up from scratch: CreateActions, InitActions,
  // AssignInternalHandlers.
  void Created();
  // Its actions have been restored from a definition: FindActions, AssignInternalHandlers.
  void Loaded();

  // The message window's events; true when handled. The base handles nothing.
  virtual bool WndProc(QEvent* message);
  virtual void AssignInternalHandlers() {}
  virtual void CreateActions() {}
  virtual void FindActions() {}
  virtual void InitActions() {}

 private:
  QObject* handle_ = nullptr;
};

}  // namespace vistrel::actions
