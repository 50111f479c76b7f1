#include "platform/devices/virtual/DvTape.h"

#include <gtest/gtest.h>

using namespace vistrel::platform::devices;
namespace dv = vistrel::platform::media::dv;

namespace {

int bcd(uint8_t b, uint8_t tensMask) { return ((b >> 4) & tensMask) * 10 + (b & 0xF); }

struct Packs {
  int tcHours, tcMinutes, tcSeconds, tcFrames;
  bool dated;
  int day, hour, minute, second;
  int display;
};

Packs readPacks(const std::vector<uint8_t>& f) {
  const uint8_t* q = f.data();
  return {bcd(q[114], 3), bcd(q[113], 7), bcd(q[112], 7), bcd(q[111], 3), q[458] == 0x62,
          bcd(q[460], 3), bcd(q[467], 3), bcd(q[466], 7), bcd(q[465], 7), q[455] & 7};
}

TEST(DvTape, TheTapeCarriesItsTimeCodeDatesAndScriptedFeatures) {
  DvTapeDescription d;
  d.frames = 400;
  d.recorded = QDateTime(QDate(2005, 12, 25), QTime(10, 0, 5));
  d.features = {{DvTapeFeature::RecordingBreak, 100, 0, 4 * 3600 + 30 * 60 - 5 - 4},
                {DvTapeFeature::Undated, 200, 50, 0},
                {DvTapeFeature::Wide, 300, 0, 0}};
  DvTape tape(d, 5);
  ASSERT_TRUE(tape.valid());
  std::vector<uint8_t> frame(tape.frameBytes());
  ASSERT_TRUE(tape.frameAt(99, frame));
  Packs p = readPacks(frame);
  EXPECT_EQ(p.tcSeconds, 3);
  EXPECT_EQ(p.tcFrames, 24);
  EXPECT_TRUE(p.dated);
  EXPECT_EQ(p.hour, 10);
  EXPECT_EQ(p.second, 8);
  ASSERT_TRUE(tape.frameAt(100, frame));  // the break: 10:00:09 becomes 14:30:00
  p = readPacks(frame);
  EXPECT_EQ(p.tcSeconds, 4);
  EXPECT_EQ(p.hour, 14);
  EXPECT_EQ(p.minute, 30);
  EXPECT_EQ(p.second, 0);
  ASSERT_TRUE(tape.frameAt(210, frame));
  EXPECT_FALSE(readPacks(frame).dated);
  ASSERT_TRUE(tape.frameAt(260, frame));
  EXPECT_TRUE(readPacks(frame).dated);
  EXPECT_EQ(readPacks(frame).display, 0);
  ASSERT_TRUE(tape.frameAt(300, frame));
  EXPECT_EQ(readPacks(frame).display, 7);  // 16:9 from here on
  EXPECT_FALSE(tape.frameAt(400, frame));
  EXPECT_FALSE(tape.frameAt(-1, frame));
}

TEST(DvTape, ItsFramesHoldPictureAndSound) {
  DvTapeDescription d;
  d.frames = 10;
  DvTape tape(d, 2);
  std::vector<uint8_t> frame(tape.frameBytes());
  ASSERT_TRUE(tape.frameAt(3, frame));
  dv::DvSplitter splitter;
  dv::SplitFrame parts;
  ASSERT_TRUE(splitter.split(frame, parts));
  ASSERT_EQ(parts.audio.size(), 1u);
  EXPECT_EQ(parts.audioStreams[0].sampleRate, 48000);
  EXPECT_EQ(parts.audio[0].size(), 1920u * 2);
  int16_t loudest = 0;
  for (int16_t s : parts.audio[0]) loudest = std::max<int16_t>(loudest, s);
  EXPECT_GT(loudest, 7000);
  dv::DvDecoder decoder;
  std::vector<uint8_t> picture(720 * 3 * 576);
  EXPECT_TRUE(decoder.decode(frame, picture.data(), 720, 576, 2160));
}

}  // namespace
