#include "app/FileNaming.h"

#include <gtest/gtest.h>

#include "settings/CaptureFormats.h"

using namespace vistrel::app;
namespace s = vistrel::settings;

namespace {

const QDateTime kSession(QDate(2024, 3, 5), QTime(14, 7, 9));

TEST(FileNaming, VideoNamesOfOneRun) {
  VideoNameParts parts{QStringLiteral("/home/u/Videos"), QStringLiteral("Video"), true, kSession,
                       s::fcAviNatif};
  EXPECT_EQ(composeVideoName(parts, 0), QStringLiteral("/home/u/Videos/Video_050324_140709_0.avi"));
  EXPECT_EQ(composeVideoName(parts, 1), QStringLiteral("/home/u/Videos/Video_050324_140709_1.avi"));
  parts.withDate = false;
  parts.folder = QStringLiteral("/home/u/Videos/");  // no second "/"
  EXPECT_EQ(composeVideoName(parts, 0), QStringLiteral("/home/u/Videos/Video_0.avi"));
  parts.folder.clear();  // the root of the file system
  EXPECT_EQ(composeVideoName(parts, 12), QStringLiteral("/Video_12.avi"));
}

TEST(FileNaming, TheCaptureFormatGivesTheExtension) {
  const std::pair<uint8_t, const char*> cases[] = {
      {s::fcMpeg2Natif, ".mpg"}, {s::fcMpeg1Natif, ".mpg"}, {s::fcWmv, ".wmv"},
      {s::fcWav, ".wav"},        {s::fcMp3, ".mp3"},        {s::fcDV1Natif, ".avi"},
      {s::fcDivx, ".avi"},       {s::fcImageImage, ".avi"}, {s::fcAucun, ".avi"},
  };
  for (const auto& [format, extension] : cases)
    EXPECT_EQ(videoExtension(format), QString::fromUtf8(extension));
  EXPECT_EQ(withVideoExtension(QStringLiteral("/v.d/Video_3.avi"), s::fcMp3),
            QStringLiteral("/v.d/Video_3.mp3"));
  EXPECT_EQ(withVideoExtension(QStringLiteral("/v.d/Video_3"), s::fcWmv), QStringLiteral("/v.d/Video_3.wmv"));
}

TEST(FileNaming, ImageNamesHaveAFiveDigitCounter) {
  ImageNameParts parts{QStringLiteral("/p"), QStringLiteral("Image"), false, kSession, 0};
  EXPECT_EQ(composeImageName(parts, 0), QStringLiteral("/p/Image_00000.bmp"));
  EXPECT_EQ(composeImageName(parts, 99999), QStringLiteral("/p/Image_99999.bmp"));
  EXPECT_EQ(composeImageName(parts, 100000), QStringLiteral("/p/Image_00000.bmp"));
  parts.withDate = true;
  parts.imageExtension = 1;
  EXPECT_EQ(composeImageName(parts, 42), QStringLiteral("/p/Image_050324_140709_00042.jpg"));
}

TEST(FileNaming, TheDateStampHasTwoDigitsPerField) {
  EXPECT_EQ(dateStamp(QDateTime(QDate(2009, 1, 2), QTime(3, 4, 5))), QStringLiteral("020109_030405_"));
  EXPECT_EQ(dateStamp(QDateTime(QDate(2100, 12, 31), QTime(23, 59, 59))), QStringLiteral("311200_235959_"));
}

}  // namespace
