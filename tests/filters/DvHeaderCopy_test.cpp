#include "filters/DvHeaderCopy.h"

#include <gtest/gtest.h>

#include "filters/DvFrameBuilder.h"
#include "filters/SceneDetector.h"

namespace vistrel::filters {
namespace {

using testing::DvFrameBuilder;

TEST(DvHeaderCopy, NoEntryAndModeZeroLeavesTheFrame) {
  DvFrameBuilder b;
  b.camera().recorded(2005, 12, 25, 21, 45, 30);
  const auto before = b.bytes();
  for (uint8_t mode : {0, 2, 3}) {
    ApplyDvHeader(b.bytes(), nullptr, mode);
    EXPECT_EQ(b.bytes(), before) << int(mode);
  }
}

TEST(DvHeaderCopy, ForceMarksEverySequenceOnConsumerDv) {
  DvFrameBuilder b;
  b.camera(false);
  ApplyDvHeader(b.bytes(), nullptr, kDvHeaderForce16x9);
  for (int s = 0; s < dvcodes::kExaminedSequences; ++s) {
    EXPECT_EQ(b.at(s, dvcodes::kSourceControlPackId), 0x61);
    EXPECT_EQ(b.at(s, dvcodes::kSourceControlDispByte), 7);
  }
  EXPECT_TRUE(dvcodes::Is16x9(b.bytes()));
}

TEST(DvHeaderCopy, CameraHeadersReplaceTheEncodedOnes) {
  DvFrameBuilder camera;
  camera.camera().timeCode(1, 12, 35, 14).recorded(2005, 12, 25, 21, 45, 30);
  SceneDetector detector;
  detector.AnalyseFrame(camera.bytes(), 0);
  FrameRingEntry entry;
  ASSERT_TRUE(detector.Ring().Read(detector.WritePosition(), entry));

  DvFrameBuilder encoded;  // a re-encoded frame: no time code, no date
  for (size_t i = 480; i < dvcodes::kDifSequenceBytes; ++i) encoded.at(0, i) = 0x5A;
  ApplyDvHeader(encoded.bytes(), &entry, 0);
  const auto tc = dvcodes::DecodeTimeCode(encoded.bytes(), 0);
  ASSERT_TRUE(tc.valid());
  EXPECT_EQ(tc.seconds, 35);
  EXPECT_EQ(dvcodes::DecodeRecordingDateTime(encoded.bytes(), 9).year, 2005);
  for (int s = 0; s < dvcodes::kExaminedSequences; ++s)
    EXPECT_TRUE(std::equal(encoded.bytes().begin() + s * 12000, encoded.bytes().begin() + s * 12000 + 480,
                           camera.bytes().begin() + s * 12000));
  // Audio and video blocks stay those of the encoder; sequences 10 and 11 are not touched.
  EXPECT_EQ(encoded.at(0, 480), 0x5A);
  EXPECT_EQ(encoded.at(10, dvcodes::kTimeCodePackId1), 0);
}

TEST(DvHeaderCopy, ShortFramesCopyOnlyWholeHeaderAreas) {
  DvFrameBuilder camera;
  camera.camera();
  SceneDetector detector;
  detector.AnalyseFrame(camera.bytes(), 0);
  FrameRingEntry entry;
  ASSERT_TRUE(detector.Ring().Read(detector.WritePosition(), entry));
  for (size_t length : {size_t{0}, size_t{1}, size_t{479}, size_t{480}, size_t{12000 + 470}}) {
    std::vector<uint8_t> frame(length, 0x33);
    ApplyDvHeader(frame, &entry, kDvHeaderForce16x9);
    ASSERT_EQ(frame.size(), length);
    if (length >= 480) {
      EXPECT_EQ(frame[dvcodes::kTimeCodePackId1], 0x13);
    }
    if (length == 12000 + 470) {
      EXPECT_EQ(frame[12000 + dvcodes::kTimeCodePackId1], 0x33);
    }
  }
}

}  // namespace
}  // namespace vistrel::filters
