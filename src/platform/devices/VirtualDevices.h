#pragma once
// The set of virtual devices of this run, as monikers in the video input, audio input and crossbar
// categories (an analogue card is listed twice: its capture filter and its crossbar, bound to the
// same card).
// VISTREL_DEVICES=<file>: exactly the devices of that file (see VirtualDeviceFile.h);
// VISTREL_DEVICES=none: no virtual device; unset: a test-pattern camera and a tone microphone
// for the kinds the machine has no real device of. When the file changes, rescan() (called by a
// file watcher on the user-interface thread, or directly) makes devices appear and disappear as
// if plugged: it posts the device-change message to the registered windows, and a filter bound
// to a removed device raises EC_DEVICE_LOST in its graph (and again, "back", when it returns).
// User-interface thread only.

#include <QString>
#include <memory>
#include <vector>

#include "platform/devices/virtual/VirtualDeviceFile.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/IMoniker.h"
#include "platform/ui/PostedMessages.h"

namespace vistrel::platform::devices {

constexpr uint32_t WM_DEVICECHANGE = 0x0219;
constexpr intptr_t DBT_DEVNODES_CHANGED = 7;

class VirtualDevices {
 public:
  static VirtualDevices& instance();

  // Monikers of one category, in the file's order (an empty list when none).
  std::vector<std::shared_ptr<media::IMoniker>> monikers(const media::GUID& category);
  // Rereads VISTREL_DEVICES and its file; returns true when the device set changed.
  bool rescan();
  // Windows that receive WM_DEVICECHANGE (wParam 7, lParam 0) on a change.
  void addNotifyWindow(ui::WindowHandle window);
  void removeNotifyWindow(ui::WindowHandle window);

 private:
  VirtualDevices();
  struct Device;
  static std::shared_ptr<media::BaseFilter> bind(Device& device, const media::GUID& category);
  std::vector<VirtualDeviceEntry> readSetting(QString& watchedFile) const;
  void apply(const std::vector<VirtualDeviceEntry>& entries);
  void watch(const QString& file);

  std::vector<std::shared_ptr<Device>> devices_;  // present devices, in order
  std::vector<std::shared_ptr<Device>> gone_;     // removed devices whose filters may still live
  std::vector<ui::WindowHandle> windows_;
  QString watched_;
  struct Watcher;
  std::unique_ptr<Watcher> watcher_;
};

}  // namespace vistrel::platform::devices
