// The status bar draws its own panels: centred texts, and panel 1's red suffix after its text.
#include <gtest/gtest.h>

#include <QImage>

#include "app/StatusPanels.h"

using vistrel::app::StatusPanels;

namespace {

// Columns (within [from, to)) holding a pixel that passes `test`.
template <class Test>
std::pair<int, int> columnsWhere(const QImage& image, int from, int to, Test test) {
  int first = -1, last = -1;
  for (int x = from; x < to; ++x)
    for (int y = 0; y < image.height(); ++y)
      if (test(image.pixelColor(x, y))) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  return {first, last};
}

bool red(const QColor& c) { return c.red() > 150 && c.green() < 110 && c.blue() < 110; }
bool dark(const QColor& c) { return c.red() < 110 && c.green() < 110 && c.blue() < 110; }

class StatusPanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bar.resize(4 * 200 + 10, bar.height());
    for (int i = 0; i < StatusPanels::kPanelCount; ++i) bar.setPanelWidth(i, 200);
    QPalette p = bar.palette();
    // A light frame colour, so that only text counts as dark.
    p.setColor(QPalette::Mid, QColor(200, 200, 200));
    p.setColor(QPalette::Window, Qt::white);
    bar.setPalette(p);
  }
  QImage grab() { return bar.grab().toImage().convertToFormat(QImage::Format_RGB32); }

  StatusPanels bar;
};

TEST_F(StatusPanelsTest, PanelOneDrawsItsSuffixInRedRightAfterItsTextAndCentresBoth) {
  bar.setPanel(1, QString::fromUtf8("Prévisualisation 4x3"));
  bar.setSuffix(QStringLiteral(" h"));
  const QImage image = grab();
  const auto text = columnsWhere(image, 200, 400, dark);
  const auto suffix = columnsWhere(image, 200, 400, red);
  ASSERT_GE(text.first, 0);
  ASSERT_GE(suffix.first, 0) << "no red suffix drawn";
  // The suffix follows the text with a gap, never over it.
  EXPECT_GT(suffix.first, text.second + 3);
  // Text and suffix together are centred: the margins left and right differ by a glyph's bearing.
  const int leftMargin = text.first - 200, rightMargin = 398 - suffix.second;
  EXPECT_NEAR(leftMargin, rightMargin, 6);
  // Nothing red anywhere else.
  EXPECT_EQ(columnsWhere(image, 0, 200, red).first, -1);
  EXPECT_EQ(columnsWhere(image, 400, image.width(), red).first, -1);
}

TEST_F(StatusPanelsTest, WithoutSuffixTheTextAloneIsCentredAndNothingIsRed) {
  bar.setPanel(1, QString::fromUtf8("Prévisualisation 4x3"));
  bar.setSuffix(QStringLiteral(" h"));
  bar.setSuffix(QString());
  const QImage image = grab();
  EXPECT_EQ(columnsWhere(image, 0, image.width(), red).first, -1);
  const auto text = columnsWhere(image, 200, 400, dark);
  ASSERT_GE(text.first, 0);
  EXPECT_NEAR(text.first - 200, 398 - text.second, 6);
}

TEST_F(StatusPanelsTest, TheSuffixBelongsToPanelOneOnlyAndOtherPanelsKeepTheirColours) {
  bar.setPanel(0, QStringLiteral("JPG - toutes les 5 s"), QColor(255, 0, 0));
  bar.setPanel(2, QStringLiteral("Vid: CAM"));
  bar.setSuffix(QStringLiteral(" h"));  // panel 1 has no text: the suffix alone, centred
  const QImage image = grab();
  const auto zero = columnsWhere(image, 0, 200, red);
  ASSERT_GE(zero.first, 0);
  EXPECT_NEAR(zero.first, 198 - zero.second, 6);
  const auto one = columnsWhere(image, 200, 400, red);
  ASSERT_GE(one.first, 0);
  EXPECT_GT(one.first, 280);  // centred, not at the panel's left edge
  EXPECT_EQ(columnsWhere(image, 400, 600, red).first, -1);
  EXPECT_GE(columnsWhere(image, 400, 600, dark).first, 0);
}

TEST_F(StatusPanelsTest, TextWiderThanItsPanelStaysInsideIt) {
  bar.setPanel(1, QString(80, QLatin1Char('W')));
  bar.setSuffix(QStringLiteral(" h"));
  const QImage image = grab();
  EXPECT_EQ(columnsWhere(image, 400, 600, dark).first, -1);
  EXPECT_EQ(columnsWhere(image, 0, image.width(), red).first, -1);
}

}  // namespace
