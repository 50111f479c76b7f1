#pragma once
// The pins a device filter shows once its hardware is gone: its inputs only. The program tests
// a device's life by asking for its output pin 0 (FindPin, output, any type, index 0), so a lost
// device must not answer with one. The graph, which walks pins through EnumPins, then no longer
// sees the links of the hidden outputs: the filter unlinks them itself when it leaves its graph,
// so that removing a lost device leaves no filter linked to it. User-interface thread, like every
// pin change.

#include <memory>
#include <vector>

#include "platform/media/BasePin.h"
#include "platform/media/IPin.h"

namespace vistrel::platform::devices {

// Every pin in order, or, when `lost`, the input pins only.
std::shared_ptr<media::IEnumPins> visiblePins(const std::vector<std::shared_ptr<media::BasePin>>& pins,
                                              bool lost);

// Disconnects every linked pin and its peer (the filter leaving its graph).
void unlinkPins(const std::vector<std::shared_ptr<media::BasePin>>& pins);

}  // namespace vistrel::platform::devices
