#include "actions/OBActionList.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <memory>
#include <ostream>
#include <stdexcept>

#include "actions/AbstractActions.h"
#include "actions/OBScript.h"
#include "settings/OrbanoPreferences.h"
#include "support/TempRoot.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace vistrel::settings {
inline void PrintTo(const TRect& r, std::ostream* os) {
  *os << '(' << r.Left << ',' << r.Top << ',' << r.Right << ',' << r.Bottom << ')';
}
}  // namespace vistrel::settings

namespace vistrel::actions {
namespace {

using settings::spNone;
using settings::spPortable;
using settings::TOrbanoPreferences;
using vistrel::testing::TempRoot;

// ---- Preferences --------------------------------------------------------------------------------

// One list with an action of each kind, as a window would own it.
struct Actions {
  Actions() {
    nope = new TNopeAction(&list);
    nope->ScriptName = QStringLiteral("Grab");
    text = new TWidestringAction(&list);
    text->ScriptName = QStringLiteral("Titre");
    text->DefaultValue = QStringLiteral("sans titre");
    integer = new TIntegerAction(&list);
    integer->ScriptName = QStringLiteral("NumMediatype");
    integer->DefaultValue = 4;
    boolean = new TBooleanAction(&list);
    boolean->ScriptName = QStringLiteral("Muet");
    boolean->DefaultValue = true;
    rect = new TRectAction(&list);
    rect->ScriptName = QStringLiteral("FormSave");
    rect->DefaultValue = TRect{1, 2, 3, 4};
    check = new TCheckAction(&list);
    check->ScriptName = QStringLiteral("Options");
    check->setTrueCaption(QStringLiteral("on"));
    check->setFalseCaption(QStringLiteral("off"));
  }
  TOBActionList list;
  TNopeAction* nope;
  TWidestringAction* text;
  TIntegerAction* integer;
  TBooleanAction* boolean;
  TRectAction* rect;
  TCheckAction* check;
};

// The preferences component in the portable mode, its ini file under the temporary root.
std::unique_ptr<TOrbanoPreferences> portablePrefs() {
  auto gp = std::make_unique<TOrbanoPreferences>(nullptr);
  gp->settitre(QStringLiteral("Vistrel"));
  gp->SetMode(spPortable);
  return gp;
}

TEST(ActionListPrefs, SavedValuesLoadBackThroughTheIniFile) {
  TempRoot root;
  {
    Actions a;
    a.text->SetValue(QStringLiteral("Vacances d'été"));
    a.integer->SetValue(-12);
    a.boolean->SetValue(false);
    a.rect->SetValue(TRect{-5, 10, 800, 600});
    a.check->SetChecked(true);
    auto gp = portablePrefs();
    EXPECT_TRUE(a.list.SaveToPrefs(*gp));
  }  // the ini file is written when the component goes
  Actions b;
  QStringList applied;
  b.integer->ApplyWhenLoad = true;
  b.integer->OnAfterApply = [&](const int32_t& v) { applied << QString::number(v); };
  b.check->ApplyWhenLoad = true;
  b.check->OnAfterTrueApply = [&] { applied << QStringLiteral("options"); };
  b.nope->ApplyWhenLoad = true;
  b.nope->OnAfterApply = [&] { applied << QStringLiteral("grab"); };
  auto gp = portablePrefs();
  EXPECT_TRUE(b.list.LoadFromPrefs(*gp));
  EXPECT_EQ(b.text->Value(), QStringLiteral("Vacances d'été"));
  EXPECT_EQ(b.integer->Value(), -12);
  EXPECT_FALSE(b.boolean->Value());
  EXPECT_EQ(b.rect->Value(), (TRect{-5, 10, 800, 600}));
  EXPECT_TRUE(b.check->Checked());
  EXPECT_EQ(b.check->Caption(), QStringLiteral("on"));
  EXPECT_EQ(applied, (QStringList{"grab", "-12", "options"}));
  // Stored under the script names, rectangles as a subsection.
  EXPECT_EQ(gp->ReadInteger(QStringLiteral("NumMediatype"), 0), -12);
  EXPECT_EQ(gp->ReadRect(QStringLiteral("FormSave"), TRect{}), (TRect{-5, 10, 800, 600}));
}

TEST(ActionListPrefs, KeepNothingModeGivesTheDefaultsAfterOnDefaultAndSavingFails) {
  TempRoot root;
  Actions a;
  a.integer->SetValue(99);
  a.text->SetValue(QStringLiteral("x"));
  a.check->SetChecked(true);
  a.integer->OnDefault = [](int32_t& v) {
    v += 1;
    return false;  // the result does not matter
  };
  a.check->InternalDefault = [](bool& v) {
    v = false;
    return true;
  };
  TOrbanoPreferences gp(nullptr);
  ASSERT_EQ(gp.Mode(), spNone);
  EXPECT_TRUE(a.list.LoadFromPrefs(gp));
  EXPECT_EQ(a.integer->Value(), 5);
  EXPECT_EQ(a.text->Value(), QStringLiteral("sans titre"));
  EXPECT_TRUE(a.boolean->Value());
  EXPECT_EQ(a.rect->Value(), (TRect{1, 2, 3, 4}));
  EXPECT_FALSE(a.check->Checked());
  EXPECT_EQ(a.check->Caption(), QStringLiteral("off"));
  EXPECT_FALSE(a.list.SaveToPrefs(gp));
}

TEST(ActionListPrefs, BeforeSaveHandlersDecideWhatIsWritten) {
  TempRoot root;
  Actions a;
  a.integer->InternalBeforeSave = [](int32_t& v) {
    v = 7;  // the current media type, say
    return true;
  };
  a.check->SetChecked(true);
  a.check->BeforeSave = [](bool& v) {
    v = false;
    return true;
  };
  auto gp = portablePrefs();
  EXPECT_TRUE(a.list.SaveToPrefs(*gp));
  EXPECT_EQ(gp->ReadInteger(QStringLiteral("NumMediatype"), 0), 7);
  EXPECT_EQ(a.integer->Value(), 7);
  EXPECT_FALSE(gp->ReadBoolean(QStringLiteral("Options"), true));
  EXPECT_TRUE(a.check->Checked());  // only a copy went through
}

TEST(ActionListPrefs, ExcludedActionsFailingActionsAndTheListsEvent) {
  TempRoot root;
  Actions a;
  a.text->IncludePrefs = false;
  a.text->SetValue(QStringLiteral("gardé"));
  int loadsAfterFailure = 0;
  a.integer->InternalDefault = [](int32_t&) -> bool { throw std::runtime_error("store"); };
  a.rect->OnDefault = [&](TRect&) {
    ++loadsAfterFailure;
    return true;
  };
  QStringList events;
  a.list.OnLoadFromPrefs = [&](TOrbanoPreferences&) {
    events << QStringLiteral("load");
    return true;
  };
  auto gp = portablePrefs();
  EXPECT_FALSE(a.list.LoadFromPrefs(*gp));  // the integer failed, the others still ran
  EXPECT_EQ(loadsAfterFailure, 1);
  EXPECT_EQ(events, QStringList{"load"});
  EXPECT_EQ(a.text->Value(), QStringLiteral("gardé"));
  EXPECT_TRUE(a.list.SaveToPrefs(*gp));
  EXPECT_EQ(gp->ReadString(QStringLiteral("Titre"), QStringLiteral("absent")), QStringLiteral("absent"));

  a.integer->InternalDefault = nullptr;
  a.list.OnLoadFromPrefs = [](TOrbanoPreferences&) { return false; };
  EXPECT_FALSE(a.list.LoadFromPrefs(*gp));
  a.list.OnSaveToPrefs = [](TOrbanoPreferences&) -> bool { throw std::runtime_error("event"); };
  EXPECT_FALSE(a.list.SaveToPrefs(*gp));
}

TEST(ActionListLookup, FindByInternalIdIsExactAndSkipsPlainActions) {
  TOBActionList list;
  new TCustomAction(&list, QStringLiteral("naQuit"));
  auto* quit = new TNopeAction(&list, QStringLiteral("naQuit"));
  auto* second = new TNopeAction(&list, QStringLiteral("naQuit"));
  auto* cam = new TRectAction(&list, QStringLiteral("raCam1"));
  EXPECT_EQ(list.FindByInternalId(QStringLiteral("naQuit")), quit);
  EXPECT_NE(list.FindByInternalId(QStringLiteral("naQuit")), second);
  EXPECT_EQ(list.FindByInternalId<TRectAction>(QStringLiteral("raCam1")), cam);
  EXPECT_EQ(list.FindByInternalId<TCheckAction>(QStringLiteral("raCam1")), nullptr);
  EXPECT_EQ(list.FindByInternalId(QStringLiteral("racam1")), nullptr);
  EXPECT_EQ(list.FindByInternalId(QString()), nullptr);
  EXPECT_EQ(list.AbstractActions().size(), 3);
}

// ---- Script engine attachment -------------------------------------------------------------------

TEST(ActionListScript, TheKeptHandlerRunsFirstAndDetachingGivesItBack) {
  TempRoot root;
  TOBScript ob;
  QStringList order;
  ob.OnCompile = [&](TOBScript& s) {
    order << QStringLiteral("kept");
    s.Compiler()->declareRoutine(QStringLiteral("procedure Mark;"), [](script::HostCall&) {});
  };
  TOBActionList list;
  auto* n = new TIntegerAction(&list);
  n->ScriptName = QStringLiteral("Numero");
  n->OnBeforeApply = [&](const int32_t&) { order << QStringLiteral("numero"); };
  list.setPascalScript(&ob);
  EXPECT_EQ(list.PascalScript(), &ob);
  list.setPascalScript(&ob);  // again: nothing changes
  ob.setScript(QStringLiteral("begin Mark; Numero(3); end."));
  ASSERT_TRUE(ob.CompileWithMessages());
  ASSERT_TRUE(ob.ExecuteWithMessages());
  EXPECT_EQ(order, (QStringList{"kept", "numero"}));

  list.setPascalScript(nullptr);
  order.clear();
  EXPECT_FALSE(ob.CompileWithMessages());  // Numero is gone
  EXPECT_EQ(order, QStringList{"kept"});
  ob.setScript(QStringLiteral("begin Mark; end."));
  EXPECT_TRUE(ob.CompileWithMessages());
}

TEST(ActionListScript, AnUnattachedListDeclaresNothing) {
  TempRoot root;
  TOBScript ob;
  TOBActionList list;
  auto* n = new TNopeAction(&list);
  n->ScriptName = QStringLiteral("Quit");
  ob.setScript(QStringLiteral("begin Quit; end."));
  EXPECT_FALSE(ob.CompileWithMessages());
}

TEST(ActionListScript, TwoListsStackAndEitherMayLeaveFirst) {
  TempRoot root;
  TOBScript ob;
  auto first = std::make_unique<TOBActionList>();
  auto* a = new TNopeAction(first.get());
  a->ScriptName = QStringLiteral("Un");
  TOBActionList second;
  auto* b = new TNopeAction(&second);
  b->ScriptName = QStringLiteral("Deux");
  first->setPascalScript(&ob);
  second.setPascalScript(&ob);
  ob.setScript(QStringLiteral("begin Un; Deux; end."));
  EXPECT_TRUE(ob.CompileWithMessages());
  // The first list leaves while the second still holds its handler: the second keeps working.
  first.reset();
  EXPECT_FALSE(ob.CompileWithMessages());
  ob.setScript(QStringLiteral("begin Deux; end."));
  EXPECT_TRUE(ob.CompileWithMessages());
  second.setPascalScript(nullptr);
  EXPECT_FALSE(ob.CompileWithMessages());
  ob.setScript(QStringLiteral("begin end."));
  EXPECT_TRUE(ob.CompileWithMessages());
}

TEST(ActionListScript, AnEngineDestroyedFirstLeavesTheListUsable) {
  TempRoot root;
  TOBActionList list;
  auto* n = new TNopeAction(&list);
  n->ScriptName = QStringLiteral("Un");
  {
    TOBScript gone;
    list.setPascalScript(&gone);
  }
  EXPECT_EQ(list.PascalScript(), nullptr);
  TOBScript ob;
  list.setPascalScript(&ob);
  ob.setScript(QStringLiteral("begin Un; end."));
  EXPECT_TRUE(ob.CompileWithMessages());
}

// ---- Switch processor ---------------------------------------------------------------------------

TEST(ActionListSwitch, RegistrationFollowsTheListsProcessor) {
  TOBActionList list;
  auto* fs = new TCheckAction(&list);
  fs->Switch = QStringLiteral("FullScreen");
  auto* nameless = new TNopeAction(&list);
  new TCustomAction(&list, QStringLiteral("plain"));
  TOBSwitchRegistry one, two;
  EXPECT_EQ(one.FindRegistered(QString()), nullptr);  // empty registry
  list.setSwitch(&one);
  EXPECT_EQ(list.Switch(), &one);
  EXPECT_EQ(one.RegisteredCount(), 2);
  EXPECT_EQ(one.FindRegistered(QStringLiteral("fullscreen")), fs);
  EXPECT_EQ(one.FindRegistered(QString()), nameless);  // empty texts are registered too
  EXPECT_EQ(one.FindRegistered(QStringLiteral("plain")), nullptr);
  list.setSwitch(&one);  // again: nothing changes
  EXPECT_EQ(one.RegisteredCount(), 2);
  list.setSwitch(&two);
  EXPECT_EQ(one.RegisteredCount(), 0);
  EXPECT_EQ(two.FindRegistered(QStringLiteral("FULLSCREEN")), fs);
  delete fs;
  EXPECT_EQ(two.FindRegistered(QStringLiteral("fullscreen")), nullptr);
  EXPECT_EQ(two.RegisteredCount(), 1);
  list.setSwitch(nullptr);
  EXPECT_EQ(two.RegisteredCount(), 0);
  EXPECT_EQ(list.FindBySwitch(QString()), nameless);
}

TEST(ActionListSwitch, CommandsApplyByModeOrAsText) {
  TCheckAction check;
  QStringList applied;
  check.OnAfterTrueApply = [&] { applied << QStringLiteral("on"); };
  check.OnAfterFalseApply = [&] { applied << QStringLiteral("off"); };
  const std::pair<TSwitchMode, bool> modes[] = {
      {TSwitchMode::smPlus, true},  {TSwitchMode::smPlus, true},   {TSwitchMode::smMinus, false},
      {TSwitchMode::smSlash, true}, {TSwitchMode::smSlash, false}, {TSwitchMode::smBare, false},
  };
  for (const auto& [mode, expected] : modes) {
    TOBSwitchRegistry::ApplyCommand(check, mode, QStringLiteral("true"));
    EXPECT_EQ(check.Checked(), expected);
  }
  EXPECT_EQ(applied, (QStringList{"on", "on", "off", "on", "off"}));

  TRectAction rect;
  TOBSwitchRegistry::ApplyCommand(rect, TSwitchMode::smMinus, QStringLiteral("(1, 2, 3, 4)"));
  EXPECT_EQ(rect.Value(), (TRect{1, 2, 3, 4}));
  TIntegerAction integer;
  TOBSwitchRegistry::ApplyCommand(integer, TSwitchMode::smBare, QStringLiteral("25"));
  EXPECT_EQ(integer.Value(), 25);
  TBooleanAction boolean;
  TOBSwitchRegistry::ApplyCommand(boolean, TSwitchMode::smPlus, QStringLiteral("2"));
  EXPECT_TRUE(boolean.Value());
}

// ---- Action component ---------------------------------------------------------------------------

class Component : public TOBActionComponent {
 public:
  QStringList calls;
  bool WndProc(QEvent* message) override {
    calls << QStringLiteral("message %1").arg(int(message->type()));
    return message->type() == QEvent::User;
  }
  void AssignInternalHandlers() override { calls << QStringLiteral("assign"); }
  void CreateActions() override { calls << QStringLiteral("create"); }
  void FindActions() override { calls << QStringLiteral("find"); }
  void InitActions() override { calls << QStringLiteral("init"); }
};

TEST(ActionComponent, SetUpOrderAndMessages) {
  Component c;
  c.Created();
  c.Loaded();
  QEvent user(QEvent::User);
  EXPECT_TRUE(QCoreApplication::sendEvent(c.Handle(), &user));
  EXPECT_EQ(c.calls, (QStringList{"create", "init", "assign", "find", "assign",
                                  QStringLiteral("message %1").arg(int(QEvent::User))}));
  TOBActionComponent base;
  QEvent other(QEvent::Hide);
  EXPECT_FALSE(QCoreApplication::sendEvent(base.Handle(), &other));
}

}  // namespace
}  // namespace vistrel::actions
