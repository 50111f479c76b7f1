#include "filters/TimeStamper.h"

#include <gtest/gtest.h>

#include "filters/Tvt_TimeStamper.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"

using namespace vistrel::filters;
using namespace vistrel::platform::media;

TEST(TimeStamper, DropStripAndPassThrough) {
  struct Case {
    bool drop, strip, sampleHasTimes;
    HRESULT result;
    bool timesAfter;
  } cases[] = {
      {false, false, true, S_OK, true},  {true, false, true, S_FALSE, true}, {false, true, true, S_OK, false},
      {true, true, true, S_FALSE, true}, {false, true, false, S_OK, false},
  };
  for (const auto& c : cases) {
    TimeStamper t;
    t.SetDrop(c.drop);
    if (c.strip) t.StripTimesOn();
    auto s = MediaSample::create(8);
    REFERENCE_TIME a = 100, b = 200;
    int64_t m0 = 4, m1 = 5;
    if (c.sampleHasTimes) {
      s->SetTime(&a, &b);
      s->SetMediaTime(&m0, &m1);
    }
    s->SetSyncPoint(true);
    EXPECT_EQ(t.Transform(*s), c.result);
    EXPECT_EQ(SUCCEEDED(s->GetTime(&a, &b)), c.timesAfter);
    EXPECT_EQ(SUCCEEDED(s->GetMediaTime(&m0, &m1)), c.timesAfter);
    EXPECT_EQ(s->IsSyncPoint(), S_OK);  // flags and data are never touched
  }
  TimeStamper t;
  t.StripTimesOn();
  t.PassThrough();
  EXPECT_FALSE(t.StripTimes());
  t.SetTag(42);
  EXPECT_EQ(t.Tag(), 42);
}

// The capture freeze: two instances held over the same stretch move what follows by the same
// amount; whether a sample is in the held stretch is told by its stamp, not by when it arrives
// (a frame arrives a latency after its stamp).
TEST(TimeStamper, HoldLeavesTheHeldStretchOut) {
  auto stamped = [](REFERENCE_TIME start) {
    auto s = MediaSample::create(8);
    REFERENCE_TIME stop = start + 400000;
    s->SetTime(&start, &stop);
    return s;
  };
  auto startOf = [](MediaSample& s) {
    REFERENCE_TIME a = -1, b = -1;
    s.GetTime(&a, &b);
    return a;
  };
  TimeStamper video, sound;
  for (TimeStamper* t : {&video, &sound}) t->Hold(true, 10'000'000);
  EXPECT_TRUE(video.Holding());
  EXPECT_EQ(video.Transform(*stamped(12'000'000)), S_FALSE);
  EXPECT_EQ(video.Transform(*MediaSample::create(8)), S_FALSE);  // no stamp: held
  // Captured just before the hold, arriving during it: kept where it was.
  auto before = stamped(9'600'000);
  ASSERT_EQ(video.Transform(*before), S_OK);
  EXPECT_EQ(startOf(*before), 9'600'000);
  for (TimeStamper* t : {&video, &sound}) t->Hold(false, 30'000'000);
  EXPECT_FALSE(video.Holding());
  // Late: stamped in the held stretch.
  EXPECT_EQ(video.Transform(*stamped(29'600'000)), S_FALSE);
  // Later still, stamped before the hold: not moved.
  before = stamped(9'800'000);
  ASSERT_EQ(sound.Transform(*before), S_OK);
  EXPECT_EQ(startOf(*before), 9'800'000);
  for (TimeStamper* t : {&video, &sound}) {
    auto s = stamped(30'400'000);
    ASSERT_EQ(t->Transform(*s), S_OK);
    EXPECT_EQ(startOf(*s), 10'400'000);
  }
  // A second hold adds its stretch; what comes just before it keeps the first one's.
  video.Hold(true, 40'000'000);
  video.Hold(false, 45'000'000);
  auto s = stamped(46'000'000);
  ASSERT_EQ(video.Transform(*s), S_OK);
  EXPECT_EQ(startOf(*s), 46'000'000 - 25'000'000);
  s = stamped(39'000'000);
  ASSERT_EQ(video.Transform(*s), S_OK);
  EXPECT_EQ(startOf(*s), 39'000'000 - 20'000'000);
  // The valve closed without a hold drops everything.
  video.SetDrop(true);
  EXPECT_EQ(video.Transform(*stamped(1'000'000)), S_FALSE);
  video.SetDrop(false);
  // A new run stamps from its start again: nothing is moved.
  video.RestartHold();
  s = stamped(1'000'000);
  ASSERT_EQ(video.Transform(*s), S_OK);
  EXPECT_EQ(startOf(*s), 1'000'000);
}

TEST(Tvt_TimeStamper, IdentityAndAnyTypeInPlace) {
  auto f = Tvt_TimeStamper::create();
  GUID clsid;
  f->GetClassID(clsid);
  EXPECT_EQ(clsid.toString(), QStringLiteral("{E5307FC4-8823-4F58-A01D-D8C863F8BBA8}"));
  FILTER_INFO info;
  f->QueryFilterInfo(info);
  EXPECT_EQ(info.achName, QStringLiteral("Orbano vt_Timestamper"));
  EXPECT_FALSE(f->modifiesData());
  EXPECT_EQ(f->CheckInputType(MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, GUID_NULL)), S_OK);
}

TEST(Tvt_TimeStamper, SwitchesSurviveStopAndRebuild) {
  auto g = FilterGraph::create();
  auto f = Tvt_TimeStamper::create();
  f->SetDrop(true);
  f->StripTimesOn();
  g->AddFilter(f, "Control_Preview_Video");
  g->Run();
  g->Stop();
  g->RemoveFilter(f);
  EXPECT_TRUE(f->processing().Drop());
  EXPECT_TRUE(f->processing().StripTimes());
}
