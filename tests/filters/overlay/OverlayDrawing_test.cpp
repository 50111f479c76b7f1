// The overlay's font rules, line placement and outline drawing, checked against a reference that
// draws the outline the slow way: the text in black at every offset of the (2b + 1)² square.

#include "filters/OverlayDrawing.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace vistrel::filters {
namespace {

settings::TfontRecord arial(int size = 21) {
  settings::TfontRecord rec;
  rec.FontSize = size;
  return rec;
}

// A picture with something under the text, so that blending errors show.
QImage background(int w, int h) {
  QImage image(w, h, QImage::Format_BGR888);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = image.scanLine(y);
    for (int x = 0; x < w; ++x) {
      row[x * 3 + 0] = static_cast<uint8_t>(x * 7 + y);
      row[x * 3 + 1] = static_cast<uint8_t>(200 - y * 3);
      row[x * 3 + 2] = static_cast<uint8_t>((x ^ y) * 5);
    }
  }
  return image;
}

void naiveLine(QImage& picture, const QString& text, int x, int y, const OverlayFont& font, int b) {
  QPainter p(&picture);
  p.setFont(font.font);
  if (b > 0) {
    p.setPen(QColor(0, 0, 0));
    for (int dx = -b; dx <= b; ++dx)
      for (int dy = -b; dy <= b; ++dy) p.drawText(QPoint(x + dx, y + dy + font.ascent), text);
  }
  p.setPen(font.colour);
  p.drawText(QPoint(x, y + font.ascent), text);
}

int maxDifference(const QImage& a, const QImage& b) {
  int worst = 0;
  for (int y = 0; y < a.height(); ++y) {
    const uint8_t* ra = a.constScanLine(y);
    const uint8_t* rb = b.constScanLine(y);
    for (int i = 0; i < a.width() * 3; ++i) worst = std::max(worst, std::abs(ra[i] - rb[i]));
  }
  return worst;
}

int changedPixels(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (std::memcmp(a.constScanLine(y) + x * 3, b.constScanLine(y) + x * 3, 3) != 0) ++n;
  return n;
}

struct OutlineCase {
  int border;
  int x, y;  // top-left of the line
  bool italic;
  int colour;
};

class OutlineMatchesNaivePasses : public ::testing::TestWithParam<OutlineCase> {};

TEST_P(OutlineMatchesNaivePasses, WithinTwoLevels) {
  const OutlineCase c = GetParam();
  settings::TfontRecord rec = arial();
  rec.FontItalic = c.italic;
  rec.FontColor = c.colour;
  const OverlayFont font = MakeOverlayFont(rec, true, 720);
  const QString text = QStringLiteral("10/12/2026 Été jq 23:59:58");
  const QImage base = background(360, 120);

  QImage reference = base;
  naiveLine(reference, text, c.x, c.y, font, c.border);
  QImage drawn = base;
  OverlayTextPainter painter;
  painter.DrawLine(drawn, text, c.x, c.y, font, c.border);

  EXPECT_GT(changedPixels(base, reference), 100);
  const int worst = maxDifference(drawn, reference);
  EXPECT_LE(worst, 2) << "border " << c.border;
  RecordProperty("max_difference", worst);
}

INSTANTIATE_TEST_SUITE_P(
    Borders, OutlineMatchesNaivePasses,
    ::testing::Values(OutlineCase{0, 10, 20, false, 0xFFFFFF}, OutlineCase{1, 10, 20, false, 0xFFFFFF},
                      OutlineCase{2, 10, 20, false, 0x00FFFF}, OutlineCase{3, 10, 20, true, 0xFFFFFF},
                      OutlineCase{4, 10, 20, false, 0x2040C0}, OutlineCase{5, 10, 20, false, 0xFFFFFF},
                      OutlineCase{5, 10, 20, true, 0x80FF80},
                      // Clipped at every edge of the picture.
                      OutlineCase{5, -40, -8, false, 0xFFFFFF}, OutlineCase{5, 200, 100, false, 0xFFFFFF},
                      OutlineCase{3, -200, 50, false, 0xFFFFFF}));

TEST(OverlayFont, AutomaticCellHeightFollowsTheWidth) {
  struct {
    int width, cell;
  } cases[] = {{720, 28}, {320, 16}, {0, 16}, {360, 16}, {1440, 56}, {1920, 74}};
  for (const auto& c : cases) {
    const OverlayFont font = MakeOverlayFont(arial(), true, c.width);
    EXPECT_EQ(font.height, c.cell) << c.width;
    const int cell = QFontMetrics(font.font).height();
    EXPECT_LE(cell, c.cell) << c.width;
    EXPECT_GE(cell, c.cell - 2) << c.width;
  }
}

TEST(OverlayFont, PointSizesAtNinetySixPixelsPerInch) {
  struct {
    int points, height;
  } cases[] = {{21, 28}, {12, 16}, {10, 13}, {0, 0}, {5000, 6667}, {-12, 16}};
  for (const auto& c : cases) {
    const OverlayFont font = MakeOverlayFont(arial(c.points), false, 720);
    EXPECT_EQ(font.height, c.height) << c.points;
    EXPECT_EQ(font.font.pixelSize(), std::max(c.height, 1)) << c.points;
  }
}

TEST(OverlayFont, StyleColourAndFallbackFace) {
  settings::TfontRecord rec = arial();
  rec.FontBold = rec.FontItalic = rec.FontUnderline = rec.FontStrikeOut = 1;
  rec.FontColor = 0x123456;  // 0x00BBGGRR
  const OverlayFont font = MakeOverlayFont(rec, false, 720);
  EXPECT_TRUE(font.font.bold() && font.font.italic() && font.font.underline() && font.font.strikeOut());
  EXPECT_EQ(font.colour, QColor(0x56, 0x34, 0x12));

  EXPECT_EQ(QFontInfo(MakeOverlayFont(arial(), false, 720).font).family(), QStringLiteral("Liberation Sans"));
  settings::TfontRecord missing = arial();
  missing.FontName = QStringLiteral("No Such Face 9876");
  EXPECT_EQ(QFontInfo(MakeOverlayFont(missing, false, 720).font).family(), QStringLiteral("Liberation Sans"));
}

struct PlaceCase {
  int W, H, X, Y, alignment, h, w1, w2;
  bool drawn;
  int x1, x2, y1, y2;
};

TEST(OverlayPlacement, AlignmentTable) {
  const PlaceCase cases[] = {
      // The default description on 720 × 576: both lines end at 658.
      {720, 576, 914, 914, 2, 28, 120, 90, true, 658 - 120, 658 - 90, 526 - 28, 526},
      {720, 576, 500, 500, 0, 28, 120, 90, true, 360, 360, 260, 288},
      {720, 576, 500, 500, 1, 28, 121, 90, true, 360 - 60, 360 - 45, 260, 288},
      // Centred in the picture: X plays no part.
      {720, 576, 0, 500, 3, 28, 120, 91, true, 300, 314, 260, 288},
      {720, 576, 1000, 500, 3, 28, 120, 91, true, 300, 314, 260, 288},
      // X = 0 right-aligned: left of the picture.
      {720, 576, 0, 914, 2, 28, 120, 90, true, -120, -90, 498, 526},
      // Truncation towards zero.
      {333, 333, 333, 333, 1, 16, 7, 0, true, 110 - 3, 110, 110 - 16, 110},
      {720, 576, 500, 500, 4, 28, 120, 90, false, 0, 0, 0, 0},
      {720, 576, 500, 500, 255, 28, 120, 90, false, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    OverlayLinePlace l1, l2;
    const bool drawn = PlaceOverlayLines(c.W, c.H, c.X, c.Y, c.alignment, c.h, c.w1, c.w2, l1, l2);
    EXPECT_EQ(drawn, c.drawn) << c.alignment;
    if (!drawn) continue;
    EXPECT_EQ(l1.x, c.x1) << c.alignment << " " << c.X;
    EXPECT_EQ(l2.x, c.x2) << c.alignment << " " << c.X;
    EXPECT_EQ(l1.y, c.y1) << c.alignment;
    EXPECT_EQ(l2.y, c.y2) << c.alignment;
  }
}

TEST(OverlayTextPainter, HostileLinesStayInsideThePicture) {
  OverlayTextPainter painter;
  const QString huge(100'000, QChar(u'W'));
  struct {
    int w, h, points, border, x, y;
    QString text;
  } cases[] = {
      {8, 6, 21, 5, 0, 0, QStringLiteral("Texte plus grand que l'image")},
      {720, 576, 5000, 5, 10, -3000, QStringLiteral("A")},
      {720, 576, 0, 3, 10, 10, QStringLiteral("taille nulle")},
      {64, 64, 21, 5, -1'000'000'000, 20, huge},
      {64, 64, 21, 5, 5, 20, huge},
      {64, 64, 21, 1000, 5, 20, QStringLiteral("bord")},
      {1, 1, 21, 5, 0, 0, QStringLiteral("x")},
  };
  for (auto& c : cases) {
    QImage picture = background(c.w, c.h);
    const OverlayFont font = MakeOverlayFont(arial(c.points), false, c.w);
    painter.DrawLine(picture, c.text, c.x, c.y, font, c.border);
    EXPECT_EQ(picture.size(), QSize(c.w, c.h));
  }
}

}  // namespace
}  // namespace vistrel::filters
