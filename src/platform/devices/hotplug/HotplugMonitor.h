#pragma once
// Device arrival and removal: udev events of the video4linux and sound subsystems make the real
// device backends read the machine again; when a device set changed, the device-change message
// (WM_DEVICECHANGE, wParam 7, lParam 0) is posted to the registered windows, and filters whose
// device vanished raise EC_DEVICE_LOST (the backends do that during the rescan). Bursts of events
// (a sound card announces each of its nodes) are gathered into one rescan.
// User-interface thread.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ui/PostedMessages.h"

namespace vistrel::platform::devices {

struct DeviceEvent {
  QString action;     // "add", "remove", "change"
  QString subsystem;  // "video4linux", "sound", ...
  QString node;       // "/dev/video0", "/dev/snd/pcmC1D0c" (may be empty)
};

class HotplugMonitor : public QObject {
  Q_OBJECT
 public:
  // `rescan` reads the devices again and says whether a set changed.
  explicit HotplugMonitor(std::function<bool()> rescan, QObject* parent = nullptr);
  ~HotplugMonitor() override;

  // The machine's monitor over the real backends; started only when real devices are in use.
  static HotplugMonitor& system();

  // Listens to udev. False (said once on standard error) when udev cannot be reached.
  bool startUdev();
  bool listening() const { return udev_ != nullptr; }
  // One event, from udev or from a caller that learnt of it otherwise.
  void deviceEvent(const DeviceEvent& event);

  void addNotifyWindow(ui::WindowHandle window);
  void removeNotifyWindow(ui::WindowHandle window);
  int rescans() const { return rescans_; }

 signals:
  void devicesChanged();

 private:
  void readUdev();
  void settle();

  std::function<bool()> rescan_;
  QTimer settleTimer_;
  std::vector<ui::WindowHandle> windows_;
  struct Udev;
  std::unique_ptr<Udev> udev_;
  int rescans_ = 0;
};

}  // namespace vistrel::platform::devices
