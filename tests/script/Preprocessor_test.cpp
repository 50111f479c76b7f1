// The preprocessor: conditional compilation and includes, only when switched on.
#include <gtest/gtest.h>

#include <QHash>

#include "script/ScriptTestSupport.h"

using namespace vistrel::script;

namespace {

struct Result {
  bool ok;
  QString output;
  QString error;
  int line;
};

Result compileAndRun(const QString& text, bool preprocessor, const QStringList& defines = {},
                     const QHash<QString, QString>& files = {}) {
  ScriptEngine e;
  QStringList out;
  e.setPreprocessorEnabled(preprocessor);
  e.setDefines(defines);
  e.setIncludeResolver([files](const QString& name) -> std::optional<QString> {
    if (!files.contains(name)) return std::nullopt;
    return files.value(name);
  });
  e.setCompileHook([&](CompileContext& c) {
    c.declareRoutine(QStringLiteral("procedure Print(const S: string);"),
                     [&](HostCall& h) { out << h.string(0); });
  });
  e.setScript(text);
  if (!e.compile()) return {false, QString(), e.messages().value(0).text, e.messages().value(0).line};
  const bool ran = e.execute();
  return {ran, out.join(u'|'), e.runtimeErrorText(), e.runtimeErrorLine()};
}

TEST(PreprocessorTest, ConditionalsFollowDefines) {
  const QString text = QStringLiteral(
      "begin\n"
      "{$IFDEF DEBUG} Print('debug'); {$ELSE} Print('release'); {$ENDIF}\n"
      "{$DEFINE Extra}\n"
      "{$IFDEF extra} Print('extra'); {$ENDIF}\n"
      "{$UNDEF EXTRA}\n"
      "{$IFNDEF EXTRA} Print('no extra'); {$ENDIF}\n"
      "{$IFDEF NONE} {$IFDEF DEBUG} Print('hidden'); {$ELSE} Print('hidden too'); {$ENDIF} {$ENDIF}\n"
      "end.");
  Result r = compileAndRun(text, true);
  EXPECT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.output, QStringLiteral("release|extra|no extra"));
  r = compileAndRun(text, true, {QStringLiteral("DEBUG")});
  EXPECT_EQ(r.output, QStringLiteral("debug|extra|no extra"));
}

TEST(PreprocessorTest, OffByDefaultDirectivesAreComments) {
  const Result r =
      compileAndRun(QStringLiteral("begin {$IFDEF X} Print('a'); {$ENDIF} {$I missing.inc} end."), false);
  EXPECT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.output, QStringLiteral("a"));
}

TEST(PreprocessorTest, IncludesBringTextAndReportTheirOwnPositions) {
  QHash<QString, QString> files;
  files.insert(QStringLiteral("lib.inc"),
               QStringLiteral("procedure Hello;\nbegin\n  Print('hello');\nend;\n"));
  files.insert(QStringLiteral("bad.inc"), QStringLiteral("procedure Bad;\nbegin\n  Unknown;\nend;\n"));
  Result r = compileAndRun(QStringLiteral("{$I lib.inc}\nbegin\n  Hello;\nend."), true, {}, files);
  EXPECT_TRUE(r.ok) << r.error.toStdString();
  EXPECT_EQ(r.output, QStringLiteral("hello"));

  ScriptEngine e;
  e.setPreprocessorEnabled(true);
  e.setIncludeResolver([files](const QString& n) -> std::optional<QString> { return files.value(n); });
  e.setScript(QStringLiteral("{$INCLUDE 'bad.inc'}\nbegin end."));
  ASSERT_FALSE(e.compile());
  EXPECT_EQ(e.messages()[0].fileName, QStringLiteral("bad.inc"));
  EXPECT_EQ(e.messages()[0].line, 3);
  EXPECT_EQ(e.messages()[0].toString(),
            QStringLiteral("[Error] bad.inc (3:3): Unknown identifier 'Unknown'"));
}

TEST(PreprocessorTest, BrokenDirectivesAreErrors) {
  QHash<QString, QString> files;
  files.insert(QStringLiteral("self.inc"), QStringLiteral("{$I self.inc}"));
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"begin {$IFDEF X} end.", "Missing {$ENDIF}"},
      {"begin {$ENDIF} end.", "Misplaced {$ENDIF}"},
      {"begin {$IFDEF X} {$ELSE} {$ELSE} {$ENDIF} end.", "Misplaced {$ELSE}"},
      {"{$I nowhere.inc} begin end.", "Cannot read include file 'nowhere.inc'"},
      {"{$I self.inc} begin end.", "Includes nested too deeply"},
      {"{$I} begin end.", "File name expected in {$I}"},
  };
  for (const Case& c : cases) {
    const Result r = compileAndRun(QString::fromLatin1(c.text), true, {}, files);
    EXPECT_FALSE(r.ok) << c.text;
    EXPECT_EQ(r.error, QString::fromLatin1(c.error)) << c.text;
  }
}

}  // namespace
