#pragma once
// Infinite Pin Tee. Pin 0 is the input; outputs follow, and there is always exactly one
// unconnected output at the end, which offers the input's type. Connecting that spare adds a new
// spare. Disconnecting an output keeps the pin where it is (its index and identity do not change,
// so it can be connected again); trailing unconnected outputs are then trimmed to one.
// Each sample goes to every connected output as its own sample object over the shared buffer:
// no frame is copied, and a branch that changes times or flags, or drops, affects no other.
//
// With two or more branches, each branch is fed by a thread of its own, so that a slow branch
// (a heavy preview chain, an encoder falling behind) never holds up its siblings or the source.
// The input's Receive waits until the branches that were idle have taken the sample, for at most
// kBranchWait; a branch still busy then is lagging: its next samples wait in a queue of at most
// kMaxQueued copies (copies, so that the upstream pool gets its buffers back), or more while they
// hold less than kMaxQueuedBytes, the oldest dropped and counted. The byte budget is for sound:
// its blocks are small and a lost one is a gap in the recording, where a lost picture is refilled. Branches
// that keep up therefore see the sample before Receive returns, as with a single branch. Stopping delivers
// what is still queued before the branch threads end.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/MediaSample.h"

namespace vistrel::platform::media {

class InfTee : public BaseFilter {
 public:
  static constexpr auto kBranchWait = std::chrono::milliseconds(40);
  static constexpr size_t kMaxQueued = 8;
  static constexpr size_t kMaxQueuedBytes = size_t(16) << 20;

  InfTee();
  ~InfTee() override;
  static std::shared_ptr<IBaseFilter> create();

  void pinConnected(BasePin& pin) override;
  void pinDisconnected(BasePin& pin) override;

  // Streaming thread: the input's Receive.
  HRESULT deliverToBranches(const std::shared_ptr<MediaSample>& sample);
  const MediaType* inputType() const;
  // Samples lagging branches lost since the filter was made. Any thread.
  int64_t droppedSamples() const { return dropped_.load(); }
  // Samples copied for a lagging branch since the filter was made (0 while every branch keeps
  // up: branches then share the upstream buffer). Any thread.
  int64_t copiedSamples() const { return copied_.load(); }

  void haltStreaming() override;

 protected:
  HRESULT onPause() override;
  HRESULT onStop() override;

 private:
  struct Branch;
  void addSpare();
  void trimSpares();
  void halt();  // stops the branches and lets nothing through until the next pause
  void startBranches();
  void stopBranches();
  void feed(Branch& branch);

  int nextOutputNumber_ = 1;
  std::vector<std::unique_ptr<Branch>> branches_;  // changed only while no sample flows
  std::mutex lock_;
  // Each branch thread waits on its own signal, the input on this one: a sample wakes only the
  // threads that have something to do, which keeps the hand-over to a few thread switches.
  std::condition_variable finished_;  // a branch finished a sample
  bool sourceWaiting_ = false;
  bool stopping_ = false;
  bool halted_ = false;  // halted or stopped: nothing goes through until the next pause
  std::atomic<int64_t> dropped_{0};
  std::atomic<int64_t> copied_{0};
};

}  // namespace vistrel::platform::media
