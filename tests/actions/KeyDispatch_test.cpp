#include "actions/KeyDispatch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include "actions/HandlerRecorder.h"

namespace vistrel::actions {
namespace {

using vistrel::testing::HandlerRecorder;

class KeyDispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    createMainActions(al, recorder.lookup());
    auto* quit = new TSuperAction(&am, "naQuit");
    quit->setShortCut(TextToShortCut("Alt+F4"));
    quit->setOnexecute([this](QObject*) { managerCalls << "naQuit"; });
    auto* email = new TSuperAction(&am, "naEMail");
    email->setShortCut(TextToShortCut("Alt+F5"));
    email->setOnexecute([this](QObject*) { managerCalls << "naEMail"; });
    auto* other = new TSuperAction(&am, "caOther");
    other->setShortCut(TextToShortCut("Alt+F9"));
    other->setOnexecute([this](QObject*) { managerCalls << "caOther"; });
  }
  bool press(QKeyCombination key) { return dispatchKey({&al, &am}, key); }
  HandlerRecorder recorder;
  TActionList al, am;
  QStringList managerCalls;
};

TEST_F(KeyDispatchTest, PrimaryAndSecondaryKeysRunTheirAction) {
  struct Case {
    QKeyCombination key;
    const char* handler;
  };
  const Case cases[] = {
      {Qt::Key_F5, "saGrabexecute"},
      {Qt::ControlModifier | Qt::Key_G, "saGrabexecute"},
      {Qt::AltModifier | Qt::Key_Return, "tafullscreenfalseExecute"},
      {Qt::AltModifier | Qt::KeypadModifier | Qt::Key_Enter, "tafullscreenfalseExecute"},
      {Qt::Key_Space, "taFreezeCapturefalseExecute"},
      {Qt::ControlModifier | Qt::Key_Space, "saCapturerBasculeexecute"},
      {Qt::ShiftModifier | Qt::Key_F4, "acHorzFlipExecute"},
      {Qt::Key_F4, "acVertFlipExecute"},
      {Qt::AltModifier | Qt::Key_N, "acNextPanneauExecute"},
      {Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Left, "cam_ReculeLentexecute"},
  };
  for (const Case& c : cases) {
    recorder.calls.clear();
    EXPECT_TRUE(press(c.key)) << c.handler;
    EXPECT_EQ(recorder.calls, QStringList({c.handler}));
  }
}

TEST_F(KeyDispatchTest, TheMainListIsAskedFirst) {
  EXPECT_TRUE(press(Qt::AltModifier | Qt::Key_F4));
  EXPECT_EQ(recorder.calls, QStringList({"acQuitterExecute"}));
  EXPECT_TRUE(press(Qt::AltModifier | Qt::Key_F5));
  EXPECT_EQ(recorder.calls.last(), "saRatio4x3execute");
  EXPECT_TRUE(managerCalls.isEmpty());
  EXPECT_TRUE(press(Qt::AltModifier | Qt::Key_F9));
  EXPECT_EQ(managerCalls, QStringList({"caOther"}));
}

TEST_F(KeyDispatchTest, AKeyNotHandledGoesToTheNextList) {
  al.find("acQuitter")->setEnabled(false);
  EXPECT_TRUE(press(Qt::AltModifier | Qt::Key_F4));
  EXPECT_TRUE(recorder.calls.isEmpty());
  EXPECT_EQ(managerCalls, QStringList({"naQuit"}));
}

TEST_F(KeyDispatchTest, UnknownKeysAndModifierPressesAreNotConsumed) {
  EXPECT_FALSE(press(Qt::Key_F13));
  EXPECT_FALSE(press(Qt::MetaModifier | Qt::Key_F5));
  EXPECT_FALSE(press(QKeyCombination(Qt::ControlModifier, Qt::Key_Control)));
  EXPECT_FALSE(press(kNoKey));
  EXPECT_TRUE(recorder.calls.isEmpty());
}

TEST_F(KeyDispatchTest, ACancelledExecutionStillConsumesTheKey) {
  recorder.on("taraccourcisprepare", [](QObject*) { ActionProceed = false; });
  EXPECT_TRUE(press(Qt::Key_F11));
  EXPECT_EQ(recorder.calls, QStringList({"taraccourcisprepare"}));
}

TEST_F(KeyDispatchTest, AThrowingHandlerIsContained) {
  recorder.on("saGrabexecute", [](QObject*) { throw std::runtime_error("boom"); });
  EXPECT_TRUE(press(Qt::Key_F5));
  EXPECT_TRUE(press(Qt::Key_F7));
  EXPECT_EQ(recorder.calls.last(), "acCouperExecute");
}

// Installed on the window, the dispatcher sees a key before the focused control: the space bar
// runs the capture freeze instead of typing a blank, and other keys still reach the control.
TEST_F(KeyDispatchTest, WindowDispatcherComesBeforeTheFocusedControl) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* edit = new QLineEdit(&window);
  layout->addWidget(edit);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.activateWindow();
  edit->setFocus();
  TKeyDispatcher dispatcher;
  dispatcher.setLists({&al, &am});
  window.windowHandle()->installEventFilter(&dispatcher);

  QTest::keyClick(window.windowHandle(), Qt::Key_A);
  QTest::keyClick(window.windowHandle(), Qt::Key_Space);
  QTest::keyClick(window.windowHandle(), Qt::Key_F5);
  QTest::keyClick(window.windowHandle(), Qt::Key_B);
  EXPECT_EQ(recorder.calls, QStringList({"taFreezeCapturefalseExecute", "saGrabexecute"}));
  EXPECT_EQ(edit->text(), "ab");
}

}  // namespace
}  // namespace vistrel::actions
