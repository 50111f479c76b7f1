// Helpers shared by the script tests: an engine with a test-local output routine.
#pragma once

#include <QStringList>

#include "script/ScriptEngine.h"

#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vistrel::script::testing {

struct ScriptRun {
  bool compiled = false;
  bool executed = false;
  QString output;  // what Print wrote, lines joined by '|'
  QString compileError;
  QString runtimeError;
  int errorLine = 0;
  int errorColumn = 0;
};

// Compiles and runs text with "procedure Print(const S: string);" declared by the host.
inline ScriptRun runScript(const QString& text, const CompileHook& extra = {}) {
  ScriptEngine e;
  QStringList out;
  e.setCompileHook([&](CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Print(const S: string);"),
                     [&](HostCall& call) { out << call.string(0); });
    if (extra) extra(c);
  });
  e.setScript(text);
  ScriptRun r;
  r.compiled = e.compile();
  if (!r.compiled) {
    if (!e.messages().isEmpty()) {
      r.compileError = e.messages().first().text;
      r.errorLine = e.messages().first().line;
      r.errorColumn = e.messages().first().column;
    }
    return r;
  }
  r.executed = e.execute();
  if (!r.executed) {
    r.runtimeError = e.runtimeErrorText();
    r.errorLine = e.runtimeErrorLine();
  }
  r.output = out.join(u'|');
  return r;
}

}  // namespace vistrel::script::testing
