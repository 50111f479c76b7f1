#include "platform/media/SystemDeviceEnum.h"

#include "platform/devices/DeviceBackends.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/media/FilterMapper.h"

namespace vistrel::platform::media {

std::shared_ptr<SystemDeviceEnum> SystemDeviceEnum::create() { return std::make_shared<SystemDeviceEnum>(); }

std::vector<std::shared_ptr<IMoniker>> SystemDeviceEnum::monikers(const GUID& category) {
  // Virtual devices are listed in every category they belong to (inputs, crossbars).
  std::vector<std::shared_ptr<IMoniker>> out = devices::VirtualDevices::instance().monikers(category);
  for (auto& m : devices::realDeviceMonikers(category)) out.push_back(std::move(m));
  auto mapper = FilterMapper::instance();
  for (const auto& r : mapper->registrations(category)) out.push_back(mapper->monikerFor(r));
  return out;
}

HRESULT SystemDeviceEnum::CreateClassEnumerator(const GUID& category, std::shared_ptr<IEnumMoniker>& monikers,
                                                uint32_t) {
  auto list = this->monikers(category);
  if (list.empty()) {
    monikers.reset();
    return S_FALSE;
  }
  monikers = std::make_shared<IEnumMoniker>(std::move(list));
  return S_OK;
}

}  // namespace vistrel::platform::media
