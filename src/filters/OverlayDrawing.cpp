#include "filters/OverlayDrawing.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstring>

namespace vistrel::filters {
namespace {

// Pixel sizes beyond this gain nothing on any picture and only cost rasterising time.
constexpr int kMaxPixelSize = 8192;

QFont baseFont(const settings::TfontRecord& rec) {
  const QString face = QFontDatabase::hasFamily(rec.FontName) ? rec.FontName : QStringLiteral("Arial");
  QFont font(face);
  font.setBold(rec.FontBold != 0);
  font.setItalic(rec.FontItalic != 0);
  font.setUnderline(rec.FontUnderline != 0);
  font.setStrikeOut(rec.FontStrikeOut != 0);
  // The mask and the picture must get the same grey-level glyphs.
  font.setStyleStrategy(QFont::NoSubpixelAntialias);
  return font;
}

int cellHeight(QFont font, int pixelSize) {
  font.setPixelSize(pixelSize);
  return QFontMetrics(font).height();
}

// The largest pixel size whose cell (ascent + descent) fits `cell`.
int pixelSizeForCell(const QFont& font, int cell) {
  const int reference = 256;
  const int refCell = std::max(1, cellHeight(font, reference));
  int size = std::clamp(static_cast<int>(static_cast<int64_t>(cell) * reference / refCell), 1, kMaxPixelSize);
  for (int guard = 0; guard < 8 && size > 1 && cellHeight(font, size) > cell; ++guard) --size;
  for (int guard = 0; guard < 8 && size < kMaxPixelSize && cellHeight(font, size + 1) <= cell; ++guard)
    ++size;
  return size;
}

int64_t clamp64(int64_t v, int64_t lo, int64_t hi) { return std::min(std::max(v, lo), hi); }

struct Factors {
  float value[256];
  Factors() {
    for (int a = 0; a < 256; ++a) value[a] = static_cast<float>(255 - a) / 255.0f;
  }
};
const Factors kFactors;

}  // namespace

int OverlayAutomaticCellHeight(int pictureWidth) {
  const int64_t cell = static_cast<int64_t>(std::max(pictureWidth, 0)) * 28 / 720;
  return static_cast<int>(std::clamp<int64_t>(cell, 16, kMaxPixelSize));
}

OverlayFont MakeOverlayFont(const settings::TfontRecord& rec, bool automaticSize, int pictureWidth) {
  OverlayFont out;
  out.font = baseFont(rec);
  if (automaticSize) {
    out.height = OverlayAutomaticCellHeight(pictureWidth);
    out.font.setPixelSize(pixelSizeForCell(out.font, out.height));
  } else {
    // Points at 96 pixels per inch, rounded as the platform's multiply-divide does.
    const int64_t points = std::clamp<int64_t>(rec.FontSize, -1'000'000, 1'000'000);
    const int64_t pixels = (std::abs(points) * 96 + 36) / 72;
    out.height = static_cast<int>(std::min<int64_t>(pixels, kMaxPixelSize));
    out.font.setPixelSize(std::max(out.height, 1));
  }
  const uint32_t c = static_cast<uint32_t>(rec.FontColor);
  out.colour = QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  out.ascent = QFontMetrics(out.font).ascent();
  return out;
}

bool PlaceOverlayLines(int W, int H, int X, int Y, int alignment, int h, int64_t w1, int64_t w2,
                       OverlayLinePlace& line1, OverlayLinePlace& line2) {
  const int64_t anchorX = static_cast<int64_t>(W) * X / 1000;
  const int64_t anchorY = static_cast<int64_t>(H) * Y / 1000;
  auto left = [&](int64_t w) -> int64_t {
    switch (alignment) {
      case 0: return anchorX;
      case 1: return anchorX - w / 2;
      case 2: return anchorX - w;
      default: return (W - w) / 2;
    }
  };
  if (alignment < 0 || alignment > 3) return false;
  constexpr int64_t kFar = 1 << 30;
  line1.x = static_cast<int>(clamp64(left(w1), -kFar, kFar));
  line2.x = static_cast<int>(clamp64(left(w2), -kFar, kFar));
  line1.y = static_cast<int>(clamp64(anchorY - h, -kFar, kFar));
  line2.y = static_cast<int>(clamp64(anchorY, -kFar, kFar));
  return true;
}

int64_t OverlayTextPainter::TextWidth(const OverlayFont& font, const QString& text) {
  if (text.isEmpty()) return 0;
  return QFontMetrics(font.font).horizontalAdvance(text);
}

void OverlayTextPainter::DrawLine(QImage& picture, const QString& text, int x, int y, const OverlayFont& font,
                                  int border) {
  if (text.isEmpty() || picture.isNull()) return;
  const int b = std::clamp(border, 0, kMaxBorder);
  const QFontMetrics metrics(font.font);
  const int64_t advance = TextWidth(font, text);
  const int64_t cell = metrics.height();
  // Generous margins for bearings, italic overhang and marks above the cell.
  const int64_t padX = cell + 2;
  const int64_t padY = cell / 4 + 2;
  const int64_t left = std::max<int64_t>(static_cast<int64_t>(x) - padX, -b);
  const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + advance + padX, picture.width() + b);
  const int64_t top = std::max<int64_t>(static_cast<int64_t>(y) - padY, -b);
  const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + cell + padY, picture.height() + b);
  if (right <= left || bottom <= top) return;  // nothing of the text or its outline can show

  if (b > 0) {
    const QRect maskRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(right - left),
                         static_cast<int>(bottom - top));
    if (mask_.width() < maskRect.width() || mask_.height() < maskRect.height())
      mask_ = QImage(std::max(mask_.width(), maskRect.width()), std::max(mask_.height(), maskRect.height()),
                     QImage::Format_Alpha8);
    for (int r = 0; r < maskRect.height(); ++r) std::memset(mask_.scanLine(r), 0, maskRect.width());
    {
      QPainter p(&mask_);
      p.setClipRect(0, 0, maskRect.width(), maskRect.height());
      p.setFont(font.font);
      p.setPen(QColor(0, 0, 0));
      p.drawText(QPoint(x - maskRect.left(), y + font.ascent - maskRect.top()), text);
    }
    drawOutline(picture, maskRect, b);
  }

  QPainter p(&picture);
  p.setFont(font.font);
  p.setPen(font.colour);
  p.drawText(QPoint(x, y + font.ascent), text);
}

void OverlayTextPainter::drawOutline(QImage& picture, const QRect& maskRect, int b) {
  const QRect out = maskRect.adjusted(-b, -b, b, b).intersected(picture.rect());
  if (out.isEmpty()) return;
  const int mw = maskRect.width();
  const int mh = maskRect.height();
  const int ow = out.width();
  rows_.assign(static_cast<size_t>(mh) * ow, 1.0f);

  // Horizontal: each output column takes the product over mask columns px - b .. px + b.
  for (int my = 0; my < mh; ++my) {
    const uint8_t* m = mask_.constScanLine(my);
    float* row = rows_.data() + static_cast<size_t>(my) * ow;
    bool any = false;
    for (int mx = 0; mx < mw && !any; ++mx) any = m[mx] != 0;
    if (!any) continue;
    for (int ox = 0; ox < ow; ++ox) {
      const int centre = out.left() + ox - maskRect.left();
      const int from = std::max(centre - b, 0);
      const int to = std::min(centre + b, mw - 1);
      float v = 1.0f;
      for (int mx = from; mx <= to; ++mx) v *= kFactors.value[m[mx]];
      row[ox] = v;
    }
  }

  // Vertical, applied straight to the picture.
  for (int oy = 0; oy < out.height(); ++oy) {
    const int py = out.top() + oy;
    const int centre = py - maskRect.top();
    const int from = std::max(centre - b, 0);
    const int to = std::min(centre + b, mh - 1);
    if (from > to) continue;
    uint8_t* dst = picture.scanLine(py) + out.left() * 3;
    for (int ox = 0; ox < ow; ++ox) {
      float v = 1.0f;
      for (int my = from; my <= to; ++my) v *= rows_[static_cast<size_t>(my) * ow + ox];
      if (v >= 1.0f) continue;
      uint8_t* px = dst + ox * 3;
      px[0] = static_cast<uint8_t>(px[0] * v + 0.5f);
      px[1] = static_cast<uint8_t>(px[1] * v + 0.5f);
      px[2] = static_cast<uint8_t>(px[2] * v + 0.5f);
    }
  }
}

}  // namespace vistrel::filters
