#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/media/FilterGraph.h"
#include "platform/media/SystemClock.h"
#include "platform/media/TestFilters.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {
// The monotonic clock in 100 ns units, read directly.
REFERENCE_TIME steadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
             .count() /
         100;
}

REFERENCE_TIME units(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count() / 100;
}

struct RateGuard {
  ~RateGuard() { SystemClock::setRate(1.0); }
};
}  // namespace

// At the rate 1 the graph clock is the monotonic clock itself (kernel capture times are compared
// with it) and never goes back, on any thread.
TEST(GraphClock, IsTheMonotonicClockAndNeverGoesBack) {
  ASSERT_EQ(SystemClock::rate(), 1.0);
  const REFERENCE_TIME before = steadyNow();
  const REFERENCE_TIME now = SystemClock::now();
  const REFERENCE_TIME after = steadyNow();
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
  EXPECT_EQ(units(SystemClock::wallTimeOf(now)), now);

  auto walk = [] {
    REFERENCE_TIME last = SystemClock::now();
    for (int i = 0; i < 200000; ++i) {
      const REFERENCE_TIME t = SystemClock::now();
      if (t < last) return false;
      last = t;
    }
    return true;
  };
  bool otherThread = false;
  std::thread t([&] { otherThread = walk(); });
  EXPECT_TRUE(walk());
  t.join();
  EXPECT_TRUE(otherThread);

  SystemClock clock;
  EXPECT_EQ(clock.GetTime(nullptr), E_POINTER);
  REFERENCE_TIME read = 0;
  EXPECT_EQ(clock.GetTime(&read), S_OK);
  EXPECT_GE(read, now);
}

// Tests speed the clock up: media time then runs `rate` times faster than real time, without a
// jump at the change, and the instants sources wait for follow the same rate.
TEST(GraphClock, ATestRateRunsMediaTimeFasterFromWhereItWas) {
  RateGuard guard;
  const REFERENCE_TIME s0 = steadyNow();
  const REFERENCE_TIME c0 = SystemClock::now();
  SystemClock::setRate(8.0);
  const REFERENCE_TIME c1 = SystemClock::now();
  const REFERENCE_TIME s1 = steadyNow();
  EXPECT_EQ(SystemClock::rate(), 8.0);
  EXPECT_GE(c1, c0);                      // no step back
  EXPECT_LE(c1 - c0, 8 * (s1 - s0) + 8);  // nor forward

  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const REFERENCE_TIME s2 = steadyNow();
  const REFERENCE_TIME c2 = SystemClock::now();
  const REFERENCE_TIME s3 = steadyNow();
  // c1 was read within [s0, s1] and c2 within [s2, s3].
  EXPECT_GE(c2 - c1, 8 * (s2 - s1) - 8);
  EXPECT_LE(c2 - c1, 8 * (s3 - s0) + 8);

  // A second of media time is an eighth of a second of waiting.
  const auto w0 = SystemClock::wallTimeOf(c2);
  const auto w1 = SystemClock::wallTimeOf(c2 + UNITS);
  EXPECT_NEAR(double(units(w1) - units(w0)), double(UNITS / 8), 2.0);
  EXPECT_GE(units(w0), s2 - 2);  // the instant at which the clock read c2
  EXPECT_LE(units(w0), s3 + 2);

  SystemClock::setRate(0);  // refused: the rate stays
  SystemClock::setRate(-1);
  EXPECT_EQ(SystemClock::rate(), 8.0);
}

// Every filter of a graph shares the graph's clock; stream time is 0 while stopped and starts
// from 0 at each Run, with one start for every filter.
TEST(GraphClock, StreamTimeStartsAtRun) {
  const MediaType video = MediaType::rgb24(4, 2, UNITS / 25);
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{video});
  auto sink = std::make_shared<RecordingSink>();
  g->AddFilter(src, "src");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->ConnectDirect(src->outPin(), sink->inPin(), nullptr), S_OK);
  std::shared_ptr<IReferenceClock> a, b;
  src->GetSyncSource(a);
  sink->GetSyncSource(b);
  ASSERT_TRUE(a);
  EXPECT_EQ(a, g->referenceClock());
  EXPECT_EQ(b, a);
  EXPECT_EQ(src->streamTime(), 0);

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const REFERENCE_TIME before = SystemClock::now();
    ASSERT_EQ(g->Run(), S_OK);
    const REFERENCE_TIME t = src->streamTime();
    const REFERENCE_TIME after = SystemClock::now();
    EXPECT_GE(t, 0);
    EXPECT_LE(t, after - before);
    EXPECT_GE(src->streamStart(), before);
    EXPECT_LE(src->streamStart(), after);
    EXPECT_EQ(sink->streamStart(), src->streamStart());
    ASSERT_EQ(g->Stop(), S_OK);
    EXPECT_EQ(src->streamTime(), 0);
  }
  g->RemoveFilter(src);
  src->GetSyncSource(a);
  EXPECT_EQ(a, nullptr);  // out of the graph, out of its clock
}
