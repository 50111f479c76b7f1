#pragma once
// The streaming thread of a source: runs a body until asked to stop. The body polls
// stopRequested() or sleeps with sleepUntil(), which wakes at once on a stop request. stop()
// joins; it is called on the user-interface thread (the graph's Stop), never from the body.
// Destroying the object stops and joins the thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vistrel::platform::media {

class StreamingThread {
 public:
  StreamingThread() = default;
  ~StreamingThread() { stop(); }
  StreamingThread(const StreamingThread&) = delete;
  StreamingThread& operator=(const StreamingThread&) = delete;

  // Starts the body unless already running.
  void start(std::function<void(StreamingThread&)> body);
  void stop();
  bool running() const { return thread_.joinable(); }
  bool stopRequested() const { return stop_.load(std::memory_order_acquire); }
  // False when a stop was requested before the time came.
  bool sleepUntil(std::chrono::steady_clock::time_point when);

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::condition_variable wake_;
};

}  // namespace vistrel::platform::media
