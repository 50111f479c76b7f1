#include "app/ImageList.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

using namespace vistrel::app;

namespace {

QImage picture(const QList<QIcon>& images, int index) {
  return images.at(index).pixmap(kImageSize, kImageSize).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += qAlpha(image.pixel(x, y)) > 128;
  return n;
}

bool reddish(QRgb c) { return qRed(c) > 150 && qGreen(c) < 90 && qBlue(c) < 90 && qAlpha(c) > 200; }

TEST(ImageList, EveryPositionTheCommandsUseHoldsItsOwnPicture) {
  const QList<QIcon> images = createMainImageList();
  ASSERT_EQ(images.size(), kImageCount);
  // The positions the commands, the capture states and the buttons refer to.
  const QList<int> used = {0,  1,  3,  4,  5,  6,  7,  9,  10, 12, 13, 14, 20, 22, 23, 24, 26, 28,
                           29, 30, 31, 34, 36, 42, 43, 46, 47, 50, 51, 52, 53, 55, 57, 58, 59, 60};
  EXPECT_EQ(mainImageIndexes(), used);
  for (int i = 0; i < kImageCount; ++i) {
    const QImage image = picture(images, i);
    EXPECT_EQ(image.size(), QSize(kImageSize, kImageSize));
    if (used.contains(i)) {
      EXPECT_GT(opaquePixels(image), 40) << i;
    } else {
      EXPECT_EQ(opaquePixels(image), 0) << i;
    }
  }
  // No two commands share a picture unless they mean the same (about and the companion program
  // share 31, the folders panel and the videos' folder 34: one position each).
  for (int a : used) {
    for (int b : used) {
      if (a >= b) continue;
      EXPECT_NE(picture(images, a), picture(images, b)) << a << " " << b;
    }
  }
}

TEST(ImageList, TheCapturePicturesSayRecordAndStop) {
  const QList<QIcon> images = createMainImageList();
  // 14 and 43 start a recording: a red dot; 28 stops it: no red in its middle.
  for (int start : {14, 43}) EXPECT_TRUE(reddish(picture(images, start).pixel(8, 12))) << start;
  EXPECT_FALSE(reddish(picture(images, 28).pixel(11, 11)));

  if (qEnvironmentVariableIsEmpty("VISTREL_IMAGES")) return;
  // A contact sheet, four times enlarged, with each position's number, for a look by eye.
  const int cell = kImageSize * 4 + 8;
  QImage sheet(cell * 8, (cell + 14) * 8, QImage::Format_ARGB32);
  sheet.fill(QColor(240, 240, 240));
  QPainter p(&sheet);
  for (int i = 0; i < kImageCount; ++i) {
    const int x = (i % 8) * cell, y = (i / 8) * (cell + 14);
    p.drawText(QRect(x, y, cell, 14), Qt::AlignCenter, QString::number(i));
    p.drawImage(QRect(x + 4, y + 14, kImageSize * 4, kImageSize * 4), picture(images, i));
  }
  p.end();
  sheet.save(qEnvironmentVariable("VISTREL_IMAGES"));
}

}  // namespace
