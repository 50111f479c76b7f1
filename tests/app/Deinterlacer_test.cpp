#include "app/Deinterlacer.h"

#include <gtest/gtest.h>

using namespace vistrel::app;

namespace {

int maskAt(const QImage& mask, int x, int y) { return mask.constScanLine(y)[x]; }

// A 6 x 5 grey picture; `combed` columns of row `row` are white (a moving edge seen in one field).
QImage fixture(int row, std::initializer_list<int> combed) {
  QImage picture(6, 5, QImage::Format_BGR888);
  const QColor rows[5] = {{90, 100, 110}, {100, 100, 100}, {120, 100, 80}, {100, 100, 100}, {90, 100, 110}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) picture.setPixelColor(x, y, rows[y]);
  for (int x : combed) picture.setPixelColor(x, row, QColor(250, 250, 250));
  return picture;
}

TEST(Deinterlacer, CombedRunsOnOddRowsBecomeTheMeanOfTheirNeighbours) {
  const QImage source = fixture(1, {1, 2, 3});
  QImage out, m1, m2;
  Deinterlace(source, out, m1, m2);
  ASSERT_EQ(out.size(), source.size());
  ASSERT_EQ(out.format(), source.format());
  for (int x : {1, 2, 3}) {
    EXPECT_EQ(maskAt(m2, x, 1), 1) << x;
    // Above (90, 100, 110), below (120, 100, 80).
    EXPECT_EQ(out.pixelColor(x, 1), QColor(105, 100, 95)) << x;
  }
  for (int x : {0, 4, 5}) EXPECT_EQ(out.pixelColor(x, 1), source.pixelColor(x, 1)) << x;
  for (int y : {0, 2, 3, 4})
    for (int x = 0; x < 6; ++x) EXPECT_EQ(out.pixelColor(x, y), source.pixelColor(x, y));
}

TEST(Deinterlacer, ALonePixelIsNoise) {
  const QImage source = fixture(3, {2});
  QImage out, m1, m2;
  Deinterlace(source, out, m1, m2);
  EXPECT_EQ(maskAt(m1, 2, 3), 1);
  EXPECT_EQ(maskAt(m2, 2, 3), 0);
  EXPECT_EQ(out, source);
}

TEST(Deinterlacer, EvenRowsAndTheLastOddRowAreNeverTouched) {
  QImage out, m1, m2;
  const QImage even = fixture(2, {1, 2, 3});
  Deinterlace(even, out, m1, m2);
  EXPECT_EQ(out, even);
  // Six rows: row 5 is odd but has no row below it.
  QImage tall(4, 6, QImage::Format_BGR888);
  tall.fill(QColor(20, 20, 20));
  for (int x = 0; x < 4; ++x) tall.setPixelColor(x, 5, Qt::white);
  Deinterlace(tall, out, m1, m2);
  EXPECT_EQ(out, tall);
}

TEST(Deinterlacer, ASmallDifferenceIsNotMotion) {
  QImage source(4, 3, QImage::Format_BGR888);
  source.fill(QColor(100, 100, 100));
  // Green weighs 6: (100-118)^2 * 6 = 1944, below the threshold.
  for (int x = 0; x < 4; ++x) source.setPixelColor(x, 1, QColor(100, 118, 100));
  QImage out, m1, m2;
  Deinterlace(source, out, m1, m2);
  EXPECT_EQ(out, source);
  for (int x = 0; x < 4; ++x) source.setPixelColor(x, 1, QColor(100, 119, 100));  // 2166
  Deinterlace(source, out, m1, m2);
  EXPECT_EQ(out.pixelColor(1, 1), QColor(100, 100, 100));
}

TEST(Deinterlacer, APictureNotOfTwentyFourBitsIsCopied) {
  QImage source = fixture(1, {1, 2, 3}).convertToFormat(QImage::Format_RGB32);
  QImage out, m1, m2;
  Deinterlace(source, out, m1, m2);
  EXPECT_EQ(out, source);
  EXPECT_TRUE(m1.isNull());
  QImage empty;
  Deinterlace(QImage(), empty, m1, m2);
  EXPECT_TRUE(empty.isNull());
}

TEST(Deinterlacer, MasksFollowTheSourceSize) {
  QImage out, m1, m2;
  Deinterlace(fixture(1, {1, 2}), out, m1, m2);
  EXPECT_EQ(m1.size(), QSize(6, 5));
  QImage bigger(10, 8, QImage::Format_BGR888);
  bigger.fill(Qt::black);
  Deinterlace(bigger, out, m1, m2);
  EXPECT_EQ(m1.size(), QSize(10, 8));
  EXPECT_EQ(m2.size(), QSize(10, 8));
  EXPECT_EQ(m1.format(), QImage::Format_Grayscale8);
}

}  // namespace
