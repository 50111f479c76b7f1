#include "platform/media/filters/VideoRenderer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "platform/media/FilterGraph.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/IMemInputPin.h"
#include "platform/media/IVideoWindow.h"
#include "platform/media/filters/TestSource.h"
#include "platform/ui/VideoWidget.h"

using namespace vistrel::platform::media;
using vistrel::platform::ui::VideoWindow;
using vistrel::testing::TestSource;

namespace {
constexpr int kW = 8, kH = 4;

// A clock the test moves by hand; counts how often it was read.
class HandClock : public IReferenceClock {
 public:
  HRESULT GetTime(REFERENCE_TIME* t) override {
    reads.fetch_add(1);
    *t = now.load();
    return S_OK;
  }
  std::atomic<REFERENCE_TIME> now{0};
  std::atomic<int> reads{0};
};

// Waits (with a generous deadline, not a timing claim) until `done` holds, serving Qt events.
bool eventually(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A uniform picture whose blue byte is `value` (RGB24 or RGB32, any row order).
std::vector<uint8_t> picture(const MediaType& type, uint8_t value) {
  const auto bmi = *type.bitmapHeader();
  const int h = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
  const int bpp = bmi.biBitCount / 8;
  std::vector<uint8_t> bytes(size_t(dibRowBytes(bmi.biWidth, bmi.biBitCount)) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < bmi.biWidth; ++x)
      bytes[size_t(y) * dibRowBytes(bmi.biWidth, bmi.biBitCount) + x * bpp] = value;
  return bytes;
}

MediaType rgb32TopDownVih2() {
  MediaType t(MEDIATYPE_Video, MEDIASUBTYPE_RGB32, FORMAT_VideoInfo2);
  VIDEOINFOHEADER2 v{};
  v.AvgTimePerFrame = UNITS / 25;
  v.dwPictAspectRatioX = 4, v.dwPictAspectRatioY = 3;
  v.bmiHeader.biWidth = kW;
  v.bmiHeader.biHeight = -kH;
  v.bmiHeader.biBitCount = 32;
  v.bmiHeader.biCompression = BI_RGB;
  v.bmiHeader.biSizeImage = kW * kH * 4;
  t.setFormat(v);
  return t;
}

struct RendererGraph {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<TestSource> source;
  std::shared_ptr<VideoRenderer> renderer = std::make_shared<VideoRenderer>();
  explicit RendererGraph(const MediaType& type)
      : source(std::make_shared<TestSource>(std::vector<MediaType>{type})) {
    graph->AddFilter(source, QStringLiteral("source"));
    graph->AddFilter(renderer, QStringLiteral("Video Renderer"));
  }
  std::shared_ptr<IPin> input() {
    std::shared_ptr<IEnumPins> pins;
    renderer->EnumPins(pins);
    return pins->all().at(0);
  }
  HRESULT connect() { return graph->ConnectDirect(source->outPin(), input(), nullptr); }
  // The blue byte of the latest frame handed to the widget, -1 before the first.
  int shownBlue() {
    const QImage img = renderer->frameSlot()->latest();
    return img.isNull() ? -1 : qBlue(img.pixel(0, 0));
  }
};
}  // namespace

TEST(VideoRenderer, FramesOfEitherLayoutReachTheWidgetTheRightWayUp) {
  for (const MediaType& type : {MediaType::rgb24(kW, kH, UNITS / 25), rgb32TopDownVih2()}) {
    RendererGraph g(type);
    ASSERT_EQ(g.connect(), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    // Top row white, the rest black, in the row order the type says.
    auto bytes = picture(type, 0);
    const auto bmi = *type.bitmapHeader();
    const size_t stride = dibRowBytes(kW, bmi.biBitCount);
    const size_t topRow = bmi.biHeight > 0 ? size_t(kH - 1) : 0;
    std::fill_n(bytes.begin() + long(topRow * stride), stride, uint8_t(255));
    ASSERT_EQ(g.source->push(bytes), S_OK);
    ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() == 1; }));

    auto window = g.renderer->videoWindow();
    ASSERT_TRUE(window && window->widget());
    window->widget()->resize(80, 40);
    window->widget()->show();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    const QImage shot = window->widget()->grab().toImage();
    EXPECT_EQ(shot.pixel(40, 2) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(shot.pixel(40, 38) & 0xFFFFFF, 0u);
    g.graph->Stop();
  }
}

TEST(VideoRenderer, RefusesWhatItCannotShow) {
  auto with = [](MediaType t, const std::function<void(BITMAPINFOHEADER&)>& change) {
    auto v = *t.videoInfo();
    change(v.bmiHeader);
    t.setFormat(v);
    return t;
  };
  const MediaType rgb = MediaType::rgb24(kW, kH, 0);
  MediaType shortBlock = rgb;
  shortBlock.format.resize(sizeof(VIDEOINFOHEADER) - 4);
  MediaType mpegFormat = rgb;
  mpegFormat.formattype = FORMAT_MPEGVideo;
  struct Case {
    const char* what;
    MediaType type;
  } cases[] = {
      {"YUY2", MediaType::video(MEDIASUBTYPE_YUY2, kW, kH, 16, makeFourcc('Y', 'U', 'Y', '2'), 0)},
      {"MJPEG", MediaType::video(MEDIASUBTYPE_MJPG, kW, kH, 24, makeFourcc('M', 'J', 'P', 'G'), 0)},
      {"sound", MediaType::pcm(44100, 2, 16)},
      {"a format block shorter than its header", shortBlock},
      {"a format that is no video info", mpegFormat},
      {"24-bit subtype with 32-bit pixels", with(rgb, [](auto& b) { b.biBitCount = 32; })},
      {"compressed pixels", with(rgb, [](auto& b) { b.biCompression = makeFourcc('X', 'V', 'I', 'D'); })},
      {"no width", with(rgb, [](auto& b) { b.biWidth = 0; })},
      {"no height", with(rgb, [](auto& b) { b.biHeight = 0; })},
      {"an absurd size", with(rgb, [](auto& b) { b.biWidth = 1 << 20; })},
      {"the lowest height", with(rgb, [](auto& b) { b.biHeight = INT32_MIN; })},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RendererGraph g(c.type);
    EXPECT_NE(g.input()->QueryAccept(c.type), S_OK);
    EXPECT_TRUE(FAILED(g.connect()));
  }
  RendererGraph ok(rgb);
  EXPECT_EQ(ok.input()->QueryAccept(rgb), S_OK);
}

TEST(VideoRenderer, AShortSampleIsDroppedNotRead) {
  RendererGraph g(MediaType::rgb24(kW, kH, 0));
  ASSERT_EQ(g.connect(), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  std::vector<uint8_t> half(dibRowBytes(kW, 24) * kH / 2, 7);
  ASSERT_EQ(g.source->push(half), S_OK);
  EXPECT_EQ(g.renderer->framesDropped(), 1);
  // A changed type it cannot show is refused; the next good picture still gets through.
  const MediaType yuy2 = MediaType::video(MEDIASUBTYPE_YUY2, kW, kH, 16, makeFourcc('Y', 'U', 'Y', '2'), 0);
  EXPECT_TRUE(FAILED(g.source->push(half, std::nullopt, std::nullopt, &yuy2)));
  ASSERT_EQ(g.source->push(picture(MediaType::rgb24(kW, kH, 0), 9)), S_OK);
  ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() == 1; }));
  EXPECT_EQ(g.shownBlue(), 9);
  g.graph->Stop();
}

TEST(VideoRenderer, IsRegisteredAndReachedThroughTheColourConverter) {
  std::shared_ptr<IBaseFilter> made;
  ASSERT_EQ(FilterMapper::instance()->CreateInstance(CLSID_VideoRenderer, made), S_OK);
  ASSERT_TRUE(std::dynamic_pointer_cast<VideoRenderer>(made));
  // A camera's YUY2 needs a converter; intelligent connect finds it.
  const MediaType yuy2 =
      MediaType::video(MEDIASUBTYPE_YUY2, kW, kH, 16, makeFourcc('Y', 'U', 'Y', '2'), UNITS / 25);
  RendererGraph g(yuy2);
  ASSERT_EQ(g.graph->Connect(g.source->outPin(), g.input()), S_OK);
  MediaType connected;
  ASSERT_EQ(g.input()->ConnectionMediaType(connected), S_OK);
  EXPECT_TRUE(VideoRenderer::acceptsType(connected));
  EXPECT_EQ(g.graph->filters().size(), 3u);
  ASSERT_EQ(g.graph->Run(), S_OK);
  std::vector<uint8_t> grey(size_t(kW) * kH * 2);
  for (size_t i = 0; i < grey.size(); i += 2) grey[i] = 128, grey[i + 1] = 128;
  ASSERT_EQ(g.source->push(grey), S_OK);
  ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() == 1; }));
  const int blue = g.shownBlue();
  EXPECT_GT(blue, 100);
  EXPECT_LT(blue, 160);
  g.graph->Stop();
}

TEST(VideoRenderer, PlacesItsWindowInTheOwnerAndForwardsInputToTheDrain) {
  QWidget owner;
  owner.resize(400, 300);
  owner.show();
  QWidget drain;
  struct Catcher : QObject {
    std::vector<std::pair<QEvent::Type, QPoint>> mouse;
    std::vector<int> keys;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::MouseButtonRelease || e->type() == QEvent::MouseButtonPress)
        mouse.push_back({e->type(), static_cast<QMouseEvent*>(e)->position().toPoint()});
      if (e->type() == QEvent::KeyPress) keys.push_back(static_cast<QKeyEvent*>(e)->key());
      return false;
    }
  } catcher;
  drain.installEventFilter(&catcher);
  owner.installEventFilter(&catcher);  // the owner must not hear the same click a second time

  auto renderer = std::make_shared<VideoRenderer>();
  auto vw = renderer->queryInterface<IVideoWindow>();
  ASSERT_TRUE(vw);
  ASSERT_EQ(vw->put_Owner(&owner), S_OK);
  ASSERT_EQ(vw->put_WindowStyle(WS_CHILD | WS_CLIPSIBLINGS), S_OK);
  ASSERT_EQ(vw->SetWindowPosition(16, 16, 384, 288), S_OK);
  ASSERT_EQ(vw->put_MessageDrain(&drain), S_OK);
  int32_t style = 0;
  vw->get_WindowStyle(style);
  EXPECT_EQ(style, WS_CHILD | WS_CLIPSIBLINGS);
  int l = 0, t = 0, w = 0, h = 0;
  ASSERT_EQ(vw->GetWindowPosition(l, t, w, h), S_OK);
  EXPECT_EQ(QRect(l, t, w, h), QRect(16, 16, 384, 288));
  QWidget* got = nullptr;
  vw->get_MessageDrain(got);
  EXPECT_EQ(got, &drain);
  EXPECT_EQ(vw->put_FullScreenMode(true), E_NOTIMPL);
  EXPECT_EQ(vw->put_FullScreenMode(false), S_OK);
  bool full = true;
  vw->get_FullScreenMode(full);
  EXPECT_FALSE(full);

  auto* widget = renderer->videoWindow()->widget();
  ASSERT_TRUE(widget);
  EXPECT_EQ(widget->parentWidget(), &owner);
  EXPECT_TRUE(widget->isVisible());
  QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 6));
  QTest::keyClick(widget, Qt::Key_F3);
  // The drain hears the click where it happened on the video, mapped to its own coordinates.
  ASSERT_EQ(catcher.mouse.size(), 2u);
  EXPECT_EQ(catcher.mouse[1].first, QEvent::MouseButtonRelease);
  EXPECT_EQ(catcher.mouse[1].second, drain.mapFromGlobal(widget->mapToGlobal(QPoint(5, 6))));
  EXPECT_EQ(catcher.keys, std::vector<int>{Qt::Key_F3});

  ASSERT_EQ(vw->put_Visible(false), S_OK);
  EXPECT_FALSE(widget->isVisible());
}

TEST(VideoRenderer, ShowsATimedFrameWhenTheClockReachesIt) {
  RendererGraph g(MediaType::rgb24(kW, kH, UNITS / 25));
  ASSERT_EQ(g.connect(), S_OK);
  auto clock = std::make_shared<HandClock>();
  clock->now = 10 * UNITS;
  g.renderer->SetSyncSource(clock);
  ASSERT_EQ(g.renderer->Run(0), S_OK);
  ASSERT_EQ(g.source->Run(0), S_OK);
  const MediaType type = MediaType::rgb24(kW, kH, UNITS / 25);

  const int readsBefore = clock->reads.load();
  ASSERT_EQ(g.source->push(picture(type, 1), 10 * UNITS + UNITS / 2), S_OK);
  // The presenter has looked at the clock several times and still holds the frame.
  ASSERT_TRUE(eventually([&] { return clock->reads.load() > readsBefore + 3; }));
  EXPECT_EQ(g.renderer->framesDrawn(), 0);
  EXPECT_EQ(g.shownBlue(), -1);
  clock->now = 10 * UNITS + UNITS / 2;
  ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() == 1; }));
  EXPECT_EQ(g.shownBlue(), 1);
  // An untimed frame is shown at once.
  ASSERT_EQ(g.source->push(picture(type, 2)), S_OK);
  ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() == 2; }));
  EXPECT_EQ(g.shownBlue(), 2);
  EXPECT_EQ(g.renderer->framesDropped(), 0);
  g.graph->Stop();
}

TEST(VideoRenderer, DropsLateFramesBehindWhichANewerWaitsAndTheOldestWhenFull) {
  const MediaType type = MediaType::rgb24(kW, kH, UNITS / 25);
  RendererGraph g(type);
  ASSERT_EQ(g.connect(), S_OK);
  auto clock = std::make_shared<HandClock>();
  clock->now = 10 * UNITS;
  g.renderer->SetSyncSource(clock);
  ASSERT_EQ(g.renderer->Run(0), S_OK);
  ASSERT_EQ(g.source->Run(0), S_OK);
  const REFERENCE_TIME due = 10 * UNITS + UNITS / 2;

  // Held by its time, the first frame keeps two late ones waiting behind it.
  ASSERT_EQ(g.source->push(picture(type, 1), due), S_OK);
  ASSERT_EQ(g.source->push(picture(type, 2), 9 * UNITS), S_OK);
  ASSERT_EQ(g.source->push(picture(type, 3), 9 * UNITS + UNITS / 25), S_OK);
  clock->now = due;
  ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() + g.renderer->framesDropped() == 3; }));
  EXPECT_EQ(g.renderer->framesDrawn(), 2);  // the first, on time, and the newest though late
  EXPECT_EQ(g.renderer->framesDropped(), 1);
  EXPECT_EQ(g.shownBlue(), 3);

  // More frames than the queue holds while the presenter waits: the oldest go, upstream never waits.
  const REFERENCE_TIME later = due + UNITS / 2;
  for (uint8_t i = 10; i < 10 + VideoRenderer::kQueueDepth + 2; ++i)
    ASSERT_EQ(g.source->push(picture(type, i), later), S_OK);
  EXPECT_EQ(g.renderer->framesDropped(), 3);
  clock->now = later;
  ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() == 2 + int(VideoRenderer::kQueueDepth); }));
  EXPECT_EQ(g.shownBlue(), 10 + int(VideoRenderer::kQueueDepth) + 1);
  g.graph->Stop();
}

TEST(VideoRenderer, StopRunCyclesKeepTheLastFrameOnShow) {
  const MediaType type = MediaType::rgb24(kW, kH, UNITS / 25);
  RendererGraph g(type);
  ASSERT_EQ(g.connect(), S_OK);
  for (uint8_t cycle = 1; cycle <= 5; ++cycle) {
    SCOPED_TRACE(int(cycle));
    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_EQ(g.source->push(picture(type, cycle)), S_OK);
    ASSERT_TRUE(eventually([&] { return g.renderer->framesDrawn() == cycle; }));
    // Paused, the picture stays; a frame delivered while paused is shown at once.
    ASSERT_EQ(g.graph->Pause(), S_OK);
    EXPECT_EQ(g.shownBlue(), cycle);
    ASSERT_EQ(g.graph->Stop(), S_OK);
    EXPECT_EQ(g.shownBlue(), cycle);
    // Stopped, nothing is taken.
    auto sample = MediaSample::create(int32_t(picture(type, 0).size()));
    sample->SetActualDataLength(sample->GetSize());
    EXPECT_EQ(interfaceOf<IMemInputPin>(g.input())->Receive(sample), VFW_E_WRONG_STATE);
  }
  EXPECT_EQ(g.renderer->framesDropped(), 0);
  // Removing the renderer from the graph while it runs stops its presenter too.
  ASSERT_EQ(g.graph->Run(), S_OK);
  ASSERT_EQ(g.graph->RemoveFilter(g.renderer), S_OK);
  g.graph->Stop();
}

TEST(VideoRenderer, WorksWithoutAUserInterfaceThread) {
  // Made on another thread there is no widget and no IVideoWindow, but frames still reach the slot.
  std::shared_ptr<VideoRenderer> renderer;
  std::thread([&] { renderer = std::make_shared<VideoRenderer>(); }).join();
  EXPECT_FALSE(renderer->videoWindow());
  EXPECT_FALSE(renderer->queryInterface<IVideoWindow>());
  ASSERT_TRUE(renderer->frameSlot());
}
