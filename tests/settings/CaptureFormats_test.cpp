#include "settings/CaptureFormats.h"

#include <gtest/gtest.h>

namespace vistrel::settings {
namespace {

struct FormatCase {
  int code;
  const char* name;
  const char* shortName;
};

class CaptureFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(CaptureFormatTest, NamesAndShortNames) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatCaptureToStr(uint8_t(c.code)), QString::fromUtf8(c.name)) << c.code;
  EXPECT_EQ(FormatCaptureToShortStr(uint8_t(c.code)), QString::fromUtf8(c.shortName)) << c.code;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CaptureFormatTest,
    ::testing::Values(FormatCase{0, "", ""}, FormatCase{1, "dv type 1 natif", "natif"},
                      FormatCase{2, "dv type 2 natif", "natif"}, FormatCase{3, "flux mpeg2 natif", "natif"},
                      FormatCase{4, "flux mpeg1 natif", "natif"}, FormatCase{5, "avi natif", "natif"},
                      FormatCase{6, "dv type 2 (recomp)", "dv2 rec"}, FormatCase{7, "Wmv", "Wmv"},
                      FormatCase{8, "Image/Image", "Image/Image"}, FormatCase{9, "divx", "divx"},
                      FormatCase{10, "défaut", "défaut"}, FormatCase{11, "Wav", "Wav"},
                      FormatCase{12, "mp3", "mp3"}, FormatCase{13, "défaut", "défaut"},
                      FormatCase{127, "défaut", "défaut"},
                      // Only the low 7 bits count.
                      FormatCase{128 + 7, "Wmv", "Wmv"}, FormatCase{128, "", ""}));

TEST(CaptureFormat, TextToCodeIsExact) {
  EXPECT_EQ(StrToFormatCapture(QStringLiteral("Aucun")), 0);
  EXPECT_EQ(StrToFormatCapture(QStringLiteral("")), 10);
  EXPECT_EQ(StrToFormatCapture(QStringLiteral("xyz")), 10);
  EXPECT_EQ(StrToFormatCapture(QStringLiteral("flux mpeg2 natif")), 3);
  EXPECT_EQ(StrToFormatCapture(QStringLiteral("flux mpeg1 natif")), 4);
  EXPECT_EQ(StrToFormatCapture(QStringLiteral("wmv")), 10);  // case counts
  EXPECT_EQ(StrToFormatCapture(QStringLiteral("natif")), 10);
  for (uint8_t code = 1; code <= 12; ++code) EXPECT_EQ(StrToFormatCapture(FormatCaptureToStr(code)), code);
}

TEST(FrequenceDV, BothDirections) {
  const char* texts[] = {"natif", "32000", "44100", "48000"};
  for (uint8_t code = 0; code < 4; ++code) {
    EXPECT_EQ(FrequenceDVToStr(code), QString::fromLatin1(texts[code]));
    EXPECT_EQ(StrToFrequenceDV(QString::fromLatin1(texts[code])), code);
  }
  EXPECT_EQ(StrToFrequenceDV(QStringLiteral("22050")), 0);
  EXPECT_EQ(StrToFrequenceDV(QStringLiteral("")), 0);
  EXPECT_EQ(FrequenceDVToStr(9), QStringLiteral("natif"));
}

}  // namespace
}  // namespace vistrel::settings
