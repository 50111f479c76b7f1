#include "actions/AbstractActions.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QPixmap>
#include <ostream>

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

// ---- Declarations ------------------------------------------------------------------------------

TEST(AbstractActionSyntax, DeclarationsSwitchesAndDefaultVariables) {
  TOBActionList list;
  auto* nope = new TNopeAction(&list);
  auto* text = new TWidestringAction(&list);
  auto* integer = new TIntegerAction(&list);
  auto* boolean = new TBooleanAction(&list);
  auto* rect = new TRectAction(&list);
  auto* check = new TCheckAction(&list);
  struct Case {
    TCustomAbstractAction* action;
    const char* declaration;
    const char* variables;  // stored by GetScriptSyntax
    const char* switchSyntax;
  };
  const Case cases[] = {
      {nope, "procedure Go;", "", "/go"},
      {text, "procedure Go(const aWidestring:widestring);", "aWidestring", "/go=aWidestring"},
      {integer, "procedure Go(const aInteger:integer);", "aInteger", "/go=aInteger"},
      {boolean, "procedure Go(const aBoolean:Boolean);", "aBoolean", "/go=aBoolean"},
      {rect, "procedure Go(const left,right,top,bottom:integer);", "left,right,top,bottom",
       "/go=left,right,top,bottom"},
      {check, "procedure setGo(const fisTrue:Boolean);\r\nprocedure Go;", "fisTrue", "/go +go -go"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    c.action->ScriptName = QStringLiteral("Go");
    c.action->Switch = QStringLiteral("go");
    EXPECT_EQ(c.action->GetScriptSyntax(), QString::fromUtf8(c.declaration));
    EXPECT_EQ(c.action->Variables, QString::fromUtf8(c.variables));
    EXPECT_EQ(c.action->GetSwitchSyntax(), QString::fromUtf8(c.switchSyntax));
  }
}

TEST(AbstractActionSyntax, SwitchSyntaxBeforeAnyDeclarationUsesTheDefaultsWithoutStoringThem) {
  TWidestringAction text;
  TRectAction rect;
  text.Switch = rect.Switch = QStringLiteral("x");
  EXPECT_EQ(text.GetSwitchSyntax(), QStringLiteral("/x=aWidestring"));
  EXPECT_EQ(rect.GetSwitchSyntax(), QStringLiteral("/x=aRect"));
  EXPECT_TRUE(text.Variables.isEmpty());
  text.Variables = QStringLiteral("Nom");
  EXPECT_EQ(text.GetSwitchSyntax(), QStringLiteral("/x=Nom"));
  text.ScriptName = QStringLiteral("Titre");
  EXPECT_EQ(text.GetScriptSyntax(), QStringLiteral("procedure Titre(const Nom:widestring);"));
}

TEST(AbstractActionCreation, InternalIdAndCategoryOnlyWithAList) {
  TOBActionList list;
  auto* inList = new TIntegerAction(&list, QStringLiteral("iaX"));
  TIntegerAction alone(nullptr, QStringLiteral("iaY"));
  EXPECT_EQ(inList->InternalId, QStringLiteral("iaX"));
  EXPECT_EQ(inList->Category(), QStringLiteral("internal"));
  EXPECT_EQ(inList->ActionList(), &list);
  EXPECT_TRUE(alone.InternalId.isEmpty());
  EXPECT_TRUE(alone.IncludePrefs);
  EXPECT_FALSE(alone.ApplyWhenLoad);
  EXPECT_EQ(alone.ImageIndex(), -1);
  EXPECT_TRUE(alone.Comments.isEmpty());
  TCheckAction check;
  EXPECT_FALSE(check.AutoCheck());
  EXPECT_EQ(check.TrueImageIndex(), -1);
  EXPECT_EQ(check.FalseImageIndex(), -1);
}

// ---- Routines declared to the script engine -----------------------------------------------------

// A list attached to a script component, and a script run through it.
class ScriptedActions : public ::testing::Test {
 protected:
  void SetUp() override { list.setPascalScript(&ob); }

  // Empty when the script compiled and ran, else the component's messages.
  QString run(const QString& statements) {
    ob.setScript(QStringLiteral("begin\n") + statements + QStringLiteral("\nend."));
    if (!ob.CompileWithMessages()) return QStringLiteral("compile: ") + ob.Messages().join(u'|');
    if (!ob.ExecuteWithMessages()) return QStringLiteral("run: ") + ob.Messages().join(u'|');
    return {};
  }

  TempRoot root;
  TOBScript ob;
  TOBActionList list;
};

TEST_F(ScriptedActions, EveryKindIsCalledWithTheScriptsArguments) {
  auto* nope = new TNopeAction(&list);
  nope->ScriptName = QStringLiteral("Beep");
  int beeps = 0;
  nope->OnAfterApply = [&] { ++beeps; };
  auto* text = new TWidestringAction(&list);
  text->ScriptName = QStringLiteral("Titre");
  auto* integer = new TIntegerAction(&list);
  integer->ScriptName = QStringLiteral("NumMediatype");
  auto* boolean = new TBooleanAction(&list);
  boolean->ScriptName = QStringLiteral("Muet");
  auto* rect = new TRectAction(&list);
  rect->ScriptName = QStringLiteral("FormSave");
  auto* check = new TCheckAction(&list);
  check->ScriptName = QStringLiteral("Options");
  QStringList applied;
  integer->OnAfterApply = [&](const int32_t& v) { applied << QString::number(v); };
  rect->OnAfterApply = [&](const TRect& r) {
    applied << QStringLiteral("%1,%2,%3,%4").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom);
  };
  check->OnAfterTrueApply = [&] { applied << QStringLiteral("options on"); };
  check->OnAfterFalseApply = [&] { applied << QStringLiteral("options off"); };

  ASSERT_EQ(run("Beep; Beep;\n"
                "Titre('Vacances ' + IntToStr(2026));\n"
                "NumMediatype(3 * 4);\n"
                "Muet(1 < 2);\n"
                "FormSave(10, 200, 20, 300);\n"
                "setOptions(True); Options;"),
            QString());
  EXPECT_EQ(beeps, 2);
  EXPECT_EQ(text->Value(), QStringLiteral("Vacances 2026"));
  EXPECT_EQ(integer->Value(), 12);
  EXPECT_TRUE(boolean->Value());
  // Declared as left, right, top, bottom.
  EXPECT_EQ(rect->Value(), (TRect{10, 20, 200, 300}));
  EXPECT_FALSE(check->Checked());
  EXPECT_EQ(applied, (QStringList{"12", "10,20,200,300", "options on", "options off"}));
}

TEST_F(ScriptedActions, WrongArgumentsAreCompileErrors) {
  auto* integer = new TIntegerAction(&list);
  integer->ScriptName = QStringLiteral("Numero");
  auto* rect = new TRectAction(&list);
  rect->ScriptName = QStringLiteral("Cadre");
  for (const char* statement : {"Numero('x');", "Numero;", "Cadre(1, 2, 3);", "setNumero(1);"}) {
    SCOPED_TRACE(statement);
    EXPECT_TRUE(run(QString::fromUtf8(statement)).startsWith(QStringLiteral("compile: ")));
  }
  EXPECT_EQ(integer->Value(), 0);
}

TEST_F(ScriptedActions, ActionsWithoutScriptNameDeclareNothing) {
  auto* nope = new TNopeAction(&list);
  auto* integer = new TIntegerAction(&list);
  EXPECT_EQ(run(QString()), QString());
  ob.setScript(QStringLiteral("begin end."));
  bool declared = true;
  ob.OnCompile = [&](TOBScript& s) { declared = nope->RegisterInScript(s) || integer->RegisterInScript(s); };
  ASSERT_TRUE(ob.CompileWithMessages());
  EXPECT_FALSE(declared);
}

TEST_F(ScriptedActions, RegisteringOutsideACompilationFails) {
  TIntegerAction action;
  action.ScriptName = QStringLiteral("Numero");
  EXPECT_FALSE(action.RegisterInScript(ob));
}

TEST_F(ScriptedActions, ACheckActionReportsFailureWhenOneOfItsRoutinesIsRefused) {
  auto* check = new TCheckAction(&list);
  check->ScriptName = QStringLiteral("Aide");
  bool both = true;
  ob.OnCompile = [&](TOBScript& s) {
    // "Aide" is taken already: the toggle cannot be declared.
    s.Compiler()->declareRoutine(QStringLiteral("procedure Aide;"), [](script::HostCall&) {});
    both = check->RegisterInScript(s);
  };
  ob.setScript(QStringLiteral("begin end."));
  ob.CompileWithMessages();
  EXPECT_FALSE(both);
}

TEST_F(ScriptedActions, AnActionDestroyedAfterCompilationStopsTheScript) {
  auto* integer = new TIntegerAction(&list);
  integer->ScriptName = QStringLiteral("Numero");
  ob.setScript(QStringLiteral("begin\n  Numero(1);\nend."));
  ASSERT_TRUE(ob.CompileWithMessages());
  delete integer;
  EXPECT_FALSE(ob.ExecuteWithMessages());
  EXPECT_TRUE(ob.Messages().join(u'|').contains(QStringLiteral("Numero")));
}

// ---- Interactive execution ----------------------------------------------------------------------

TEST(AbstractActionExecute, AValuedActionWithoutPrepareHandlerDoesNothing) {
  TIntegerAction action;
  int applied = 0;
  action.OnAfterApply = [&](const int32_t&) { ++applied; };
  EXPECT_TRUE(action.Execute());
  EXPECT_EQ(applied, 0);
}

TEST(AbstractActionExecute, PrepareHandlersFillTheValueInTurnAndMayRefuse) {
  struct Case {
    bool published, internal;      // which prepare handlers are assigned
    bool publishedOk, internalOk;  // what they return
    int expected;                  // value after Execute (-1: not applied)
  };
  const Case cases[] = {
      {true, false, true, false, 5}, {false, true, false, true, 7}, {true, true, true, true, 12},
      {true, true, false, true, -1}, {true, true, true, false, -1},
  };
  for (const Case& c : cases) {
    TIntegerAction action;
    action.SetValue(-1);
    int seen = -2;
    if (c.published)
      action.OnPrepare = [&](int32_t& v) {
        seen = v;  // a fresh value
        v += 5;
        return c.publishedOk;
      };
    if (c.internal)
      action.InternalPrepare = [&](int32_t& v) {
        v += 7;
        return c.internalOk;
      };
    action.Execute();
    EXPECT_EQ(action.Value(), c.expected);
    if (c.published) {
      EXPECT_EQ(seen, 0);
    }
  }
}

TEST(AbstractActionExecute, NopeAndCheckActionsRunTheirHandlersInOrder) {
  QStringList calls;
  TNopeAction nope;
  nope.OnPrepare = [&] {
    calls << "prepare";
    return true;
  };
  nope.InternalPrepare = [&] {
    calls << "internal prepare";
    return true;
  };
  nope.OnBeforeApply = [&] { calls << "before"; };
  nope.InternalApply = [&] { calls << "internal"; };
  nope.OnAfterApply = [&] { calls << "after"; };
  nope.Execute();
  EXPECT_EQ(calls, (QStringList{"prepare", "internal prepare", "before", "internal", "after"}));

  calls.clear();
  TCheckAction check;
  check.OnBeforeTrueApply = [&] { calls << "before true"; };
  check.InternalTrueApply = [&] { calls << "true"; };
  check.OnAfterTrueApply = [&] { calls << "after true"; };
  check.OnBeforeFalseApply = [&] { calls << "before false"; };
  check.InternalFalseApply = [&] { calls << "false"; };
  check.OnAfterFalseApply = [&] { calls << "after false"; };
  check.Execute();
  check.InternalPrepare = [] { return false; };
  check.Execute();  // refused
  check.InternalPrepare = nullptr;
  check.Execute();
  EXPECT_EQ(calls,
            (QStringList{"before true", "true", "after true", "before false", "false", "after false"}));
}

TEST(AbstractActionExecute, ADisabledActionIsNotRun) {
  TNopeAction nope;
  int runs = 0;
  nope.OnAfterApply = [&] { ++runs; };
  nope.setEnabled(false);
  EXPECT_FALSE(nope.Execute());
  EXPECT_EQ(runs, 0);
}

TEST(AbstractActionExecute, ABooleanActionIsAppliedOnlyByAChange) {
  TBooleanAction action;
  int applied = 0;
  action.OnAfterApply = [&](const bool&) { ++applied; };
  action.SetValue(false);
  EXPECT_EQ(applied, 0);
  action.SetValue(true);
  action.SetValue(true);
  EXPECT_EQ(applied, 1);
}

TEST(AbstractActionExecute, ACheckActionIsAppliedAlsoWithoutChange) {
  TCheckAction action;
  int applied = 0;
  action.OnAfterTrueApply = [&] { ++applied; };
  action.SetChecked(true);
  action.SetChecked(true);
  EXPECT_EQ(applied, 2);
}

// ---- Command-line values ------------------------------------------------------------------------

TEST(AbstractActionApplyText, Booleans) {
  const std::pair<const char*, bool> cases[] = {
      {"true", true},  {" Vrai ", true}, {"T", true},   {"v", true},   {"2", true},
      {"-1", true},    {"oui", false},   {"0", false},  {"", false},   {"false", false},
      {"faux", false}, {"yes", false},   {"1x", false}, {" 1 ", true},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    TBooleanAction boolean;
    boolean.SetValue(!expected);
    boolean.ApplyText(QString::fromUtf8(text));
    EXPECT_EQ(boolean.Value(), expected);
    TCheckAction check;
    check.setDefaultValue(!expected);
    check.ApplyText(QString::fromUtf8(text));
    EXPECT_EQ(check.Checked(), expected);
  }
}

TEST(AbstractActionApplyText, Integers) {
  const std::pair<const char*, int> cases[] = {
      {"12", 12}, {"-7", -7}, {" 3 ", 3}, {"x", -1}, {"", -1}, {"1.5", -1}, {"99999999999", -1},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    TIntegerAction action;
    action.ApplyText(QString::fromUtf8(text));
    EXPECT_EQ(action.Value(), expected);
  }
}

TEST(AbstractActionApplyText, RectanglesNeedBracketsAndFourNumbers) {
  const TRect before{9, 9, 9, 9};
  struct Case {
    const char* text;
    TRect expected;
  };
  const Case cases[] = {
      {"(1,2,3,4)", {1, 2, 3, 4}},
      {"  ( 10 , -20 ,30,  40 )  ", {10, -20, 30, 40}},
      {"(a,2,3,4)", {0, 2, 3, 4}},
      {"(,,,)", {0, 0, 0, 0}},
      {"1,2,3,4", before},
      {"(1,2,3,4", before},
      {"(1,2,3)", before},
      {"(1,2,3,4,5)", before},
      {"()", before},
      {"(", before},
      {"", before},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TRectAction action;
    action.SetValue(before);
    action.ApplyText(QString::fromUtf8(c.text));
    EXPECT_EQ(action.Value(), c.expected);
  }
}

TEST(AbstractActionApplyText, TextAndNope) {
  TWidestringAction text;
  text.ApplyText(QStringLiteral(" C:/vidéos "));
  EXPECT_EQ(text.Value(), QStringLiteral(" C:/vidéos "));
  TNopeAction nope;
  int runs = 0;
  nope.InternalApply = [&] { ++runs; };
  nope.ApplyText(QStringLiteral("ignored"));
  EXPECT_EQ(runs, 1);
}

// ---- Check action presentation ------------------------------------------------------------------

TEST(CheckActionState, CaptionHintAndImageFollowTheState) {
  TOBActionList list;
  TImageList images;
  for (int i = 0; i < 3; ++i) {
    QPixmap p(4, 4);
    p.fill(Qt::red);
    images << QIcon(p);
  }
  list.setImages(&images);
  auto* check = new TCheckAction(&list);
  QList<int> notified;
  check->OnImageChanged = [&](const TImageList* l, int index) {
    EXPECT_EQ(l, &images);
    notified << index;
  };
  check->setTrueCaption(QStringLiteral("Aide"));
  check->setFalseCaption(QStringLiteral("Sans aide"));
  check->setTrueHint(QStringLiteral("oui"));
  check->setFalseHint(QStringLiteral("non"));
  check->setTrueImageIndex(1);
  check->setFalseImageIndex(2);
  // Unchecked: only the false texts show.
  EXPECT_EQ(check->Caption(), QStringLiteral("Sans aide"));
  EXPECT_EQ(check->Hint(), QStringLiteral("non"));
  EXPECT_EQ(check->ImageIndex(), 2);
  check->SetChecked(true);
  EXPECT_EQ(check->Caption(), QStringLiteral("Aide"));
  EXPECT_EQ(check->text(), QStringLiteral("Aide"));
  EXPECT_EQ(check->Hint(), QStringLiteral("oui"));
  EXPECT_EQ(check->ImageIndex(), 1);
  check->setTrueCaption(QStringLiteral("Aide !"));
  EXPECT_EQ(check->Caption(), QStringLiteral("Aide !"));
  check->setDefaultValue(false);
  EXPECT_FALSE(check->Checked());
  EXPECT_EQ(check->Caption(), QStringLiteral("Sans aide"));
  EXPECT_EQ(notified, (QList<int>{2, 1, 2}));
}

TEST(AbstractActionReset, ClearsNamesShortcutsAndInternalHandlers) {
  TIntegerAction action;
  action.setCategory(QStringLiteral("Orbano"));
  action.ScriptName = QStringLiteral("Numero");
  action.setShortCut(QKeyCombination(Qt::Key_F5));
  action.addSecondaryShortCut(QStringLiteral("CTRL+G"));
  int internal = 0, published = 0;
  action.InternalApply = [&](const int32_t&) { ++internal; };
  action.OnAfterApply = [&](const int32_t&) { ++published; };
  action.ResetAction();
  action.SetValue(1);
  EXPECT_TRUE(action.Category().isEmpty());
  EXPECT_TRUE(action.ScriptName.isEmpty());
  EXPECT_TRUE(isNoKey(action.ShortCut()));
  EXPECT_TRUE(action.SecondaryShortCuts().isEmpty());
  EXPECT_EQ(internal, 0);
  EXPECT_EQ(published, 1);
}

}  // namespace
}  // namespace vistrel::actions
