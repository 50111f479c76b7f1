#include "platform/devices/VirtualDevices.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <algorithm>

#include "platform/Environment.h"
#include "platform/devices/DeviceBackends.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/devices/virtual/VirtualDvCamera.h"
#include "platform/devices/virtual/VirtualMpegCard.h"
#include "platform/devices/virtual/VirtualTvCard.h"
#include "platform/media/FilterMoniker.h"

namespace vistrel::platform::devices {

using namespace media;

struct VirtualDevices::Device {
  VirtualDeviceEntry entry;
  QString displayName;
  bool present = true;
  std::shared_ptr<TvCardHardware> tvCard;          // the card every filter of an analogue card shares
  std::vector<std::weak_ptr<BaseFilter>> filters;  // every filter bound to this device

  void setLost(bool lost) {
    for (auto& w : filters) {
      auto f = w.lock();
      if (auto cam = std::dynamic_pointer_cast<VirtualCamera>(f)) cam->setDeviceLost(lost);
      if (auto mic = std::dynamic_pointer_cast<ToneMicrophone>(f)) mic->setDeviceLost(lost);
      if (auto dv = std::dynamic_pointer_cast<VirtualDvCamera>(f)) dv->setDeviceLost(lost);
      if (auto mpeg = std::dynamic_pointer_cast<VirtualMpegSource>(f)) mpeg->setDeviceLost(lost);
    }
    filters.erase(std::remove_if(filters.begin(), filters.end(), [](auto& w) { return w.expired(); }),
                  filters.end());
  }
};

struct VirtualDevices::Watcher {
  QFileSystemWatcher watcher;
};

VirtualDevices& VirtualDevices::instance() {
  static VirtualDevices devices;
  return devices;
}

VirtualDevices::VirtualDevices() {
  QString file;
  apply(readSetting(file));
  watch(file);
}

std::vector<VirtualDeviceEntry> VirtualDevices::readSetting(QString& watchedFile) const {
  reloadEnvironment();
  const QString setting = deviceSetting();
  watchedFile.clear();
  if (setting == QLatin1String("none")) return {};
  if (setting.isEmpty()) {
    // For a kind the machine has no real device of, one virtual device, so that a new user sees
    // a picture and can record at once.
    std::vector<VirtualDeviceEntry> fallback;
    if (realDeviceMonikers(media::CLSID_VideoInputDeviceCategory).empty())
      fallback.push_back({VirtualDeviceKind::Camera, QStringLiteral("Vistrel Test Camera"), {}});
    if (realDeviceMonikers(media::CLSID_AudioInputDeviceCategory).empty())
      fallback.push_back({VirtualDeviceKind::Microphone, QStringLiteral("Vistrel Tone Microphone"), {}});
    return fallback;
  }
  watchedFile = setting;
  QFile f(setting);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return parseVirtualDeviceFile(f.read(1 << 20));
}

void VirtualDevices::watch(const QString& file) {
  if (file == watched_ && watcher_) return;
  watched_ = file;
  watcher_.reset();
  if (file.isEmpty() || !QCoreApplication::instance()) return;
  watcher_ = std::make_unique<Watcher>();
  watcher_->watcher.addPath(file);
  watcher_->watcher.addPath(QFileInfo(file).absolutePath());  // editors replace the file
  auto onChange = [this](const QString&) { rescan(); };
  QObject::connect(&watcher_->watcher, &QFileSystemWatcher::fileChanged, onChange);
  QObject::connect(&watcher_->watcher, &QFileSystemWatcher::directoryChanged, onChange);
}

void VirtualDevices::apply(const std::vector<VirtualDeviceEntry>& entries) {
  std::vector<std::shared_ptr<Device>> next;
  for (const auto& e : entries) {
    int occurrence = 0;
    for (const auto& n : next)
      if (n->entry == e) ++occurrence;
    // Options are part of the identity: a device whose line changed is another device.
    QString display =
        QStringLiteral("@virtual:%1:%2:%3").arg(virtualDeviceKeyword(e.kind), e.name).arg(occurrence);
    if (!e.options.isEmpty()) display += QLatin1Char(':') + e.options.join(QLatin1Char(';'));
    // A device that stays, or comes back, keeps its identity and its live filters.
    std::shared_ptr<Device> d;
    for (auto* list : {&devices_, &gone_}) {
      auto it = std::find_if(list->begin(), list->end(), [&](auto& x) { return x->displayName == display; });
      if (it != list->end()) {
        d = *it;
        list->erase(it);
        break;
      }
    }
    if (!d) {
      d = std::make_shared<Device>();
      d->entry = e;
      d->displayName = display;
    }
    if (!d->present) {
      d->present = true;
      d->setLost(false);
    }
    next.push_back(d);
  }
  for (auto& d : devices_) {
    d->present = false;
    d->setLost(true);
    gone_.push_back(d);
  }
  devices_ = std::move(next);
}

bool VirtualDevices::rescan() {
  std::vector<QString> before;
  for (auto& d : devices_) before.push_back(d->displayName);
  QString file;
  apply(readSetting(file));
  watch(file);
  if (watcher_ && !watcher_->watcher.files().contains(file) && QFileInfo::exists(file))
    watcher_->watcher.addPath(file);
  std::vector<QString> after;
  for (auto& d : devices_) after.push_back(d->displayName);
  if (before == after) return false;
  for (auto w : windows_) ui::postMessage(w, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
  return true;
}

void VirtualDevices::addNotifyWindow(ui::WindowHandle window) {
  if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) windows_.push_back(window);
}

void VirtualDevices::removeNotifyWindow(ui::WindowHandle window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

namespace {
// The class id under which a device of this kind is listed in `category`, or null when it is
// not listed there.
GUID listedClass(VirtualDeviceKind kind, const GUID& category) {
  switch (kind) {
    case VirtualDeviceKind::Camera:
      return category == CLSID_VideoInputDeviceCategory ? CLSID_VirtualTestCamera : GUID_NULL;
    case VirtualDeviceKind::Microphone:
      return category == CLSID_AudioInputDeviceCategory ? CLSID_VirtualToneMicrophone : GUID_NULL;
    case VirtualDeviceKind::DvCamera:
      return category == CLSID_VideoInputDeviceCategory ? CLSID_VirtualDvCamera : GUID_NULL;
    case VirtualDeviceKind::TvCard:
      if (category == CLSID_VideoInputDeviceCategory) return CLSID_VirtualTvCard;
      return category == AM_KSCATEGORY_CROSSBAR ? CLSID_VirtualCrossbar : GUID_NULL;
    case VirtualDeviceKind::MpegCard:
      return category == CLSID_VideoInputDeviceCategory ? CLSID_VirtualMpegCard : GUID_NULL;
    case VirtualDeviceKind::MpegEncoder:
      return category == CLSID_VideoInputDeviceCategory ? CLSID_VirtualMpegEncoder : GUID_NULL;
  }
  return GUID_NULL;
}
}  // namespace

std::shared_ptr<BaseFilter> VirtualDevices::bind(Device& dev, const GUID& category) {
  switch (dev.entry.kind) {
    case VirtualDeviceKind::Camera: return std::make_shared<VirtualCamera>(dev.entry.name);
    case VirtualDeviceKind::Microphone: return std::make_shared<ToneMicrophone>(dev.entry.name);
    case VirtualDeviceKind::DvCamera: {
      auto cam = std::make_shared<VirtualDvCamera>(dev.entry.name, dvCameraSettings(dev.entry.options));
      if (!cam->valid()) return nullptr;  // the tape cannot be read: the device does not open
      return cam;
    }
    case VirtualDeviceKind::TvCard: {
      if (!dev.tvCard) dev.tvCard = std::make_shared<TvCardHardware>(tvCardSettings(dev.entry.options));
      if (category == AM_KSCATEGORY_CROSSBAR)
        return std::make_shared<VirtualCrossbar>(dev.entry.name + QStringLiteral(" Crossbar"), dev.tvCard, 0);
      return std::make_shared<VirtualTvCard>(dev.entry.name, dev.tvCard);
    }
    case VirtualDeviceKind::MpegCard:
      return std::make_shared<VirtualMpegCard>(dev.entry.name, mpegCardSettings(dev.entry.options));
    case VirtualDeviceKind::MpegEncoder: return std::make_shared<VirtualMpegEncoder>(dev.entry.name);
  }
  return nullptr;
}

std::vector<std::shared_ptr<IMoniker>> VirtualDevices::monikers(const GUID& category) {
  std::vector<std::shared_ptr<IMoniker>> out;
  for (auto& d : devices_) {
    const GUID clsid = listedClass(d->entry.kind, category);
    if (clsid.isNull()) continue;
    std::weak_ptr<Device> weak = d;
    auto m = std::make_shared<FilterMoniker>(d->displayName, d->entry.name, clsid,
                                             [weak, category]() -> std::shared_ptr<IBaseFilter> {
                                               auto dev = weak.lock();
                                               if (!dev || !dev->present)
                                                 return nullptr;  // unplugged: the moniker no longer binds
                                               std::shared_ptr<BaseFilter> f = bind(*dev, category);
                                               if (f) dev->filters.push_back(f);
                                               return f;
                                             });
    m->setProperty(QStringLiteral("DevicePath"), d->displayName);
    out.push_back(m);
  }
  return out;
}

}  // namespace vistrel::platform::devices
