#pragma once
// The application manager's command-line processor: like the main window's TSwitch, but the
// names it knows are the switches of abstract actions registered with it (see
// TOBSwitchRegistry), and a command sets a check action's state or gives any other action its
// value as text.
//
// Lookup (FindAction): an empty registry finds nothing; the name is lower-cased; the empty name
// gives DefaultAction; "quit" finds nothing and sets the quit request (never reset); a name that
// is not registered gives DefaultAction.
//
// Applying (ExecuteCommands): for each command, pending events are processed, a disabled or
// destroyed action is skipped, the command is applied, and events are processed again; an
// exception of a handler ends the list (logged, not passed on). At the end, also after an
// exception, the main window is closed when quit was requested. User-interface thread.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <vector>

#include "actions/OBActionList.h"

namespace vistrel::actions {

struct TOBActionEx {
  QPointer<TCustomAbstractAction> Action;
  TSwitchMode Mode = TSwitchMode::smBare;
  QString Value;
};

class TOBSwitch : public TOBSwitchRegistry {
  Q_OBJECT
 public:
  // The arguments default to the process's, without the program name. The processor interprets
  // them once, at the application's first activation or at the first AppActivate call.
  explicit TOBSwitch(QWidget* mainWindow = nullptr, QObject* parent = nullptr);

  TCustomAbstractAction* DefaultAction() const { return defaultAction_; }
  void setDefaultAction(TCustomAbstractAction* action) { defaultAction_ = action; }
  QWidget* MainWindow() const { return mainWindow_; }
  void setMainWindow(QWidget* window) { mainWindow_ = window; }
  void setArguments(const QStringList& arguments) { arguments_ = arguments; }
  const QStringList& Arguments() const { return arguments_; }

  bool Executing() const { return executing_ > 0; }
  bool QuitRequested() const { return quit_; }
  bool Armed() const { return armed_; }

  // Called first at the activation.
  std::function<void(QObject* sender)> OnActivate;
  // Called (Sender none) when the command line yields no command.
  std::function<void(QObject* sender)> OnNoCommandLine;

  TCustomAbstractAction* FindAction(const QString& name);
  // "+", "-" or "/" then a name, optionally "=" and a value; anything else is a value for
  // DefaultAction. True when a command was appended.
  bool ParseArgument(const QString& argument);
  const std::vector<TOBActionEx>& Commands() const { return commands_; }
  void ClearCommands() { commands_.clear(); }
  // Applies the parsed commands and empties the list.
  void ExecuteCommands();

  // The first activation: OnActivate, every argument parsed, the commands applied or
  // OnNoCommandLine called, the list emptied. Later calls do nothing.
  void AppActivate();

 private:
  QPointer<TCustomAbstractAction> defaultAction_;
  QPointer<QWidget> mainWindow_;
  QStringList arguments_;
  std::vector<TOBActionEx> commands_;
  int executing_ = 0;
  bool quit_ = false;
  bool armed_ = true;
  QMetaObject::Connection activation_;
};

}  // namespace vistrel::actions
