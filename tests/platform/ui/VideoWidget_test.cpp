#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "platform/ui/VideoWidget.h"

using namespace vistrel::platform::media;
using namespace vistrel::platform::ui;

namespace {
// A 4 x 2 RGB24 frame, stored bottom-up as bitmaps are: the top row is green on the left half and
// white on the right, the bottom row red on the left and blue on the right.
std::vector<uint8_t> quadrantFrame() {
  const uint32_t stride = dibRowBytes(4, 24);
  std::vector<uint8_t> f(stride * 2, 0);
  auto put = [&](int row, int x, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = f.data() + row * stride + x * 3;
    p[0] = b, p[1] = g, p[2] = r;
  };
  for (int x = 0; x < 4; ++x) {
    // Stored row 0 is the bottom of the picture.
    if (x < 2) {
      put(0, x, 255, 0, 0), put(1, x, 0, 255, 0);
    } else {
      put(0, x, 0, 0, 255), put(1, x, 255, 255, 255);
    }
  }
  return f;
}

void settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}
}  // namespace

TEST(VideoWidget, PaintsTheLatestFrameScaledTheRightWayUp) {
  VideoWidget w;
  w.resize(200, 100);
  w.show();
  const auto frame = quadrantFrame();
  ASSERT_TRUE(w.presentFrame(MediaType::rgb24(4, 2, UNITS / 25), frame.data(), int32_t(frame.size())));
  settle();
  const QImage shot = w.grab().toImage();
  ASSERT_EQ(shot.size(), QSize(200, 100));
  struct Probe {
    int x, y;
    QRgb colour;
  };
  for (const Probe p : {Probe{50, 25, qRgb(0, 255, 0)}, Probe{150, 25, qRgb(255, 255, 255)},
                        Probe{50, 75, qRgb(255, 0, 0)}, Probe{150, 75, qRgb(0, 0, 255)}}) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_EQ(shot.pixel(p.x, p.y) & 0xFFFFFF, p.colour & 0xFFFFFF);
  }
}

TEST(VideoWidget, FramesArrivingFasterThanPaintingReplaceEachOther) {
  VideoWidget w;
  w.resize(64, 48);
  w.show();
  settle();
  const int before = w.paintCount();
  // A streaming thread presents 200 frames while the user interface is busy.
  std::thread producer([&] {
    std::vector<uint8_t> frame(dibRowBytes(16, 24) * 8);
    for (int i = 0; i < 200; ++i) {
      std::fill(frame.begin(), frame.end(), uint8_t(i));
      w.presentFrame(MediaType::rgb24(16, 8, UNITS / 30), frame.data(), int32_t(frame.size()));
    }
  });
  producer.join();
  settle();
  EXPECT_EQ(w.frameSlot()->framesPresented(), 200);
  EXPECT_LE(w.paintCount() - before, 2);  // one repaint for the lot, not a backlog of 200
  const QImage shot = w.grab().toImage();
  EXPECT_EQ(qBlue(shot.pixel(10, 10)), 199);  // the last frame is the one shown
}

TEST(VideoWidget, RefusesWhatItCannotShow) {
  VideoWidget w;
  std::vector<uint8_t> small(10);
  EXPECT_FALSE(w.presentFrame(MediaType::rgb24(4, 2, 0), small.data(), int32_t(small.size())));  // too short
  MediaType yuy2 = MediaType::video(MEDIASUBTYPE_YUY2, 4, 2, 16, makeFourcc('Y', 'U', 'Y', '2'), 0);
  std::vector<uint8_t> f(16);
  EXPECT_FALSE(w.presentFrame(yuy2, f.data(), 16));
  EXPECT_FALSE(w.presentFrame(MediaType::pcm(44100, 2, 16), f.data(), 16));
}

TEST(VideoWidget, ForwardsClicksAndShowsAHand) {
  VideoWidget w;
  w.resize(100, 100);
  w.show();
  QSignalSpy left(&w, &VideoWidget::leftClicked), right(&w, &VideoWidget::rightClicked);
  QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(10, 20));
  QTest::mouseClick(&w, Qt::RightButton, {}, QPoint(30, 40));
  ASSERT_EQ(left.count(), 1);
  ASSERT_EQ(right.count(), 1);
  EXPECT_EQ(left.at(0).at(0).toPoint(), QPoint(10, 20));
  EXPECT_EQ(right.at(0).at(0).toPoint(), QPoint(30, 40));
  EXPECT_EQ(w.cursor().shape(), Qt::PointingHandCursor);
}

TEST(VideoWindow, OwnerPositionAndVisibility) {
  QWidget owner;
  owner.resize(400, 300);
  owner.show();
  VideoWindow window;
  QWidget* got = nullptr;
  window.get_Owner(got);
  EXPECT_EQ(got, nullptr);
  ASSERT_EQ(window.put_Owner(&owner), S_OK);
  ASSERT_EQ(window.SetWindowPosition(10, 20, 160, 120), S_OK);
  EXPECT_EQ(window.widget()->parentWidget(), &owner);
  EXPECT_EQ(window.widget()->geometry(), QRect(10, 20, 160, 120));
  EXPECT_TRUE(window.widget()->isVisible());
  EXPECT_FALSE(window.widget()->isWindow());
  ASSERT_EQ(window.put_Visible(false), S_OK);
  bool visible = true;
  window.get_Visible(visible);
  EXPECT_FALSE(visible);
  EXPECT_FALSE(window.widget()->isVisible());
  EXPECT_EQ(window.SetWindowPosition(0, 0, -1, 5), E_INVALIDARG);
}

TEST(VideoWidget, AWidgetAttachedLaterShowsWhatWasPresentedBefore) {
  auto slot = std::make_shared<FrameSlot>();
  const auto frame = quadrantFrame();
  ASSERT_TRUE(slot->present(MediaType::rgb24(4, 2, 0), frame.data(), int32_t(frame.size())));
  VideoWidget w(nullptr, slot);
  w.resize(200, 100);
  w.show();
  settle();
  EXPECT_EQ(w.grab().toImage().pixel(150, 75) & 0xFFFFFF, qRgb(0, 0, 255) & 0xFFFFFF);
  std::vector<uint8_t> next(frame.size(), 0);
  ASSERT_TRUE(slot->present(MediaType::rgb24(4, 2, 0), next.data(), int32_t(next.size())));
  settle();
  EXPECT_EQ(w.grab().toImage().pixel(150, 75) & 0xFFFFFF, 0u);
}

// The widget paints the frame it was handed, not a copy: the same picture until a newer one comes,
// and a picture once handed over is never written again, however many frames follow.
TEST(FrameSlot, AFrameBeingShownIsSharedNotCopiedAndNeverOverwritten) {
  FrameSlot slot;
  const MediaType type = MediaType::rgb24(16, 8, UNITS / 30);
  std::vector<uint8_t> frame(type.lSampleSize, 10);
  ASSERT_TRUE(slot.present(type, frame.data(), int32_t(frame.size())));
  const FrameSlot::Frame shown = slot.take();
  ASSERT_TRUE(shown);
  EXPECT_EQ(slot.take(), shown);
  for (int i = 0; i < 20; ++i) {
    std::fill(frame.begin(), frame.end(), uint8_t(100 + i));
    ASSERT_TRUE(slot.present(type, frame.data(), int32_t(frame.size())));
  }
  EXPECT_EQ(qBlue(shown->pixel(0, 0)), 10);
  EXPECT_EQ(qBlue(shown->pixel(15, 7)), 10);
  const FrameSlot::Frame newest = slot.take();
  EXPECT_NE(newest, shown);
  EXPECT_EQ(qBlue(newest->pixel(0, 0)), 119);
  EXPECT_EQ(qBlue(slot.latest().pixel(15, 7)), 119);
}

// A streaming thread presents while the user interface paints: every painted picture is one whole
// frame (never half of one and half of the next), and the last one stays on screen.
TEST(VideoWidget, PaintsWholeFramesWhileAStreamingThreadPresents) {
  VideoWidget w;
  w.resize(64, 48);
  w.show();
  settle();
  std::atomic<bool> done{false};
  std::thread producer([&] {
    const MediaType type = MediaType::rgb24(64, 48, UNITS / 30);
    std::vector<uint8_t> frame(type.lSampleSize);
    for (int i = 1; i <= 300; ++i) {
      std::fill(frame.begin(), frame.end(), uint8_t(i));
      w.presentFrame(type, frame.data(), int32_t(frame.size()));
    }
    done = true;
  });
  int torn = 0;
  while (!done) {
    QCoreApplication::processEvents();
    const QImage shot = w.grab().toImage();
    if (qBlue(shot.pixel(0, 0)) != qBlue(shot.pixel(63, 47))) ++torn;
  }
  producer.join();
  settle();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(qBlue(w.grab().toImage().pixel(32, 24)), 300 % 256);
}
