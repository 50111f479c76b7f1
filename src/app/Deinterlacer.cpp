#include "app/Deinterlacer.h"

namespace vistrel::app {
namespace {

bool is24Bits(const QImage& image) {
  return image.format() == QImage::Format_BGR888 || image.format() == QImage::Format_RGB888;
}

void sizeMask(QImage& mask, const QSize& size) {
  if (mask.size() != size || mask.format() != QImage::Format_Grayscale8)
    mask = QImage(size, QImage::Format_Grayscale8);
  mask.fill(0);
}

}  // namespace

void Deinterlace(const QImage& source, QImage& destination, QImage& mask1, QImage& mask2) {
  destination = source.copy();
  if (source.isNull() || !is24Bits(source)) return;
  const int w = source.width(), h = source.height();
  sizeMask(mask1, source.size());
  sizeMask(mask2, source.size());
  // Byte order within a pixel: the comb weighs red 3, green 6, blue 1.
  const bool bgr = source.format() == QImage::Format_BGR888;
  const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
  for (int r = 1; r < h - 1; r += 2) {
    const uint8_t* above = source.constScanLine(r - 1);
    const uint8_t* line = source.constScanLine(r);
    const uint8_t* below = source.constScanLine(r + 1);
    uint8_t* m = mask1.scanLine(r);
    for (int x = 0; x < w; ++x) {
      const int p = 3 * x;
      auto term = [&](int i) { return (above[p + i] - line[p + i]) * (below[p + i] - line[p + i]); };
      const int comb = 3 * term(ri) + 6 * term(1) + term(bi);
      m[x] = comb > kCombThreshold ? 1 : 0;
    }
  }
  // A lone moving pixel is noise: only runs of two or more count.
  for (int r = 0; r < h; ++r) {
    const uint8_t* m1 = mask1.constScanLine(r);
    uint8_t* m2 = mask2.scanLine(r);
    for (int x = 0; x < w; ++x) m2[x] = m1[x] && ((x > 0 && m1[x - 1]) || (x + 1 < w && m1[x + 1])) ? 1 : 0;
  }
  for (int r = 1; r < h - 1; r += 2) {
    const uint8_t* above = source.constScanLine(r - 1);
    const uint8_t* below = source.constScanLine(r + 1);
    const uint8_t* m2 = mask2.constScanLine(r);
    uint8_t* out = destination.scanLine(r);
    for (int x = 0; x < w; ++x) {
      if (!m2[x]) continue;
      for (int i = 3 * x; i < 3 * x + 3; ++i) out[i] = static_cast<uint8_t>((above[i] + below[i]) / 2);
    }
  }
}

}  // namespace vistrel::app
