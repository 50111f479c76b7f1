#pragma once
// The V4L2 devices of the machine as monikers: every video-capture node in the video input
// category (friendly name: the card name), and every card with several inputs or a tuner in the
// crossbar category. A moniker's identity is the card's bus position and name, so the same camera
// plugged back into the same port compares equal to its old moniker and binds again. The set
// is read again by rescan() (the hot-plug monitor calls it); filters bound to a device that
// disappeared are told so (EC_DEVICE_LOST), and again when it comes back.
// User-interface thread, except where said.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/devices/v4l2/V4l2Kernel.h"
#include "platform/devices/v4l2/V4l2Probe.h"
#include "platform/media/IMoniker.h"

namespace vistrel::platform::devices::v4l2 {

class V4l2CaptureFilter;

class V4l2Devices {
 public:
  explicit V4l2Devices(std::shared_ptr<V4l2Kernel> kernel);
  // The machine's devices (the system kernel), created on first use.
  static V4l2Devices& system();

  std::vector<std::shared_ptr<media::IMoniker>> monikers(const media::GUID& category);
  // Probes every node again. True when the set of devices changed.
  bool rescan();
  const std::vector<V4l2DeviceInfo>& devices() const { return devices_; }

 private:
  struct Tracked;
  std::shared_ptr<Tracked> tracked(const std::string& identity);

  std::shared_ptr<V4l2Kernel> kernel_;
  bool scanned_ = false;
  std::vector<V4l2DeviceInfo> devices_;
  std::map<std::string, std::shared_ptr<Tracked>> tracked_;  // by identity, present or not
};

}  // namespace vistrel::platform::devices::v4l2
