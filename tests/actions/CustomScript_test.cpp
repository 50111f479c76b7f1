#include "actions/CustomScript.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTimer>
#include <utility>

#include "actions/HandlerRecorder.h"
#include "support/TempRoot.h"

namespace vistrel::actions {
namespace {

using vistrel::testing::HandlerRecorder;
using vistrel::testing::TempRoot;

// A main window that records when it is asked to close, and may refuse.
class RecordingWindow : public QWidget {
 public:
  explicit RecordingWindow(QStringList& log) : log_(log) {}
  bool refuse = false;
  int closes = 0;

 protected:
  void closeEvent(QCloseEvent* event) override {
    ++closes;
    log_ << "close";
    if (refuse) event->ignore();
  }

 private:
  QStringList& log_;
};

class Processors : public ::testing::Test {
 protected:
  void SetUp() override {
    createMainActions(al, recorder.lookup());
    vistrel::testing::markTogglesLikeTheWindow(recorder, al, {"taMute", "tafullscreen", "taIncruster"});
    recorder.on("acQuitterExecute", [this](QObject*) { window.close(); });
  }
  TCustomSuperAction* at(const QString& name) { return al.find<TCustomSuperAction>(name); }
  QString file(const QString& name, const QByteArray& bytes) {
    root.write(name, bytes);
    return root.file(name);
  }
  QString describe(const TSuperList& list) {
    QStringList parts;
    for (const TActionEx& c : list)
      parts << QStringLiteral("%1 %2 [%3]")
                   .arg(c.Action ? c.Action->Name() : QStringLiteral("?"))
                   .arg(int(c.Mode))
                   .arg(c.Value);
    return parts.join(" | ");
  }

  TempRoot root;
  HandlerRecorder recorder;
  TActionList al;
  RecordingWindow window{recorder.calls};
};

TEST_F(Processors, LookupIgnoresCaseAndTakesTheFirstMatch) {
  TScript script(&al, &window);
  struct Case {
    const char* name;
    const char* action;
  };
  const Case cases[] = {{"fs", "tafullscreen"},
                        {"FS", "tafullscreen"},
                        {"full_screen", "tafullscreen"},
                        {"Full_Screen", "tafullscreen"},
                        {"fc", "taFreezeCapture"},
                        {"format_capture", "saFormatCapture"},
                        {"switch", "acBasculerPanneau"},
                        {"q", "acQuitter"},
                        {"nothing", nullptr},
                        {"saScript", nullptr},
                        {"", nullptr}};
  for (const Case& c : cases) {
    TCustomSuperAction* found = script.FindAction(c.name);
    EXPECT_EQ(found ? found->Name() : QString(), QString(c.action ? c.action : "")) << c.name;
  }
  EXPECT_FALSE(script.QuitRequested());
  EXPECT_EQ(script.FindAction("QUIT"), nullptr);
  EXPECT_TRUE(script.QuitRequested());
  script.setDefaultAction(at("saGrab"));
  EXPECT_EQ(script.FindAction(""), at("saGrab"));
  TScript orphan(nullptr, nullptr);
  EXPECT_EQ(orphan.FindAction("quit"), nullptr);
  EXPECT_FALSE(orphan.QuitRequested());
}

TEST_F(Processors, CommandLineArguments) {
  struct Case {
    QString argument;
    QString parsed;  // empty: dropped
  };
  const Case cases[] = {
      {"/fs", "tafullscreen 2 []"},
      {"/FS", "tafullscreen 2 []"},
      {"/full_screen", "tafullscreen 2 []"},
      {"+fs", "tafullscreen 0 []"},
      {"-mute", "taMute 1 []"},
      {"/fc", "taFreezeCapture 2 []"},
      {"+format_capture=dv type 1 natif", "saFormatCapture 0 [dv type 1 natif]"},
      {"/sv=", "saSourceVideo 2 []"},
      {"/sv=Ma caméra = 2 ", "saSourceVideo 2 [Ma caméra = 2 ]"},
      {"/g=", "saGrab 2 []"},
      {"/q", "acQuitter 2 []"},
      {"/quit", ""},
      {"+=x", ""},
      {"/home/user/clip.avi", ""},
      {"clip.avi", ""},
      {"", ""},
      {"-platform", ""},
      {"/", ""},
      {"\"/fs\"", ""},
      {"/f\"s", ""},
      {"/" + QString(1 << 20, u'x'), ""},
      {"/sv=" + QString(1 << 20, u'y'), "saSourceVideo 2 [" + QString(1 << 20, u'y') + "]"},
  };
  for (const Case& c : cases) {
    TSwitch line(&al, &window);
    line.ParseArgument(c.argument);
    EXPECT_EQ(describe(line.Commands()), c.parsed) << c.argument.left(40).toStdString();
  }
}

TEST_F(Processors, BareArgumentsGoToTheDefaultAction) {
  TSwitch line(&al, &window);
  line.setDefaultAction(at("saSourceVideo"));
  line.ParseArgument("+=x");
  line.ParseArgument("/home/user/clip.avi");  // a name that no action has
  line.ParseArgument("clip.avi");
  EXPECT_EQ(describe(line.Commands()), "saSourceVideo 0 [x] | saSourceVideo 3 [clip.avi]");
}

TEST_F(Processors, ShortQuitClosesInPlaceLongQuitAtTheEnd) {
  {
    TSwitch line(&al, &window);
    line.setArguments({"/q", "/g"});
    line.AppActivate();
    EXPECT_EQ(recorder.calls, QStringList({"acQuitterExecute", "close", "saGrabexecute"}));
  }
  recorder.calls.clear();
  {
    TSwitch line(&al, &window);
    line.setArguments({"/quit", "/g", "-mute"});
    line.AppActivate();
    EXPECT_EQ(recorder.calls, QStringList({"saGrabexecute", "taMuteTrueExecute", "close"}));
  }
}

TEST_F(Processors, QuitAloneDoesNothingButReportsNoCommandLine) {
  TSwitch line(&al, &window);
  int empty = 0;
  line.OnNoCommandLine = [&](QObject* sender) {
    EXPECT_EQ(sender, nullptr);
    ++empty;
  };
  line.setArguments({"/quit", "clip.avi", "/unknown"});
  line.AppActivate();
  EXPECT_EQ(empty, 1);
  EXPECT_EQ(window.closes, 0);
  EXPECT_TRUE(recorder.calls.isEmpty());
}

TEST_F(Processors, CommandLineIsInterpretedOnce) {
  TSwitch line(&al, &window);
  QStringList order;
  line.OnActivate = [&](QObject*) { order << "activate"; };
  line.setArguments({"/g", "+mute"});
  EXPECT_TRUE(line.Armed());
  line.AppActivate();
  line.AppActivate();
  EXPECT_FALSE(line.Armed());
  EXPECT_EQ(order, QStringList({"activate"}));
  EXPECT_EQ(recorder.calls, QStringList({"saGrabexecute", "taMutefalseExecute"}));
  EXPECT_TRUE(line.Commands().empty());
  EXPECT_EQ(recorder.senders.first(), &line);
}

TEST_F(Processors, ToggleModes) {
  TSwitch line(&al, &window);
  auto* mute = at("taMute");
  auto run = [&](const QString& argument) {
    line.ParseArgument(argument);
    line.ExecuteCommands();
  };
  run("+mute");
  EXPECT_EQ(recorder.calls.last(), "taMutefalseExecute");
  EXPECT_TRUE(mute->Checked());
  EXPECT_EQ(mute->Caption(), "Remettre le son");
  run("+mute");
  EXPECT_EQ(recorder.calls.last(), "taMutefalseExecute");
  run("-mute");
  EXPECT_EQ(recorder.calls.last(), "taMuteTrueExecute");
  EXPECT_FALSE(mute->Checked());
  run("/mute");
  EXPECT_EQ(recorder.calls.last(), "taMutefalseExecute");
  run("/mute");
  EXPECT_EQ(recorder.calls.last(), "taMuteTrueExecute");
  EXPECT_EQ(recorder.calls.size(), 5);
}

TEST_F(Processors, BareToggleWithoutStateRunsNothing) {
  TScript script(&al, &window);
  script.ParseLine("lock");
  script.ExecuteCommands();
  EXPECT_TRUE(recorder.calls.isEmpty());
  at("taLock")->SetChecked(false);
  script.ParseLine("lock");
  script.ExecuteCommands();
  EXPECT_EQ(recorder.calls, QStringList({"taLockfalseExecute"}));
}

TEST_F(Processors, AutoCheckToggleTakesItsNewStateThroughTheVirtualSetter) {
  TSwitch line(&al, &window);
  line.ParseArgument("+fp");
  line.ExecuteCommands();
  auto* freeze = at("taFreezepreview");
  EXPECT_EQ(recorder.calls, QStringList({"taFreezepreviewfalseExecute"}));
  EXPECT_TRUE(freeze->Checked());
  EXPECT_EQ(freeze->Caption(), "Geler la preview");
}

TEST_F(Processors, DisabledActionIsSkipped) {
  at("saGrab")->setEnabled(false);
  TSwitch line(&al, &window);
  line.setArguments({"/g", "/k"});
  line.AppActivate();
  EXPECT_EQ(recorder.calls, QStringList({"acCouperExecute"}));
}

TEST_F(Processors, HandlersSeeTheValueAsTheOnlyArgument) {
  TSwitch line(&al, &window);
  bool executing = false;
  recorder.on("saSourceVideoexecute", [&](QObject*) { executing = line.Executing(); });
  line.setArguments({"/sv=Caméra USB", "/sv="});
  line.AppActivate();
  EXPECT_EQ(recorder.args, QStringList({"Caméra USB", ""}));
  EXPECT_TRUE(executing);
  EXPECT_FALSE(line.Executing());
}

TEST_F(Processors, AThrowingHandlerEndsTheListAndQuitIsStillHonoured) {
  recorder.on("acCouperExecute", [](QObject*) { throw std::runtime_error("no file"); });
  TSwitch line(&al, &window);
  line.setArguments({"/g", "/k", "+mute", "/quit"});
  line.AppActivate();
  EXPECT_EQ(recorder.calls, QStringList({"saGrabexecute", "acCouperExecute", "close"}));
  EXPECT_FALSE(line.Executing());
}

TEST_F(Processors, PendingEventsRunBetweenCommands) {
  TSwitch line(&al, &window);
  recorder.on("saGrabexecute", [&](QObject*) { QTimer::singleShot(0, [&] { recorder.calls << "event"; }); });
  line.setArguments({"/g", "/k"});
  line.AppActivate();
  EXPECT_EQ(recorder.calls, QStringList({"saGrabexecute", "event", "acCouperExecute"}));
}

TEST_F(Processors, LinesOfACommandFile) {
  struct Case {
    QString line;
    QString parsed;
  };
  const Case cases[] = {
      {"+fs", "tafullscreen 0 []"},
      {"fs true", "tafullscreen 0 [true]"},
      {"fs   true", "tafullscreen 0 [true]"},
      {"fs=TRUE", "tafullscreen 0 [TRUE]"},
      {"fs false", "tafullscreen 1 [false]"},
      {"fs toggle", "tafullscreen 2 [toggle]"},
      {"fs", "tafullscreen 3 []"},
      {"-fs true", "tafullscreen 1 [true]"},
      {"  \t/mute  ", "taMute 2 []"},
      {"grab true", "saGrab 3 [true]"},
      {"source_video \"Ma Caméra 2\"", "saSourceVideo 3 [Ma Caméra 2]"},
      {"sv \"a b\"c d", "saSourceVideo 3 [a b]"},
      {"sv a\"b c\"d", "saSourceVideo 3 [ab c]"},
      {"sv \"open to the end", "saSourceVideo 3 [open to the end]"},
      {"sv=first second", "saSourceVideo 3 [first]"},
      {"sv=", "saSourceVideo 3 []"},
      {"quit", ""},
      {"+", ""},
      {"", ""},
      {"   ", ""},
      {"unknown 1", ""},
      {"=fs", ""},
  };
  for (const Case& c : cases) {
    TScript script(&al, &window);
    script.ParseLine(c.line);
    EXPECT_EQ(describe(script.Commands()), c.parsed) << c.line.toStdString();
  }
}

TEST_F(Processors, APrefixAloneGoesToTheDefaultActionWithTheLineAsValue) {
  TScript script(&al, &window);
  script.setDefaultAction(at("saGrab"));
  script.ParseLine("+");
  script.ParseLine("- x");
  EXPECT_EQ(describe(script.Commands()), "saGrab 0 [+] | saGrab 1 [x]");
}

TEST_F(Processors, TheFiveLineExample) {
  TScript script(&al, &window);
  const QString path =
      file("commandes.txt", "+fs\r\nsource_video \"Ma Cam\xC3\xA9ra 2\"\r\nmute true\r\ngrab\r\nquit\r\n");
  ASSERT_TRUE(script.ReadCommandFile(path));
  EXPECT_EQ(describe(script.Commands()),
            "tafullscreen 0 [] | saSourceVideo 3 [Ma Caméra 2] | taMute 0 [true] | saGrab 3 []");
  script.ClearCommands();
  script.RunCommandFile(path);
  EXPECT_EQ(recorder.calls, QStringList({"tafullscreenfalseExecute", "saSourceVideoexecute",
                                         "taMutefalseExecute", "saGrabexecute", "close"}));
  EXPECT_EQ(recorder.args[1], "Ma Caméra 2");
  EXPECT_TRUE(at("tafullscreen")->Checked());
  EXPECT_TRUE(at("taMute")->Checked());
  EXPECT_TRUE(script.Commands().empty());
}

TEST_F(Processors, QuitStaysRequestedForLaterFiles) {
  window.refuse = true;
  TScript script(&al, &window);
  script.RunCommandFile(file("a.txt", "grab\nquit"));
  EXPECT_EQ(window.closes, 1);
  script.RunCommandFile(file("b.txt", "unknown\n"));
  EXPECT_EQ(window.closes, 1);
  script.RunCommandFile(file("c.txt", "cut\n"));
  EXPECT_EQ(window.closes, 2);
}

TEST_F(Processors, FileEncodings) {
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const QString text = QString::fromUtf16(u"sv Caméra\r\n+mute\r\n");
  QByteArray le("\xFF\xFE"), be("\xFE\xFF");
  for (QChar c : text) {
    le.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    be.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
  }
  const Case cases[] = {
      {"utf16le.txt", le},
      {"utf16be.txt", be},
      {"utf8bom.txt", "\xEF\xBB\xBFsv Cam\xC3\xA9ra\r\n+mute"},
      {"utf8.txt", "sv Cam\xC3\xA9ra\n+mute\n"},
      {"cp1252.txt", "sv Cam\xE9ra\r+mute"},
  };
  for (const Case& c : cases) {
    TScript script(&al, &window);
    ASSERT_TRUE(script.ReadCommandFile(file(c.name, c.bytes))) << c.name;
    EXPECT_EQ(describe(script.Commands()), "saSourceVideo 3 [Caméra] | taMute 0 []") << c.name;
  }
}

TEST_F(Processors, BadCommandFilesAreIgnored) {
  TScript script(&al, &window);
  QDir(root.path()).mkpath("folder.txt");
  QByteArray binary(1 << 20, '\0');
  QRandomGenerator random(4);
  for (char& b : binary) b = char(random.bounded(256));
  QByteArray longLine(3 << 20, 'g');
  longLine.append("\ngrab\n");
  const QString paths[] = {
      root.file("missing.txt"),
      root.file("folder.txt"),
      file("empty.txt", ""),
      file("blank.txt", "\r\n\r\n   \n\t\n"),
      file("odd-utf16.txt", QByteArray("\xFF\xFEg\0\n\0g", 7)),
      file("binary.bin", binary),
      file("long-line.txt", longLine),
      QStringLiteral("/dev/zero"),
      QString(),
  };
  for (const QString& path : paths) script.RunCommandFile(path);
  // The overlong line is dropped whole; the grab after it runs.
  EXPECT_TRUE(recorder.calls.contains("saGrabexecute"));
  EXPECT_FALSE(script.Executing());
  EXPECT_FALSE(script.ReadCommandFile("/dev/zero"));
}

TEST_F(Processors, AHugeCommandFileRunsInOrderAndQuitsOnceAtTheEnd) {
  QByteArray many;
  for (int i = 0; i < 10000; ++i) many.append(i % 2 ? "grab\n" : "cut\n");
  many.append("quit\n");
  TScript script(&al, &window);
  int closedAt = -1;
  recorder.on("saGrabexecute", [&](QObject*) { EXPECT_TRUE(script.Executing()); });
  window.refuse = true;
  script.RunCommandFile(file("many.txt", many));
  closedAt = recorder.calls.indexOf("close");
  EXPECT_EQ(recorder.calls.size(), 10001);
  EXPECT_EQ(closedAt, 10000);
  EXPECT_EQ(recorder.calls.count("saGrabexecute"), 5000);
  EXPECT_FALSE(script.Executing());
}

TEST_F(Processors, AThrowingHandlerEndsTheWholeFile) {
  QByteArray many;
  for (int i = 0; i < 5000; ++i) many.append("grab\n");
  many.append("cut\n");
  for (int i = 0; i < 5000; ++i) many.append("grab\n");
  recorder.on("acCouperExecute", [](QObject*) { throw std::runtime_error("no file"); });
  TScript script(&al, &window);
  script.RunCommandFile(file("stop.txt", many));
  EXPECT_EQ(recorder.calls.count("saGrabexecute"), 5000);
  EXPECT_EQ(recorder.calls.last(), "acCouperExecute");
  EXPECT_FALSE(script.Executing());
}

// Events processed between commands may start another file on the same processor; each run keeps
// its own commands.
TEST_F(Processors, ANestedRunDoesNotDisturbTheOuterOne) {
  TScript script(&al, &window);
  const QString inner = file("inner.txt", "cut\n-mute\n");
  bool once = true;
  recorder.on("saGrabexecute", [&](QObject*) {
    if (std::exchange(once, false)) script.RunCommandFile(inner);
  });
  script.RunCommandFile(file("outer.txt", "grab\n+mute\ngrab\n"));
  EXPECT_EQ(recorder.calls, QStringList({"saGrabexecute", "acCouperExecute", "taMuteTrueExecute",
                                         "taMutefalseExecute", "saGrabexecute"}));
  EXPECT_FALSE(script.Executing());
}

TEST_F(Processors, AnActionDeletedByAHandlerIsSkipped) {
  TSwitch line(&al, &window);
  recorder.on("saGrabexecute", [&](QObject*) { delete at("acCouper"); });
  line.setArguments({"/g", "/k", "+mute"});
  line.AppActivate();
  EXPECT_EQ(recorder.calls, QStringList({"saGrabexecute", "taMutefalseExecute"}));
  EXPECT_EQ(al.Count(), 54);
}

}  // namespace
}  // namespace vistrel::actions
