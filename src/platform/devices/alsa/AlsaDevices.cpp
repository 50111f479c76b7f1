#include "platform/devices/alsa/AlsaDevices.h"

#include <algorithm>

#include "platform/devices/alsa/AlsaCaptureFilter.h"
#include "platform/media/FilterMoniker.h"

namespace vistrel::platform::devices::alsa {

using namespace media;

struct AlsaDevices::Tracked {
  std::shared_ptr<AlsaSeam> seam;
  bool present = false;
  AlsaCaptureDevice device;
  std::vector<std::weak_ptr<AlsaCaptureFilter>> filters;
  void prune() {
    filters.erase(std::remove_if(filters.begin(), filters.end(), [](auto& w) { return w.expired(); }),
                  filters.end());
  }
};

AlsaDevices::AlsaDevices(std::shared_ptr<AlsaSeam> seam) : seam_(std::move(seam)) {}

AlsaDevices& AlsaDevices::system() {
  static AlsaDevices devices(AlsaSeam::system());
  return devices;
}

bool AlsaDevices::rescan() {
  std::vector<AlsaCaptureDevice> found;
  for (const auto& card : seam_->cards())
    for (const auto& [device, name] : seam_->pcmDevices(card.index, true))
      found.push_back({card, device, name});
  std::vector<std::string> before, after;
  for (const auto& d : devices_) before.push_back(d.identity());
  for (const auto& d : found) after.push_back(d.identity());
  devices_ = std::move(found);
  const bool changed = !scanned_ || before != after;
  scanned_ = true;
  for (auto& [identity, t] : tracked_) {
    const auto it =
        std::find_if(devices_.begin(), devices_.end(), [&](auto& d) { return d.identity() == identity; });
    const bool present = it != devices_.end();
    t->prune();
    for (auto& w : t->filters)
      if (auto f = w.lock()) {
        if (t->present && !present) f->setDeviceLost();
        if (!t->present && present) f->setDeviceBack();
      }
    t->present = present;
    if (present) t->device = *it;
  }
  for (const auto& d : devices_) {
    auto& t = tracked_[d.identity()];
    if (!t) {
      t = std::make_shared<Tracked>();
      t->seam = seam_;
    }
    t->present = true;
    t->device = d;
  }
  return changed;
}

std::vector<std::shared_ptr<IMoniker>> AlsaDevices::monikers(const GUID& category) {
  if (category != CLSID_AudioInputDeviceCategory) return {};
  if (!scanned_) rescan();
  std::vector<std::shared_ptr<IMoniker>> out;
  for (const auto& d : devices_) {
    std::weak_ptr<Tracked> weak = tracked_[d.identity()];
    auto m = std::make_shared<FilterMoniker>(
        QString::fromStdString(d.identity()), QString::fromStdString(d.friendlyName()),
        CLSID_AlsaAudioCapture, [weak]() -> std::shared_ptr<IBaseFilter> {
          auto t = weak.lock();
          if (!t || !t->present) return nullptr;
          auto f = std::make_shared<AlsaCaptureFilter>(t->seam, t->device);
          t->prune();
          t->filters.push_back(f);
          return f;
        });
    m->setProperty(QStringLiteral("DevicePath"), QString::fromStdString(d.pcm()));
    out.push_back(m);
  }
  return out;
}

}  // namespace vistrel::platform::devices::alsa
