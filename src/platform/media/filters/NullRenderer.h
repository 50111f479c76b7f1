#pragma once
// Null Renderer: takes any type and discards every sample (counting them).

#include <atomic>

#include "platform/media/BaseFilter.h"

namespace vistrel::platform::media {

class NullRenderer : public BaseFilter {
 public:
  NullRenderer();
  static std::shared_ptr<IBaseFilter> create();
  int64_t samplesReceived() const { return received_.load(); }
  void countSample() { received_.fetch_add(1, std::memory_order_relaxed); }

 private:
  std::atomic<int64_t> received_{0};
};

}  // namespace vistrel::platform::media
