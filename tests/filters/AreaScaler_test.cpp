#include "filters/AreaScaler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "filters/ResizeProcessor.h"

namespace vistrel::filters {
namespace {

int32_t stride(int32_t width) { return ((width * 3 + 3) / 4) * 4; }

struct Picture {
  int32_t width, height;
  std::vector<uint8_t> bytes;  // bottom-up, padded rows
  Picture(int32_t w, int32_t h) : width(w), height(h), bytes(static_cast<size_t>(stride(w) * h), 0) {}
  uint8_t* pixel(int32_t x, int32_t yFromBottom) {
    return bytes.data() + static_cast<size_t>(yFromBottom * stride(width) + x * 3);
  }
};

// Area average computed in doubles, straight from the definition.
double referenceChannel(Picture& src, int32_t tw, int32_t th, int32_t x, int32_t y, int c) {
  const double sx = double(src.width) / tw, sy = double(src.height) / th;
  const double x0 = x * sx, x1 = (x + 1) * sx, y0 = y * sy, y1 = (y + 1) * sy;
  double sum = 0;
  for (int32_t j = int32_t(y0); j < src.height && j < y1; ++j)
    for (int32_t i = int32_t(x0); i < src.width && i < x1; ++i) {
      const double wx = std::min<double>(x1, i + 1) - std::max<double>(x0, i);
      const double wy = std::min<double>(y1, j + 1) - std::max<double>(y0, j);
      sum += wx * wy * src.pixel(i, j)[c];
    }
  return sum / (sx * sy);
}

TEST(AreaScaler, MatchesTheAreaAverageOfRandomPictures) {
  std::mt19937 random(4242);
  struct Size {
    int32_t sw, sh, tw, th;
  };
  for (const Size s : {Size{720, 576, 384, 288}, Size{3, 1, 2, 1}, Size{5, 7, 3, 2}, Size{17, 13, 17, 13},
                       Size{31, 9, 7, 4}, Size{4, 4, 6, 5}}) {
    Picture src(s.sw, s.sh);
    for (auto& b : src.bytes) b = static_cast<uint8_t>(random());
    AreaScaler scaler;
    ASSERT_TRUE(scaler.Configure(s.sw, s.sh, s.tw, s.th));
    Picture dst(s.tw, s.th);
    std::fill(dst.bytes.begin(), dst.bytes.end(), 0xEE);
    ASSERT_TRUE(scaler.Scale(src.bytes, true, dst.bytes));
    double worst = 0;
    for (int32_t y = 0; y < s.th; ++y)
      for (int32_t x = 0; x < s.tw; ++x)
        for (int c = 0; c < 3; ++c) {
          const double want = referenceChannel(src, s.tw, s.th, x, y, c);
          worst = std::max(worst, std::fabs(dst.pixel(x, y)[c] - want));
        }
    EXPECT_LE(worst, 1.0) << s.sw << "x" << s.sh << " -> " << s.tw << "x" << s.th;
    // Row padding is zeroed.
    for (int32_t y = 0; y < s.th; ++y)
      for (int32_t p = s.tw * 3; p < stride(s.tw); ++p)
        EXPECT_EQ(dst.bytes[static_cast<size_t>(y * stride(s.tw) + p)], 0);
  }
}

TEST(AreaScaler, ExactAveragesAndUniformColour) {
  Picture src(2, 2);
  const uint8_t values[] = {0, 40, 80, 120};
  for (int i = 0; i < 4; ++i) std::fill_n(src.pixel(i % 2, i / 2), 3, values[i]);
  AreaScaler scaler;
  ASSERT_TRUE(scaler.Configure(2, 2, 1, 1));
  Picture dst(1, 1);
  ASSERT_TRUE(scaler.Scale(src.bytes, true, dst.bytes));
  EXPECT_EQ(dst.pixel(0, 0)[0], 60);

  Picture flat(720, 576);
  for (int32_t y = 0; y < 576; ++y)
    for (int32_t x = 0; x < 720; ++x) {
      flat.pixel(x, y)[0] = 10;
      flat.pixel(x, y)[1] = 200;
      flat.pixel(x, y)[2] = 255;
    }
  ASSERT_TRUE(scaler.Configure(720, 576, 381, 286));
  Picture out(381, 286);
  ASSERT_TRUE(scaler.Scale(flat.bytes, true, out.bytes));
  for (int32_t y = 0; y < 286; ++y)
    for (int32_t x = 0; x < 381; ++x) {
      ASSERT_EQ(out.pixel(x, y)[0], 10);
      ASSERT_EQ(out.pixel(x, y)[1], 200);
      ASSERT_EQ(out.pixel(x, y)[2], 255);
    }
}

TEST(AreaScaler, TopDownSourceGivesTheSameBottomUpPicture) {
  Picture bottomUp(2, 4);
  const uint8_t fromBottom[] = {10, 20, 30, 40};
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 2; ++x) std::fill_n(bottomUp.pixel(x, y), 3, fromBottom[y]);
  Picture topDown(2, 4);
  for (int32_t m = 0; m < 4; ++m)
    for (int32_t x = 0; x < 2; ++x) std::fill_n(topDown.pixel(x, m), 3, fromBottom[3 - m]);
  AreaScaler scaler;
  ASSERT_TRUE(scaler.Configure(2, 4, 2, 2));
  Picture a(2, 2), b(2, 2);
  ASSERT_TRUE(scaler.Scale(bottomUp.bytes, true, a.bytes));
  ASSERT_TRUE(scaler.Scale(topDown.bytes, false, b.bytes));
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_EQ(a.pixel(0, 0)[0], 15);  // bottom row first in memory
  EXPECT_EQ(a.pixel(0, 1)[0], 35);
}

TEST(AreaScaler, RefusesBadSizesAndShortBuffers) {
  AreaScaler scaler;
  Picture src(4, 4), dst(2, 2);
  EXPECT_FALSE(scaler.Scale(src.bytes, true, dst.bytes));  // not configured
  for (auto [w, h] : {std::pair{0, 4}, std::pair{4, 0}, std::pair{-4, 4}, std::pair{1 << 17, 2}})
    EXPECT_FALSE(scaler.Configure(w, h, 2, 2));
  EXPECT_FALSE(scaler.Configure(4, 4, 0, 2));
  ASSERT_TRUE(scaler.Configure(4, 4, 2, 2));
  EXPECT_FALSE(scaler.Scale(std::span(src.bytes).first(src.bytes.size() - 1), true, dst.bytes));
  EXPECT_FALSE(scaler.Scale(src.bytes, true, std::span(dst.bytes).first(dst.bytes.size() - 1)));
  EXPECT_TRUE(scaler.Scale(src.bytes, true, dst.bytes));
}

TEST(ResizeProcessor, HalvesPalForDivx) {
  ResizeProcessor p;
  p.SetHalfSize(true);
  p.SetMode(1);
  ASSERT_TRUE(p.SetInputSize(720, 576));
  EXPECT_EQ(p.Target(), (PictureSize{384, 288}));
  EXPECT_TRUE(p.ResizeNeeded());
  EXPECT_EQ(p.OutputImageBytes(), 384u * 3 * 288);
  Picture in(720, 576), out(720, 576);
  EXPECT_EQ(p.Process(in.bytes, out.bytes), int32_t(384 * 3 * 288));
  // A short input picture is dropped, not read past its end.
  EXPECT_EQ(p.Process(std::span(in.bytes).first(1000), out.bytes), -1);
  EXPECT_EQ(p.Process(in.bytes, std::span(out.bytes).first(1000)), -1);
}

TEST(ResizeProcessor, ImageSizeCountsRowPadding) {
  ResizeProcessor p;
  p.SetDisplayAspect(4, 3);
  p.SetMode(0);
  ASSERT_TRUE(p.SetInputSize(720, 287));
  EXPECT_EQ(p.Target(), (PictureSize{382, 287}));
  EXPECT_EQ(p.OutputImageBytes(), 1148u * 287);  // 382 * 3 = 1146 bytes padded to 1148
}

TEST(ResizeProcessor, SameSizeCopiesAndNoModeKeepsTheDefaultTarget) {
  ResizeProcessor p;
  p.SetMode(3);
  ASSERT_TRUE(p.SetInputSize(720, -576));
  EXPECT_FALSE(p.ResizeNeeded());
  std::vector<uint8_t> in(100, 7), out(100, 0);
  EXPECT_EQ(p.Process(in, out), 100);
  EXPECT_EQ(out, in);
  EXPECT_EQ(p.Process(in, std::span(out).first(99)), -1);

  ResizeProcessor none;
  ASSERT_TRUE(none.SetInputSize(640, 480));
  EXPECT_EQ(none.Target(), (PictureSize{320, 240}));
  EXPECT_TRUE(none.ResizeNeeded());
  EXPECT_FALSE(none.SetInputSize(0, 0));
  EXPECT_FALSE(none.SetInputSize(640, 0));
  EXPECT_EQ(none.Target(), (PictureSize{320, 240}));
}

}  // namespace
}  // namespace vistrel::filters
