#include "platform/devices/virtual/DvTransport.h"

#include <gtest/gtest.h>

#include "platform/media/IAMExtTransport.h"

using namespace vistrel::platform::devices;
using namespace vistrel::platform::media;

namespace {

// Plays the tape to frame 100, switches to `mode` and looks at four periods.
struct ModeCase {
  int32_t mode;
  std::vector<int64_t> sent;  // -1: nothing sent that period
  int64_t frameAfter;
};

class DvTransportModes : public ::testing::TestWithParam<ModeCase> {};

TEST_P(DvTransportModes, SendAndMoveAsTheModeSays) {
  const ModeCase& c = GetParam();
  DvTransport t(1000, ED_MODE_PLAY);
  for (int i = 0; i < 100; ++i) t.tick();
  ASSERT_EQ(t.frame(), 100);
  ASSERT_EQ(t.setMode(c.mode), S_OK);
  std::vector<int64_t> sent;
  for (int i = 0; i < 4; ++i) sent.push_back(t.tick());
  EXPECT_EQ(sent, c.sent);
  EXPECT_EQ(t.frame(), c.frameAfter);
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, DvTransportModes,
    ::testing::Values(ModeCase{ED_MODE_PLAY, {100, 101, 102, 103}, 104},
                      ModeCase{ED_MODE_FREEZE, {100, 100, 100, 100}, 100},  // the same frame again
                      ModeCase{ED_MODE_THAW, {100, 101, 102, 103}, 104},
                      ModeCase{ED_MODE_STOP, {-1, -1, -1, -1}, 100},
                      ModeCase{ED_MODE_PLAY_SLOWEST_FWD, {100, 100, 100, 100}, 100},  // 4 x 0.2 frame
                      ModeCase{ED_MODE_PLAY_SLOWEST_REV, {100, 99, 99, 99}, 99},
                      ModeCase{ED_MODE_PLAY_FASTEST_FWD, {100, 110, 120, 130}, 140},
                      ModeCase{ED_MODE_PLAY_FASTEST_REV, {100, 90, 80, 70}, 60},
                      ModeCase{ED_MODE_FF, {-1, -1, -1, -1}, 300},  // wound: heads off the tape
                      ModeCase{ED_MODE_REW, {-1, -1, -1, -1}, 0}));

TEST(DvTransport, TheTapeStopsAtEitherEnd) {
  DvTransport t(30, ED_MODE_PLAY_FASTEST_FWD);
  EXPECT_EQ(t.tick(), 0);
  EXPECT_EQ(t.tick(), 10);
  EXPECT_EQ(t.tick(), 20);
  EXPECT_EQ(t.mode(), ED_MODE_STOP);  // 30 is past the last frame
  EXPECT_EQ(t.frame(), 29);
  EXPECT_EQ(t.tick(), -1);
  ASSERT_EQ(t.setMode(ED_MODE_PLAY), S_OK);
  EXPECT_EQ(t.tick(), 29);
  EXPECT_EQ(t.mode(), ED_MODE_STOP);
  ASSERT_EQ(t.setMode(ED_MODE_PLAY_SLOWEST_REV), S_OK);
  for (int i = 0; i < 200; ++i) t.tick();
  EXPECT_EQ(t.frame(), 0);
  EXPECT_EQ(t.mode(), ED_MODE_STOP);
}

TEST(DvTransport, UnknownModesAreRefusedAndChangeNothing) {
  DvTransport t(100, ED_MODE_FREEZE);
  EXPECT_EQ(t.setMode(0), E_INVALIDARG);
  EXPECT_EQ(t.setMode(4302), E_INVALIDARG);  // recording: not on a player
  EXPECT_EQ(t.mode(), ED_MODE_FREEZE);
  DvTransport empty(0, ED_MODE_PLAY);
  EXPECT_EQ(empty.tick(), -1);
}

}  // namespace
