// The program's DV pack decoder on the frames the platform writes: the DV muxer's output (the
// recompressed DV chain) and the virtual camcorder's generated tape. Every time-code slot of the
// subcode and every date slot of the VAUX blocks, in every sequence, must read the same value
// (or, in an undated stretch, no date at all): a reader looking at another slot than ours must
// not find a stale 00:00:00:00 or a 1 January 1970.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "filters/DvCodes.h"
#include "platform/devices/virtual/DvTape.h"
#include "platform/media/dv/DvCodec.h"
#include "platform/media/dv/DvInterleave.h"

namespace vistrel::filters {
namespace {

namespace dv = platform::media::dv;
using namespace dvcodes;

// The decoder reads one fixed place of a sequence (the fourth SSYB of both subcode blocks, the
// date and time packs at 458 and 463); a view of the frame shifted by the distance to another
// slot makes it read that slot. The frame is copied after one sequence of padding so that slots
// before the decoder's place can be reached in the first sequence too.
class Slots {
 public:
  Slots(const std::vector<uint8_t>& frame, dv::System system) : system_(system) {
    padded_.assign(dv::kSequenceBytes, 0);
    padded_.insert(padded_.end(), frame.begin(), frame.end());
  }
  TimeCode timeCode(int sequence, size_t slot) const {
    return DecodeTimeCode(
        view(sequence, static_cast<ptrdiff_t>(slot) - static_cast<ptrdiff_t>(kTimeCodePackId1)), 0);
  }
  RecordingDateTime date(int sequence, size_t slot) const {
    return DecodeRecordingDateTime(
        view(sequence, static_cast<ptrdiff_t>(slot) - static_cast<ptrdiff_t>(kDatePackId)), 0);
  }
  // Every time-code slot (the subcode's first six pair up with the second block's six).
  void expectTimeCode(int hours, int minutes, int seconds, int frames) const {
    for (int s = 0; s < dv::sequences(system_); ++s)
      for (int i = 0; i < 6; ++i) {
        const TimeCode tc = timeCode(s, dv::kSubcodePackSlots[i]);
        SCOPED_TRACE(testing::Message() << "sequence " << s << " SSYB " << i);
        ASSERT_TRUE(tc.valid());
        EXPECT_EQ(tc.hours, hours);
        EXPECT_EQ(tc.minutes, minutes);
        EXPECT_EQ(tc.seconds, seconds);
        EXPECT_EQ(tc.frames, frames);
      }
  }
  // Every date slot: the date and time, or (year -1) none.
  void expectDate(const RecordingDateTime& expected) const {
    for (int s = 0; s < dv::sequences(system_); ++s)
      for (size_t slot : dv::kDatePackSlots) {
        const RecordingDateTime d = date(s, slot);
        SCOPED_TRACE(testing::Message() << "sequence " << s << " VAUX slot " << slot);
        ASSERT_EQ(d.present(), expected.present());
        if (!expected.present()) continue;
        EXPECT_EQ(d.year, expected.year);
        EXPECT_EQ(d.month, expected.month);
        EXPECT_EQ(d.day, expected.day);
        EXPECT_EQ(d.hours, expected.hours);
        EXPECT_EQ(d.minutes, expected.minutes);
        EXPECT_EQ(d.seconds, expected.seconds);
      }
  }

 private:
  std::span<const uint8_t> view(int sequence, ptrdiff_t shift) const {
    const auto at = static_cast<size_t>(static_cast<ptrdiff_t>(dv::kSequenceBytes * (sequence + 1)) + shift);
    return std::span<const uint8_t>(padded_).subspan(at);
  }
  std::vector<uint8_t> padded_;
  dv::System system_;
};

RecordingDateTime dated(int year, int month, int day, int hours, int minutes, int seconds) {
  RecordingDateTime d;
  d.year = year, d.month = month, d.day = day, d.hours = hours, d.minutes = minutes, d.seconds = seconds;
  return d;
}

// The recompressed DV chain: frames packed as the DV Video Encoder leaves them, then muxed with
// sound in every format the muxer writes; the muxer keeps the encoder's packs in every slot.
TEST(DvCodesOnPlatformFrames, TheMuxerKeepsTheEncodersTimeCodeAndDateInEverySlot) {
  struct Case {
    dv::System system;
    int rate, bits;
  };
  for (const Case& c : {Case{dv::System::Pal, 48000, 16}, Case{dv::System::Ntsc, 48000, 16},
                        Case{dv::System::Ntsc, 32000, 16}, Case{dv::System::Pal, 32000, 12},
                        Case{dv::System::Pal, 44100, 16}}) {
    SCOPED_TRACE(testing::Message() << (c.system == dv::System::Pal ? "PAL " : "NTSC ") << c.rate << " Hz");
    const int height = c.system == dv::System::Pal ? 576 : 480;
    const std::vector<uint8_t> picture(static_cast<size_t>(720 * 3 * height), 0x70);
    dv::DvEncoder encoder;
    ASSERT_TRUE(encoder.open(c.system));
    dv::DvMuxer muxer;
    ASSERT_TRUE(muxer.open(c.system, c.rate, c.bits));
    constexpr int kFrames = 3;
    for (int i = 0; i < kFrames; ++i) {
      std::vector<uint8_t> frame(dv::frameBytes(c.system));
      ASSERT_TRUE(encoder.encode({picture.data(), 720, height, 720 * 3}, frame));
      dv::writeTimeCode(frame, c.system, {10, 20, 30, i});
      dv::writeRecordingDateTime(frame, c.system, {2024, 3, 17, 14, 5, 59});
      ASSERT_TRUE(muxer.addVideo(frame));
      ASSERT_TRUE(muxer.addAudio(std::vector<int16_t>(
          2 * static_cast<size_t>(dv::samplesInFrame(c.system, c.rate, i)), static_cast<int16_t>(1000))));
    }
    const auto frames = muxer.takeFrames();
    ASSERT_EQ(frames.size(), static_cast<size_t>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
      SCOPED_TRACE(testing::Message() << "frame " << i);
      const Slots read(frames[static_cast<size_t>(i)], c.system);
      read.expectTimeCode(10, 20, 30, i);
      read.expectDate(dated(2024, 3, 17, 14, 5, 59));
      EXPECT_EQ(DecodeAudioSamplingRate(frames[static_cast<size_t>(i)]), c.rate);
    }
  }
}

// The generated tape: the time code runs on, the date advances and jumps at a recording break,
// and an undated stretch carries no date in any slot, in both systems.
TEST(DvCodesOnPlatformFrames, TheTapeCarriesItsTimeCodeAndDateInEverySlot) {
  for (dv::System system : {dv::System::Pal, dv::System::Ntsc}) {
    SCOPED_TRACE(system == dv::System::Pal ? "PAL" : "NTSC");
    const int rate = system == dv::System::Pal ? 25 : 30;
    platform::devices::DvTapeDescription d;
    d.system = system;
    d.frames = 200;
    d.recorded = QDateTime(QDate(2005, 12, 25), QTime(10, 0, 5));
    d.features = {{platform::devices::DvTapeFeature::Undated, 150, 20, 0},
                  {platform::devices::DvTapeFeature::RecordingBreak, 100, 0, 3600}};
    platform::devices::DvTape tape(d, 1);
    ASSERT_TRUE(tape.valid());
    std::vector<uint8_t> frame(tape.frameBytes());
    // The date advances with the frames' real time (29.97 frames a second in NTSC).
    const double fps = system == dv::System::Pal ? 25.0 : 30000.0 / 1001.0;
    const auto secondsAt = [&](int index) { return 5 + static_cast<int>(std::floor(index / fps)); };
    struct Probe {
      int frame;
      RecordingDateTime date;
    };
    for (const Probe& p : {Probe{3 * rate + 7, dated(2005, 12, 25, 10, 0, secondsAt(3 * rate + 7))},
                           Probe{100 + rate / 2, dated(2005, 12, 25, 11, 0, secondsAt(100 + rate / 2))},
                           Probe{160, RecordingDateTime{}}}) {
      SCOPED_TRACE(testing::Message() << "frame " << p.frame);
      ASSERT_TRUE(tape.frameAt(p.frame, frame));
      const Slots read(frame, system);
      read.expectTimeCode(0, 0, p.frame / rate, p.frame % rate);
      read.expectDate(p.date);
    }
  }
}

}  // namespace
}  // namespace vistrel::filters
