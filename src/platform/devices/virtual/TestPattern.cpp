#include "platform/devices/virtual/TestPattern.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace vistrel::platform::devices {

namespace {
// 3x5 digits, one row per entry, bit 2 = left column.
constexpr uint8_t kDigits[11][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1}, {7, 4, 7, 1, 7},
    {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}, {0, 2, 0, 2, 0},  // ':' at 10
};
constexpr int kCounterDigits = 8;

int rowBytes(int width) { return (width * 3 + 3) & ~3; }

uint8_t clampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

int cellSize(int width) { return std::max(2, width / 160); }

// Top-down coordinates onto the bottom-up picture.
uint8_t* pixel(uint8_t* rgb, int width, int height, int x, int y) {
  return rgb + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(rowBytes(width)) +
         static_cast<size_t>(x) * 3;
}

void drawGlyph(uint8_t* rgb, int width, int height, int x0, int y0, int cell, int glyph) {
  for (int gy = 0; gy < 7; ++gy) {
    for (int gx = 0; gx < 5; ++gx) {
      // A black frame around a white 3x5 glyph keeps it readable on any background.
      bool on = gy >= 1 && gy <= 5 && gx >= 1 && gx <= 3 && (kDigits[glyph][gy - 1] >> (3 - gx) & 1);
      for (int py = 0; py < cell; ++py) {
        int y = y0 + gy * cell + py;
        if (y < 0 || y >= height) continue;
        for (int px = 0; px < cell; ++px) {
          int x = x0 + gx * cell + px;
          if (x < 0 || x >= width) continue;
          uint8_t* p = pixel(rgb, width, height, x, y);
          p[0] = p[1] = p[2] = on ? 255 : 0;
        }
      }
    }
  }
}

void drawNumber(uint8_t* rgb, int width, int height, int x, int y, int cell, const int* glyphs, int count) {
  for (int i = 0; i < count; ++i) drawGlyph(rgb, width, height, x + i * 5 * cell, y, cell, glyphs[i]);
}
}  // namespace

void renderTestPattern(uint8_t* rgb, int width, int height, int64_t frameNumber, int64_t timeMs,
                       const PatternSettings& s) {
  if (!rgb || width <= 0 || height <= 0) return;
  static constexpr uint8_t bars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                         {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {16, 16, 16}};  // BGR
  const int stride = rowBytes(width);
  std::vector<uint8_t> row(static_cast<size_t>(stride), 0);
  const int shift = static_cast<int>((frameNumber * 4) % width);
  for (int x = 0; x < width; ++x) {
    const int bar = ((x + shift) % width) * 8 / width;
    for (int c = 0; c < 3; ++c) {
      int v = (bars[bar][c] - 128) * s.contrast / 100 + 128 + s.brightness * 255 / 200;
      row[static_cast<size_t>(x) * 3 + c] = clampByte(v);
    }
  }
  for (int y = 0; y < height; ++y)
    std::memcpy(rgb + static_cast<size_t>(y) * stride, row.data(), static_cast<size_t>(stride));

  // A grey box crossing the picture diagonally.
  const int box = std::max(8, height / 8);
  const int bx = static_cast<int>((frameNumber * 7) % std::max(1, width - box));
  const int by = static_cast<int>((frameNumber * 3) % std::max(1, height - box));
  for (int y = by; y < by + box && y < height; ++y)
    for (int x = bx; x < bx + box && x < width; ++x) {
      uint8_t* p = pixel(rgb, width, height, x, y);
      p[0] = p[1] = p[2] = 128;
    }

  // Clock HH:MM:SS and frame counter, top left.
  const int cell = cellSize(width);
  int64_t t = timeMs / 1000;
  const int clock[8] = {static_cast<int>(t / 36000 % 10), static_cast<int>(t / 3600 % 10), 10,
                        static_cast<int>(t / 600 % 6),    static_cast<int>(t / 60 % 10),   10,
                        static_cast<int>(t / 10 % 6),     static_cast<int>(t % 10)};
  drawNumber(rgb, width, height, cell, cell, cell, clock, 8);
  int counter[kCounterDigits];
  int64_t n = frameNumber < 0 ? 0 : frameNumber;
  for (int i = kCounterDigits - 1; i >= 0; --i) {
    counter[i] = static_cast<int>(n % 10);
    n /= 10;
  }
  drawNumber(rgb, width, height, cell, cell * 9, cell, counter, kCounterDigits);
}

int64_t readFrameCounter(const uint8_t* rgb, int width, int height) {
  if (!rgb || width < 5 * kCounterDigits * 2 || height < 20) return -1;
  const int cell = cellSize(width);
  int64_t value = 0;
  for (int i = 0; i < kCounterDigits; ++i) {
    uint8_t bits[5] = {};
    const int x0 = cell + i * 5 * cell;
    for (int gy = 0; gy < 5; ++gy)
      for (int gx = 0; gx < 3; ++gx) {
        int x = x0 + (gx + 1) * cell + cell / 2, y = cell * 9 + (gy + 1) * cell + cell / 2;
        if (x >= width || y >= height) return -1;
        const uint8_t* p = rgb + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(rowBytes(width)) +
                           static_cast<size_t>(x) * 3;
        if (p[1] > 128) bits[gy] = static_cast<uint8_t>(bits[gy] | 1 << (2 - gx));
      }
    int digit = -1;
    for (int d = 0; d < 10; ++d)
      if (std::memcmp(bits, kDigits[d], 5) == 0) digit = d;
    if (digit < 0) return -1;
    value = value * 10 + digit;
  }
  return value;
}

void rgb24ToYuy2(const uint8_t* rgb, int width, int height, uint8_t* yuy2) {
  const int stride = rowBytes(width);
  const size_t outRow = static_cast<size_t>(width) * 2;
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rgb + static_cast<size_t>(height - 1 - y) * stride;
    uint8_t* dst = yuy2 + static_cast<size_t>(y) * outRow;
    // Most rows of the pattern repeat the one above (the bars): those are converted once. This
    // keeps the camera's own work, which a real camera does in hardware, out of a run's figures.
    if (y > 0 && std::memcmp(src, src + stride, static_cast<size_t>(width) * 3) == 0) {
      std::memcpy(dst, dst - outRow, outRow);
      continue;
    }
    for (int x = 0; x + 1 < width; x += 2) {
      const uint8_t* a = src + x * 3;
      const uint8_t* b = a + 3;
      auto Y = [](const uint8_t* p) {
        return clampByte(((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8) + 16);
      };
      int r = (a[2] + b[2]) / 2, g = (a[1] + b[1]) / 2, bl = (a[0] + b[0]) / 2;
      dst[x * 2] = Y(a);
      dst[x * 2 + 1] = clampByte(((-38 * r - 74 * g + 112 * bl + 128) >> 8) + 128);
      dst[x * 2 + 2] = Y(b);
      dst[x * 2 + 3] = clampByte(((112 * r - 94 * g - 18 * bl + 128) >> 8) + 128);
    }
  }
}

}  // namespace vistrel::platform::devices
