#pragma once
// A source for the filter tests: offers the types it was given and delivers, on the test's
// thread, samples from its own pool with the bytes and times the test chooses.

#include <functional>
#include <optional>
#include <vector>

#include <mutex>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::testing {

using namespace vistrel::platform::media;

class TestSource : public BaseFilter {
 public:
  explicit TestSource(std::vector<MediaType> offered, int32_t bufferSize = 1 << 16);
  // Delivers one sample; no time when start is nullopt. Returns the Deliver result.
  HRESULT push(const std::vector<uint8_t>& bytes, std::optional<REFERENCE_TIME> start = std::nullopt,
               std::optional<REFERENCE_TIME> stop = std::nullopt, const MediaType* changed = nullptr);
  std::shared_ptr<IPin> outPin() { return pins_[0]; }
  BaseOutputPin* out() const { return static_cast<BaseOutputPin*>(pin(0)); }

  std::vector<MediaType> offered;
  int32_t bufferSize;
};

struct SinkSample {
  std::vector<uint8_t> bytes;
  bool timed = false;
  REFERENCE_TIME start = 0, stop = 0;
};

// A sink that accepts the types `accepts` allows (all by default) and keeps every sample.
class TestSink : public BaseFilter {
 public:
  explicit TestSink(std::function<bool(const MediaType&)> accepts = nullptr);
  std::shared_ptr<IPin> inPin() { return pins_[0]; }
  std::vector<SinkSample> received();
  void record(const MediaSample& s);

  std::function<bool(const MediaType&)> accepts;
  // Called on the streaming thread before each sample is kept.
  std::function<void()> onReceive;

 private:
  std::mutex lock_;
  std::vector<SinkSample> received_;
};

}  // namespace vistrel::testing
