// Routine calls: argument binding of every shape and width, frames put back after an error unwinds
// nested calls, and operands evaluated in the order they are written.
#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"

using namespace vistrel::script::testing;

namespace {

struct Case {
  const char* name;
  const char* source;
  const char* output;
};

const Case kCases[] = {
    {"ArgumentShapes",
     // Locals, locals plus or minus a constant, constants, globals and general expressions.
     "var g: Integer;\n"
     "function Sum3(a, b, c: Integer): Integer; begin Result := a * 100 + b * 10 + c; end;\n"
     "function Test(n: Integer): Integer;\n"
     "var m: Integer;\n"
     "begin m := n + 1; Result := Sum3(n, m - 1, 3) + Sum3(n + 2, -1, g) + Sum3(m * 2, g + 1, 0); end;\n"
     "begin g := 5; Print(IntToStr(Test(1))); end.",
     "868"},
    {"ArgumentWidths",
     // An argument is converted to the width of its parameter, as an assignment would.
     "function P(b: Byte; s: ShortInt; w: Word; i: Integer; c: Cardinal): string;\n"
     "begin Result := IntToStr(b) + ' ' + IntToStr(s) + ' ' + IntToStr(w) + ' ' + IntToStr(i) + ' ' + "
     "IntToStr(c); end;\n"
     "function W(b: Byte; s: ShortInt): Integer; begin Result := b * 1000 + s; end;\n"
     "function Q(v: Int64): string;\n"
     "begin Result := P(v, v, v + 65300, v + 2147483400, v - 301) + ' ' + IntToStr(W(v, v - 100)); end;\n"
     "begin Print(Q(300)); end.",
     "44 44 64 -2147483596 4294967295 43944"},
    {"Arities",
     "function Z: Integer; begin Result := 7; end;\n"
     "function F4(a, b, c, d: Integer): Integer; begin Result := a + b + c + d; end;\n"
     "function Mixed(a: Integer; x: Double): Double; begin Result := a + x; end;\n"
     "procedure Show(a, b: Integer); begin Print(IntToStr(a - b)); end;\n"
     "var k: Integer;\n"
     "begin Show(Z, 2); Show(F4(1, 2, 3, 4), Z); Print(FloatToStr(Mixed(1, 0.5))); k := 1; Z; F4(k, k, k, "
     "k); "
     "Show(k, k); end.",
     "5|3|1.5|0"},
    {"NestedRecursion",
     // A nested routine reaching its parent's locals from several levels of its own recursion.
     "function Outer(n: Integer): Integer;\n"
     "var total: Integer;\n"
     "  procedure Walk(d: Integer); begin total := total + d; if d > 0 then Walk(d - 1); end;\n"
     "begin total := 0; Walk(n); Result := total; end;\n"
     "begin Print(IntToStr(Outer(10))); Print(IntToStr(Outer(3))); end.",
     "55|6"},
    {"ErrorCaughtAboveRecursion",
     // The frames the error unwound are gone: the handler and the code after it see their own.
     "function Down(n: Integer): Integer;\n"
     "var k: Integer;\n"
     "begin k := n * 2; if n = 0 then Result := 10 div n else Result := Down(n - 1) + k; end;\n"
     "function Up(n: Integer): Integer; begin if n = 0 then Result := 0 else Result := Up(n - 1) + n; end;\n"
     "function Guarded(a, b: Integer): Integer;\n"
     "var x: Integer;\n"
     "begin\n"
     "  x := a + b;\n"
     "  try Result := Down(5); except Result := x; end;\n"
     "  Result := Result * 10 + a;\n"
     "end;\n"
     "var i, s: Integer;\n"
     "begin\n"
     "  s := 0;\n"
     "  for i := 1 to 1000 do s := s + Guarded(i, 1);\n"
     "  Print(IntToStr(Guarded(3, 4)) + ' ' + IntToStr(s) + ' ' + IntToStr(Up(4)));\n"
     "end.",
     "73 5515500 10"},
    {"FinallyAfterRecursion",
     "function Down(n: Integer): Integer;\n"
     "begin if n = 0 then Result := 1 div n else Result := Down(n - 1); end;\n"
     "function F(n: Integer): Integer;\n"
     "var y: Integer;\n"
     "begin y := n + 100; try Result := Down(3); finally Print(IntToStr(y)); end; end;\n"
     "function Text(n: Integer): string;\n"
     "var s: string;\n"
     "begin s := IntToStr(n); try Down(n); except s := s + '!'; end; Result := s; end;\n"
     "begin\n"
     "  try F(1); except Print('caught'); end;\n"
     "  Print(Text(2) + Text(3));\n"
     "end.",
     "101|caught|2!3!"},
    {"LeftOperandFirst",
     "var log: string;\n"
     "function A(v: Integer): Integer; begin log := log + 'a'; Result := v; end;\n"
     "function B(v: Integer): Integer; begin log := log + 'b'; Result := v; end;\n"
     "function R(v: Double): Double; begin log := log + 'r'; Result := v; end;\n"
     "function S(v: string): string; begin log := log + 's'; Result := v; end;\n"
     "var x: Integer; d: Double; ok: Boolean;\n"
     "begin\n"
     "  log := ''; x := A(1) + B(2); x := A(1) * B(2); x := A(8) div B(2); x := A(1) xor B(2); Print(log);\n"
     "  log := ''; ok := A(1) < B(2); ok := B(1) = A(1); ok := S('x') < S('y'); Print(log);\n"
     "  log := ''; d := R(1) - R(2) * A(2); ok := R(1) >= A(1); Print(log);\n"
     "end.",
     "abababab|abbass|rrara"},
    {"RealComparisons",
     "var z, inf, nan: Double;\n"
     "begin z := 0; inf := 1e308; inf := inf * 10; nan := inf - inf;\n"
     "  if nan = nan then Print('equal') else Print('not equal');\n"
     "  if nan <> nan then Print('differs');\n"
     "  if (z < 1.5) and (2 >= 1.5) and not (z > z) then Print('ordered');\n"
     "end.",
     "not equal|differs|ordered"},
};

class CallsTest : public ::testing::TestWithParam<Case> {};

TEST_P(CallsTest, RunsAsExpected) {
  const Case& c = GetParam();
  const ScriptRun r = runScript(QString::fromUtf8(c.source));
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString() << " at line " << r.errorLine;
  ASSERT_TRUE(r.executed) << r.runtimeError.toStdString() << " at line " << r.errorLine;
  EXPECT_EQ(r.output, QString::fromUtf8(c.output));
}

INSTANTIATE_TEST_SUITE_P(Calls, CallsTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

TEST(CallErrorsTest, ErrorAfterCaughtRecursionNamesItsOwnLine) {
  // After a handler, the line of a later error is the line of the statement that raised it.
  const ScriptRun r =
      runScript(QStringLiteral("function Down(n: Integer): Integer;\n"
                               "begin\n"
                               "  if n = 0 then Result := 1 div n else Result := Down(n - 1);\n"
                               "end;\n"
                               "var z: Integer;\n"
                               "begin\n"
                               "  try Down(20); except end;\n"
                               "  z := 0;\n"
                               "  Print(IntToStr(5 div z));\n"
                               "end."));
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString();
  EXPECT_FALSE(r.executed);
  EXPECT_EQ(r.runtimeError, "Division by zero");
  EXPECT_EQ(r.errorLine, 9);
}

}  // namespace
