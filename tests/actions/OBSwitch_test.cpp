#include "actions/OBSwitch.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <stdexcept>

#include "actions/AbstractActions.h"

using namespace vistrel::actions;

namespace {

class OBSwitchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    fs = new TCheckAction(&list, QStringLiteral("fs"));
    fs->Switch = QStringLiteral("FS");
    fs->InternalTrueApply = [this] { log << QStringLiteral("fs on"); };
    fs->InternalFalseApply = [this] { log << QStringLiteral("fs off"); };
    level = new TIntegerAction(&list, QStringLiteral("level"));
    level->Switch = QStringLiteral("level");
    level->InternalApply = [this](const int32_t& v) { log << QStringLiteral("level %1").arg(v); };
    name = new TWidestringAction(&list, QStringLiteral("name"));
    name->Switch = QStringLiteral("sv");
    name->InternalApply = [this](const QString& v) { log << QStringLiteral("name [%1]").arg(v); };
    processor.setMainWindow(&window);
  }

  void run(const QStringList& arguments) {
    for (const QString& a : arguments) processor.ParseArgument(a);
    processor.ExecuteCommands();
  }

  QWidget window;
  TOBActionList list;
  TCheckAction* fs = nullptr;
  TIntegerAction* level = nullptr;
  TWidestringAction* name = nullptr;
  TOBSwitch processor;
  QStringList log;
};

TEST_F(OBSwitchTest, AnEmptyRegistryFindsNothing) {
  processor.setDefaultAction(name);
  EXPECT_EQ(processor.FindAction(QStringLiteral("fs")), nullptr);
  EXPECT_EQ(processor.FindAction(QString()), nullptr);
  EXPECT_FALSE(processor.ParseArgument(QStringLiteral("chemin/fichier.avi")));
}

TEST_F(OBSwitchTest, CommandsSetCheckStatesOrGiveTheirValueAsText) {
  list.setSwitch(&processor);
  EXPECT_EQ(processor.FindAction(QStringLiteral("Fs")), fs);
  run({QStringLiteral("+fs"), QStringLiteral("-FS"), QStringLiteral("/fs"), QStringLiteral("fs"),
       QStringLiteral("/level=12"), QStringLiteral("+level=abc"), QStringLiteral("/sv="),
       QStringLiteral("/sv=Caméra USB 2"), QStringLiteral("/inconnu=3")});
  EXPECT_EQ(log, (QStringList{"fs on", "fs off", "fs on", "level 12", "level -1", "name []",
                              QStringLiteral("name [Caméra USB 2]")}));
  EXPECT_TRUE(fs->Checked());
  EXPECT_FALSE(window.isHidden());
}

TEST_F(OBSwitchTest, UnknownAndEmptyNamesGoToTheDefaultAction) {
  list.setSwitch(&processor);
  processor.setDefaultAction(name);
  // A path with a leading "/" reads as an unknown switch without a value.
  run({QStringLiteral("+=x"), QStringLiteral("/autre=y"), QStringLiteral("videos/un fichier.avi"),
       QStringLiteral("/tmp/un fichier")});
  EXPECT_EQ(log, (QStringList{"name [x]", "name [y]", "name [videos/un fichier.avi]", "name []"}));
  log.clear();
  processor.setDefaultAction(nullptr);
  run({QStringLiteral("+=x"), QStringLiteral("nu")});
  EXPECT_TRUE(log.isEmpty());
}

TEST_F(OBSwitchTest, QuitClosesTheWindowOnlyAfterACommandRan) {
  list.setSwitch(&processor);
  run({QStringLiteral("/quit")});
  EXPECT_TRUE(processor.QuitRequested());
  EXPECT_FALSE(window.isHidden());
  run({QStringLiteral("/quit"), QStringLiteral("+fs")});
  EXPECT_EQ(log, QStringList{"fs on"});
  EXPECT_TRUE(window.isHidden());
}

TEST_F(OBSwitchTest, AFailingHandlerEndsTheListAndQuitIsStillHonoured) {
  list.setSwitch(&processor);
  level->InternalApply = [](const int32_t&) { throw std::runtime_error("panne"); };
  run({QStringLiteral("+fs"), QStringLiteral("/level=1"), QStringLiteral("-fs"), QStringLiteral("/quit")});
  EXPECT_EQ(log, QStringList{"fs on"});
  EXPECT_TRUE(window.isHidden());
  EXPECT_FALSE(processor.Executing());
}

TEST_F(OBSwitchTest, DisabledAndDestroyedActionsAreSkipped) {
  list.setSwitch(&processor);
  processor.ParseArgument(QStringLiteral("/level=4"));
  processor.ParseArgument(QStringLiteral("+fs"));
  processor.ParseArgument(QStringLiteral("/sv=a"));
  fs->setEnabled(false);
  delete level;
  level = nullptr;
  processor.ExecuteCommands();
  EXPECT_EQ(log, QStringList{"name [a]"});
}

TEST_F(OBSwitchTest, ClearingTheListsSwitchForgetsItsActions) {
  list.setSwitch(&processor);
  list.setSwitch(nullptr);
  EXPECT_EQ(processor.FindAction(QStringLiteral("fs")), nullptr);
}

TEST_F(OBSwitchTest, TheCommandLineIsInterpretedOnce) {
  list.setSwitch(&processor);
  processor.setArguments({QStringLiteral("+fs"), QStringLiteral("/level=7")});
  int activations = 0, empty = 0;
  processor.OnActivate = [&](QObject*) { ++activations; };
  processor.OnNoCommandLine = [&](QObject*) { ++empty; };
  processor.AppActivate();
  processor.AppActivate();
  EXPECT_EQ(activations, 1);
  EXPECT_EQ(empty, 0);
  EXPECT_EQ(log, (QStringList{"fs on", "level 7"}));
  EXPECT_FALSE(processor.Armed());
  EXPECT_TRUE(processor.Commands().empty());

  TOBSwitch other;
  other.setArguments({QStringLiteral("/rien")});
  other.OnNoCommandLine = [&](QObject* sender) {
    EXPECT_EQ(sender, nullptr);
    ++empty;
  };
  other.AppActivate();
  EXPECT_EQ(empty, 1);
}

}  // namespace
