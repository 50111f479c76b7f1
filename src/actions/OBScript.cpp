#include "actions/OBScript.h"

#include "actions/MacroRecorder.h"

namespace vistrel::actions {

TOBScript::TOBScript(QObject* parent) : QObject(parent) {
  // The engine keeps no debug information, so there is nothing to switch off.
  setPreprocessorEnabled(true);
  setCompileHook([this](script::CompileContext& c) { declare(c); });
  MacroNesting = false;
}

TOBScript::~TOBScript() = default;

void TOBScript::declare(script::CompileContext& c) {
  declareProgramRoutines(c, search_);
  if (!OnCompile) return;
  compiler_ = &c;
  struct Reset {
    script::CompileContext*& p;
    ~Reset() { p = nullptr; }
  } reset{compiler_};
  const TOBCompileEvent handler = OnCompile;  // a handler may replace itself
  handler(*this);
}

bool TOBScript::CompileWithMessages() {
  if (compiling_ || executing_) return false;
  compiling_ = true;
  setPreprocessorEnabled(true);
  messages_.clear();
  bool ok = false;
  try {
    ok = compile();
  } catch (...) {
    // A failing OnCompile handler fails the compilation, not the caller.
    compiling_ = false;
    compiled_ = false;
    for (const script::CompilerMessage& m : messages()) messages_ << m.toString();
    messages_ << QStringLiteral("### Compilation Failed");
    return false;
  }
  compiling_ = false;
  compiled_ = ok;
  for (const script::CompilerMessage& m : messages()) messages_ << m.toString();
  messages_ << (ok ? QStringLiteral("*** Compilation succeeded ***")
                   : QStringLiteral("### Compilation Failed"));
  return ok;
}

bool TOBScript::ExecuteWithMessages() {
  if (compiling_ || executing_) return false;
  messages_.clear();
  if (!compiled_) {
    messages_ << QStringLiteral("### Compilation non prête");
    return false;
  }
  bool ok = false;
  executing_ = true;
  try {
    ok = execute();
  } catch (...) {
    executing_ = false;
    throw;
  }
  executing_ = false;
  if (ok)
    messages_ << QStringLiteral("*** Exécution réussie ***");
  else
    messages_ << QStringLiteral("### Erreur pendant l'exécution: ") + runtimeErrorMessage();
  return ok;
}

}  // namespace vistrel::actions
