// The overlay's per-frame behaviour: placement on real frames, the timed modes, mirrors, the
// pass-through, the grab ring, the intervalometer and hostile input.

#include "filters/SuperposerProcessor.h"

#include <gtest/gtest.h>

#include <QDate>
#include <algorithm>
#include <memory>

#include "filters/DvFrameBuilder.h"
#include "filters/overlay/OverlayTestSupport.h"

namespace vistrel::filters {
namespace {

using testing::makeFrame;
using testing::Message;
using testing::MessageRecorder;
using testing::patternFrame;
using testing::pixelAt;
using testing::rgbHeader;

constexpr uint32_t kGrab = SuperposerProcessor::kGrabMessage;
constexpr uint32_t kCountdown = SuperposerProcessor::kCountdownMessage;
constexpr int64_t kFrame = 400'000;  // 25 frames per second

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, mo, d))) +
         (h * 3600.0 + mi * 60.0 + s) / 86'400.0;
}

struct Rig {
  SuperposerProcessor overlay;
  int w, h;
  std::vector<uint8_t> in;
  std::vector<uint8_t> out;
  int32_t length = 0;

  explicit Rig(int width = 720, int height = 576, std::vector<uint8_t> frame = {})
      : w(width),
        h(height),
        in(frame.empty() ? makeFrame(width, height, [](int, int) { return 0u; }) : frame),
        out(in.size() + 64, 0xEE) {
    const auto header = rgbHeader(w, h);
    EXPECT_TRUE(overlay.StartStreaming(&header));
    overlay.SetFrameDuration(kFrame);
  }
  SuperposerProcessor::FrameResult frame(int64_t start = 0) {
    return overlay.ProcessFrame(in, start, out, length);
  }
  bool outputEqualsInput() const { return std::equal(in.begin(), in.end(), out.begin()); }
  // Columns and rows (from the top) where the output differs from the input.
  QRect changed() const {
    QRect r;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (pixelAt(in, w, h, x, y) != pixelAt(out, w, h, x, y)) r |= QRect(x, y, 1, 1);
    return r;
  }
};

settings::TincrustRec customText(const char* l1, const char* l2) {
  settings::TincrustRec rec = settings::defaultIncrustRec();
  rec.WhatIncrust = 2;
  rec.Incrust1 = QString::fromUtf8(l1);
  rec.Incrust2 = QString::fromUtf8(l2);
  return rec;
}

TEST(SuperposerProcessor, DefaultDescriptionOnPal) {
  Rig rig;
  rig.overlay.setincrust(settings::defaultIncrustRec());  // DV date without a DV source: "N/A" twice
  rig.overlay.SetOverlaySwitch(true);
  ASSERT_EQ(rig.frame(), SuperposerProcessor::FrameResult::Deliver);
  EXPECT_EQ(rig.length, static_cast<int32_t>(rig.in.size()));
  EXPECT_EQ(rig.overlay.Line1(), QStringLiteral("N/A"));
  EXPECT_EQ(rig.overlay.Line2(), QStringLiteral("N/A"));
  EXPECT_EQ(rig.overlay.Description()->font.height, 28);

  const int b = settings::defaultIncrustRec().BorderSize;
  const QRect ink = rig.changed();
  // Both lines end at 658 (plus the outline); line 1 spans 498-526, line 2 526-554.
  EXPECT_LE(ink.right(), 658 + b);
  EXPECT_GE(ink.right(), 658 - 4);
  EXPECT_GE(ink.top(), 498 - b);
  EXPECT_LE(ink.bottom(), 554 + b);
  for (const auto& [top, bottom] : {std::pair{498, 526}, std::pair{526, 554}}) {
    QRect line;
    for (int y = top; y < bottom; ++y)
      for (int x = 0; x < rig.w; ++x)
        if (pixelAt(rig.in, rig.w, rig.h, x, y) != pixelAt(rig.out, rig.w, rig.h, x, y))
          line |= QRect(x, y, 1, 1);
    EXPECT_FALSE(line.isEmpty()) << top;
    EXPECT_GE(line.right(), 658 - 4) << top;
  }
}

TEST(SuperposerProcessor, PositionsAndAlignment) {
  auto render = [](int x, int align) {
    auto owned = std::make_unique<Rig>();
    Rig& rig = *owned;
    settings::TincrustRec rec = customText("Bonjour", "le monde");
    rec.Xpos = x;
    rec.Alignement = static_cast<uint8_t>(align);
    rig.overlay.setincrust(rec);
    rig.overlay.SetOverlaySwitch(true);
    rig.frame();
    return owned;
  };
  // Centred in the picture whatever Xpos says.
  const auto a = render(0, 3), b = render(1000, 3);
  EXPECT_EQ(a->out, b->out);
  EXPECT_FALSE(a->outputEqualsInput());
  const QRect centred = a->changed();
  EXPECT_LE(std::abs((centred.left() + centred.right()) / 2 - 360), 3);
  // Right-aligned on the left edge: the text lies left of the picture, nothing but an edge shows.
  const auto clipped = render(0, 2);
  EXPECT_TRUE(clipped->changed().isEmpty() || clipped->changed().right() <= 2);
  // Partly out: drawn clipped.
  const auto partly = render(20, 2);
  EXPECT_FALSE(partly->changed().isEmpty());
  EXPECT_EQ(partly->changed().left(), 0);
  EXPECT_LE(partly->changed().right(), 14 + 2);
  // An unknown alignment draws nothing.
  EXPECT_TRUE(render(500, 7)->outputEqualsInput());
}

TEST(SuperposerProcessor, SetincrustClampsPositionsAndStartsAt900) {
  SuperposerProcessor overlay;
  EXPECT_EQ(overlay.Description()->rec.Xpos, 900);
  EXPECT_EQ(overlay.Description()->rec.Ypos, 900);
  EXPECT_EQ(overlay.Description()->font.height, 16);  // automatic size before any picture
  const struct {
    int x, y, cx, cy;
  } cases[] = {{-5, 5000, 0, 1000}, {1001, -1, 1000, 0}, {INT32_MIN, INT32_MAX, 0, 1000}, {314, 0, 314, 0}};
  for (const auto& c : cases) {
    settings::TincrustRec rec;
    rec.Xpos = c.x;
    rec.Ypos = c.y;
    overlay.setincrust(rec);
    EXPECT_EQ(overlay.Description()->rec.Xpos, c.cx);
    EXPECT_EQ(overlay.Description()->rec.Ypos, c.cy);
  }
}

TEST(SuperposerProcessor, WhenincrustDurationInFrames) {
  const struct {
    int64_t frameDuration;
    int seconds;
    uint8_t mode;
    int32_t frames, left;
  } cases[] = {
      {400'000, 5, 0, 125, 124}, {400'000, 1, 0, 25, 24},
      {333'667, 2, 0, 60, 59},   {20'000'000, 1, 0, 0, -1},  // 0.5 rounds to even
      {20'000'000, 3, 0, 2, 1},                              // 1.5 rounds to even
      {0, 7, 0, 125, 124},                                   // no frame duration: the previous count stays
      {400'000, 2, 3, 50, 124},                              // a timed mode leaves frames left alone
  };
  for (const auto& c : cases) {
    SuperposerProcessor overlay;
    overlay.SetOverlaySwitch(true);  // frames left := 124
    overlay.SetFrameDuration(c.frameDuration);
    overlay.whenincrust(c.mode, c.seconds);
    EXPECT_EQ(overlay.DurationFrames(), c.frames) << c.frameDuration << " " << c.seconds;
    EXPECT_EQ(overlay.FramesLeft(), c.left) << c.frameDuration << " " << c.seconds;
    EXPECT_EQ(overlay.WhenMode(), c.mode);
    EXPECT_EQ(overlay.DurationSeconds(), c.seconds);
  }
}

// Runs frames until the text of a timed mode has gone.
void expire(Rig& rig, int64_t start = 0) {
  for (int i = 0; i < 40; ++i) rig.frame(start);
  ASSERT_EQ(rig.overlay.FramesLeft(), 0);
  ASSERT_TRUE(rig.outputEqualsInput());
}

TEST(SuperposerProcessor, SceneModeRetriggersOnDateJumps) {
  const struct {
    int step;
    bool shows;
  } cases[] = {{3, true}, {-1, true}, {2, false}, {1, false}, {0, false}, {3600, true}};
  for (const auto& c : cases) {
    auto detector = std::make_shared<SceneDetector>();
    testing::DvFrameBuilder first;
    first.recorded(2026, 12, 10, 10, 0, 5);
    detector->AnalyseFrame(first.bytes(), 0);

    Rig rig;
    rig.overlay.SetDvInformationSource(detector);
    rig.overlay.setincrust(settings::defaultIncrustRec());
    rig.overlay.whenincrust(2, 1);
    rig.overlay.SetOverlaySwitch(true);
    expire(rig);
    EXPECT_EQ(rig.overlay.Line2(), QStringLiteral("10:00:05"));

    testing::DvFrameBuilder next;
    const QDateTime t = QDateTime(QDate(2026, 12, 10), QTime(10, 0, 5)).addSecs(c.step);
    next.recorded(2026, 12, 10, t.time().hour(), t.time().minute(), t.time().second());
    detector->AnalyseFrame(next.bytes(), kFrame);
    rig.frame(kFrame);
    EXPECT_EQ(rig.overlay.FramesLeft() > 0, c.shows) << c.step;
    EXPECT_EQ(!rig.outputEqualsInput(), c.shows) << c.step;
    EXPECT_EQ(detector->ReadIndex(), detector->WritePosition());
  }
}

TEST(SuperposerProcessor, DvRecordMatchesTheSampleTime) {
  auto detector = std::make_shared<SceneDetector>();
  for (int i = 0; i < 5; ++i) {
    testing::DvFrameBuilder f;
    f.recorded(2026, 12, 10, 10, 0, i).timeCode(0, 0, i, 0);
    detector->AnalyseFrame(f.bytes(), i * kFrame);
  }
  Rig rig;
  rig.overlay.SetDvInformationSource(detector);
  settings::TincrustRec rec = customText("%T", "%D");
  rec.FormatDate2 = QStringLiteral("tt");
  rig.overlay.setincrust(rec);
  rig.overlay.SetOverlaySwitch(true);
  const struct {
    int64_t start;
    const char* tc;
    const char* date;
  } cases[] = {{2 * kFrame, "0:00:02:00", "10:00:02"},
               {2 * kFrame + 1, "0:00:02:00", "10:00:02"},
               {100 * kFrame, "0:00:04:00", "10:00:04"},
               {-1, "0:00:00:00", "10:00:00"}};  // none qualifies: the oldest entry
  for (const auto& c : cases) {
    rig.frame(c.start);
    EXPECT_EQ(rig.overlay.Line1(), QString::fromUtf8(c.tc)) << c.start;
    EXPECT_EQ(rig.overlay.Line2(), QString::fromUtf8(c.date)) << c.start;
  }
  // A frame with neither date nor time code: both codes read "N/A".
  testing::DvFrameBuilder blank;
  detector->AnalyseFrame(blank.bytes(), 10 * kFrame);
  rig.overlay.setincrust(customText("%D et %t", "tel quel"));
  rig.frame(10 * kFrame);
  EXPECT_EQ(rig.overlay.Line1(), QStringLiteral("N/A et N/A"));
  EXPECT_EQ(rig.overlay.Line2(), QStringLiteral("tel quel"));
}

TEST(SuperposerProcessor, DayModeRetriggersOnANewDay) {
  const struct {
    double from, to;
    bool shows;
  } cases[] = {
      {at(2026, 12, 10, 23, 59, 58), at(2026, 12, 11, 0, 0, 1), true},
      {at(2026, 12, 10, 8, 0, 0), at(2026, 12, 10, 23, 0, 0), false},
      {at(2026, 11, 10, 12, 0, 0), at(2026, 12, 10, 12, 0, 0), true},   // same day of month, a month later
      {at(2026, 12, 11, 0, 0, 1), at(2026, 12, 10, 23, 59, 58), true},  // the clock set back
  };
  for (const auto& c : cases) {
    double now = c.from;
    Rig rig;
    rig.overlay.SetClock([&] { return now; });
    settings::TincrustRec rec = settings::defaultIncrustRec();
    rec.WhatIncrust = 3;
    rig.overlay.setincrust(rec);
    rig.overlay.whenincrust(3, 1);
    rig.overlay.SetOverlaySwitch(true);
    expire(rig);
    now = c.to;
    rig.frame();
    EXPECT_EQ(rig.overlay.FramesLeft() > 0, c.shows) << c.from << " " << c.to;
    EXPECT_EQ(!rig.outputEqualsInput(), c.shows);
  }
}

TEST(SuperposerProcessor, AClockThatStaysZeroNeverRetriggers) {
  // Day mode without a DV date and with content other than the clock: the value stays 0.
  for (uint8_t what : {0, 1, 2, 4}) {
    Rig rig;
    rig.overlay.SetClock([] { return at(2026, 12, 10, 12, 0, 0); });
    settings::TincrustRec rec = customText("x", "y");
    rec.WhatIncrust = what;
    rig.overlay.setincrust(rec);
    rig.overlay.whenincrust(3, 1);
    rig.overlay.SetOverlaySwitch(true);
    for (int i = 0; i < 200; ++i) rig.frame(i * kFrame);
    EXPECT_EQ(rig.overlay.FramesLeft(), 0) << int(what);
    EXPECT_EQ(rig.overlay.CurrentClockValue(), 0.0);
  }
}

TEST(SuperposerProcessor, OnceModeShowsForOneDurationAfterTheSwitch) {
  Rig rig;
  rig.overlay.setincrust(customText("une fois", ""));
  rig.overlay.whenincrust(1, 1);  // 25 frames
  rig.overlay.SetOverlaySwitch(true);
  int shown = 0;
  for (int i = 0; i < 100; ++i) {
    rig.frame(i * kFrame);
    shown += !rig.outputEqualsInput();
  }
  EXPECT_EQ(shown, 23);  // frames left 24, counted down before each frame
  rig.overlay.SetOverlaySwitch(false);
  rig.frame();
  EXPECT_TRUE(rig.outputEqualsInput());
}

TEST(SuperposerProcessor, Mirrors) {
  const int w = 7, h = 5;
  const struct {
    bool vertical, horizontal, inverted;
    bool flipRows, flipColumns;
  } cases[] = {
      {false, false, false, false, false}, {true, false, false, true, false},
      {false, true, false, false, true},   {true, true, false, true, true},
      {false, false, true, true, false},   {true, false, true, false, false},
  };
  for (const auto& c : cases) {
    Rig rig(w, h, patternFrame(w, h));
    rig.overlay.SetVerticalFlip(c.vertical);
    rig.overlay.SetHorizontalFlip(c.horizontal);
    rig.overlay.SetSourceRowsInverted(c.inverted);
    ASSERT_EQ(rig.frame(), SuperposerProcessor::FrameResult::Deliver);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int sx = c.flipColumns ? w - 1 - x : x;
        const int sy = c.flipRows ? h - 1 - y : y;
        ASSERT_EQ(pixelAt(rig.out, w, h, x, y), pixelAt(rig.in, w, h, sx, sy))
            << c.vertical << c.horizontal << c.inverted;
      }
    // Row padding comes out zeroed.
    EXPECT_EQ(rig.out[w * 3], 0);
  }
}

TEST(SuperposerProcessor, OverlayDisallowedPassesFramesThroughAndStillGrabs) {
  const int w = 9, h = 6;
  MessageRecorder window;
  Rig rig(w, h, patternFrame(w, h));
  rig.overlay.SetNotifyWindow(window.handle());
  rig.overlay.setincrust(customText("texte", "texte"));
  rig.overlay.SetOverlaySwitch(true);
  rig.overlay.SetVerticalFlip(true);
  rig.overlay.SetHorizontalFlip(true);
  rig.overlay.SetOverlayAllowed(false);
  rig.overlay.GrabNow();
  ASSERT_EQ(rig.frame(), SuperposerProcessor::FrameResult::Deliver);
  EXPECT_EQ(rig.length, static_cast<int32_t>(rig.in.size()));
  EXPECT_TRUE(rig.outputEqualsInput());
  EXPECT_EQ(window.take(), (std::vector<Message>{{kGrab, 0, 1}}));
  const QImage* grabbed = rig.overlay.GrabRing().Picture(1);
  ASSERT_NE(grabbed, nullptr);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint8_t* p = grabbed->constScanLine(y) + x * 3;
      ASSERT_EQ(static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16), pixelAt(rig.in, w, h, x, y));
    }

  // Rows inverted by the source: the pass-through turns them back.
  rig.overlay.SetSourceRowsInverted(true);
  rig.frame();
  for (int y = 0; y < h; ++y) EXPECT_EQ(pixelAt(rig.out, w, h, 2, y), pixelAt(rig.in, w, h, 2, h - 1 - y));
}

TEST(SuperposerProcessor, GrabsCarryTheOverlayAndTheMirrors) {
  const int w = 16, h = 8;
  Rig rig(w, h, patternFrame(w, h));
  rig.overlay.SetHorizontalFlip(true);
  rig.overlay.GrabNow();
  rig.frame();
  const QImage* grabbed = rig.overlay.GrabRing().Picture(1);
  ASSERT_NE(grabbed, nullptr);
  const uint8_t* p = grabbed->constScanLine(0);
  EXPECT_EQ(static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16), pixelAt(rig.in, w, h, w - 1, 0));
}

TEST(SuperposerProcessor, RingDropsGrabsWhileItsSlotsAreBusy) {
  MessageRecorder window;
  Rig rig(8, 8);
  rig.overlay.SetNotifyWindow(window.handle());
  std::vector<int> filled;
  for (int i = 0; i < 25; ++i) {
    rig.overlay.GrabNow();
    rig.frame(i * kFrame);
    for (const Message& m : window.take()) {
      EXPECT_EQ(m.id, kGrab);
      filled.push_back(static_cast<int>(m.lParam));
    }
  }
  std::vector<int> expected;
  for (int i = 1; i <= 20; ++i) expected.push_back(i % 20);
  EXPECT_EQ(filled, expected);
  for (int s = 0; s < OverlayGrabRing::kSlots; ++s) EXPECT_TRUE(rig.overlay.GrabRing().Busy(s));

  // The window takes slot 9: the next grab that reaches it fills it, the others stay lost.
  rig.overlay.GrabRing().Release(9);
  filled.clear();
  for (int i = 0; i < 25; ++i) {
    rig.overlay.GrabNow();
    rig.frame();
    for (const Message& m : window.take()) filled.push_back(static_cast<int>(m.lParam));
  }
  EXPECT_EQ(filled, std::vector<int>{9});
}

TEST(SuperposerProcessor, IntervalometerCountsDownInSecondsAndPostsChangesOnly) {
  MessageRecorder window;
  Rig rig(8, 8);
  rig.overlay.SetNotifyWindow(window.handle());
  rig.overlay.StartIntervalometer(30'000);  // 3 s in 100 µs units
  std::vector<Message> all;
  for (int i = 0; i <= 80; ++i) {  // 3.2 s at 25 frames per second
    rig.frame(i * kFrame);
    for (const Message& m : window.take()) all.push_back(m);
  }
  const std::vector<Message> expected = {{kGrab, 0, 1},      {kCountdown, 2, 0}, {kCountdown, 1, 0},
                                         {kCountdown, 0, 0}, {kGrab, 0, 2},      {kCountdown, 2, 0}};
  EXPECT_EQ(all, expected);

  rig.overlay.StopIntervalometer();
  for (int i = 81; i < 200; ++i) rig.frame(i * kFrame);
  EXPECT_TRUE(window.take().empty());
}

TEST(SuperposerProcessor, IntervalometerRestartsAndCatchesUp) {
  MessageRecorder window;
  Rig rig(8, 8);
  rig.overlay.SetNotifyWindow(window.handle());
  rig.overlay.StartIntervalometer(10'000);
  rig.frame(0);
  // A gap longer than the period: the next grab is one period after the late frame.
  rig.frame(50'000'000);  // t = 50 000
  rig.frame(50'400'000);
  rig.frame(60'000'000);  // t = 60 000: due
  std::vector<Message> grabs;
  for (const Message& m : window.take())
    if (m.id == kGrab) grabs.push_back(m);
  EXPECT_EQ(grabs.size(), 3u);
  // Starting again grabs at once.
  rig.overlay.StartIntervalometer(10'000);
  rig.frame(60'400'000);
  const auto after = window.take();
  ASSERT_FALSE(after.empty());
  EXPECT_EQ(after.front().id, kGrab);
}

TEST(SuperposerProcessor, PeriodZeroGrabsEveryFrameAsFarAsSlotsAllow) {
  MessageRecorder window;
  Rig rig(8, 8);
  rig.overlay.SetNotifyWindow(window.handle());
  rig.overlay.StartIntervalometer(0);
  int grabs = 0;
  for (int i = 0; i < 30; ++i) {
    rig.frame(i * kFrame);
    for (const Message& m : window.take()) {
      EXPECT_EQ(m.id, kGrab);
      ++grabs;
    }
    EXPECT_EQ(grabs, std::min(i + 1, 20));
  }
  rig.overlay.GrabRing().Release(4);
  for (int i = 30; i < 60; ++i) rig.frame(i * kFrame);
  EXPECT_EQ(window.take(), (std::vector<Message>{{kGrab, 0, 4}}));
}

TEST(SuperposerProcessor, BadFramesAreDroppedAndGrabbingGoesOn) {
  MessageRecorder window;
  Rig rig(64, 48);
  rig.overlay.SetNotifyWindow(window.handle());
  rig.overlay.setincrust(customText("abc", "def"));
  rig.overlay.SetOverlaySwitch(true);
  const std::vector<uint8_t> full = rig.in;
  const int64_t needed = OverlayFrameBytes(64, 48);
  for (int64_t length : {int64_t(0), int64_t(1), needed - 1, int64_t(64 * 48 * 3 - 1)}) {
    std::vector<uint8_t> shortFrame(full.begin(), full.begin() + length);
    rig.overlay.GrabNow();
    EXPECT_EQ(rig.overlay.ProcessFrame(shortFrame, 0, rig.out, rig.length),
              SuperposerProcessor::FrameResult::Drop)
        << length;
    const auto messages = window.take();
    EXPECT_EQ(messages.size(), 1u) << length;  // the grab of the last good picture still happens
  }
  // An output buffer too small for the frame.
  std::vector<uint8_t> small(100);
  EXPECT_EQ(rig.overlay.ProcessFrame(full, 0, small, rig.length), SuperposerProcessor::FrameResult::Drop);
  // Overlay disallowed: a short frame cannot be inverted, a small output cannot take the copy.
  rig.overlay.SetOverlayAllowed(false);
  EXPECT_EQ(rig.overlay.ProcessFrame(full, 0, small, rig.length), SuperposerProcessor::FrameResult::Drop);
  rig.overlay.SetSourceRowsInverted(true);
  std::vector<uint8_t> shortFrame(full.begin(), full.begin() + needed - 1);
  EXPECT_EQ(rig.overlay.ProcessFrame(shortFrame, 0, rig.out, rig.length),
            SuperposerProcessor::FrameResult::Drop);
  rig.overlay.GrabNow();
  rig.overlay.ProcessFrame(shortFrame, 0, rig.out, rig.length);
  EXPECT_TRUE(window.take().empty());  // no picture to grab from a short frame
}

TEST(SuperposerProcessor, StartStreamingWithoutAUsableFormatKeepsTheSize) {
  Rig rig(32, 16);
  EXPECT_FALSE(rig.overlay.StartStreaming(nullptr));
  const auto zero = rgbHeader(0, 10), huge = rgbHeader(100'000, 10), flat = rgbHeader(10, 0);
  EXPECT_FALSE(rig.overlay.StartStreaming(&zero));
  EXPECT_FALSE(rig.overlay.StartStreaming(&huge));
  EXPECT_FALSE(rig.overlay.StartStreaming(&flat));
  EXPECT_EQ(rig.overlay.Width(), 32);
  EXPECT_EQ(rig.overlay.WorkingPicture().size(), QSize(32, 16));
  EXPECT_EQ(rig.frame(), SuperposerProcessor::FrameResult::Deliver);
  // A top-down source: the height is taken as it comes, the rows read top-down.
  const auto topDown = rgbHeader(32, -16);
  EXPECT_TRUE(rig.overlay.StartStreaming(&topDown));
  EXPECT_EQ(rig.overlay.WorkingPicture().size(), QSize(32, 16));
  EXPECT_EQ(rig.frame(), SuperposerProcessor::FrameResult::Deliver);
}

TEST(SuperposerProcessor, HostileDescriptions) {
  const QString huge(100'000, QChar(u'M'));
  struct Case {
    const char* name;
    int w, h;
    settings::TincrustRec rec;
  };
  std::vector<Case> cases;
  settings::TincrustRec r = customText("", "");
  r.Incrust1 = huge;
  r.Incrust2 = QStringLiteral("%D") + huge + QStringLiteral("%R");
  cases.push_back({"long templates", 720, 576, r});
  r = customText("dddd qqq", "");
  r.WhatIncrust = 3;
  r.FormatDate1 = QStringLiteral("ddddddddddddd mmmmmmmm yyyyyyy hhhh nnnn ssss zzzz tttt ccc QJKXW");
  r.FormatDate2 = huge;
  cases.push_back({"patterns", 720, 576, r});
  r = customText("Grand", "Texte");
  r.Autofontsize = 0;
  r.FontRec.FontSize = 5000;
  cases.push_back({"size 5000", 720, 576, r});
  r.FontRec.FontSize = 0;
  cases.push_back({"size 0", 720, 576, r});
  r = customText("Face", "absente");
  r.FontRec.FontName = QStringLiteral("Nonexistent Face");
  cases.push_back({"missing font", 720, 576, r});
  r = customText("Texte plus grand que l'image", "et encore");
  r.BorderSize = 5;
  cases.push_back({"tiny frame", 3, 2, r});
  r.Xpos = -100000, r.Ypos = 100000, r.BorderSize = -4, r.Alignement = 1;
  cases.push_back({"positions out of range", 50, 40, r});
  r.DecalageHoraire = 1e300;
  r.WhatIncrust = 3;
  cases.push_back({"offset out of range", 50, 40, r});
  for (Case& c : cases) {
    Rig rig(c.w, c.h);
    rig.overlay.setincrust(c.rec);
    rig.overlay.SetOverlaySwitch(true);
    EXPECT_EQ(rig.frame(), SuperposerProcessor::FrameResult::Deliver) << c.name;
    EXPECT_EQ(rig.length, static_cast<int32_t>(OverlayRowBytes(c.w) * c.h)) << c.name;
  }
}

}  // namespace
}  // namespace vistrel::filters
