#include "app/GrabPicture.h"

#include <gtest/gtest.h>

#include <QImageReader>
#include <QTemporaryDir>

#include "filters/OverlayGrabRing.h"
#include "platform/shell/SoundPlayer.h"

using namespace vistrel::app;

namespace {

TEST(GrabPicture, AspectOfEachSetting) {
  const GrabVideo camera{720, 576, 0, 0, false, false};
  const GrabVideo square{640, 480, 1, 1, false, false};
  const GrabVideo dv{720, 576, 0, 0, true, false};
  const GrabVideo dvWide{720, 576, 0, 0, true, true};
  struct Case {
    uint8_t ratio;
    GrabVideo video;
    int a, b;
  };
  const Case cases[] = {
      {0, camera, 0, 0}, {0, square, 1, 1},  {0, dv, 4, 3},         {0, dvWide, 16, 9},
      {1, camera, 4, 3}, {2, camera, 16, 9}, {3, camera, 720, 576}, {3, dvWide, 720, 576},
  };
  for (const Case& c : cases) {
    const Aspect a = GrabAspect(c.ratio, c.video);
    EXPECT_EQ(a.a, c.a) << int(c.ratio);
    EXPECT_EQ(a.b, c.b) << int(c.ratio);
  }
}

TEST(GrabPicture, AspectCorrectionShrinksOneSide) {
  const QSize pal(720, 576);
  EXPECT_EQ(AspectCorrectedSize(pal, {4, 3}), QSize(720, 540));
  EXPECT_EQ(AspectCorrectedSize(pal, {16, 9}), QSize(720, 405));
  EXPECT_EQ(AspectCorrectedSize(pal, {720, 576}), pal);
  EXPECT_EQ(AspectCorrectedSize(pal, {0, 0}), pal);  // unknown aspect
  EXPECT_EQ(AspectCorrectedSize(pal, {4, 0}), pal);
  EXPECT_EQ(AspectCorrectedSize(QSize(400, 300), {1, 1}), QSize(300, 300));  // the width goes
}

TEST(GrabPicture, ThumbnailKeepsTheShapeAtTheBottomOfItsArea) {
  EXPECT_EQ(ThumbnailBounds(QSize(720, 540)), QRect(32, 19, 192, 144));
  EXPECT_EQ(ThumbnailBounds(QSize(720, 405)), QRect(32, 55, 192, 108));  // 16:9
  EXPECT_EQ(ThumbnailBounds(QSize(300, 400)), QRect(74, 19, 108, 144));  // taller than wide
}

TEST(GrabPicture, IntervalPeriodByUnit) {
  EXPECT_EQ(IntervalPeriod(10, kSeconds, 25), 100'000);
  EXPECT_EQ(IntervalPeriod(1, kFrames, 25), 400);  // one frame every 40 ms
  EXPECT_EQ(IntervalPeriod(3, kFrames, 29.97), 3 * 334);
  EXPECT_EQ(IntervalPeriod(2, kFrames, 0), 800);  // unknown rate: 25 fps
  EXPECT_EQ(IntervalPeriod(2, kMinutes, 25), 1'200'000);
  EXPECT_EQ(IntervalPeriod(59, kHours, 25), 2'124'000'000);
  EXPECT_EQ(IntervalPeriod(0, kSeconds, 25), 0);
}

TEST(GrabPicture, AnIntervalBeyondThirtyTwoBitsIsHeldAtTheLargestPeriod) {
  EXPECT_EQ(IntervalPeriod(60, kHours, 25), 2'147'483'647);
  EXPECT_EQ(IntervalPeriod(999'999, kHours, 25), 2'147'483'647);
  EXPECT_EQ(IntervalPeriod(999'999, kMinutes, 25), 2'147'483'647);
}

TEST(GrabPicture, BeepsAreShortEightBitMonoSounds) {
  for (auto [which, samples] : {std::pair{0, 649}, std::pair{1, 635}}) {
    const QByteArray wav = BeepWave(which);
    const auto sound = vistrel::platform::shell::parseWav(wav);
    ASSERT_TRUE(sound) << which;
    EXPECT_EQ(sound->channels, 1);
    EXPECT_EQ(sound->sampleRate, 11'025);
    EXPECT_EQ(sound->bitsPerSample, 8);
    EXPECT_EQ(sound->samples.size(), samples);
    EXPECT_EQ(wav.size() % 2, 0);  // chunks are padded to an even size
  }
  EXPECT_NE(BeepWave(0), BeepWave(1));
}

QImage testPicture() {
  QImage picture(64, 48, QImage::Format_BGR888);
  picture.fill(QColor(200, 40, 20));
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) picture.setPixelColor(x, y, QColor(10, 220, 30));
  return picture;
}

TEST(GrabPicture, PicturesWrittenAsBmpAndJpegReadBack) {
  QTemporaryDir dir;
  const QImage picture = testPicture();
  const QString bmp = dir.filePath("a.bmp"), jpg = dir.filePath("a.jpg");
  ASSERT_TRUE(WritePicture(picture, bmp, 0, 50));
  ASSERT_TRUE(WritePicture(picture, jpg, 1, 90));
  EXPECT_EQ(QImageReader(bmp).format(), "bmp");
  EXPECT_EQ(QImageReader(jpg).format(), "jpeg");
  const QImage b(bmp), j(jpg);
  ASSERT_EQ(b.size(), picture.size());
  ASSERT_EQ(j.size(), picture.size());
  EXPECT_EQ(b.pixelColor(5, 5), QColor(10, 220, 30));
  EXPECT_EQ(b.pixelColor(50, 40), QColor(200, 40, 20));
  const QColor green = j.pixelColor(5, 5), red = j.pixelColor(50, 40);
  EXPECT_NEAR(green.green(), 220, 12);
  EXPECT_NEAR(green.red(), 10, 12);
  EXPECT_NEAR(red.red(), 200, 12);
  EXPECT_NEAR(red.blue(), 20, 12);
}

TEST(GrabPicture, JpegQualityChangesTheFile) {
  QTemporaryDir dir;
  QImage noisy(96, 96, QImage::Format_BGR888);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x)
      noisy.setPixelColor(x, y, QColor((x * 37) % 256, (y * 53) % 256, (x * y) % 256));
  ASSERT_TRUE(WritePicture(noisy, dir.filePath("low.jpg"), 1, 5));
  ASSERT_TRUE(WritePicture(noisy, dir.filePath("high.jpg"), 1, 100));
  EXPECT_LT(QFileInfo(dir.filePath("low.jpg")).size(), QFileInfo(dir.filePath("high.jpg")).size());
  // Out-of-range qualities are held within 1..100.
  EXPECT_TRUE(WritePicture(noisy, dir.filePath("zero.jpg"), 1, 0));
  EXPECT_FALSE(QImage(dir.filePath("zero.jpg")).isNull());
}

TEST(GrabPicture, AnUnwritablePathFails) {
  QTemporaryDir dir;
  const QString path = dir.filePath("missing/folder/a.bmp");
  EXPECT_FALSE(WritePicture(testPicture(), path, 0, 50));
  EXPECT_FALSE(WritePicture(testPicture(), dir.filePath("missing/a.jpg"), 1, 50));
  EXPECT_FALSE(QFileInfo::exists(path));
  EXPECT_FALSE(WritePicture(QImage(), dir.filePath("null.bmp"), 0, 50));
}

TEST(GrabPicture, FramerateIsADecimalNumberWithAComma) {
  const std::pair<const char*, double> good[] = {
      {"18", 18.0}, {"12,5", 12.5}, {" 0,5 ", 0.5}, {"29,97", 29.97}};
  for (auto [text, rate] : good) {
    const auto parsed = ParseFramerate(QString::fromLatin1(text));
    ASSERT_TRUE(parsed) << text;
    EXPECT_DOUBLE_EQ(*parsed, rate) << text;
  }
  for (const char* text : {"", "abc", "12.5", "0", "-3", "0,0", "1 000", "inf", "12,5x"})
    EXPECT_FALSE(ParseFramerate(QString::fromLatin1(text))) << text;
  EXPECT_EQ(FramerateText(18.0), "18");
  EXPECT_EQ(FramerateText(12.5), "12,5");
  EXPECT_EQ(ParseFramerate(FramerateText(29.97)), 29.97);
}

// The overlay filter's intervalometer, as the window relies on it (times in 100 µs).
TEST(GrabIntervalometer, NextAdvancesByThePeriodAndCatchesUp) {
  vistrel::filters::OverlayIntervalometer clock;
  const int64_t period = 10'000;                    // one second
  EXPECT_TRUE(clock.Advance(50'000, period).grab);  // next was 0: the first frame grabs
  EXPECT_EQ(clock.Next(), 60'000);                  // 0 + period is behind: t + period
  auto step = clock.Advance(52'000, period);
  EXPECT_FALSE(step.grab);
  EXPECT_TRUE(step.countdownChanged);
  EXPECT_EQ(step.countdown, 0);  // 0.8 s left: 0 whole seconds
  EXPECT_TRUE(clock.Advance(60'400, period).grab);
  EXPECT_EQ(clock.Next(), 70'000);                  // next + period, not t + period: no drift
  EXPECT_TRUE(clock.Advance(95'000, period).grab);  // a long stall
  EXPECT_EQ(clock.Next(), 105'000);                 // catches up instead of grabbing in a burst
}

TEST(GrabIntervalometer, CountdownIsSentOncePerChange) {
  vistrel::filters::OverlayIntervalometer clock;
  const int64_t period = 50'000;  // five seconds
  ASSERT_TRUE(clock.Advance(0, period).grab);
  std::vector<int64_t> sent;
  for (int64_t t = 400; t < 50'000; t += 400) {
    const auto step = clock.Advance(t, period);
    EXPECT_FALSE(step.grab);
    if (step.countdownChanged) sent.push_back(step.countdown);
  }
  EXPECT_EQ(sent, (std::vector<int64_t>{4, 3, 2, 1, 0}));
  EXPECT_TRUE(clock.Advance(50'000, period).grab);
}

TEST(GrabIntervalometer, PeriodZeroGrabsEveryFrame) {
  vistrel::filters::OverlayIntervalometer clock;
  for (int64_t t = 0; t < 10 * 400; t += 400) EXPECT_TRUE(clock.Advance(t, 0).grab) << t;
}

TEST(GrabRing, ABusySlotDropsTheGrab) {
  vistrel::filters::OverlayGrabRing ring;
  const QImage picture = testPicture();
  int filled = 0;
  for (int i = 0; i < 25; ++i) {
    const int slot = ring.Advance();
    if (slot < 0) continue;
    ring.Fill(slot, picture);
    ++filled;
  }
  EXPECT_EQ(filled, vistrel::filters::OverlayGrabRing::kSlots);  // never more than 20 waiting
  ring.Release(3);
  int slot = -1;
  for (int i = 0; i < 20 && slot < 0; ++i) slot = ring.Advance();
  EXPECT_EQ(slot, 3);
}

}  // namespace
