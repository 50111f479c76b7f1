#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "platform/media/FilterGraph.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/TestSource.h"

using namespace vistrel::platform::media;
using vistrel::testing::TestSink;
using vistrel::testing::TestSource;

namespace {
std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

// A gate the slow branch waits at: a branch that has fallen far behind.
struct Gate {
  void open() {
    {
      std::lock_guard g(lock);
      opened = true;
    }
    wake.notify_all();
  }
  void wait() {
    std::unique_lock g(lock);
    wake.wait(g, [&] { return opened; });
  }
  std::mutex lock;
  std::condition_variable wake;
  bool opened = false;
};

uint8_t firstByte(const vistrel::testing::SinkSample& s) { return s.bytes.empty() ? 0 : s.bytes[0]; }
}  // namespace

// Pictures big enough that kMaxQueued of them fill the byte budget of a lagging branch.
constexpr int32_t kPictureBytes = int32_t(InfTee::kMaxQueuedBytes / InfTee::kMaxQueued) + 1;

// A source feeding a tee with two branches: "recording", stuck in its first Receive until the
// gate opens, and "preview", which keeps up.
struct SlowBranchRig {
  SlowBranchRig(const MediaType& type, int32_t bufferBytes)
      : source(std::make_shared<TestSource>(std::vector<MediaType>{type}, bufferBytes)) {
    graph->AddFilter(source, QStringLiteral("source"));
    graph->AddFilter(tee, QStringLiteral("tee"));
    graph->AddFilter(fast, QStringLiteral("preview"));
    graph->AddFilter(slow, QStringLiteral("recording"));
    slow->onReceive = [this] {
      if (slowCalls.fetch_add(1) == 0) gate.wait();
    };
  }
  ::testing::AssertionResult connectAndRun() {
    if (graph->ConnectDirect(source->outPin(), pinsOf(tee)[0], nullptr) != S_OK ||
        graph->ConnectDirect(pinsOf(tee)[1], slow->inPin(), nullptr) != S_OK ||
        graph->ConnectDirect(pinsOf(tee)[2], fast->inPin(), nullptr) != S_OK)
      return ::testing::AssertionFailure() << "the branches did not connect";
    if (graph->Run() != S_OK) return ::testing::AssertionFailure() << "the graph did not run";
    return ::testing::AssertionSuccess();
  }
  int64_t dropped() const { return static_cast<InfTee*>(tee.get())->droppedSamples(); }

  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<TestSource> source;
  std::shared_ptr<IBaseFilter> tee = InfTee::create();
  std::shared_ptr<TestSink> fast = std::make_shared<TestSink>();
  std::shared_ptr<TestSink> slow = std::make_shared<TestSink>();
  Gate gate;
  std::atomic<int> slowCalls{0};
};

TEST(InfTeeBranches, ASlowBranchHoldsUpNeitherItsSiblingNorTheSource) {
  SlowBranchRig rig(MediaType::rgb24(4, 2, UNITS / 25), kPictureBytes);
  auto& [graph, source, tee, fast, slow, gate, slowCalls] = rig;
  ASSERT_TRUE(rig.connectAndRun());

  constexpr int kPushed = 20;
  for (int i = 0; i < kPushed; ++i) {
    // Every push finds a free buffer: the stuck branch holds one at most, the rest wait as copies.
    ASSERT_EQ(
        source->push(std::vector<uint8_t>(size_t(kPictureBytes), uint8_t(i)), REFERENCE_TIME(i) * UNITS / 25),
        S_OK)
        << i;
    // The sibling that keeps up has every sample as soon as the push returns.
    ASSERT_EQ(fast->received().size(), size_t(i + 1));
  }
  EXPECT_EQ(slow->received().size(), 0u);
  EXPECT_EQ(rig.dropped(), int64_t(kPushed - 1 - InfTee::kMaxQueued));
  // Only the samples the stuck branch could not take were copied, once each.
  EXPECT_EQ(static_cast<InfTee*>(tee.get())->copiedSamples(), int64_t(kPushed - 1));

  gate.open();
  graph->Stop();  // delivers what the slow branch still had queued
  const auto got = slow->received();
  ASSERT_EQ(got.size(), 1 + InfTee::kMaxQueued);
  EXPECT_EQ(firstByte(got[0]), 0);
  // The newest samples were kept, in order, with their own times.
  for (size_t k = 1; k < got.size(); ++k) {
    const int expected = kPushed - int(InfTee::kMaxQueued) + int(k) - 1;
    EXPECT_EQ(firstByte(got[k]), expected);
    EXPECT_EQ(got[k].start, REFERENCE_TIME(expected) * UNITS / 25);
  }
  EXPECT_EQ(fast->received().size(), size_t(kPushed));
}

// Sound comes in small blocks, and a lost block is a gap in the recording: a lagging branch keeps
// every one of them while they fit in the byte budget, however many they are.
TEST(InfTeeBranches, ALaggingBranchLosesNoSmallBlock) {
  SlowBranchRig rig(MediaType::pcm(48000, 2, 16), 3840);
  ASSERT_TRUE(rig.connectAndRun());
  const int pushed = int(InfTee::kMaxQueued) * 10;
  for (int i = 0; i < pushed; ++i)
    ASSERT_EQ(rig.source->push(std::vector<uint8_t>(3840, uint8_t(i)), REFERENCE_TIME(i) * UNITS / 50), S_OK)
        << i;
  rig.gate.open();
  rig.graph->Stop();
  EXPECT_EQ(rig.dropped(), 0);
  const auto got = rig.slow->received();
  ASSERT_EQ(got.size(), size_t(pushed));
  for (int i = 0; i < pushed; ++i) EXPECT_EQ(firstByte(got[size_t(i)]), uint8_t(i)) << i;
}

TEST(InfTeeBranches, BranchThreadsEndAndRestartWithTheGraph) {
  auto graph = FilterGraph::create();
  const MediaType type = MediaType::pcm(8000, 1, 16);
  auto source = std::make_shared<TestSource>(std::vector<MediaType>{type}, 64);
  auto tee = InfTee::create();
  std::vector<std::shared_ptr<TestSink>> sinks;
  graph->AddFilter(source, QStringLiteral("source"));
  graph->AddFilter(tee, QStringLiteral("tee"));
  ASSERT_EQ(graph->ConnectDirect(source->outPin(), pinsOf(tee)[0], nullptr), S_OK);
  for (int i = 0; i < 3; ++i) {
    sinks.push_back(std::make_shared<TestSink>());
    graph->AddFilter(sinks.back(), QStringLiteral("sink%1").arg(i));
    ASSERT_EQ(graph->ConnectDirect(pinsOf(tee).back(), sinks.back()->inPin(), nullptr), S_OK);
  }
  for (int cycle = 0; cycle < 5; ++cycle) {
    ASSERT_EQ(graph->Run(), S_OK);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(source->push(std::vector<uint8_t>(16, uint8_t(i))), S_OK);
    ASSERT_EQ(graph->Stop(), S_OK);
    ASSERT_EQ(graph->Stop(), S_OK);  // twice is harmless
  }
  for (auto& s : sinks) EXPECT_EQ(s->received().size(), 50u);
  // Taken out of the graph while running, the tee ends its threads too.
  ASSERT_EQ(graph->Run(), S_OK);
  ASSERT_EQ(graph->RemoveFilter(tee), S_OK);
  graph->Stop();
}
