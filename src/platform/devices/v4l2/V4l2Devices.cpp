#include "platform/devices/v4l2/V4l2Devices.h"

#include <algorithm>

#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2CaptureFilter.h"
#include "platform/media/FilterMoniker.h"

namespace vistrel::platform::devices::v4l2 {

using namespace media;

// What we know of one device identity: whether it is present, where, and the filters bound to it.
struct V4l2Devices::Tracked {
  std::shared_ptr<V4l2Kernel> kernel;
  bool present = false;
  V4l2DeviceInfo info;
  std::vector<std::weak_ptr<V4l2CaptureFilter>> filters;

  void prune() {
    filters.erase(std::remove_if(filters.begin(), filters.end(), [](auto& w) { return w.expired(); }),
                  filters.end());
  }
};

V4l2Devices::V4l2Devices(std::shared_ptr<V4l2Kernel> kernel) : kernel_(std::move(kernel)) {}

V4l2Devices& V4l2Devices::system() {
  static V4l2Devices devices(V4l2Kernel::system());
  return devices;
}

std::shared_ptr<V4l2Devices::Tracked> V4l2Devices::tracked(const std::string& identity) {
  auto& t = tracked_[identity];
  if (!t) {
    t = std::make_shared<Tracked>();
    t->kernel = kernel_;
  }
  return t;
}

bool V4l2Devices::rescan() {
  std::vector<V4l2DeviceInfo> found;
  for (const auto& node : kernel_->listNodes())
    if (auto info = probeDevice(*kernel_, node)) found.push_back(std::move(*info));
  // Two nodes of one card with the same identity (rare: no bus information) stay apart by path.
  std::vector<std::string> before, after;
  for (const auto& d : devices_) before.push_back(deviceIdentity(d));
  for (const auto& d : found) after.push_back(deviceIdentity(d));
  devices_ = std::move(found);
  const bool changed = !scanned_ || before != after;
  scanned_ = true;

  for (auto& [identity, t] : tracked_) {
    const auto it = std::find_if(devices_.begin(), devices_.end(),
                                 [&](const V4l2DeviceInfo& d) { return deviceIdentity(d) == identity; });
    const bool present = it != devices_.end();
    t->prune();
    if (t->present && !present) {
      for (auto& w : t->filters)
        if (auto f = w.lock()) f->setDeviceLost();
    } else if (!t->present && present) {
      for (auto& w : t->filters)
        if (auto f = w.lock()) f->setDeviceBack(it->path);
    }
    t->present = present;
    if (present) t->info = *it;
  }
  for (const auto& d : devices_) {
    auto t = tracked(deviceIdentity(d));
    t->present = true;
    t->info = d;
  }
  return changed;
}

std::vector<std::shared_ptr<IMoniker>> V4l2Devices::monikers(const GUID& category) {
  if (!scanned_) rescan();
  std::vector<std::shared_ptr<IMoniker>> out;
  const bool video = category == CLSID_VideoInputDeviceCategory;
  const bool crossbar = category == AM_KSCATEGORY_CROSSBAR;
  if (!video && !crossbar) return out;
  for (const auto& d : devices_) {
    const std::string identity = deviceIdentity(d);
    std::weak_ptr<Tracked> weak = tracked(identity);
    if (video) {
      auto m =
          std::make_shared<FilterMoniker>(QString::fromStdString(identity), QString::fromStdString(d.card),
                                          CLSID_V4l2VideoCapture, [weak]() -> std::shared_ptr<IBaseFilter> {
                                            auto t = weak.lock();
                                            if (!t || !t->present)
                                              return nullptr;  // unplugged: the moniker no longer binds
                                            auto f = std::make_shared<V4l2CaptureFilter>(t->kernel, t->info);
                                            t->prune();
                                            t->filters.push_back(f);
                                            return f;
                                          });
      m->setProperty(QStringLiteral("DevicePath"), QString::fromStdString(d.path));
      out.push_back(m);
    } else {
      if (!hasAnalogInputs(d)) continue;
      auto m = std::make_shared<FilterMoniker>(QString::fromStdString(identity + ":crossbar"),
                                               QString::fromStdString(d.card + " Crossbar"),
                                               CLSID_V4l2Crossbar, [weak]() -> std::shared_ptr<IBaseFilter> {
                                                 auto t = weak.lock();
                                                 if (!t || !t->present) return nullptr;
                                                 return std::make_shared<V4l2Crossbar>(t->kernel, t->info);
                                               });
      m->setProperty(QStringLiteral("DevicePath"), QString::fromStdString(d.path));
      out.push_back(m);
    }
  }
  return out;
}

}  // namespace vistrel::platform::devices::v4l2
