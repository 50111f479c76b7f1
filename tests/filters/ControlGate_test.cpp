#include "filters/ControlGate.h"

#include <gtest/gtest.h>

namespace vistrel::filters {
namespace {

// The engine's setup for the image-by-image chain.
void imageByImage(ControlGate& gate) {
  gate.SetMarkSyncPoint(true);
  gate.SetMarkDiscontinuity(true);
  gate.SetStep(1);
  gate.SetRenumber(true);
  gate.Close();
}

TEST(ControlGate, ThreeGrabsLetThreeNumberedFramesThrough) {
  ControlGate gate;
  imageByImage(gate);
  std::vector<std::pair<int64_t, int64_t>> passed;
  for (int grab = 0; grab < 3; ++grab) {
    gate.Open();
    for (int frame = 0; frame < 5; ++frame) {
      const auto d = gate.Pass();
      if (!d.pass) continue;
      ASSERT_TRUE(d.mediaStart && d.mediaStop);
      EXPECT_TRUE(d.syncPoint);
      EXPECT_TRUE(d.discontinuity);
      passed.emplace_back(*d.mediaStart, *d.mediaStop);
    }
  }
  const std::vector<std::pair<int64_t, int64_t>> expected = {{0, 1}, {1, 2}, {2, 3}};
  EXPECT_EQ(passed, expected);
}

TEST(ControlGate, ClosedGateDropsEverything) {
  ControlGate gate;
  imageByImage(gate);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(gate.Pass().pass);
  gate.Stop();  // stopping opens it again
  EXPECT_TRUE(gate.IsOpen());
}

TEST(ControlGate, FirstFramePassesUntilSetUp) {
  ControlGate gate;
  const auto first = gate.Pass();
  EXPECT_TRUE(first.pass);
  EXPECT_FALSE(first.mediaStart);  // no renumbering by default
  EXPECT_FALSE(first.syncPoint);
  EXPECT_FALSE(first.discontinuity);
  EXPECT_FALSE(gate.Pass().pass);
}

TEST(ControlGate, TwoOpeningsLetOneFrameThrough) {
  ControlGate gate;
  imageByImage(gate);
  gate.Open();
  gate.Open();
  EXPECT_TRUE(gate.Pass().pass);
  EXPECT_FALSE(gate.Pass().pass);
}

TEST(ControlGate, NumberingContinuesAcrossRunsWithTheStep) {
  ControlGate gate;
  imageByImage(gate);
  gate.SetStep(2);
  gate.Open();
  EXPECT_EQ(*gate.Pass().mediaStart, 0);
  gate.Stop();
  const auto d = gate.Pass();  // the stop opened the gate
  ASSERT_TRUE(d.pass);
  EXPECT_EQ(*d.mediaStart, 2);
  EXPECT_EQ(*d.mediaStop, 4);
}

}  // namespace
}  // namespace vistrel::filters
