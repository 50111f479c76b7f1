#include "actions/SuperAction.h"

#include <gtest/gtest.h>

#include "actions/HandlerRecorder.h"

namespace vistrel::actions {
namespace {

using vistrel::testing::HandlerRecorder;

class SuperActionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    createMainActions(al, recorder.lookup());
    vistrel::testing::markTogglesLikeTheWindow(recorder, al, {"taMute", "tafullscreen"});
  }
  TCustomSuperAction* at(const QString& name) { return al.find<TCustomSuperAction>(name); }
  HandlerRecorder recorder;
  TActionList al;
};

TEST_F(SuperActionTest, SwitchAndTokenAreStoredLowerCased) {
  TSuperAction a;
  a.setSwitch("FS");
  a.setToken("Full_Screen");
  EXPECT_EQ(a.Switch(), "fs");
  EXPECT_EQ(a.Token(), "full_screen");
}

TEST_F(SuperActionTest, ImageChangeIsReportedOnlyOnAChange) {
  TImageList images(8);
  al.setImages(&images);
  QList<int> reported;
  auto* grab = at("saGrab");
  grab->OnImageChanged = [&](const TImageList* list, int index) {
    EXPECT_EQ(list, &images);
    reported << index;
  };
  grab->setimageindex(6);
  grab->setimageindex(3);
  grab->setimageindex(3);
  EXPECT_EQ(reported, QList<int>({3}));
}

TEST_F(SuperActionTest, DisabledActionRunsNothingAndIsNotHandled) {
  at("saGrab")->setEnabled(false);
  EXPECT_FALSE(at("saGrab")->Execute());
  EXPECT_TRUE(recorder.calls.isEmpty());
}

TEST_F(SuperActionTest, PreparationThatCancelsReportsHandled) {
  recorder.on("saSourceVideoprepare", [](QObject*) { ActionProceed = false; });
  EXPECT_TRUE(at("saSourceVideo")->Execute());
  EXPECT_EQ(recorder.calls, QStringList({"saSourceVideoprepare"}));
}

TEST_F(SuperActionTest, PreparationHandsTheArgumentToTheHandler) {
  ActionArgs = QStringList({"stale"});
  recorder.on("saSourceVideoprepare", [](QObject*) { ActionArgs.append("Caméra USB"); });
  EXPECT_TRUE(at("saSourceVideo")->Execute());
  EXPECT_EQ(recorder.calls, QStringList({"saSourceVideoprepare", "saSourceVideoexecute"}));
  EXPECT_EQ(recorder.args.last(), "Caméra USB");
  EXPECT_EQ(recorder.senders.last(), at("saSourceVideo"));
}

TEST_F(SuperActionTest, InteractiveToggleRunsTheHandlerOfItsState) {
  auto* mute = at("taMute");
  EXPECT_TRUE(mute->Execute());
  EXPECT_EQ(recorder.calls, QStringList({"taMutefalseExecute"}));
  EXPECT_TRUE(mute->Checked());
  EXPECT_EQ(mute->Caption(), "Remettre le son");
  EXPECT_TRUE(mute->Execute());
  EXPECT_EQ(recorder.calls.last(), "taMuteTrueExecute");
  EXPECT_FALSE(mute->Checked());
  EXPECT_EQ(mute->Caption(), "Couper le son");
}

// A click inverts an AutoCheck toggle by the plain setter: the handler of the former state runs
// and the texts stay those of that state until the next re-synchronisation.
TEST_F(SuperActionTest, ClickOnAnAutoCheckToggleKeepsTheFormerTexts) {
  auto* freeze = at("taFreezepreview");
  EXPECT_TRUE(freeze->Execute());
  EXPECT_EQ(recorder.calls, QStringList({"taFreezepreviewfalseExecute"}));
  EXPECT_TRUE(freeze->Checked());
  EXPECT_EQ(freeze->Caption(), "Relancer la preview");
  EXPECT_TRUE(freeze->Execute());
  EXPECT_EQ(recorder.calls.last(), "taFreezepreviewTrueExecute");
  EXPECT_FALSE(freeze->Checked());
  EXPECT_EQ(freeze->Caption(), "Geler la preview");
}

TEST_F(SuperActionTest, AutoCheckPlainActionInvertsBeforeItsHandler) {
  bool seen = false;
  recorder.on("acReduireExecute", [&](QObject*) { seen = at("acReduire")->Checked(); });
  at("acReduire")->Execute();
  EXPECT_TRUE(seen);
  at("acReduire")->Execute();
  EXPECT_FALSE(at("acReduire")->Checked());
}

TEST_F(SuperActionTest, DecalageGetsItsTextsAtItsFirstExecution) {
  auto* shift = at("taDecalage");
  EXPECT_EQ(shift->Caption(), "");
  recorder.on("taDecalageprepare", [&](QObject*) { shift->SetChecked(false); });
  EXPECT_TRUE(shift->Execute());
  EXPECT_EQ(recorder.calls, QStringList({"taDecalageprepare", "taDecalagefalseExecute"}));
  EXPECT_EQ(shift->Caption(), "Ajouter un décalage");
  EXPECT_EQ(shift->imageindex(), 47);
}

TEST_F(SuperActionTest, TriggeringTheQtActionRunsTheInteractiveExecution) {
  auto* mute = at("taMute");
  mute->trigger();
  EXPECT_EQ(recorder.calls, QStringList({"taMutefalseExecute"}));
  EXPECT_TRUE(mute->isChecked());
  mute->trigger();  // Qt would invert the check first; the action's own state decides
  EXPECT_EQ(recorder.calls.last(), "taMuteTrueExecute");
  EXPECT_FALSE(mute->isChecked());
  EXPECT_FALSE(mute->Checked());
}

TEST_F(SuperActionTest, AThrowingHandlerPassesToTheCallerButNotThroughQt) {
  recorder.on("saGrabexecute", [](QObject*) { throw std::runtime_error("no picture"); });
  EXPECT_THROW(at("saGrab")->Execute(), std::runtime_error);
  EXPECT_NO_THROW(at("saGrab")->trigger());
}

TEST_F(SuperActionTest, HintsShowLineBreaksInToolTips) {
  EXPECT_EQ(at("saCapturerBascule")->toolTip(),
            "Capturer le flux video actuel sur le disque dur.\nLa barre d'Espace permet aussi de lancer la "
            "capture.");
  EXPECT_EQ(at("saGrab")->text(), "Grab!");
}

}  // namespace
}  // namespace vistrel::actions
