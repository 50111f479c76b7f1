#pragma once
// The DV header filter's processing without a graph: writes a camera frame's header areas
// (header, subcode and VAUX blocks of DIF sequences 0-9) over a re-encoded frame, and marks the
// frame 16:9 when asked. Pure functions over the frame's bytes; any thread.

#include <cstdint>
#include <span>

#include "filters/FrameRing.h"

namespace vistrel::filters {

// Mode 1 forces 16:9; any other value only copies.
constexpr uint8_t kDvHeaderForce16x9 = 1;

// Copies `entry`'s stored header areas over bytes 0-479 of each DIF sequence of `frame` (when
// `entry` is given), then forces 16:9 on each sequence when `mode` asks. Sequences that lie
// partly outside the frame are left as they are.
void ApplyDvHeader(std::span<uint8_t> frame, const FrameRingEntry* entry, uint8_t mode);

}  // namespace vistrel::filters
