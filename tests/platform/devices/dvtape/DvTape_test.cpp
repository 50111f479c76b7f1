#include "platform/devices/virtual/DvTape.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/devices/virtual/DvTapeFile.h"
#include "platform/media/dv/DvAudio.h"
#include "platform/media/filters/DvInfo.h"

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

// The tape's sound, read back through libavformat as the DV Splitter reads it: every frame holds
// its share of the unlocked sound (1600/1602 samples per NTSC frame at 48 kHz, 1067/1068 at
// 32 kHz), and the 440 Hz tone runs on across the frames without a break: exactly for 16-bit
// sound, within the companding error for the consumer camcorders' 12-bit 32 kHz sound.
TEST(DvTape, ItsSoundIsTheToneUnbrokenInEverySystemAndFormat) {
  struct Case {
    dv::System system;
    int rate, bits;
  };
  for (const Case& c : {Case{dv::System::Pal, 48000, 16}, Case{dv::System::Ntsc, 48000, 16},
                        Case{dv::System::Ntsc, 32000, 16}, Case{dv::System::Pal, 44100, 16},
                        Case{dv::System::Pal, 32000, 12}, Case{dv::System::Ntsc, 32000, 12}}) {
    SCOPED_TRACE(testing::Message() << (c.system == dv::System::Pal ? "PAL " : "NTSC ") << c.rate << " Hz "
                                    << c.bits << " bits");
    constexpr int kFrames = 20;
    DvTapeDescription d;
    d.system = c.system;
    d.frames = kFrames;
    d.sampleRate = c.rate;
    d.audioBits = c.bits;
    DvTape tape(d, 1);
    std::vector<uint8_t> frame(tape.frameBytes());
    std::vector<int16_t> left;
    dv::DvSplitter splitter;
    for (int i = 0; i < kFrames; ++i) {
      ASSERT_TRUE(tape.frameAt(i, frame));
      dv::SplitFrame parts;
      ASSERT_TRUE(splitter.split(frame, parts));
      ASSERT_GE(parts.audio.size(), 1u);
      EXPECT_EQ(parts.audioStreams[0].sampleRate, c.rate);
      ASSERT_EQ(parts.audio[0].size(), 2u * static_cast<size_t>(dv::samplesInFrame(c.system, c.rate, i)))
          << i;
      for (size_t s = 0; s < parts.audio[0].size(); s += 2) {
        ASSERT_EQ(parts.audio[0][s], parts.audio[0][s + 1]);
        left.push_back(parts.audio[0][s]);
      }
      if (i == 0) {
        const auto info = vistrel::platform::media::dvInfoOfFrame(frame, c.system);
        EXPECT_EQ((info.dwDVAAuxSrc >> 27) & 7, c.rate == 48000 ? 0u : c.rate == 44100 ? 1u : 2u);
        EXPECT_EQ(info.dwDVAAuxSrc1, 0xFFFFFFFFu);  // one stereo stream: the second half is none
      }
      // 12-bit 32 kHz where the program's decoder reads it.
      if (c.bits == 12) {
        EXPECT_EQ(frame[4327] & 0x3F, 0x11);
      }
    }
    ASSERT_EQ(static_cast<int64_t>(left.size()), tape.samplesBefore(kFrames));
    for (size_t n = 0; n < left.size(); ++n) {
      const double expected = 8000 * std::sin(2 * M_PI * 440 * static_cast<double>(n) / c.rate);
      // 12-bit: steps of 16 around 8000, one more for the rounding of the tone itself.
      ASSERT_NEAR(left[n], expected, c.bits == 12 ? 17 : 1) << n;
    }
  }
}

}  // namespace
