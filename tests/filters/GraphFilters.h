#pragma once
// Two small filters for running the program's filters inside a real graph: a source whose
// samples the test pushes (the test's thread is the streaming thread), and a sink that keeps
// what it receives and can refuse samples.

#include <mutex>
#include <optional>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::filters::testing {

using namespace vistrel::platform::media;

class FeedSource : public BaseFilter {
 public:
  FeedSource(MediaType type, int32_t bufferSize, int32_t buffers = 4);
  std::shared_ptr<IPin> outPin() { return pins_[0]; }
  BaseOutputPin* out() const { return static_cast<BaseOutputPin*>(pin(0)); }
  // Delivers `bytes` with the start time when given, and the media type attached when given.
  HRESULT push(const std::vector<uint8_t>& bytes, std::optional<REFERENCE_TIME> start = std::nullopt,
               const MediaType* changed = nullptr);
  MediaType type;
  int32_t bufferSize;
  int32_t buffers;
};

struct Received {
  std::vector<uint8_t> bytes;
  std::optional<std::pair<REFERENCE_TIME, REFERENCE_TIME>> time;
  std::optional<std::pair<int64_t, int64_t>> mediaTime;
  bool sync = false;
  bool discontinuity = false;
  std::optional<MediaType> changed;
};

class KeepSink : public BaseFilter {
 public:
  KeepSink();
  std::shared_ptr<IPin> inPin() { return pins_[0]; }
  BaseInputPin* in() const { return static_cast<BaseInputPin*>(pin(0)); }
  std::vector<Received> received();
  // The answer to the next sample (then S_OK again).
  void refuseNext(HRESULT answer) {
    std::lock_guard g(lock_);
    refuse_ = answer;
  }
  HRESULT take(const MediaSample& sample);

 private:
  std::mutex lock_;
  std::vector<Received> received_;
  HRESULT refuse_ = S_OK;
};

}  // namespace vistrel::filters::testing
