#pragma once
// A source for the virtual device tests: one output pin of a fixed type whose samples the test
// pushes from its own thread while the graph runs.

#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::testing {

class PushSource : public vistrel::platform::media::BaseFilter {
 public:
  explicit PushSource(vistrel::platform::media::MediaType type, int32_t bufferSize = 1 << 20);
  // Delivers `bytes` (stamped from `start` for one frame time when start >= 0); waits for a
  // buffer. The result of the peer's Receive.
  vistrel::platform::media::HRESULT push(const std::vector<uint8_t>& bytes,
                                         vistrel::platform::media::REFERENCE_TIME start);
};

// A new source (made out of line: GCC 12 misreads the bounds of a fresh filter through its
// virtual base when the construction is inlined into a long test).
std::shared_ptr<PushSource> makePushSource(const vistrel::platform::media::MediaType& type);

}  // namespace vistrel::testing
