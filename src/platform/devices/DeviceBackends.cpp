#include "platform/devices/DeviceBackends.h"

#include "platform/Environment.h"
#include "platform/devices/alsa/AlsaDevices.h"
#include "platform/devices/v4l2/V4l2Devices.h"
#include "platform/media/MediaGuids.h"

namespace vistrel::platform::devices {

bool realDevicesEnabled() { return deviceSetting().isEmpty(); }

std::vector<std::shared_ptr<media::IMoniker>> realDeviceMonikers(const media::GUID& category) {
  if (!realDevicesEnabled()) return {};
  if (category == media::CLSID_VideoInputDeviceCategory || category == media::AM_KSCATEGORY_CROSSBAR)
    return v4l2::V4l2Devices::system().monikers(category);
  if (category == media::CLSID_AudioInputDeviceCategory)
    return alsa::AlsaDevices::system().monikers(category);
  return {};
}

bool rescanRealDevices() {
  if (!realDevicesEnabled()) return false;
  const bool video = v4l2::V4l2Devices::system().rescan();
  const bool audio = alsa::AlsaDevices::system().rescan();
  return video || audio;
}

}  // namespace vistrel::platform::devices
