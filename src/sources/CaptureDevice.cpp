#include "sources/CaptureDevice.h"

#include <QLoggingCategory>

#include "platform/media/MediaGuids.h"
#include "platform/media/SystemDeviceEnum.h"
#include "sources/AudioCaptureDevice.h"
#include "sources/DVCaptureDevice.h"
#include "sources/PlugInCaptureDevice.h"
#include "sources/Plugins.h"
#include "sources/Sources.h"
#include "sources/VideoCaptureDevice.h"

namespace vistrel::sources {

Q_LOGGING_CATEGORY(lcDevices, "vistrel.sources")

using namespace platform::media;

QString DeviceDisplayName(const QString& friendlyName, int32_t instance) {
  if (instance <= 1) return friendlyName;
  return friendlyName + QStringLiteral(" #") + QString::number(instance);
}

TCaptureDevice::TCaptureDevice(EngineGraph& engine) : engine_(engine) {}

TCaptureDevice::~TCaptureDevice() = default;

void TCaptureDevice::ConstructBase(const QString& deviceName, int32_t instance, const QString& friendlyName) {
  Ready = false;
  DeviceName = deviceName;
  Instance = instance;
  DisplayName = DeviceDisplayName(friendlyName, instance);
  VideoStreams = 0;
  AudioStreams = 0;
  engine_.VideoTee.reset();
  engine_.AudioTee.reset();
}

std::shared_ptr<IMoniker> TCaptureDevice::Moniker() const {
  if (SourceFilter && SourceFilter->moniker()) return SourceFilter->moniker();
  return listed_;
}

namespace {

bool hasOutput(EngineGraph& engine, const std::shared_ptr<IBaseFilter>& filter, const GUID* category,
               const GUID& type) {
  std::shared_ptr<IPin> pin;
  return SUCCEEDED(engine.builder->FindPin(filter, PINDIR_OUTPUT, category, &type, false, 0, pin)) && pin;
}

QString friendlyNameOf(const std::shared_ptr<IMoniker>& moniker) {
  QVariant v;
  if (moniker && SUCCEEDED(moniker->Read(QStringLiteral("FriendlyName"), v))) return v.toString();
  return {};
}

}  // namespace

uint8_t ProbeDevice(EngineGraph& engine, const std::shared_ptr<IMoniker>& moniker) {
  uint8_t kind = kDeviceNone;
  try {
    FilterComponent& test = *engine.test;
    RemoveComponent(test);
    if (moniker && SUCCEEDED(test.bindMoniker(moniker)) && AddComponent(engine, test)) {
      std::shared_ptr<IBaseFilter> filter = interfaceOf<IBaseFilter>(test.filter());
      if (filter) {
        if (hasOutput(engine, filter, nullptr, MEDIATYPE_Interleaved))
          kind = kDeviceDV;
        else if (hasOutput(engine, filter, nullptr, MEDIATYPE_Stream))
          kind = kStreamDevice;
        else if (hasOutput(engine, filter, &PIN_CATEGORY_CAPTURE, MEDIATYPE_Video) ||
                 hasOutput(engine, filter, nullptr, MEDIATYPE_Video))
          kind = kDeviceVideo;
        else if (hasOutput(engine, filter, nullptr, MEDIATYPE_Audio))
          kind = kDeviceAudio;
      }
    }
  } catch (...) {
    kind = kDeviceNone;
  }
  try {
    RemoveComponent(*engine.test);
  } catch (...) {
  }
  return kind;
}

TCaptureDeviceList::TCaptureDeviceList(EngineGraph& engine) : engine_(engine) {}

TCaptureDeviceList::~TCaptureDeviceList() { Clear(); }

TCaptureDevice* TCaptureDeviceList::Items(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

int TCaptureDeviceList::IndexOfMoniker(const std::shared_ptr<IMoniker>& moniker) const {
  try {
    for (int i = 0; i < Count(); ++i) {
      std::shared_ptr<IMoniker> own = items_[static_cast<size_t>(i)]->Moniker();
      if (own && own->IsEqual(moniker) == S_OK) return i;
    }
  } catch (...) {
  }
  return -1;
}

int32_t TCaptureDeviceList::NextInstance(const QString& name) const {
  for (int32_t n = 1;; ++n) {
    bool used = false;
    for (const auto& d : items_)
      if (d->DeviceName == name && d->Instance == n) {
        used = true;
        break;
      }
    if (!used) return n;
  }
}

void TCaptureDeviceList::Add(std::unique_ptr<TCaptureDevice> device) {
  if (device) items_.push_back(std::move(device));
}

bool TCaptureDeviceList::StillAlive(TCaptureDevice& device) const {
  std::shared_ptr<FilterComponent> source = device.SourceFilter;
  if (source && source->inGraph()) {
    std::shared_ptr<IPin> pin;
    return SUCCEEDED(
               engine_.builder->FindPin(source->filter(), PINDIR_OUTPUT, nullptr, nullptr, false, 0, pin)) &&
           pin;
  }
  std::shared_ptr<IMoniker> moniker = device.Moniker();
  std::shared_ptr<IBaseFilter> filter;
  return moniker && SUCCEEDED(moniker->BindToObject(filter)) && filter;
}

void TCaptureDeviceList::Drop(int index) {
  TCaptureDevice* device = Items(index);
  if (!device) return;
  // The engine must take the device's chains down before the device goes.
  if (engine_.CurrentVideo && engine_.CurrentVideo->Device == device) {
    TVideoSource* source = engine_.CurrentVideo;
    if (engine_.DisconnectVideo) engine_.DisconnectVideo(*source, true);
    if (engine_.CurrentVideo == source) engine_.CurrentVideo = nullptr;
  }
  if (engine_.CurrentAudio && engine_.CurrentAudio->Device == device) {
    TAudioSource* source = engine_.CurrentAudio;
    if (engine_.DisconnectAudio) engine_.DisconnectAudio(*source, true);
    if (engine_.CurrentAudio == source) engine_.CurrentAudio = nullptr;
  }
  items_.erase(items_.begin() + index);
}

void TCaptureDeviceList::Clear() {
  for (int i = Count() - 1; i >= 0; --i) Drop(i);
}

bool TCaptureDeviceList::Refresh(const GUID& category) {
  try {
    for (auto& d : items_) d->Present = false;
    std::vector<std::shared_ptr<IMoniker>> monikers = SystemDeviceEnum::create()->monikers(category);
    for (const auto& moniker : monikers) {
      int found = IndexOfMoniker(moniker);
      if (found >= 0) {
        TCaptureDevice& device = *items_[static_cast<size_t>(found)];
        device.Present = StillAlive(device);
        continue;
      }
      const QString name = friendlyNameOf(moniker);
      const int32_t instance = NextInstance(name);
      // A module without a driver name never claims a device, not even a nameless one.
      int plugin = engine_.plugins && !name.isEmpty() ? engine_.plugins->IndexOf(name) : -1;
      if (plugin >= 0) {
        TpluginData& data = *engine_.plugins->Items(plugin);
        auto device = std::make_unique<TPlugInCaptureDevice>(engine_, name, instance, data.FilePath);
        if (device->Ready) {
          device->SetListedMoniker(moniker);
          device->Present = true;
          items_.push_back(std::move(device));
        } else {
          device.reset();
          data.Usable = false;
          qCInfo(lcDevices) << "plug-in" << data.FilePath << "could not create" << name;
        }
        continue;
      }
      std::unique_ptr<TCaptureDevice> device;
      switch (ProbeDevice(engine_, moniker)) {
        case kDeviceDV: device = std::make_unique<TDVCaptureDevice>(engine_, moniker, name, instance); break;
        case kDeviceVideo:
          device = std::make_unique<TVideoCaptureDevice>(engine_, moniker, name, instance);
          break;
        case kDeviceAudio:
          device = std::make_unique<TAudioCaptureDevice>(engine_, moniker, name, instance);
          break;
        default: break;
      }
      // A device that failed while being created is skipped.
      if (device && device->Ready) {
        device->Present = true;
        items_.push_back(std::move(device));
      }
    }
    for (int i = Count() - 1; i >= 0; --i)
      if (!items_[static_cast<size_t>(i)]->Present) Drop(i);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace vistrel::sources
