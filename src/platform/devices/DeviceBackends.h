#pragma once
// The real device backends of the machine (V4L2 video, ALSA sound), published to the system
// device enumerator. They answer only when VISTREL_DEVICES is unset: with a virtual device set,
// the program sees exactly those devices and never the machine's hardware.
// User-interface thread.

#include <memory>
#include <vector>

#include "platform/media/IMoniker.h"

namespace vistrel::platform::devices {

// The real devices' monikers of a category (video input, audio input, crossbar); empty with
// VISTREL_DEVICES set, and for other categories.
std::vector<std::shared_ptr<media::IMoniker>> realDeviceMonikers(const media::GUID& category);
// True when real devices are in use (VISTREL_DEVICES unset).
bool realDevicesEnabled();
// Reads the machine's devices again (after a hot-plug event). True when a set changed.
bool rescanRealDevices();

}  // namespace vistrel::platform::devices
