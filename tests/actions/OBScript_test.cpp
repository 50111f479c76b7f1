#include "actions/OBScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <ostream>

#include "actions/MacroRecorder.h"
#include "actions/SuperAction.h"
#include "platform/shell/Trash.h"
#include "platform/ui/MessageBoxes.h"
#include "support/TempRoot.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vistrel::actions {
namespace {

using vistrel::testing::TempRoot;

// A component whose scripts can also write lines with Print, declared through OnCompile as a list
// of actions would declare its routines.
class Scripted : public ::testing::Test {
 protected:
  void SetUp() override {
    ob.OnCompile = [this](TOBScript& sender) {
      ASSERT_NE(sender.Compiler(), nullptr);
      sender.Compiler()->declareRoutine(QStringLiteral("procedure Print(const S: widestring);"),
                                        [this](script::HostCall& h) { out << h.string(0); });
    };
  }

  // Compiles and runs; the output lines joined by '|'.
  QString run(const QString& text) {
    out.clear();
    ob.setScript(text);
    if (!ob.CompileWithMessages()) return QStringLiteral("compile: ") + ob.Messages().join(u'|');
    if (!ob.ExecuteWithMessages()) return QStringLiteral("run: ") + ob.Messages().join(u'|');
    return out.join(u'|');
  }
  QString body(const QString& statements) {
    return QStringLiteral("begin\n") + statements + QStringLiteral("\nend.");
  }

  TempRoot root;
  TOBScript ob;
  QStringList out;
};

TEST_F(Scripted, MessagesOfEachOutcome) {
  struct Case {
    const char* script;
    bool compiles, runs;
    QStringList compileMessages, runMessages;
  };
  const Case cases[] = {
      {"begin end.", true, true, {"*** Compilation succeeded ***"}, {"*** Exécution réussie ***"}},
      {"begin\n  x := 1;\nend.",
       false,
       false,
       {"[Error] (2:3): Unknown identifier 'x'", "### Compilation Failed"},
       {"### Compilation non prête"}},
      {"var a, b: Integer;\nbegin\n  b := 0;\n  a := 1 div b;\nend.",
       true,
       false,
       {"*** Compilation succeeded ***"},
       {"### Erreur pendant l'exécution: [Runtime error] (4:3): Division by zero"}},
      {"begin\n  forcedirectories('');\nend.",
       true,
       false,
       {"*** Compilation succeeded ***"},
       {"### Erreur pendant l'exécution: [Runtime error] (2:3): Unable to create directory"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    ob.setScript(QString::fromUtf8(c.script));
    EXPECT_EQ(ob.CompileWithMessages(), c.compiles);
    EXPECT_EQ(ob.Messages(), c.compileMessages);
    EXPECT_EQ(ob.Compiled(), c.compiles);
    EXPECT_EQ(ob.ExecuteWithMessages(), c.runs);
    EXPECT_EQ(ob.Messages(), c.runMessages);
  }
}

TEST_F(Scripted, NothingCompiledIsNotReady) {
  EXPECT_FALSE(ob.ExecuteWithMessages());
  EXPECT_EQ(ob.Messages(), QStringList{"### Compilation non prête"});
}

TEST_F(Scripted, AFailedCompilationForgetsTheCodeBefore) {
  EXPECT_EQ(run(body("Print('a');")), "a");
  ob.setScript("begin Print(; end.");
  EXPECT_FALSE(ob.CompileWithMessages());
  EXPECT_FALSE(ob.ExecuteWithMessages());
  EXPECT_EQ(ob.Messages(), QStringList{"### Compilation non prête"});
}

TEST_F(Scripted, RunningTwiceRunsTheSameCodeTwice) {
  ob.setScript(body("Print('once');"));
  ASSERT_TRUE(ob.CompileWithMessages());
  ob.setScript(body("Print('changed');"));  // the text is not recompiled by a run
  out.clear();
  EXPECT_TRUE(ob.ExecuteWithMessages());
  EXPECT_TRUE(ob.ExecuteWithMessages());
  EXPECT_EQ(out, (QStringList{"once", "once"}));
}

TEST_F(Scripted, PreprocessorIsOn) {
  EXPECT_TRUE(ob.preprocessorEnabled());
  EXPECT_EQ(run("begin\n{$DEFINE X}{$IFDEF X}Print('on');{$ELSE}Print('off');{$ENDIF}\nend."), "on");
}

TEST(OBScriptCreation, ClearsMacroNesting) {
  MacroNesting = true;
  TOBScript ob;
  EXPECT_FALSE(MacroNesting);
}

TEST_F(Scripted, FileNameRoutines) {
  struct Case {
    const char* call;
    const char* result;
  };
  const Case cases[] = {
      {"changefileext('/a.b/c', '.txt')", "/a.b/c.txt"},
      {"changefileext('/a/c.avi', '.txt')", "/a/c.txt"},
      {"changefileext('/a/c.tar.gz', '')", "/a/c.tar"},
      {"changefileext('c', '.txt')", "c.txt"},
      {"extractfileext('/a.b/c')", ""},
      {"extractfileext('/a.b/c.AVI')", ".AVI"},
      {"extractfileext('/a/.hidden')", ".hidden"},
      {"extractfileext('/a/c.')", "."},
      {"extractfilename('/home/u/film.avi')", "film.avi"},
      {"extractfilename('film.avi')", "film.avi"},
      {"extractfilename('/home/u/')", ""},
      {"extractfilename('c:film')", "c:film"},
      {"extractfilepath('/home/u/film.avi')", "/home/u/"},
      {"extractfilepath('film.avi')", ""},
      {"extractfilepath('/')", "/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    EXPECT_EQ(run(body(QStringLiteral("Print(%1);").arg(QString::fromUtf8(c.call)))),
              QString::fromUtf8(c.result));
  }
}

TEST_F(Scripted, FindListsEveryKindOfEntryWithTheFolderPrefixed) {
  root.write("d/a.avi", "1");
  root.write("d/.hidden.avi", "2");
  root.write("d/b.txt", "3");
  root.write("d/sub.avi/inner", "4");
  ASSERT_TRUE(QFile::setPermissions(root.file("d/b.txt"), QFileDevice::ReadOwner));
  const QString d = root.file("d");

  struct Case {
    QString folder;
    const char* mask;
    QStringList found;
  };
  const Case cases[] = {
      {d, "*", {d + "/.hidden.avi", d + "/a.avi", d + "/b.txt", d + "/sub.avi"}},
      {d + "/", "*.*", {d + "/.hidden.avi", d + "/a.avi", d + "/b.txt", d + "/sub.avi"}},
      {d, "*.AVI", {d + "/.hidden.avi", d + "/a.avi", d + "/sub.avi"}},
      {d, "?.txt", {d + "/b.txt"}},
      {d, "sub.avi/*", {d + "/inner"}},
      {d, "*.mpg", {}},
      {d, "", {}},
      {d + "/missing", "*", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE((c.folder + " " + c.mask).toStdString());
    const QString script = QStringLiteral(
                               "var f: widestring;\n"
                               "begin\n"
                               "  f := findfirst('%1', '%2');\n"
                               "  while f <> '' do begin Print(f); f := findnext; end;\n"
                               "  Print(findnext);\n"
                               "  findclose; findclose;\n"
                               "end.")
                               .arg(c.folder, QString::fromUtf8(c.mask));
    const QString result = run(script);
    QStringList found = result.split(u'|');
    ASSERT_EQ(found.takeLast(), "") << result.toStdString();  // findnext past the end stays empty
    found.removeAll(QString());
    found.sort();
    EXPECT_EQ(found, c.found);
    EXPECT_FALSE(ob.FileSearch().isOpen());
  }
}

TEST_F(Scripted, SearchStaysOpenPastItsEndAndANewOneReplacesIt) {
  root.write("one/x", "1");
  root.write("two/y", "2");
  const QString script = QStringLiteral(
                             "begin\n"
                             "  Print(findfirst('%1', '*')); Print(findnext); Print(findnext);\n"
                             "  Print(findfirst('%2', '*')); Print(findnext);\n"
                             "end.")
                             .arg(root.file("one"), root.file("two"));
  EXPECT_EQ(run(script), root.file("one/x") + "|||" + root.file("two/y") + "|");
  EXPECT_TRUE(ob.FileSearch().isOpen());
  EXPECT_EQ(ob.FileSearch().folder(), root.file("two") + "/");
  EXPECT_EQ(run(body("findclose; Print(findnext);")), "");
  EXPECT_FALSE(ob.FileSearch().isOpen());
}

TEST_F(Scripted, ForceDirectoriesCreatesEveryMissingParent) {
  const QString deep = root.file("x/y/z");
  EXPECT_EQ(run(body(QStringLiteral("forcedirectories('%1'); forcedirectories('%1');").arg(deep))), "");
  EXPECT_TRUE(QFileInfo(deep).isDir());
  // A plain file in the way cannot become a folder: the script stops instead of going on.
  root.write("file", "x");
  EXPECT_EQ(run(body(QStringLiteral("forcedirectories('%1/sub'); Print('after');").arg(root.file("file")))),
            "run: ### Erreur pendant l'exécution: [Runtime error] (2:1): Unable to create directory");
}

TEST_F(Scripted, DeleteToRecycleBinMovesIntoTheTrash) {
  root.write("film.avi", "data");
  const QString path = root.file("film.avi");
  EXPECT_EQ(run(body(QStringLiteral("Print(IntToStr(Ord(deletefiletorecyclebin('%1'))));"
                                    "Print(IntToStr(Ord(deletefiletorecyclebin('%1'))));"
                                    "Print(IntToStr(Ord(deletefiletorecyclebin(''))));")
                         .arg(path))),
            "1|0|0");
  EXPECT_FALSE(QFile::exists(path));
  const QString trashed = platform::shell::trashFolder() + "/files/film.avi";
  ASSERT_TRUE(QFile::exists(trashed));
  QFile f(trashed);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), "data");
}

TEST_F(Scripted, RenameFileMovesButNeverReplaces) {
  root.write("a", "A");
  root.write("keep", "K");
  QDir().mkpath(root.file("into"));
  struct Case {
    const char *from, *to;
    bool fromLeft;
    const char* toContents;
  };
  const Case cases[] = {
      {"a", "into/b", false, "A"},       // moved into another folder
      {"into/b", "keep", true, "K"},     // the existing file is kept, silently
      {"missing", "c", false, nullptr},  // nothing to move, nothing said
      {"into/b", "into/b", true, "A"},   // onto itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.from);
    EXPECT_EQ(run(body(QStringLiteral("renamefile('%1', '%2'); Print('done');")
                           .arg(root.file(c.from), root.file(c.to)))),
              "done");
    EXPECT_EQ(QFile::exists(root.file(c.from)), c.fromLeft);
    if (c.toContents)
      EXPECT_EQ(root.read(c.to), c.toContents);
    else
      EXPECT_FALSE(QFile::exists(root.file(c.to)));
  }
}

TEST_F(Scripted, ShowMessageAsksTheMessageBoxService) {
  auto* boxes = static_cast<platform::ui::ScriptedMessageBoxes*>(
      platform::ui::setMessageBoxService(std::make_unique<platform::ui::ScriptedMessageBoxes>()));
  EXPECT_EQ(run(body("showmessage('Bonjour ' + IntToStr(3)); Print('after');")), "after");
  ASSERT_EQ(boxes->asked().size(), 1u);
  EXPECT_EQ(boxes->asked()[0].text, "Bonjour 3");
  EXPECT_EQ(boxes->asked()[0].buttons, platform::ui::Buttons::Ok);
  platform::ui::setMessageBoxService(nullptr);
}

TEST_F(Scripted, ProcessMessagesDeliversPendingEventsAndSleepReturns) {
  bool delivered = false;
  QTimer::singleShot(0, &ob, [&] { delivered = true; });
  ob.OnCompile = [&](TOBScript& s) {
    s.Compiler()->declareRoutine("function Delivered: Boolean;",
                                 [&](script::HostCall& h) { h.setResult(delivered); });
    s.Compiler()->declareRoutine("procedure Print(const S: widestring);",
                                 [this](script::HostCall& h) { out << h.string(0); });
  };
  EXPECT_EQ(run(body("sleep(0); sleep(1);\nif Delivered then Print('early');\nprocessmessages;\n"
                     "if Delivered then Print('delivered');")),
            "delivered");
}

TEST_F(Scripted, ConstantsAndTypes) {
  struct Case {
    const char* declarations;
    const char* statements;
    const char* output;
  };
  const Case cases[] = {
      {"", "Print(IntToStr(clMoneyGreen) + ' ' + IntToStr(clSkyBlue) + ' ' + IntToStr(clCream));",
       "12639424 15780518 15793151"},
      {"", "Print(IntToStr(SecsPerDay) + ' ' + IntToStr(MSecPerDay));", "86400 86400000"},
      {"var r: TRect;", "r.Left := 1; r.Bottom := 4; Print(IntToStr(r.Left + r.Bottom));", "5"},
      {"var g: TCLSID;", "g.D1 := 7; g.D4[7] := 255; Print(IntToStr(g.D1) + IntToStr(g.D4[7]));", "7255"},
      {"var p: TPoint;", "p.x := -3; Print(IntToStr(p.x));", "-3"},
      {"var s: TSavePreferences;", "s := spNone; Print(IntToStr(Ord(s)));", "2"},
      {"var i: TBorderIcons;", "i := [biHelp]; if biHelp in i then Print('in');", "in"},
      {"var o: TOwnerDrawState;",
       "o := [odComboBoxEdit, odSelected]; if not (odFocused in o) then Print('out');", "out"},
      {"var a: TAlignment; h: HResult; k: TSHORTCUT;",
       "a := taCenter; h := -1; k := 65535;"
       "Print(IntToStr(Ord(a)) + IntToStr(h) + IntToStr(k));",
       "2-165535"},
      {"var l: TTextLayout; w: TWindowState;",
       "l := tlBottom; w := wsMaximized; Print(IntToStr(Ord(l) + Ord(w)));", "4"},
      // the engine's graphics declarations come with them
      {"var c: TColor; f: TFont; st: TFontStyles;",
       "c := clRed; f := nil; st := [fsBold];"
       "if f = nil then Print(IntToStr(c));",
       "255"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statements);
    EXPECT_EQ(
        run(QString::fromUtf8(c.declarations) + "\nbegin\n" + QString::fromUtf8(c.statements) + "\nend."),
        QString::fromUtf8(c.output));
  }
}

TEST_F(Scripted, BadArgumentsAreCompileErrorsWithTheirPlace) {
  struct Case {
    const char* statements;
    int line, column;
  };
  const Case cases[] = {
      {"findfirst('/tmp');", 2, 0},         {"sleep('long');", 2, 0},      {"renamefile('a');", 2, 0},
      {"Print(extractfilename(1));", 2, 0}, {"processmessages(1);", 2, 0}, {"\n  showmessage;", 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statements);
    ob.setScript(body(QString::fromUtf8(c.statements)));
    EXPECT_FALSE(ob.CompileWithMessages());
    ASSERT_EQ(ob.Messages().size(), 2);
    EXPECT_TRUE(ob.Messages()[0].startsWith(QStringLiteral("[Error] (%1:").arg(c.line)))
        << ob.Messages()[0].toStdString();
    EXPECT_EQ(ob.Messages()[1], "### Compilation Failed");
  }
}

TEST_F(Scripted, ARoutineErrorStopsTheScriptWithItsLine) {
  EXPECT_EQ(run(body("Print('before');\nforcedirectories('');\nPrint('after');")),
            "run: ### Erreur pendant l'exécution: [Runtime error] (3:1): Unable to create directory");
}

// A list of actions attached through OnCompile: a script routine runs a main-window action.
TEST_F(Scripted, AttachedDeclarationsRunActionsAfterTheKeptHandler) {
  TActionList al;
  auto* capture = new TSuperAction(&al, "saCapturer");
  capture->setToken("capture");
  QStringList ran;
  capture->setOnexecute([&](QObject* sender) { ran << (sender == capture ? "capture" : "other"); });

  const TOBCompileEvent kept = ob.OnCompile;
  ob.OnCompile = [&, kept](TOBScript& s) {
    if (kept) kept(s);
    s.Compiler()->declareRoutine("procedure capture;", [&](script::HostCall&) { capture->Execute(); });
  };
  EXPECT_EQ(run(body("Print('a'); capture; Print('b'); capture;")), "a|b");
  EXPECT_EQ(ran, (QStringList{"capture", "capture"}));

  // Given back, the kept handler alone declares: the action's routine is gone.
  ob.OnCompile = kept;
  ob.setScript(body("capture;"));
  EXPECT_FALSE(ob.CompileWithMessages());
}

TEST_F(Scripted, AFailingCompileHandlerFailsTheCompilation) {
  ob.OnCompile = [](TOBScript&) { throw std::runtime_error("broken list"); };
  ob.setScript("begin end.");
  EXPECT_FALSE(ob.CompileWithMessages());
  EXPECT_EQ(ob.Messages().last(), "### Compilation Failed");
  EXPECT_FALSE(ob.ExecuteWithMessages());
}

// An event processed inside processmessages, or a routine, may ask the same component to compile
// or run again: refused, so the code that runs is not freed under it.
TEST_F(Scripted, NoCompilationOrRunWhileRunning) {
  QStringList nested;
  ob.OnCompile = [&](TOBScript& s) {
    s.Compiler()->declareRoutine("procedure Print(const S: widestring);",
                                 [this](script::HostCall& h) { out << h.string(0); });
    s.Compiler()->declareRoutine("procedure Again;", [&](script::HostCall&) {
      nested << (ob.Executing() ? "executing" : "idle");
      ob.setScript("begin Print('replaced'); end.");
      nested << (ob.CompileWithMessages() ? "compiled" : "refused");
      nested << (ob.ExecuteWithMessages() ? "ran" : "refused");
    });
  };
  QTimer::singleShot(0, &ob,
                     [&] { nested << (ob.CompileWithMessages() ? "event compiled" : "event refused"); });
  EXPECT_EQ(run(body("Again; processmessages; Print('still here');")), "still here");
  EXPECT_EQ(nested, (QStringList{"executing", "refused", "refused", "event refused"}));
  EXPECT_EQ(ob.Messages(), QStringList{"*** Exécution réussie ***"});
  EXPECT_FALSE(ob.Executing());
  // Afterwards the component works again, on the new text.
  EXPECT_EQ(run(ob.script()), "replaced");
}

TEST(FileMask, WindowsWildcards) {
  struct Case {
    const char *name, *mask;
    bool match;
  };
  const Case cases[] = {
      {"a.avi", "*.avi", true},        {"A.AVI", "*.avi", true},      {"a.avi.bak", "*.avi", false},
      {"noext", "*.*", true},          {"abc", "a?c", true},          {"ac", "a?c", false},
      {"abcbc", "a*bc", true},         {"abcb", "a*bc", false},       {"x", "", false},
      {"film01.dv", "film*.dv", true}, {"film.dv", "film*.dv", true}, {"film", "*", true},
      {"été.avi", "ÉTÉ.*", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(matchesFileMask(QString::fromUtf8(c.name), QString::fromUtf8(c.mask)), c.match)
        << c.name << " " << c.mask;
}

}  // namespace
}  // namespace vistrel::actions
