// Hostile and random input: every text compiles to a result (usually errors) without crashing,
// in bounded time and memory.
#include <gtest/gtest.h>

#include <random>

#include "script/ScriptTestSupport.h"

using namespace vistrel::script;
using namespace vistrel::script::testing;

namespace {

bool compiles(const QString& text, QString* error = nullptr) {
  ScriptEngine e;
  e.setPreprocessorEnabled(true);
  e.setIncludeResolver([](const QString&) -> std::optional<QString> { return std::nullopt; });
  e.setScript(text);
  const bool ok = e.compile();
  if (!ok) {
    EXPECT_FALSE(e.messages().isEmpty());
  }
  if (error && !ok) *error = e.messages().value(0).text;
  return ok;
}

TEST(BadInputTest, DeeplyNestedParenthesesAreRejected) {
  const int depth = 5 * 1024 * 1024;  // 10 MB of parentheses
  QString text = QStringLiteral("var i: Integer; begin i := ");
  text += QString(depth, u'(');
  text += u'1';
  text += QString(depth, u')');
  text += QStringLiteral("; end.");
  QString error;
  EXPECT_FALSE(compiles(text, &error));
  EXPECT_EQ(error, QStringLiteral("Program too deeply nested"));
}

TEST(BadInputTest, DeepStatementsAndTypesAreRejected) {
  QString blocks = QStringLiteral("begin ");
  for (int k = 0; k < 100000; ++k) blocks += QStringLiteral("begin ");
  EXPECT_FALSE(compiles(blocks));
  QString ifs = QStringLiteral("begin ");
  for (int k = 0; k < 100000; ++k) ifs += QStringLiteral("if True then ");
  EXPECT_FALSE(compiles(ifs + QStringLiteral("; end.")));
  QString types = QStringLiteral("type T = ");
  for (int k = 0; k < 100000; ++k) types += QStringLiteral("array of ");
  EXPECT_FALSE(compiles(types + QStringLiteral("Integer; begin end.")));
  QString nots = QStringLiteral("var b: Boolean; begin b := ");
  for (int k = 0; k < 100000; ++k) nots += QStringLiteral("not ");
  EXPECT_FALSE(compiles(nots + QStringLiteral("True; end.")));
}

TEST(BadInputTest, LongFlatExpressionsAreBoundedToo) {
  // A left-leaning chain needs no parser recursion but would nest the compiled code deeply.
  QString text = QStringLiteral("var i: Integer; begin i := 0");
  for (int k = 0; k < 200000; ++k) text += QStringLiteral(" + i");
  text += QStringLiteral("; end.");
  QString error;
  EXPECT_FALSE(compiles(text, &error));
  EXPECT_EQ(error, QStringLiteral("Expression too complex"));
  // A long but reasonable one compiles and runs.
  QString ok = QStringLiteral("var i: Integer; begin i := 1");
  for (int k = 0; k < 1000; ++k) ok += QStringLiteral(" + 1");
  ok += QStringLiteral("; Print(IntToStr(i)); end.");
  const ScriptRun r = runScript(ok);
  EXPECT_EQ(r.output, QStringLiteral("1001"));
}

TEST(BadInputTest, LargeProgramsCompileAndHugeOnesAreRefused) {
  auto program = [](int lines) {
    QString text = QStringLiteral("var i: Integer;\nbegin\n");
    for (int k = 0; k < lines; ++k) text += QStringLiteral("i := i + 1;\n");
    return text + QStringLiteral("end.");
  };
  ScriptEngine e;
  e.setScript(program(100000));
  ASSERT_TRUE(e.compile());
  ASSERT_TRUE(e.execute());
  EXPECT_EQ(e.globalValue(QStringLiteral("i")).toInt(), 100000);
  e.setScript(program(1000000));
  ASSERT_FALSE(e.compile());
  EXPECT_EQ(e.messages().value(0).text, QStringLiteral("Program too large"));
  // A million lines of nonsense stop at the first error.
  QString junk;
  for (int k = 0; k < 1000000; ++k) junk += QStringLiteral("x y z\n");
  e.setScript(junk);
  ASSERT_FALSE(e.compile());
  EXPECT_EQ(e.messages().value(0).line, 1);
}

TEST(BadInputTest, UnterminatedConstructsAreErrors) {
  const char* const cases[] = {"begin Print('abc", "begin { comment",
                               "begin (* comment", "begin // only",
                               "begin Print(#",    "'",
                               "begin x := $",     "var",
                               "function",         "begin case 1 of",
                               "begin try",        "type T = record",
                               "type T = (",       "begin end",
                               "\x01\x02\x03"};
  for (const char* c : cases) EXPECT_FALSE(compiles(QString::fromLatin1(c))) << c;
}

// Random texts: bytes, and shuffled fragments of the language so that the parser goes deep.
TEST(BadInputTest, RandomTextsNeverCrash) {
  std::mt19937 rng(12345);
  const char* const fragments[] = {
      "begin",     "end",        ";",        ".",       "(",           ")",      "[",         "]",
      ":=",        "if",         "then",     "else",    "while",       "do",     "for",       "to",
      "downto",    "repeat",     "until",    "case",    "of",          "var",    "const",     "type",
      "procedure", "function",   "x",        "y",       "Integer",     "string", "array",     "record",
      "set",       "1",          "2.5",      "'s'",     "#65",         "+",      "-",         "*",
      "/",         "div",        "mod",      "and",     "or",          "not",    "=",         "<",
      ">",         "..",         ",",        ":",       "try",         "except", "finally",   "raise",
      "with",      "Print",      "IntToStr", "Exit",    "Break",       "Length", "SetLength", "Inc",
      "nil",       "{$IFDEF A}", "{$ENDIF}", "{$ELSE}", "{$DEFINE A}", "{",      "}",         "(*",
      "*)",        "forward",    "out",      "Result",  "Exception",   "Create", "Format",    "@",
      "^",         "$FF",        "in",       "shl",     "Ord",         "High"};
  for (int round = 0; round < 3000; ++round) {
    QString text;
    const int n = int(rng() % 200);
    if (round % 3 == 0) {
      for (int k = 0; k < n * 4; ++k) text += QChar(char16_t(rng() % 128));
    } else {
      if (round % 3 == 1) text += QStringLiteral("var x, y: Integer; s: string; begin ");
      for (int k = 0; k < n; ++k) {
        text += QLatin1String(fragments[rng() % std::size(fragments)]);
        text += u' ';
      }
    }
    ScriptEngine e;
    e.setPreprocessorEnabled(true);
    e.setCompileHook([](CompileContext& c) {
      c.declareRoutine(QStringLiteral("procedure Print(const S: string);"), [](HostCall&) {});
    });
    e.setScript(text);
    if (e.compile()) {
      e.setStackLimit(256 * 1024);
      // Programs that compile may loop forever; only those without loops are run.
      if (!text.contains(QLatin1String("while")) && !text.contains(QLatin1String("repeat")) &&
          !text.contains(QLatin1String("for")) && !text.contains(QLatin1String("procedure")) &&
          !text.contains(QLatin1String("function")))
        e.execute();
    } else {
      ASSERT_FALSE(e.messages().isEmpty()) << text.toStdString();
    }
  }
}

}  // namespace

namespace {

TEST(BadInputTest, HugeDataIsRefused) {
  QString error;
  EXPECT_FALSE(compiles(
      QStringLiteral("var a: array[0..4095] of record b: array[0..4095] of Integer; end; begin end."),
      &error));
  EXPECT_EQ(error, QStringLiteral("Array too large"));
  const ScriptRun r =
      runScript(QStringLiteral("var a: array of Integer;\nbegin\n  SetLength(a, 1000000000);\nend."));
  EXPECT_FALSE(r.executed);
  EXPECT_EQ(r.runtimeError, QStringLiteral("Invalid length 1000000000 for SetLength"));
  EXPECT_EQ(r.errorLine, 3);
}

}  // namespace
