#include "platform/devices/hotplug/HotplugMonitor.h"

#include <libudev.h>

#include <QSocketNotifier>
#include <algorithm>
#include <cstdio>

#include "platform/devices/DeviceBackends.h"
#include "platform/devices/VirtualDevices.h"

namespace vistrel::platform::devices {

namespace {
constexpr int kSettleMs = 300;  // a card's nodes arrive within this
}

struct HotplugMonitor::Udev {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  std::unique_ptr<QSocketNotifier> notifier;
  ~Udev() {
    notifier.reset();
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
  }
};

HotplugMonitor::HotplugMonitor(std::function<bool()> rescan, QObject* parent)
    : QObject(parent), rescan_(std::move(rescan)) {
  settleTimer_.setSingleShot(true);
  settleTimer_.setInterval(kSettleMs);
  connect(&settleTimer_, &QTimer::timeout, this, [this] { settle(); });
}

HotplugMonitor::~HotplugMonitor() = default;

HotplugMonitor& HotplugMonitor::system() {
  static HotplugMonitor* monitor = [] {
    auto* m = new HotplugMonitor(&rescanRealDevices);  // lives as long as the program
    if (realDevicesEnabled()) m->startUdev();
    return m;
  }();
  return *monitor;
}

bool HotplugMonitor::startUdev() {
  if (udev_) return true;
  auto u = std::make_unique<Udev>();
  u->context = udev_new();
  if (u->context) u->monitor = udev_monitor_new_from_netlink(u->context, "udev");
  if (!u->monitor ||
      udev_monitor_filter_add_match_subsystem_devtype(u->monitor, "video4linux", nullptr) < 0 ||
      udev_monitor_filter_add_match_subsystem_devtype(u->monitor, "sound", nullptr) < 0 ||
      udev_monitor_enable_receiving(u->monitor) < 0) {
    std::fprintf(stderr, "vistrel: udev is not available: devices plugged in later are not seen\n");
    return false;
  }
  u->notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(u->monitor), QSocketNotifier::Read);
  connect(u->notifier.get(), &QSocketNotifier::activated, this, [this] { readUdev(); });
  udev_ = std::move(u);
  return true;
}

void HotplugMonitor::readUdev() {
  while (udev_device* d = udev_monitor_receive_device(udev_->monitor)) {
    auto text = [](const char* s) { return s ? QString::fromUtf8(s) : QString(); };
    deviceEvent({text(udev_device_get_action(d)), text(udev_device_get_subsystem(d)),
                 text(udev_device_get_devnode(d))});
    udev_device_unref(d);
  }
}

void HotplugMonitor::deviceEvent(const DeviceEvent& e) {
  if (e.subsystem != QLatin1String("video4linux") && e.subsystem != QLatin1String("sound")) return;
  if (e.action != QLatin1String("add") && e.action != QLatin1String("remove") &&
      e.action != QLatin1String("change"))
    return;
  if (e.action == QLatin1String("remove") && e.subsystem == QLatin1String("video4linux")) {
    // A camera under a running graph must stop at once, not after the burst settles.
    settleTimer_.stop();
    settle();
    return;
  }
  settleTimer_.start();  // restarts: one rescan for the whole burst
}

void HotplugMonitor::settle() {
  ++rescans_;
  if (!rescan_ || !rescan_()) return;
  for (auto w : windows_) ui::postMessage(w, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  emit devicesChanged();
}

void HotplugMonitor::addNotifyWindow(ui::WindowHandle window) {
  if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) windows_.push_back(window);
}

void HotplugMonitor::removeNotifyWindow(ui::WindowHandle window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

}  // namespace vistrel::platform::devices
