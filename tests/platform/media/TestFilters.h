#pragma once
// Small filters for the media tests: a source whose samples the test pushes on its own thread,
// and a sink that records what it receives and logs stops.

#include <mutex>
#include <string>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::testing {

using namespace vistrel::platform::media;

// Shared log of filter stops, to check the graph's stop order.
struct StopLog {
  std::mutex lock;
  std::vector<std::string> names;
  void add(const std::string& n) {
    std::lock_guard g(lock);
    names.push_back(n);
  }
};

class PushSource : public BaseFilter {
 public:
  PushSource(std::vector<MediaType> offered, int32_t bufferSize = 4096, StopLog* log = nullptr,
             std::string tag = "source");
  // Pushes one sample of `bytes` from the pool (graph running); returns the Deliver result.
  HRESULT push(const std::vector<uint8_t>& bytes, REFERENCE_TIME start = -1);
  BaseOutputPin* out() const { return static_cast<BaseOutputPin*>(pin(0)); }
  std::shared_ptr<IPin> outPin() { return pins_[0]; }
  std::vector<MediaType> offered;
  int32_t bufferSize;

 protected:
  HRESULT onStop() override;

 private:
  StopLog* log_;
  std::string tag_;
};

struct ReceivedSample {
  std::vector<uint8_t> bytes;
  const uint8_t* pointer;
  bool hasTime;
  REFERENCE_TIME start;
  bool sync;
};

class RecordingSink : public BaseFilter {
 public:
  explicit RecordingSink(std::optional<MediaType> accepted = std::nullopt, StopLog* log = nullptr,
                         std::string tag = "sink");
  std::shared_ptr<IPin> inPin() { return pins_[0]; }
  std::vector<ReceivedSample> received();
  void record(const MediaSample& s);
  std::optional<MediaType> accepted;
  std::vector<MediaType> proposed;  // types the input proposes

 protected:
  HRESULT onStop() override;

 private:
  std::mutex lock_;
  std::vector<ReceivedSample> received_;
  StopLog* log_;
  std::string tag_;
};

}  // namespace vistrel::testing
