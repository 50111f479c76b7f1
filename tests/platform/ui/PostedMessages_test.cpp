#include "platform/ui/PostedMessages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <thread>
#include <vector>

using namespace vistrel::platform::ui;

namespace {

class Receiver : public QObject {
 public:
  struct Received {
    uint32_t message;
    intptr_t wParam, lParam;
    bool onOwnThread;
  };
  std::vector<Received> received;

  bool event(QEvent* e) override {
    if (e->type() != WindowMessageEvent::eventType()) return QObject::event(e);
    auto* m = static_cast<WindowMessageEvent*>(e);
    received.push_back({m->message(), m->wParam(), m->lParam(), QThread::currentThread() == thread()});
    return true;
  }
};

TEST(PostedMessages, ArriveInOrderOnTheWindowsThreadFromAnyThread) {
  Receiver window;
  const WindowHandle handle = registerWindow(&window);
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(postMessage(handle, WM_USER + 1, 0, i));
  });
  poster.join();
  EXPECT_TRUE(window.received.empty());  // nothing is delivered on the poster's thread
  QCoreApplication::sendPostedEvents(&window);
  ASSERT_EQ(window.received.size(), 100u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(window.received[i].message, 1025u);
    EXPECT_EQ(window.received[i].lParam, i);
    EXPECT_TRUE(window.received[i].onOwnThread);
  }
  unregisterWindow(handle);
}

TEST(PostedMessages, AGoneWindowIsNeverReached) {
  const WindowHandle handle = [] {
    Receiver window;
    return registerWindow(&window);
  }();
  // The window above was destroyed without unregistering: the program must unregister first.
  unregisterWindow(handle);
  EXPECT_FALSE(postMessage(handle, WM_USER + 2, 5, 0));
  EXPECT_FALSE(postMessage(0, WM_USER + 2, 5, 0));
}

}  // namespace
