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

// dst[i] *= src[i], eight at a time where the compiler can.
void multiplyInto(float* __restrict dst, const float* __restrict src, int n) {
  using Lanes = float __attribute__((vector_size(32)));
  int i = 0;
  for (; i + 8 <= n; i += 8) {
    Lanes a, b;
    std::memcpy(&a, dst + i, sizeof a);
    std::memcpy(&b, src + i, sizeof b);
    a *= b;
    std::memcpy(dst + i, &a, sizeof a);
  }
  for (; i < n; ++i) dst[i] *= src[i];
}

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
    // The outline and the text in its colour, both from the one mask.
    drawOutlined(picture, maskRect, b, font.colour);
    return;
  }

  QPainter p(&picture);
  p.setFont(font.font);
  p.setPen(font.colour);
  p.drawText(QPoint(x, y + font.ascent), text);
}

void OverlayTextPainter::drawOutlined(QImage& picture, const QRect& maskRect, int b, const QColor& colour) {
  // The ink's bounding box in the mask: everything outside it is a factor of 1.
  const int mw = maskRect.width();
  const int mh = maskRect.height();
  int inkLeft = mw, inkRight = -1, inkTop = mh, inkBottom = -1;
  for (int my = 0; my < mh; ++my) {
    const uint8_t* m = mask_.constScanLine(my);
    int first = 0;
    while (first < mw && m[first] == 0) ++first;
    if (first == mw) continue;
    int last = mw - 1;
    while (m[last] == 0) --last;
    inkLeft = std::min(inkLeft, first);
    inkRight = std::max(inkRight, last);
    inkTop = std::min(inkTop, my);
    inkBottom = my;
  }
  if (inkRight < 0) return;
  const QRect ink(maskRect.left() + inkLeft, maskRect.top() + inkTop, inkRight - inkLeft + 1,
                  inkBottom - inkTop + 1);
  const QRect out = ink.adjusted(-b, -b, b, b).intersected(picture.rect());
  if (out.isEmpty()) return;
  const int ow = out.width();
  const int fw = ow + 2 * b;  // factor columns out.left() - b .. out.right() + b
  const int rows = ink.height();

  // Factors (1 - coverage) of the ink rows, padded with 1 on both sides.
  factors_.assign(static_cast<size_t>(fw), 1.0f);
  rows_.resize(static_cast<size_t>(rows) * ow);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* m = mask_.constScanLine(ink.top() - maskRect.top() + r);
    float* __restrict f = factors_.data();
    for (int i = 0; i < fw; ++i) {
      const int mx = out.left() - b + i - maskRect.left();
      f[i] = mx >= inkLeft && mx <= inkRight ? kFactors.value[m[mx]] : 1.0f;
    }
    // Horizontal: the product of the 2b + 1 factors centred on each column, one shift at a time
    // so that the loop runs over whole rows.
    float* __restrict h = rows_.data() + static_cast<size_t>(r) * ow;
    std::copy(f, f + ow, h);
    for (int k = 1; k <= 2 * b; ++k) multiplyInto(h, f + k, ow);
  }

  // Vertical, over the horizontal products of the ink rows within reach, then onto the picture
  // followed by the text's own pass: colour × coverage over what the outline left.
  const int bgr[3] = {colour.blue(), colour.green(), colour.red()};
  column_.resize(static_cast<size_t>(ow));
  for (int py = out.top(); py <= out.bottom(); ++py) {
    const int from = std::max(py - b, ink.top()) - ink.top();
    const int to = std::min(py + b, ink.bottom()) - ink.top();
    if (from > to) continue;
    float* __restrict v = column_.data();
    std::copy(rows_.data() + static_cast<size_t>(from) * ow,
              rows_.data() + static_cast<size_t>(from + 1) * ow, v);
    for (int r = from + 1; r <= to; ++r) multiplyInto(v, rows_.data() + static_cast<size_t>(r) * ow, ow);
    uint8_t* dst = picture.scanLine(py) + out.left() * 3;
    const bool inkRow = py >= ink.top() && py <= ink.bottom();
    const uint8_t* m = inkRow ? mask_.constScanLine(py - maskRect.top()) : nullptr;
    for (int i = 0; i < ow; ++i) {
      const int mx = out.left() + i - maskRect.left();
      const int a = m && mx >= inkLeft && mx <= inkRight ? m[mx] : 0;
      if (v[i] >= 1.0f && a == 0) continue;
      uint8_t* px = dst + i * 3;
      for (int c = 0; c < 3; ++c) {
        int value = v[i] < 1.0f ? static_cast<int>(px[c] * v[i] + 0.5f) : px[c];
        if (a) value = (bgr[c] * a + value * (255 - a) + 127) / 255;
        px[c] = static_cast<uint8_t>(value);
      }
    }
  }
}

}  // namespace vistrel::filters
