#include <gtest/gtest.h>

#include <ostream>

#include "actions/AbstractActions.h"
#include "actions/MacroRecorder.h"
#include "actions/OBActionList.h"
#include "actions/OBScript.h"
#include "support/TempRoot.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vistrel::settings {
inline void PrintTo(const TRect& r, std::ostream* os) {
  *os << '(' << r.Left << ',' << r.Top << ',' << r.Right << ',' << r.Bottom << ')';
}
}  // namespace vistrel::settings

namespace vistrel::actions {
namespace {

using vistrel::testing::TempRoot;

// A list of one action of each kind; every test records into `lines` and stops at the end.
class Recording : public ::testing::Test {
 protected:
  Recording() {
    nope = new TNopeAction(&list);
    nope->ScriptName = QStringLiteral("Grab");
    text = new TWidestringAction(&list);
    text->ScriptName = QStringLiteral("Titre");
    integer = new TIntegerAction(&list);
    integer->ScriptName = QStringLiteral("NumMediatype");
    boolean = new TBooleanAction(&list);
    boolean->ScriptName = QStringLiteral("Muet");
    rect = new TRectAction(&list);
    rect->ScriptName = QStringLiteral("FormSave");
    check = new TCheckAction(&list);
    check->ScriptName = QStringLiteral("Options");
  }
  void SetUp() override {
    MacroNesting = false;
    StartMacro(lines);
  }
  void TearDown() override { StopMacro(); }

  TempRoot root;
  TOBActionList list;
  TNopeAction* nope;
  TWidestringAction* text;
  TIntegerAction* integer;
  TBooleanAction* boolean;
  TRectAction* rect;
  TCheckAction* check;
  QStringList lines;
};

TEST_F(Recording, EachKindWritesItsCall) {
  nope->Apply();
  text->SetValue(QStringLiteral("Noël"));
  integer->SetValue(-3);
  boolean->SetValue(true);
  rect->SetValue(TRect{1, 2, 3, 4});
  check->SetChecked(true);
  check->SetChecked(true);  // applied again, recorded again
  boolean->SetValue(true);  // no change: nothing
  EXPECT_EQ(lines, (QStringList{"    Grab;", "    Titre('Noël');", "    NumMediatype(-3);", "    Muet(True);",
                                "    FormSave(1,3,2,4);", "    setOptions(True);", "    setOptions(True);"}));
  EXPECT_FALSE(MacroNesting);
}

TEST_F(Recording, UserInterfaceAndCommandLineRunsAreRecordedToo) {
  integer->OnPrepare = [](int32_t& v) {
    v = 8;
    return true;
  };
  integer->Execute();
  check->Execute();
  text->ApplyText(QStringLiteral("x"));
  EXPECT_EQ(lines, (QStringList{"    NumMediatype(8);", "    setOptions(True);", "    Titre('x');"}));
}

TEST_F(Recording, ActionsAppliedByAnotherActionsHandlersRecordNothing) {
  check->InternalTrueApply = [this] {
    integer->SetValue(5);
    nope->Apply();
    boolean->SetValue(true);
  };
  check->SetChecked(true);
  EXPECT_EQ(lines, QStringList{"    setOptions(True);"});
  EXPECT_EQ(integer->Value(), 5);
  EXPECT_TRUE(boolean->Value());
  EXPECT_FALSE(MacroNesting);
  integer->SetValue(6);
  EXPECT_EQ(lines.last(), QStringLiteral("    NumMediatype(6);"));
}

TEST_F(Recording, AThrowingHandlerDoesNotLeaveTheRecorderBlocked) {
  integer->InternalApply = [](const int32_t&) { throw std::runtime_error("boom"); };
  EXPECT_THROW(integer->SetValue(1), std::runtime_error);
  EXPECT_FALSE(MacroNesting);
  text->SetValue(QStringLiteral("a"));
  EXPECT_EQ(lines, (QStringList{"    NumMediatype(1);", "    Titre('a');"}));
}

TEST_F(Recording, NamelessNopeScriptAndStopMacroActions) {
  auto* nameless = new TNopeAction(&list);
  auto* script = new TCheckAction(&list);
  script->ScriptName = QStringLiteral("Script");
  // Applying the script window's own action records nothing, and what its handlers do neither.
  script->InternalTrueApply = [this] { integer->SetValue(1); };
  auto* stop = new TCheckAction(&list, QStringLiteral("naStopMacro"));
  stop->ScriptName = QStringLiteral("StopMacro");
  // The stop action stops the recording from its handler; the action it applies on the way is
  // recorded since the stop action does not hold the recorder.
  stop->InternalTrueApply = [this] {
    text->SetValue(QStringLiteral("fin"));
    StopMacro();
  };
  nameless->Apply();
  script->SetChecked(true);
  stop->SetChecked(true);
  integer->SetValue(2);  // after the stop
  EXPECT_EQ(lines, QStringList{"    Titre('fin');"});
  EXPECT_FALSE(MacroNesting);
}

TEST(RecordingIdle, NothingIsWrittenWithoutAMacro) {
  StopMacro();
  TIntegerAction action;
  action.ScriptName = QStringLiteral("N");
  action.SetValue(4);
  EXPECT_FALSE(MacroRecording());
  EXPECT_FALSE(MacroNesting);
}

// Recorded lines replayed by the script component through the same list restore the values.
TEST_F(Recording, ARecordedMacroCompilesAndReplaysToTheSameValues) {
  text->SetValue(QStringLiteral("l'été \"2026\"\r\nsuite"));
  integer->SetValue(2147483647);
  boolean->SetValue(true);
  rect->SetValue(TRect{-10, 20, 640, 480});
  check->SetChecked(true);
  nope->Apply();
  integer->SetValue(-2147483647 - 1);
  StopMacro();
  const QString recordedText = text->Value();
  int grabs = 0;
  nope->OnAfterApply = [&] { ++grabs; };

  // Back to other values, then replay.
  text->SetValue(QString());
  integer->SetValue(0);
  boolean->SetValue(false);
  rect->SetValue(TRect{});
  check->SetChecked(false);
  TOBScript ob;
  list.setPascalScript(&ob);
  // As the script window frames a recording.
  const QStringList macro =
      QStringList{"//Macro enregistrée le jeudi 10 décembre 2026 à 17:40:00", "", "begin"} + lines +
      QStringList{"end."};
  ob.setScript(macro.join(QStringLiteral("\r\n")));
  ASSERT_TRUE(ob.CompileWithMessages()) << ob.Messages().join(u'\n').toStdString();
  QStringList replayed;
  StartMacro(replayed);  // a replay while recording records the same lines again
  ASSERT_TRUE(ob.ExecuteWithMessages()) << ob.Messages().join(u'\n').toStdString();
  StopMacro();
  EXPECT_EQ(text->Value(), recordedText);
  EXPECT_EQ(integer->Value(), -2147483647 - 1);
  EXPECT_TRUE(boolean->Value());
  EXPECT_EQ(rect->Value(), (TRect{-10, 20, 640, 480}));
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(grabs, 1);
  EXPECT_EQ(replayed, lines);
}

}  // namespace
}  // namespace vistrel::actions
