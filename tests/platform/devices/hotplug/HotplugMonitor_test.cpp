#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include "platform/devices/VirtualDevices.h"
#include "platform/devices/hotplug/HotplugMonitor.h"

using namespace vistrel::platform;
using namespace vistrel::platform::devices;

namespace {
class MessageCatcher : public QObject {
 public:
  std::vector<std::tuple<uint32_t, intptr_t, intptr_t>> messages;
  bool event(QEvent* e) override {
    if (e->type() != ui::WindowMessageEvent::eventType()) return QObject::event(e);
    auto* m = static_cast<ui::WindowMessageEvent*>(e);
    messages.emplace_back(m->message(), m->wParam(), m->lParam());
    return true;
  }
};
}  // namespace

TEST(HotplugMonitor, ABurstOfEventsGivesOneRescanAndOneDeviceChangeMessage) {
  int rescans = 0;
  HotplugMonitor monitor([&] {
    ++rescans;
    return true;
  });
  MessageCatcher window;
  const auto handle = ui::registerWindow(&window);
  monitor.addNotifyWindow(handle);
  QSignalSpy changed(&monitor, &HotplugMonitor::devicesChanged);
  for (const char* node : {"/dev/snd/controlC1", "/dev/snd/pcmC1D0c", "/dev/snd/pcmC1D0p"})
    monitor.deviceEvent({"add", "sound", node});
  monitor.deviceEvent({"add", "usb", ""});  // not ours
  ASSERT_TRUE(changed.wait(5000));
  QCoreApplication::processEvents();
  EXPECT_EQ(rescans, 1);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0], std::make_tuple(WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, intptr_t(0)));
  ui::unregisterWindow(handle);
}

TEST(HotplugMonitor, ACameraRemovalRescansAtOnceAndNoChangeSaysNothing) {
  bool changes = false;
  int rescans = 0;
  HotplugMonitor monitor([&] {
    ++rescans;
    return changes;
  });
  MessageCatcher window;
  const auto handle = ui::registerWindow(&window);
  monitor.addNotifyWindow(handle);
  monitor.deviceEvent({"remove", "video4linux", "/dev/video0"});
  EXPECT_EQ(rescans, 1);  // no waiting: a running graph must hear of it now
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.messages.empty());
  monitor.removeNotifyWindow(handle);
  changes = true;
  monitor.deviceEvent({"remove", "video4linux", "/dev/video0"});
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.messages.empty());  // no longer registered
  ui::unregisterWindow(handle);
}
