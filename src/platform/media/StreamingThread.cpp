#include "platform/media/StreamingThread.h"

namespace vistrel::platform::media {

void StreamingThread::start(std::function<void(StreamingThread&)> body) {
  if (thread_.joinable()) return;
  stop_.store(false);
  thread_ = std::thread([this, body = std::move(body)] { body(*this); });
}

void StreamingThread::stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard g(lock_);
    stop_.store(true, std::memory_order_release);
  }
  wake_.notify_all();
  thread_.join();
}

bool StreamingThread::sleepUntil(std::chrono::steady_clock::time_point when) {
  std::unique_lock g(lock_);
  return !wake_.wait_until(g, when, [this] { return stop_.load(std::memory_order_acquire); });
}

}  // namespace vistrel::platform::media
