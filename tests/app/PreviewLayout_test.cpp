#include "app/PreviewLayout.h"

#include <gtest/gtest.h>

using namespace vistrel::app;

namespace {

TEST(FitToAspect, CentresThePictureInItsArea) {
  struct Case {
    QRect area;
    int a, b;
    QRect expected;
  };
  const Case cases[] = {
      {QRect(16, 16, 384, 288), 16, 9, QRect(16, 52, 384, 216)},  // too tall: centred vertically
      {QRect(16, 16, 384, 288), 4, 3, QRect(16, 16, 384, 288)},
      {QRect(16, 16, 384, 272), 4, 3, QRect(27, 16, 362, 272)},  // too wide: centred horizontally
      {QRect(0, 0, 100, 100), 720, 576, QRect(0, 10, 100, 80)},
      {QRect(0, 0, 101, 100), 1, 1, QRect(0, 0, 100, 100)},  // odd offsets halve toward zero
  };
  for (const Case& c : cases) EXPECT_EQ(fitToAspect(c.area, c.a, c.b), c.expected) << c.a << ":" << c.b;
}

TEST(LayoutWindow, PlacesThePreviewOnEitherSide) {
  const WindowLayout left = layoutWindow(QSize(719, 506), true, 40, 16 + 288, 417);
  EXPECT_EQ(left.panel1, QRect(8, 40, 416, 304));
  EXPECT_EQ(left.panelsLeft, 416);
  EXPECT_TRUE(left.actionsToolbarLeft);
  EXPECT_EQ(left.panelBoutons, QPoint(8 + (416 - 417) / 2, 40 + 304 + 24));
  EXPECT_EQ(left.statusPanelWidth, (719 - 20) / 4);

  const WindowLayout right = layoutWindow(QSize(719, 506), false, 40, 304, 417);
  EXPECT_EQ(right.panelsLeft, 0);
  EXPECT_EQ(right.panel1.left(), 274);  // the preview starts at 274
  EXPECT_FALSE(right.actionsToolbarLeft);
}

}  // namespace
