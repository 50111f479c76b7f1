#pragma once
// A renderer for tests: accepts every type and keeps a copy of each sample it receives, so a test
// can wait for a number of samples and look at their bytes and times.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"

namespace vistrel::testing {

struct CollectedSample {
  std::vector<uint8_t> bytes;
  vistrel::platform::media::REFERENCE_TIME start = -1, stop = -1;
};

class CollectingSink : public vistrel::platform::media::BaseFilter {
 public:
  CollectingSink();
  // Waits (at most a generous 10 s, so a broken test fails instead of hanging) for `n` samples.
  bool waitFor(size_t n);
  std::vector<CollectedSample> samples();
  void add(CollectedSample s);

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<CollectedSample> samples_;
};

}  // namespace vistrel::testing
