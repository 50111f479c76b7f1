#include "platform/media/filters/ColorSpaceConverter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <cstdlib>

#include "platform/media/FilterGraph.h"
#include "platform/media/TestFilters.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {
// 4x4 pictures whose top half is red and bottom half blue, in each input layout.
struct Yuv {
  uint8_t y, u, v;
};
constexpr Yuv kRed{82, 90, 240}, kBlue{41, 240, 110};
constexpr int W = 16, H = 4;

std::vector<uint8_t> picture(const GUID& subtype, bool bottomUp) {
  std::vector<uint8_t> p;
  auto rowColour = [](int y) { return y < H / 2; };  // true = red (top rows)
  if (subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32) {
    const int bpp = subtype == MEDIASUBTYPE_RGB24 ? 3 : 4;
    const int stride = subtype == MEDIASUBTYPE_RGB24 ? static_cast<int>(dibRowBytes(W, 24)) : W * 4;
    p.assign(static_cast<size_t>(stride * H), 0);
    for (int row = 0; row < H; ++row) {
      const int y = bottomUp ? H - 1 - row : row;  // picture row stored at this position
      for (int x = 0; x < W; ++x) {
        uint8_t* px = p.data() + row * stride + x * bpp;
        px[0] = rowColour(y) ? 0 : 255;  // B
        px[2] = rowColour(y) ? 255 : 0;  // R
      }
    }
  } else if (subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY) {
    const bool yuy2 = subtype == MEDIASUBTYPE_YUY2;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; x += 2) {
        Yuv c = rowColour(y) ? kRed : kBlue;
        if (yuy2)
          p.insert(p.end(), {c.y, c.u, c.y, c.v});
        else
          p.insert(p.end(), {c.u, c.y, c.v, c.y});
      }
  } else {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) p.push_back(rowColour(y) ? kRed.y : kBlue.y);
    std::vector<uint8_t> u, v;
    for (int y = 0; y < H / 2; ++y)
      for (int x = 0; x < W / 2; ++x) {
        Yuv c = rowColour(y * 2) ? kRed : kBlue;
        u.push_back(c.u);
        v.push_back(c.v);
      }
    if (subtype == MEDIASUBTYPE_NV12) {
      for (size_t i = 0; i < u.size(); ++i) p.insert(p.end(), {u[i], v[i]});
    } else {
      const bool yv12 = subtype == MEDIASUBTYPE_YV12;
      p.insert(p.end(), (yv12 ? v : u).begin(), (yv12 ? v : u).end());
      p.insert(p.end(), (yv12 ? u : v).begin(), (yv12 ? u : v).end());
    }
  }
  return p;
}

// Output is RGB24 bottom-up: the first stored row is the picture's bottom (blue).
void expectRedOverBlue(const std::vector<uint8_t>& out, int w, int h, int tolerance) {
  const size_t stride = dibRowBytes(w, 24);
  const uint8_t* bottom = out.data();
  const uint8_t* top = out.data() + (static_cast<size_t>(h) - 1) * stride;
  EXPECT_NEAR(top[2], 255, tolerance);
  EXPECT_NEAR(top[0], 0, tolerance);
  EXPECT_NEAR(bottom[0], 255, tolerance);
  EXPECT_NEAR(bottom[2], 0, tolerance);
}
}  // namespace

TEST(ColourConversion, EveryCaptureLayoutGivesRgb24BottomUp) {
  struct Case {
    GUID subtype;
    int bitCount;
    int height;  // sign: orientation of RGB input
  } cases[] = {
      {MEDIASUBTYPE_RGB24, 24, H}, {MEDIASUBTYPE_RGB24, 24, -H}, {MEDIASUBTYPE_RGB32, 32, H},
      {MEDIASUBTYPE_YUY2, 16, H},  {MEDIASUBTYPE_UYVY, 16, H},   {MEDIASUBTYPE_I420, 12, H},
      {MEDIASUBTYPE_YV12, 12, H},  {MEDIASUBTYPE_NV12, 12, H},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subtype.toString().toStdString() + " h=" + std::to_string(c.height));
    ColourConversion conv;
    ASSERT_TRUE(conv.configure(c.subtype, c.bitCount, W, c.height));
    auto in = picture(c.subtype, c.height > 0);
    ASSERT_EQ(in.size(), conv.inputSize());
    std::vector<uint8_t> out(conv.outputSize());
    ASSERT_TRUE(conv.convert(in.data(), in.size(), out.data(), out.size()));
    expectRedOverBlue(out, W, H, 12);
    EXPECT_FALSE(conv.convert(in.data(), in.size() - 1, out.data(), out.size()));  // short picture
    EXPECT_FALSE(conv.convert(in.data(), in.size(), out.data(), out.size() - 1));
  }
}

TEST(ColourConversion, RefusesOddSizesAndUnknownFormats) {
  ColourConversion c;
  EXPECT_FALSE(c.configure(MEDIASUBTYPE_I420, 12, 5, 4));
  EXPECT_FALSE(c.configure(MEDIASUBTYPE_YUY2, 16, 0, 4));
  EXPECT_FALSE(c.configure(MEDIASUBTYPE_dvsd, 24, 720, 576));
  EXPECT_FALSE(c.configure(MEDIASUBTYPE_RGB24, 32, 4, 4));
}

TEST(ColourConversion, DecodesMjpeg) {
  QImage img(32, 32, QImage::Format_RGB888);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) img.setPixelColor(x, y, y < 16 ? QColor(255, 0, 0) : QColor(0, 0, 255));
  QByteArray jpeg;
  QBuffer buf(&jpeg);
  buf.open(QIODevice::WriteOnly);
  ASSERT_TRUE(img.save(&buf, "JPG", 95));
  ColourConversion c;
  ASSERT_TRUE(c.configure(MEDIASUBTYPE_MJPG, 24, 32, 32));
  std::vector<uint8_t> out(c.outputSize());
  ASSERT_TRUE(c.convert(reinterpret_cast<const uint8_t*>(jpeg.constData()), static_cast<size_t>(jpeg.size()),
                        out.data(), out.size()));
  expectRedOverBlue(out, 32, 32, 40);
  std::vector<uint8_t> garbage(100, 0x42);
  EXPECT_FALSE(c.convert(garbage.data(), garbage.size(), out.data(), out.size()));
}

TEST(ColorSpaceConverter, IntelligentConnectInsertsItAndShortFramesAreDropped) {
  auto g = FilterGraph::create();
  const MediaType yuy2 =
      MediaType::video(MEDIASUBTYPE_YUY2, W, H, 16, makeFourcc('Y', 'U', 'Y', '2'), UNITS / 25);
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{yuy2}, 256);
  auto sink =
      std::make_shared<RecordingSink>(MediaType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo));
  g->AddFilter(src, "src");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->Connect(src->outPin(), sink->inPin()), S_OK);
  ASSERT_EQ(g->filters().size(), 3u);
  MediaType t;
  sink->inPin()->ConnectionMediaType(t);
  EXPECT_EQ(t.bitmapHeader()->biHeight, H);
  EXPECT_EQ(t.averageTimePerFrame(), UNITS / 25);
  ASSERT_EQ(g->Run(), S_OK);
  auto frame = picture(MEDIASUBTYPE_YUY2, false);
  ASSERT_EQ(src->push(frame, 10), S_OK);
  ASSERT_EQ(src->push(std::vector<uint8_t>(frame.begin(), frame.begin() + 5), 20), S_OK);  // dropped
  ASSERT_EQ(src->push(frame, 30), S_OK);
  g->Stop();
  auto got = sink->received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].bytes.size(), dibRowBytes(W, 24) * H);
  EXPECT_EQ(got[1].start, 30);
  expectRedOverBlue(got[0].bytes, W, H, 12);
}
