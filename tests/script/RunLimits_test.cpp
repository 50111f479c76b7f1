// Runs that must end: the host's step limit stops any script, and an engine asked to compile or run
// again while it runs (from one of its host routines) refuses instead of freeing the running code.
#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"

using namespace vistrel::script;
using namespace vistrel::script::testing;

namespace {

struct Outcome {
  bool executed;
  QString output;
  QString error;
  int line;
};

Outcome runLimited(const QString& text, qint64 steps) {
  ScriptEngine e;
  QStringList out;
  e.setCompileHook([&](CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Print(const S: string);"),
                     [&](HostCall& call) { out << call.string(0); });
  });
  e.setStepLimit(steps);
  e.setScript(text);
  EXPECT_TRUE(e.compile())
      << (e.messages().isEmpty() ? QString() : e.messages().first().toString()).toStdString();
  const bool ok = e.execute();
  return {ok, out.join(u'|'), e.runtimeErrorText(), e.runtimeErrorLine()};
}

TEST(StepLimitTest, EveryEndlessScriptStops) {
  struct Case {
    const char* name;
    const char* script;
    int line;
  };
  const Case cases[] = {
      {"while", "begin\n  while True do ;\nend.", 2},
      {"repeat", "begin\n  repeat until False;\nend.", 2},
      {"for", "var i: Int64;\nbegin\n  for i := 0 to High(Int64) - 1 do ;\nend.", 3},
      {"recursion",
       "function F(n: Integer): Integer;\nbegin\n  if n < 2 then Result := n else Result := F(n - 1) + F(n - "
       "2);\n"
       "end;\nbegin\n  F(60);\nend.",
       3},
      {"caught and looping again",
       "begin\n  while True do\n    try\n      while True do ;\n    except\n      Print('caught');\n    "
       "end;\nend.",
       4},
      {"looping in finally",
       "begin\n  try\n    while True do ;\n  finally\n    while True do Print('x');\n  end;\nend.", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome o = runLimited(QString::fromUtf8(c.script), 100000);
    EXPECT_FALSE(o.executed);
    EXPECT_EQ(o.error, "Step limit reached");
    EXPECT_EQ(o.line, c.line);
    EXPECT_FALSE(o.output.contains("caught"));
  }
}

TEST(StepLimitTest, ScriptsWithinTheLimitRunAsWithout) {
  const QString script = QStringLiteral(
      "var i, s: Integer;\nbegin\n  s := 0;\n  for i := 1 to 100 do s := s + i;\n"
      "  while s > 5000 do s := s - 1;\n  Print(IntToStr(s));\nend.");
  for (qint64 steps : {qint64(0), qint64(1000), qint64(1) << 40}) {
    const Outcome o = runLimited(script, steps);
    EXPECT_TRUE(o.executed) << steps;
    EXPECT_EQ(o.output, "5000");
  }
  // Each run has the whole budget again.
  ScriptEngine e;
  e.setStepLimit(150);
  e.setScript(QStringLiteral("var i: Integer; begin for i := 1 to 100 do ; end."));
  ASSERT_TRUE(e.compile());
  EXPECT_TRUE(e.execute());
  EXPECT_TRUE(e.execute());
}

TEST(ReentryTest, CompileAndExecuteFromInsideARunAreRefused) {
  ScriptEngine e;
  QStringList log;
  e.setCompileHook([&](CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Print(const S: string);"),
                     [&](HostCall& call) { log << call.string(0); });
    c.declareRoutine(QStringLiteral("procedure Again;"), [&](HostCall&) {
      log << (e.isBusy() ? "busy" : "idle");
      e.setScript(QStringLiteral("begin Print('other'); end."));
      log << (e.compile() ? "compiled" : "compile refused");
      log << (e.execute() ? "ran" : "run refused");
    });
    log << (e.compile() ? "nested compile" : "compile refused in hook");
  });
  e.setScript(QStringLiteral("var s: string; begin s := 'kept'; Again; Print(s); end."));
  ASSERT_TRUE(e.compile());
  EXPECT_TRUE(e.execute());
  EXPECT_FALSE(e.isBusy());
  EXPECT_EQ(log, (QStringList{"compile refused in hook", "busy", "compile refused", "run refused", "kept"}));
  EXPECT_EQ(e.globalValue("s").toString(), "kept");
  // Afterwards the engine takes the new text.
  log.clear();
  ASSERT_TRUE(e.compile());
  EXPECT_TRUE(e.execute());
  EXPECT_EQ(log, (QStringList{"compile refused in hook", "other"}));
}

TEST(ReentryTest, AHostRoutineThrowingAnythingBecomesARuntimeError) {
  ScriptEngine e;
  e.setCompileHook([&](CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Boom;"), [](HostCall&) { throw 42; });
  });
  e.setScript(QStringLiteral("begin\n  Boom;\nend."));
  ASSERT_TRUE(e.compile());
  EXPECT_FALSE(e.execute());
  EXPECT_EQ(e.runtimeErrorText(), "Host routine failed");
  EXPECT_EQ(e.runtimeErrorLine(), 2);
  EXPECT_FALSE(e.isBusy());
}

}  // namespace
