#pragma once
// A renderer for the virtual device tests: accepts every type and keeps a copy of each sample,
// so that a test can wait for a number of samples and read their bytes and times.

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"

namespace vistrel::testing {

struct SinkSample {
  std::vector<uint8_t> bytes;
  vistrel::platform::media::REFERENCE_TIME start = -1, stop = -1;
};

class FrameSink : public vistrel::platform::media::BaseFilter {
 public:
  // A sink of every type, or only of `subtype` (intelligent connect then has to convert).
  explicit FrameSink(const vistrel::platform::media::GUID& subtype = vistrel::platform::media::GUID_NULL);
  const vistrel::platform::media::GUID& accepted() const { return accepted_; }
  // Waits for `n` samples at most a generous 20 s, so that a broken test fails instead of hanging.
  bool waitFor(size_t n);
  std::vector<SinkSample> samples();
  size_t count();
  void add(SinkSample s);

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  std::vector<SinkSample> samples_;
  vistrel::platform::media::GUID accepted_;
};

}  // namespace vistrel::testing
