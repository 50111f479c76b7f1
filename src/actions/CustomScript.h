#pragma once
// The command processors: they turn command-line arguments and command-file lines into parsed
// commands on a list of super actions and apply them.
//
// Lookup (FindAction): names are compared lower-cased with the switches and tokens of the list's
// super actions, first match in list order; the empty name gives DefaultAction; the name "quit"
// finds nothing and sets the quit request, which is never reset and closes the main window at
// the end of every later run that applies at least one command.
//
// Applying (ExecuteCommands): for each command, in order, pending events are processed, a
// disabled action is skipped, ActionArgs becomes the command's value alone, the mode presets the
// state (+ SetChecked(false), - SetChecked(true), / SetChecked(Checked), bare nothing), the
// installed execute handler runs with the processor as Sender (no preparation), an AutoCheck
// action then takes the inverse state through SetChecked, and events are processed again. An
// exception of a handler ends the list (it is logged, not passed on). Then the main window is
// closed when quit was requested. Each run applies its own list: events processed in between may
// start another run (even on the same processor) without disturbing it. User-interface thread.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "actions/SuperList.h"

namespace vistrel::actions {

class TCustomScript : public QObject {
  Q_OBJECT
 public:
  TCustomScript(TActionList* actionlist, QWidget* mainWindow, QObject* parent = nullptr);

  TActionList* actionlist() const { return actionlist_; }
  void setactionlist(TActionList* list) { actionlist_ = list; }
  TCustomSuperAction* DefaultAction() const { return defaultAction_; }
  void setDefaultAction(TCustomSuperAction* action) { defaultAction_ = action; }
  // The window closed on a quit request.
  QWidget* MainWindow() const { return mainWindow_; }
  void setMainWindow(QWidget* window) { mainWindow_ = window; }

  bool Executing() const { return executing_ > 0; }
  bool QuitRequested() const { return quit_; }
  // Index, in its list, of the command being applied (-1 when none).
  int CurrentIndex() const { return index_; }

  // The commands parsed and not yet applied.
  const TSuperList& Commands() const { return commands_; }
  void ClearCommands() { commands_.clear(); }

  TCustomSuperAction* FindAction(const QString& name);

  // A command-line argument: "+", "-" or "/" then name, optionally "=" and a value; anything else
  // is a value for DefaultAction. True when a command was appended.
  bool ParseArgument(const QString& argument);
  // A command-file line: optional "+", "-" or "/", a name up to the first "=" or blank, then a
  // value (first word, double quotes group blanks). "true", "false" or "toggle" as the value of a
  // bare toggle command set the mode. True when a command was appended.
  bool ParseLine(const QString& line);
  // Parses every line of a command file (UTF-16 or UTF-8 by byte-order mark, else UTF-8 or
  // Windows-1252 line by line); false, with nothing parsed, when the path is no regular file or
  // cannot be read. Lines longer than kMaxLineBytes are dropped.
  bool ReadCommandFile(const QString& path);
  static constexpr qsizetype kMaxLineBytes = 1 << 20;

  // Applies the parsed commands and empties the list.
  void ExecuteCommands();

 protected:
  TSuperList& commandList() { return commands_; }
  // A run: Executing from begin to end; the end closes the main window on a quit request.
  void beginRun();
  void endRun();
  // False when a handler raised an exception (the rest of the list is not applied).
  bool applyItems(const TSuperList& list);

 private:
  QPointer<TActionList> actionlist_;
  QPointer<TCustomSuperAction> defaultAction_;
  QPointer<QWidget> mainWindow_;
  TSuperList commands_;
  int executing_ = 0;
  bool quit_ = false;
  int index_ = -1;
};

// The command-file processor (the main window's Script1).
class TScript : public TCustomScript {
  Q_OBJECT
 public:
  using TCustomScript::TCustomScript;
  // Runs a command file: nothing when no regular file exists at the path; otherwise the list is
  // rebuilt from the file, applied and emptied.
  void RunCommandFile(const QString& path);
};

// The command-line processor (the main window's Switch1). It interprets the command line once, at
// the application's first activation (Qt::ApplicationActive) or at the first call of AppActivate,
// whichever comes first, and never again.
class TSwitch : public TCustomScript {
  Q_OBJECT
 public:
  // The arguments default to the process's, without the program name.
  TSwitch(TActionList* actionlist, QWidget* mainWindow, QObject* parent = nullptr);

  void setArguments(const QStringList& arguments) { arguments_ = arguments; }
  const QStringList& Arguments() const { return arguments_; }

  // Called first at the activation.
  THandler OnActivate;
  // Called (Sender none) when the command line yields no command.
  THandler OnNoCommandLine;

  // The first activation: calls OnActivate, parses every argument, applies the commands or calls
  // OnNoCommandLine, empties the list. Later calls do nothing.
  void AppActivate();
  // Not yet interpreted.
  bool Armed() const { return armed_; }

 private:
  QStringList arguments_;
  bool armed_ = true;
  QMetaObject::Connection activation_;
};

}  // namespace vistrel::actions
