#pragma once
// The script engine component: the script language engine with the program's own routines,
// constants and types declared at every compilation, and a list of readable messages about the
// last compilation or run.
//
// Compiling declares, in this order: the program's routines (findfirst, findnext, findclose,
// showmessage, sleep, processmessages, forcedirectories, changefileext, deletefiletorecyclebin,
// renamefile, extractfilename, extractfilepath, extractfileext), its constants and types, the
// engine's standard graphics declarations, then whatever OnCompile declares. Lists of abstract
// actions attach themselves by keeping the OnCompile they find and installing their own, which
// calls the kept one first and then declares their routines through Compiler().
//
// Scripts run on the user-interface thread, which they hold except inside processmessages. While a
// script runs, a new compilation or run of the same component (started from an event processed by
// processmessages or from a routine) is refused, so the running code is never replaced under it.

#include <QObject>
#include <QStringList>
#include <functional>

#include "actions/OBScriptRoutines.h"
#include "script/ScriptEngine.h"

namespace vistrel::actions {

class TOBScript;
using TOBCompileEvent = std::function<void(TOBScript& sender)>;

class TOBScript : public QObject, private script::ScriptEngine {
  Q_OBJECT
 public:
  // Messages empty, preprocessor on, MacroNesting cleared.
  explicit TOBScript(QObject* parent = nullptr);
  ~TOBScript() override;

  using script::ScriptEngine::preprocessorEnabled;
  using script::ScriptEngine::script;
  using script::ScriptEngine::setDefines;
  using script::ScriptEngine::setIncludeResolver;
  using script::ScriptEngine::setScript;
  using script::ScriptEngine::setStackLimit;

  // Called after the program's own declarations, with this component as sender.
  TOBCompileEvent OnCompile;
  // The declaration interface of the compilation in progress: valid inside OnCompile only,
  // otherwise none.
  script::CompileContext* Compiler() const { return compiler_; }

  // Compiles the script text. Messages: every compiler message as the engine words it ("[Error]
  // (line:column): text"), then "*** Compilation succeeded ***" or "### Compilation Failed".
  // False when it failed, or when refused because a script of this component is running
  // (Messages then stay as they are).
  bool CompileWithMessages();
  // Runs the last compiled code. Messages: "### Compilation non prête" when the last compilation
  // did not succeed (nothing runs), "*** Exécution réussie ***" after a run that ended normally,
  // or "### Erreur pendant l'exécution: " and the run-time error with its line and column. False
  // unless the run ended normally; refused like CompileWithMessages while a script runs.
  bool ExecuteWithMessages();

  const QStringList& Messages() const { return messages_; }
  bool Compiled() const { return compiled_; }
  bool Executing() const { return executing_; }
  // The script's file search (findfirst, findnext, findclose).
  const TOBFileSearch& FileSearch() const { return search_; }

 private:
  void declare(script::CompileContext& c);

  QStringList messages_;
  bool compiled_ = false;
  bool compiling_ = false;
  bool executing_ = false;
  script::CompileContext* compiler_ = nullptr;
  TOBFileSearch search_;
};

}  // namespace vistrel::actions
