#include "platform/devices/LostDevicePins.h"

namespace vistrel::platform::devices {

std::shared_ptr<media::IEnumPins> visiblePins(const std::vector<std::shared_ptr<media::BasePin>>& pins,
                                              bool lost) {
  std::vector<std::shared_ptr<media::IPin>> shown;
  for (const auto& pin : pins)
    if (!lost || pin->direction() == media::PINDIR_INPUT) shown.push_back(pin);
  return std::make_shared<media::IEnumPins>(std::move(shown));
}

void unlinkPins(const std::vector<std::shared_ptr<media::BasePin>>& pins) {
  for (const auto& pin : pins) {
    if (std::shared_ptr<media::IPin> peer = pin->peer()) {
      peer->Disconnect();
      pin->Disconnect();
    }
  }
}

}  // namespace vistrel::platform::devices
