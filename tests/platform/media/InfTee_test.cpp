#include "platform/media/filters/InfTee.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/media/FilterGraph.h"
#include "platform/media/TestFilters.h"
#include "platform/media/TransInPlaceFilter.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {
// A branch filter that strips times, or drops everything while its valve is closed.
class Branch : public TransInPlaceFilter {
 public:
  Branch()
      : TransInPlaceFilter(makeGuid("{66666666-2222-3333-4444-555555555555}"), QStringLiteral("Branch"),
                           false) {}
  // Set by the test while the branch's thread may run.
  std::atomic<bool> strip{false};
  std::atomic<bool> drop{false};
  std::atomic<int> seen{0};  // samples this branch has been through
  HRESULT CheckInputType(const MediaType&) override { return S_OK; }
  HRESULT Transform(MediaSample& s) override {
    const bool dropping = drop.load();
    if (!dropping && strip.load()) s.SetTime(nullptr, nullptr);
    seen.fetch_add(1);
    return dropping ? S_FALSE : S_OK;
  }
};

const MediaType kVideo = MediaType::rgb24(4, 2, UNITS / 25);

std::vector<std::shared_ptr<IPin>> pins(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

struct TeeGraph {
  std::shared_ptr<FilterGraph> g = FilterGraph::create();
  std::shared_ptr<PushSource> src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo}, 64);
  std::shared_ptr<IBaseFilter> tee = InfTee::create();
  TeeGraph() {
    g->AddFilter(src, "src");
    g->AddFilter(tee, "tee");
  }
};
}  // namespace

TEST(InfTee, KeepsOneSpareOutputThatOffersTheInputType) {
  TeeGraph t;
  auto p = pins(t.tee);
  ASSERT_EQ(p.size(), 2u);
  std::shared_ptr<IEnumMediaTypes> types;
  p[1]->EnumMediaTypes(types);
  EXPECT_TRUE(types->all().empty());  // nothing to offer before the input connects
  ASSERT_EQ(t.g->ConnectDirect(t.src->outPin(), p[0], nullptr), S_OK);
  p[1]->EnumMediaTypes(types);
  ASSERT_EQ(types->all().size(), 1u);
  EXPECT_EQ(types->all()[0], kVideo);

  std::vector<std::shared_ptr<RecordingSink>> sinks;
  for (int i = 0; i < 3; ++i) {
    sinks.push_back(std::make_shared<RecordingSink>());
    t.g->AddFilter(sinks.back(), QStringLiteral("s%1").arg(i));
    auto spare = pins(t.tee).back();
    ASSERT_EQ(t.g->ConnectDirect(spare, sinks.back()->inPin(), nullptr), S_OK);
    EXPECT_EQ(pins(t.tee).size(), static_cast<size_t>(3 + i));
  }
  // Disconnecting a middle output keeps it at its index, reusable.
  auto middle = pins(t.tee)[2];
  middle->Disconnect();
  sinks[1]->inPin()->Disconnect();
  auto after = pins(t.tee);
  ASSERT_EQ(after.size(), 5u);
  EXPECT_EQ(after[2], middle);
  ASSERT_EQ(t.g->ConnectDirect(middle, sinks[1]->inPin(), nullptr), S_OK);
  // Disconnecting the last connected output trims the trailing spares to one.
  auto last = pins(t.tee)[3];
  last->Disconnect();
  sinks[2]->inPin()->Disconnect();
  after = pins(t.tee);
  ASSERT_EQ(after.size(), 4u);
  EXPECT_EQ(after[3], last);  // the disconnected pin is now the spare
}

TEST(InfTee, BranchesShareTheBufferButNotTheProperties) {
  // tee -> (stripping time-stamper -> A), B: the strip on A's branch must not reach B.
  TeeGraph t;
  auto stamper = std::make_shared<Branch>();
  stamper->strip = true;
  auto a = std::make_shared<RecordingSink>(), b = std::make_shared<RecordingSink>();
  t.g->AddFilter(stamper, "Tamponer Video");
  t.g->AddFilter(a, "a");
  t.g->AddFilter(b, "b");
  ASSERT_EQ(t.g->ConnectDirect(t.src->outPin(), pins(t.tee)[0], nullptr), S_OK);
  ASSERT_EQ(t.g->ConnectDirect(pins(t.tee)[1], pins(stamper)[0], nullptr), S_OK);
  ASSERT_EQ(t.g->ConnectDirect(pins(stamper)[1], a->inPin(), nullptr), S_OK);
  ASSERT_EQ(t.g->ConnectDirect(pins(t.tee)[2], b->inPin(), nullptr), S_OK);
  t.g->Run();
  ASSERT_EQ(t.src->push({1, 2, 3, 4}, 123), S_OK);
  t.g->Stop();
  auto ra = a->received(), rb = b->received();
  ASSERT_EQ(ra.size(), 1u);
  ASSERT_EQ(rb.size(), 1u);
  EXPECT_FALSE(ra[0].hasTime);
  EXPECT_TRUE(rb[0].hasTime);
  EXPECT_EQ(rb[0].start, 123);
  EXPECT_EQ(ra[0].pointer, rb[0].pointer);  // no frame copy
  EXPECT_EQ(ra[0].bytes, rb[0].bytes);
  EXPECT_EQ(static_cast<InfTee*>(t.tee.get())->copiedSamples(), 0);
}

TEST(InfTee, ADroppingBranchStarvesNoSibling) {
  TeeGraph t;
  auto valve = std::make_shared<Branch>();
  valve->drop = true;
  auto a = std::make_shared<RecordingSink>(), b = std::make_shared<RecordingSink>();
  t.g->AddFilter(valve, "valve");
  t.g->AddFilter(a, "a");
  t.g->AddFilter(b, "b");
  t.g->ConnectDirect(t.src->outPin(), pins(t.tee)[0], nullptr);
  t.g->ConnectDirect(pins(t.tee)[1], pins(valve)[0], nullptr);
  t.g->ConnectDirect(pins(valve)[1], a->inPin(), nullptr);
  t.g->ConnectDirect(pins(t.tee)[2], b->inPin(), nullptr);
  t.g->Run();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(t.src->push({1}), S_OK);
  // The tee waits for its branches a while only: on a slow machine the valve may still be on
  // the third sample when the push returns.
  for (int waited = 0; valve->seen.load() < 3 && waited < 20000; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  valve->drop = false;
  EXPECT_EQ(t.src->push({2}), S_OK);
  t.g->Stop();
  EXPECT_EQ(a->received().size(), 1u);
  EXPECT_EQ(b->received().size(), 4u);
}

// A source halted after the tee (a lost device no longer shows the pin that orders it first)
// may still push a sample: once halted the tee hands nothing on, so no branch filter gets a
// sample from that thread while the graph stops it. The next run lets samples through again.
TEST(InfTee, AHaltedTeeHandsNothingOn) {
  for (int branches : {1, 2}) {
    SCOPED_TRACE(branches);
    TeeGraph t;
    std::vector<std::shared_ptr<RecordingSink>> sinks;
    ASSERT_EQ(t.g->ConnectDirect(t.src->outPin(), pins(t.tee)[0], nullptr), S_OK);
    for (int i = 0; i < branches; ++i) {
      sinks.push_back(std::make_shared<RecordingSink>());
      t.g->AddFilter(sinks.back(), QStringLiteral("sink%1").arg(i));
      ASSERT_EQ(t.g->ConnectDirect(pins(t.tee)[size_t(i) + 1], sinks.back()->inPin(), nullptr), S_OK);
    }
    t.g->Run();
    ASSERT_EQ(t.src->push({1}), S_OK);
    static_cast<InfTee*>(t.tee.get())->haltStreaming();
    EXPECT_EQ(t.src->push({2}), VFW_E_WRONG_STATE);
    t.g->Stop();
    for (const auto& s : sinks) EXPECT_EQ(s->received().size(), 1u);
    t.g->Run();
    ASSERT_EQ(t.src->push({3}), S_OK);
    t.g->Stop();
    for (const auto& s : sinks) EXPECT_EQ(s->received().size(), 2u);
  }
}
