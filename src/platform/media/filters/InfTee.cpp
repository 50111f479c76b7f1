#include "platform/media/filters/InfTee.h"

#include <algorithm>
#include <cstring>

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::platform::media {

namespace {
size_t sampleBytes(const MediaSample& s) { return size_t(std::max(s.GetActualDataLength(), 0)); }

class TeeInput : public BaseInputPin {
 public:
  explicit TeeInput(InfTee* f) : BaseInputPin(f, QStringLiteral("Input")), tee_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    // With branches connected, a new input type must be the one they carry.
    for (int i = 1; i < tee_->pinCount(); ++i) {
      BasePin* p = tee_->pin(i);
      if (p->isConnected() && !(p->currentMediaType() == type)) return VFW_E_TYPE_NOT_ACCEPTED;
    }
    return S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return tee_->deliverToBranches(sample);
  }

 private:
  InfTee* tee_;
};

class TeeOutput : public BaseOutputPin {
 public:
  TeeOutput(InfTee* f, int number) : BaseOutputPin(f, QStringLiteral("Output%1").arg(number)), tee_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    const MediaType* in = filter_ ? tee_->inputType() : nullptr;
    if (!in) return VFW_E_NOT_CONNECTED;
    return *in == type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    const MediaType* in = filter_ ? tee_->inputType() : nullptr;
    if (position < 0) return E_INVALIDARG;
    if (position > 0 || !in) return VFW_S_NO_MORE_ITEMS;
    type = *in;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES&) override {
    // The tee never allocates: branches get the upstream buffer.
    ALLOCATOR_PROPERTIES actual;
    return allocator.SetProperties(ALLOCATOR_PROPERTIES{1, 1, 1, 0}, actual);
  }

 private:
  InfTee* tee_;
};
}  // namespace

struct InfTee::Branch {
  BaseOutputPin* pin = nullptr;
  std::deque<std::shared_ptr<MediaSample>> queue;
  bool busy = false;
  std::condition_variable wake;  // samples queued, or a stop asked
  uint64_t finished = 0;         // samples this branch has delivered downstream
  uint64_t taken = 0;            // samples handed to this branch
  size_t queuedBytes = 0;        // data held by the queue
  std::thread thread;
};

InfTee::InfTee() : BaseFilter(CLSID_InfTee, QStringLiteral("Infinite Pin Tee Filter")) {
  addPin(std::make_shared<TeeInput>(this));
  addSpare();
}

InfTee::~InfTee() { stopBranches(); }

std::shared_ptr<IBaseFilter> InfTee::create() { return std::make_shared<InfTee>(); }

const MediaType* InfTee::inputType() const {
  BasePin* in = pin(0);
  return in && in->isConnected() ? &in->currentMediaType() : nullptr;
}

void InfTee::addSpare() { addPin(std::make_shared<TeeOutput>(this, nextOutputNumber_++)); }

void InfTee::trimSpares() {
  // Keep exactly one unconnected output at the end.
  while (pinCount() > 2 && !pin(pinCount() - 1)->isConnected() && !pin(pinCount() - 2)->isConnected())
    removePin(pin(pinCount() - 1));
  if (pinCount() < 2 || pin(pinCount() - 1)->isConnected()) addSpare();
}

void InfTee::pinConnected(BasePin& p) {
  if (p.direction() == PINDIR_OUTPUT && &p == pin(pinCount() - 1)) addSpare();
}

void InfTee::pinDisconnected(BasePin& p) {
  if (p.direction() == PINDIR_OUTPUT) trimSpares();
}

HRESULT InfTee::onPause() {
  {
    std::lock_guard g(lock_);
    halted_ = false;
  }
  startBranches();
  return S_OK;
}

HRESULT InfTee::onStop() {
  halt();
  return S_OK;
}

void InfTee::haltStreaming() { halt(); }

void InfTee::halt() {
  {
    // From here on nothing goes through, not even on the source's thread: the filters below are
    // about to stop, and a sample still arriving (from a source halted after us) must not reach
    // them while they do.
    std::lock_guard g(lock_);
    halted_ = true;
  }
  stopBranches();
}

void InfTee::startBranches() {
  stopBranches();
  std::vector<BaseOutputPin*> connected;
  for (int i = 1; i < pinCount(); ++i)
    if (pin(i)->isConnected()) connected.push_back(static_cast<BaseOutputPin*>(pin(i)));
  if (connected.size() < 2) return;  // a single branch has no sibling to hold up
  std::lock_guard g(lock_);
  stopping_ = false;
  for (BaseOutputPin* out : connected) {
    branches_.push_back(std::make_unique<Branch>());
    branches_.back()->pin = out;
  }
  for (auto& b : branches_) b->thread = std::thread([this, branch = b.get()] { feed(*branch); });
}

void InfTee::stopBranches() {
  {
    std::lock_guard g(lock_);
    if (branches_.empty()) return;
    stopping_ = true;  // the threads deliver what is queued, then end
  }
  for (auto& b : branches_) b->wake.notify_all();
  finished_.notify_all();
  for (auto& b : branches_)
    if (b->thread.joinable()) b->thread.join();
  std::lock_guard g(lock_);
  branches_.clear();
}

// The thread of one branch: delivers its queue in order.
void InfTee::feed(Branch& branch) {
  std::unique_lock lk(lock_);
  for (;;) {
    branch.wake.wait(lk, [&] { return stopping_ || !branch.queue.empty(); });
    if (branch.queue.empty()) return;  // stopping, and nothing left
    auto sample = std::move(branch.queue.front());
    branch.queue.pop_front();
    branch.queuedBytes -= sampleBytes(*sample);
    branch.busy = true;
    lk.unlock();
    branch.pin->Deliver(sample);  // one branch's refusal never starves the others
    sample.reset();               // the buffer goes back before the source hears we are done
    lk.lock();
    branch.busy = false;
    ++branch.finished;
    if (sourceWaiting_) {
      // Woken after the lock is let go, the input does not have to wait for it again.
      lk.unlock();
      finished_.notify_all();
      lk.lock();
    }
  }
}

namespace {
// A private copy of a sample's data and properties, independent of the upstream pool.
std::shared_ptr<MediaSample> copyOf(const MediaSample& s) {
  const int32_t n = std::max(s.GetActualDataLength(), 0);
  auto c = MediaSample::create(n);
  if (n > 0) std::memcpy(c->data(), s.data(), size_t(n));
  c->copyPropertiesFrom(s);
  return c;
}
}  // namespace

HRESULT InfTee::deliverToBranches(const std::shared_ptr<MediaSample>& sample) {
  std::unique_lock lk(lock_);
  // Halted, or the branch threads are delivering what they still hold: a sample handed on from
  // here as well would reach a branch's filters from two threads at once.
  if (halted_ || (stopping_ && !branches_.empty())) return VFW_E_WRONG_STATE;
  if (branches_.empty()) {
    lk.unlock();
    // Pins change only while stopped, so the list is stable on the streaming thread.
    const int n = pinCount();
    for (int i = 1; i < n; ++i) {
      auto* out = static_cast<BaseOutputPin*>(pin(i));
      if (!out->isConnected()) continue;
      out->Deliver(sample->shareBuffer());
    }
    return S_OK;
  }
  std::vector<std::pair<Branch*, uint64_t>> awaited;
  std::shared_ptr<MediaSample> copy;
  for (auto& b : branches_) {
    const size_t bytes = sampleBytes(*sample);
    if (!b->busy && b->queue.empty()) {
      b->queue.push_back(sample->shareBuffer());
      b->queuedBytes += bytes;
      awaited.emplace_back(b.get(), ++b->taken);
      continue;
    }
    // Lagging: a copy waits, so that the upstream buffer is not held.
    if (!copy) {
      copy = copyOf(*sample);
      copied_.fetch_add(1);
    }
    if (b->queue.size() >= kMaxQueued && b->queuedBytes + bytes > kMaxQueuedBytes) {
      b->queuedBytes -= sampleBytes(*b->queue.front());
      b->queue.pop_front();
      dropped_.fetch_add(1);
    } else {
      ++b->taken;
    }
    b->queue.push_back(copy->shareBuffer());
    b->queuedBytes += bytes;
  }
  for (auto& b : branches_) b->wake.notify_one();
  sourceWaiting_ = true;
  finished_.wait_for(lk, kBranchWait, [&] {
    for (auto& [b, ticket] : awaited)
      if (b->finished < ticket) return false;
    return true;
  });
  sourceWaiting_ = false;
  return S_OK;
}

}  // namespace vistrel::platform::media
