#pragma once
// Pins of a capture filter whose device was lost. Such a filter shows no output pin, so that the
// sources' liveness test (the filter's first output pin) fails while it stays in the graph; its
// connections stay for the graph to take down, and leaving the graph breaks them all, the hidden
// ones included. User-interface thread, filter stopped.

#include <memory>
#include <vector>

#include "platform/media/BasePin.h"
#include "platform/media/IBaseFilter.h"

namespace vistrel::platform::devices {

// The pins EnumPins lists for a lost device: its inputs only.
inline std::shared_ptr<media::IEnumPins> pinsOfLostDevice(
    const std::vector<std::shared_ptr<media::BasePin>>& pins) {
  std::vector<std::shared_ptr<media::IPin>> shown;
  for (const auto& p : pins)
    if (p->direction() != media::PINDIR_OUTPUT) shown.push_back(p);
  return std::make_shared<media::IEnumPins>(std::move(shown));
}

// Breaks every connection of `pins`, both ends.
inline void disconnectPins(const std::vector<std::shared_ptr<media::BasePin>>& pins) {
  for (const auto& p : pins)
    if (auto peer = p->peer()) {
      peer->Disconnect();
      p->Disconnect();
    }
}

}  // namespace vistrel::platform::devices
