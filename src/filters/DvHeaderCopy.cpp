#include "filters/DvHeaderCopy.h"

#include <cstring>

namespace vistrel::filters {

void ApplyDvHeader(std::span<uint8_t> frame, const FrameRingEntry* entry, uint8_t mode) {
  using namespace dvcodes;
  for (int i = 0; i < kExaminedSequences; ++i) {
    const size_t base = static_cast<size_t>(i) * kDifSequenceBytes;
    if (entry && base + kHeaderAreaBytes <= frame.size())
      std::memcpy(frame.data() + base, entry->Headers[i], kHeaderAreaBytes);
    if (mode == kDvHeaderForce16x9) Force16x9(frame, i);
  }
}

}  // namespace vistrel::filters
