#include "filters/DvCodes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "filters/DvFrameBuilder.h"
#include "filters/DvHeaderCopy.h"
#include "filters/SceneDetector.h"

namespace vistrel::filters {
namespace {

using namespace dvcodes;
using testing::DvFrameBuilder;

TEST(DvCodes, TimeCodeDecodesBcd) {
  DvFrameBuilder b;
  b.at(0, kTimeCodePackId1) = 0x13;
  b.at(0, kTimeCodePackId2) = 0x13;
  b.at(0, 111) = 0x14;  // frames
  b.at(0, 112) = 0x35;  // seconds
  b.at(0, 113) = 0x12;  // minutes
  b.at(0, 114) = 0x01;  // hours
  const TimeCode tc = DecodeTimeCode(b.bytes(), 0);
  ASSERT_TRUE(tc.valid());
  EXPECT_EQ(tc.hours, 1);
  EXPECT_EQ(tc.minutes, 12);
  EXPECT_EQ(tc.seconds, 35);
  EXPECT_EQ(tc.frames, 14);
}

TEST(DvCodes, TimeCodeNeedsBothPackCopies) {
  struct Case {
    uint8_t first, second;
    bool valid;
  };
  for (const Case c :
       {Case{0x13, 0x13, true}, Case{0x13, 0xFF, false}, Case{0xFF, 0x13, false}, Case{0x00, 0x00, false}}) {
    DvFrameBuilder b;
    b.timeCode(1, 2, 3, 4, 3);
    b.at(3, kTimeCodePackId1) = c.first;
    b.at(3, kTimeCodePackId2) = c.second;
    const TimeCode tc = DecodeTimeCode(b.bytes(), 3);
    EXPECT_EQ(tc.valid(), c.valid) << int(c.first) << "/" << int(c.second);
    if (!c.valid) {
      EXPECT_EQ(tc.hours, 0xFF);
    }
  }
}

TEST(DvCodes, TimeCodeMasksTensBits) {
  DvFrameBuilder b;
  b.timeCode(0, 0, 0, 0, 0);
  b.at(0, 111) = 0xF9;  // tens bits 4-5 only: 3*10 + 9
  b.at(0, 112) = 0xF9;  // bits 4-6: 7*10 + 9
  b.at(0, 114) = 0xC2;  // bits 4-5: 0*10 + 2
  const TimeCode tc = DecodeTimeCode(b.bytes(), 0);
  EXPECT_EQ(tc.frames, 39);
  EXPECT_EQ(tc.seconds, 79);
  EXPECT_EQ(tc.hours, 2);
}

TEST(DvCodes, RecordingDateAndTime) {
  struct Case {
    uint8_t yearByte;
    int year;
  };
  for (const Case c : {Case{0x05, 2005}, Case{0x98, 1998}, Case{0x39, 2039}, Case{0x40, 1940}}) {
    DvFrameBuilder b;
    b.at(2, kDatePackId) = 0x62;
    b.at(2, 460) = 0x25;
    b.at(2, 461) = 0x12;
    b.at(2, 462) = c.yearByte;
    b.at(2, kTimePackId) = 0x63;
    b.at(2, 465) = 0x30;
    b.at(2, 466) = 0x45;
    b.at(2, 467) = 0x21;
    const RecordingDateTime d = DecodeRecordingDateTime(b.bytes(), 2);
    ASSERT_TRUE(d.present());
    EXPECT_EQ(d.year, c.year);
    EXPECT_EQ(d.month, 12);
    EXPECT_EQ(d.day, 25);
    EXPECT_EQ(d.hours, 21);
    EXPECT_EQ(d.minutes, 45);
    EXPECT_EQ(d.seconds, 30);
    EXPECT_TRUE(ToDateTime(d).has_value());
  }
}

TEST(DvCodes, DateTimeValueCountsDaysFrom1899) {
  RecordingDateTime d;
  d.year = 2005;
  d.month = 12;
  d.day = 25;
  d.hours = 21;
  d.minutes = 45;
  d.seconds = 30;
  // 25/12/2005 is day 38711 of the 1899-12-30 epoch.
  EXPECT_DOUBLE_EQ(*ToDateTime(d), 38711 + (21 * 3600 + 45 * 60 + 30) / 86400.0);
  d = RecordingDateTime{1900, 1, 1, 0, 0, 0};
  EXPECT_DOUBLE_EQ(*ToDateTime(d), 2.0);
}

TEST(DvCodes, PackIdsZeroAreAcceptedButAllZeroIsNoDate) {
  DvFrameBuilder b;  // every pack byte zero
  const RecordingDateTime d = DecodeRecordingDateTime(b.bytes(), 0);
  ASSERT_TRUE(d.present());
  EXPECT_EQ(d.day, 0);
  EXPECT_EQ(d.month, 0);
  EXPECT_EQ(d.year, 2000);
  EXPECT_FALSE(ToDateTime(d).has_value());
}

TEST(DvCodes, WrongPackIdsGiveNoDate) {
  for (auto [dateId, timeId] : {std::pair{0x62, 0x64}, std::pair{0x61, 0x63}, std::pair{0xFF, 0xFF}}) {
    DvFrameBuilder b;
    b.recordingDate(1, 1, 5).recordingTime(1, 1, 1);
    b.at(0, kDatePackId) = static_cast<uint8_t>(dateId);
    b.at(0, kTimePackId) = static_cast<uint8_t>(timeId);
    EXPECT_EQ(DecodeRecordingDateTime(b.bytes(), 0).year, -1);
  }
}

TEST(DvCodes, UnrealDatesAreNotValid) {
  struct Case {
    int y, mo, d, h, mi, s;
    bool valid;
  };
  for (const Case c : {Case{2004, 2, 29, 0, 0, 0, true}, Case{2005, 2, 29, 0, 0, 0, false},
                       Case{2005, 13, 1, 0, 0, 0, false}, Case{2005, 4, 31, 0, 0, 0, false},
                       Case{2005, 1, 1, 24, 0, 0, false}, Case{2005, 1, 1, 23, 60, 0, false},
                       Case{2005, 1, 1, 23, 59, 60, false}, Case{2005, 1, 1, 23, 59, 59, true}}) {
    EXPECT_EQ(ToDateTime(RecordingDateTime{c.y, c.mo, c.d, c.h, c.mi, c.s}).has_value(), c.valid)
        << c.y << "-" << c.mo << "-" << c.d << " " << c.h << ":" << c.mi << ":" << c.s;
  }
}

TEST(DvCodes, AudioSourcePack) {
  struct Case {
    uint8_t data;
    int rate, bits;
  };
  for (const Case c : {Case{0x08, 44100, 16}, Case{0x11, 32000, 12}, Case{0x00, 48000, 16}, Case{0x1A, 0, 0},
                       Case{0x3F, 0, 0}}) {
    DvFrameBuilder b;
    b.aauxSource(c.data);
    EXPECT_EQ(DecodeAudioSamplingRate(b.bytes()), c.rate) << int(c.data);
    EXPECT_EQ(DecodeAudioQuantization(b.bytes()), c.bits) << int(c.data);
  }
  DvFrameBuilder none;
  EXPECT_EQ(DecodeAudioSamplingRate(none.bytes()), -1);
  EXPECT_EQ(DecodeAudioQuantization(none.bytes()), -1);
}

TEST(DvCodes, VideoSystem) {
  for (auto [byte, code] : {std::pair<uint8_t, uint8_t>{0xBF, 0}, {0x3F, 1}, {0x00, 2}, {0xBE, 2}}) {
    DvFrameBuilder b;
    b.videoSystemByte(byte);
    EXPECT_EQ(DecodeVideoSystem(b.bytes()), code);
  }
  EXPECT_EQ(DecodeVideoSystem({}), kVideoSystemOther);
}

TEST(DvCodes, WideScreenFromFirstSourceControlPack) {
  struct Case {
    int sequence;
    uint8_t disp, ap3;
    bool wide;
  };
  for (const Case c : {Case{0, 2, 1, true}, Case{0, 7, 0, true}, Case{0, 7, 1, false}, Case{4, 2, 0, true},
                       Case{9, 7, 0, true}, Case{0, 0, 0, false}, Case{0, 1, 0, false}}) {
    DvFrameBuilder b;
    b.applicationId3(c.ap3).sourceControl(c.disp, c.sequence);
    EXPECT_EQ(Is16x9(b.bytes()), c.wide) << c.sequence << " disp " << int(c.disp) << " ap3 " << int(c.ap3);
    EXPECT_EQ(HasSourceControl(b.bytes()), c.sequence == 0);
  }
  // Only the first sequence carrying the pack counts.
  DvFrameBuilder b;
  b.applicationId3(0).sourceControl(0, 1).sourceControl(2, 2);
  EXPECT_FALSE(Is16x9(b.bytes()));
  // Sequences past the tenth are not examined.
  DvFrameBuilder late;
  late.sourceControl(2, 10);
  EXPECT_FALSE(Is16x9(late.bytes()));
}

TEST(DvCodes, Force16x9OnConsumerAndProfessionalDv) {
  DvFrameBuilder consumer;
  consumer.applicationId3(0).sourceControl(0);
  for (int s = 0; s < kExaminedSequences; ++s) Force16x9(consumer.bytes(), s);
  for (int s = 0; s < kExaminedSequences; ++s) {
    EXPECT_EQ(consumer.at(s, 453), 0x61);
    EXPECT_EQ(consumer.at(s, 455), 7);
  }
  EXPECT_TRUE(Is16x9(consumer.bytes()));
  EXPECT_EQ(consumer.at(10, 455), 0xF8);  // the eleventh sequence is left alone

  DvFrameBuilder pro;
  pro.applicationId3(1);
  Force16x9(pro.bytes(), 0);
  EXPECT_EQ(pro.at(0, 455), 2);
  EXPECT_TRUE(Is16x9(pro.bytes()));
}

TEST(DvCodes, ShortFramesGiveInvalidFieldsInsideTheirBytes) {
  DvFrameBuilder full;
  full.camera().recorded(2005, 12, 25, 21, 45, 30).aauxSource(0x08);
  // Cut inside each region that the decoders read.
  for (size_t length : {size_t{0}, size_t{1}, size_t{4}, size_t{112}, size_t{191}, size_t{454}, size_t{460},
                        size_t{466}, size_t{4325}, size_t{12000}, size_t{12000 * 3 + 460}}) {
    const std::vector<uint8_t> cut(full.bytes().begin(), full.bytes().begin() + static_cast<long>(length));
    const std::span<const uint8_t> frame(cut);
    if (length <= kAauxSourceDataByte) {
      EXPECT_EQ(DecodeAudioSamplingRate(frame), -1) << length;
      EXPECT_EQ(DecodeAudioQuantization(frame), -1) << length;
    }
    if (length <= 114) {
      EXPECT_FALSE(DecodeTimeCode(frame, 0).valid()) << length;
    }
    if (length <= 467) {
      EXPECT_FALSE(DecodeRecordingDateTime(frame, 0).present()) << length;
    }
    EXPECT_FALSE(DecodeTimeCode(frame, 9).valid());
    std::vector<uint8_t> writable = cut;
    for (int s = 0; s < kExaminedSequences; ++s) Force16x9(writable, s);
  }
  EXPECT_FALSE(DecodeTimeCode(full.bytes(), -1).valid());
  EXPECT_FALSE(DecodeTimeCode(full.bytes(), 10).valid());
}

// Random frames of random lengths, with pack IDs planted where the decoders look so that every
// branch is reached: nothing may read outside the buffer (checked by the address sanitizer
// build) and every result stays in its documented range.
TEST(DvCodesFuzz, RandomFramesStayInBoundsAndInRange) {
  std::mt19937 random(20051225);
  const size_t lengths[] = {0,   1,   2,    3,    4,    7,     8,     111,   191,    453,    456,   462,
                            467, 480, 4323, 4327, 4328, 11999, 12000, 36001, 119999, 120000, 144000};
  SceneDetector detector;
  for (int round = 0; round < 3000; ++round) {
    size_t length = round < static_cast<int>(std::size(lengths))
                        ? lengths[round]
                        : std::uniform_int_distribution<size_t>(0, 144000)(random);
    std::vector<uint8_t> frame(length);
    for (auto& byte : frame) byte = static_cast<uint8_t>(random());
    const uint8_t ids[] = {0x13, 0x61, 0x62, 0x63, 0x50, 0x00, 0xBF, 0x3F};
    for (int plant = 0; plant < 40 && length > 0; ++plant) {
      const int sequence = std::uniform_int_distribution<int>(0, 11)(random);
      const size_t offsets[] = {3, 7, 110, 190, 453, 455, 458, 463, 4323};
      const size_t at =
          static_cast<size_t>(sequence) * kDifSequenceBytes + offsets[random() % std::size(offsets)];
      if (at < length) frame[at] = ids[random() % std::size(ids)];
    }
    const std::span<const uint8_t> bytes(frame);
    for (int s = -1; s <= kExaminedSequences; ++s) {
      const TimeCode tc = DecodeTimeCode(bytes, s);
      if (tc.valid()) {
        EXPECT_LE(tc.hours, 45);
        EXPECT_LE(tc.minutes, 85);
      }
      const RecordingDateTime d = DecodeRecordingDateTime(bytes, s);
      if (d.present()) {
        EXPECT_GE(d.year, 1940);
        EXPECT_LE(d.year, 2065);
        if (const auto value = ToDateTime(d)) {
          EXPECT_TRUE(std::isfinite(*value));
        }
      }
    }
    const int rate = DecodeAudioSamplingRate(bytes);
    EXPECT_TRUE(rate == 48000 || rate == 44100 || rate == 32000 || rate == 0 || rate == -1) << rate;
    const int bits = DecodeAudioQuantization(bytes);
    EXPECT_TRUE(bits == 16 || bits == 12 || bits == 0 || bits == -1) << bits;
    EXPECT_LE(DecodeVideoSystem(bytes), 2);
    (void)Is16x9(bytes);
    (void)HasSourceControl(bytes);

    detector.AnalyseFrame(bytes, round);
    const TFrameRecord record = detector.CurrentRecord();
    if (!record.DateValid) {
      EXPECT_EQ(record.RecordingDateTime, 0);
    }

    FrameRingEntry entry;
    ASSERT_TRUE(detector.Ring().Read(detector.WritePosition(), entry));
    std::vector<uint8_t> writable = frame;
    ApplyDvHeader(writable, &entry, kDvHeaderForce16x9);
    ASSERT_EQ(writable.size(), frame.size());
  }
}

}  // namespace
}  // namespace vistrel::filters
