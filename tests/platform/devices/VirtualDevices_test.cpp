#include "platform/devices/VirtualDevices.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <thread>

#include "platform/devices/virtual/TestPattern.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/IAMAudioInputMixer.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/filters/FileWriter.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::media;
using namespace vistrel::platform::devices;

namespace {
// Points VISTREL_DEVICES at a file of the test's root for the test's duration.
class DeviceFile {
 public:
  explicit DeviceFile(const vistrel::testing::TempRoot& root) : path_(root.file("devices.txt")) {}
  ~DeviceFile() {
    qputenv("VISTREL_DEVICES", "none");
    VirtualDevices::instance().rescan();
  }
  void write(const QByteArray& text) {
    QFile f(path_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    qputenv("VISTREL_DEVICES", path_.toLocal8Bit());
    VirtualDevices::instance().rescan();
  }

 private:
  QString path_;
};

QString friendlyName(const std::shared_ptr<IMoniker>& m) {
  QVariant v;
  m->Read(QStringLiteral("FriendlyName"), v);
  return v.toString();
}

std::vector<std::shared_ptr<IPin>> pins(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

// Waits (processing events) until `done` or a generous limit; never asserts on speed.
template <class F>
bool waitFor(F done) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > 20000) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
}  // namespace

TEST(VirtualDeviceFile, GarbageLinesAreIgnored) {
  const QByteArray text =
      "# devices\n"
      "camera Front Camera\n"
      "\n"
      "   microphone   Desk Mic  \n"
      "camera\n"
      "toaster Kitchen\n"
      "\x01\x02\xff garbage\n"
      "CAMERA Front Camera\n";
  auto entries = parseVirtualDeviceFile(text);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0], (VirtualDeviceEntry{VirtualDeviceKind::Camera, QStringLiteral("Front Camera"), {}}));
  EXPECT_EQ(entries[1], (VirtualDeviceEntry{VirtualDeviceKind::Microphone, QStringLiteral("Desk Mic"), {}}));
  EXPECT_EQ(entries[2].name, QStringLiteral("Front Camera"));
  EXPECT_TRUE(parseVirtualDeviceFile(QByteArray()).empty());
}

TEST(VirtualDevices, TheFileDecidesTheDevicesAndTheirIdentity) {
  vistrel::testing::TempRoot root;
  DeviceFile file(root);
  file.write("camera Cam\ncamera Cam\nmicrophone Mic\n");
  auto devs = SystemDeviceEnum::create();
  auto video = devs->monikers(CLSID_VideoInputDeviceCategory);
  auto audio = devs->monikers(CLSID_AudioInputDeviceCategory);
  ASSERT_EQ(video.size(), 2u);
  ASSERT_EQ(audio.size(), 1u);
  EXPECT_EQ(friendlyName(video[0]), QStringLiteral("Cam"));
  EXPECT_EQ(friendlyName(video[1]), QStringLiteral("Cam"));
  EXPECT_EQ(video[0]->IsEqual(video[1]), S_FALSE);  // two identical devices
  auto again = devs->monikers(CLSID_VideoInputDeviceCategory);
  EXPECT_EQ(video[0]->IsEqual(again[0]), S_OK);  // across enumerations
  std::shared_ptr<IBaseFilter> a, b;
  ASSERT_EQ(video[0]->BindToObject(a), S_OK);
  ASSERT_EQ(video[0]->BindToObject(b), S_OK);
  EXPECT_NE(a, b);

  file.write("none-of-these lines\n");
  EXPECT_TRUE(devs->monikers(CLSID_VideoInputDeviceCategory).empty());
  std::shared_ptr<IEnumMoniker> e;
  EXPECT_EQ(devs->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, e), S_FALSE);
  EXPECT_EQ(video[0]->BindToObject(a), VFW_E_DEVICE_LOST);  // unplugged: no longer binds
}

TEST(VirtualCamera, StreamConfigAndControls) {
  auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Cam"));
  auto p = pins(cam);
  ASSERT_EQ(p.size(), 2u);
  PIN_INFO info;
  p[0]->QueryPinInfo(info);
  EXPECT_EQ(info.achName, QStringLiteral("Capture"));
  auto cfg = interfaceOf<IAMStreamConfig>(p[0]);
  ASSERT_TRUE(cfg);
  int32_t count = 0, size = 0;
  cfg->GetNumberOfCapabilities(count, size);
  EXPECT_EQ(count, 20);
  MediaType yuy2 =
      MediaType::video(MEDIASUBTYPE_YUY2, 720, 576, 16, makeFourcc('Y', 'U', 'Y', '2'), UNITS / 25);
  EXPECT_EQ(cfg->SetFormat(yuy2), S_OK);
  std::shared_ptr<IEnumMediaTypes> types;
  p[0]->EnumMediaTypes(types);
  EXPECT_EQ(types->all().at(0), yuy2);  // the chosen format is offered first
  EXPECT_EQ(cfg->SetFormat(MediaType::rgb24(333, 111, UNITS)), VFW_E_INVALIDMEDIATYPE);

  auto amp = interfaceOf<IAMVideoProcAmp>(cam);
  ASSERT_TRUE(amp);
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 50, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 500, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  std::vector<uint8_t> dark(dibRowBytes(64, 24) * 48), bright(dark.size());
  renderTestPattern(dark.data(), 64, 48, 0, 0, PatternSettings{});
  renderTestPattern(bright.data(), 64, 48, 0, 0, cam->pattern());
  long sumDark = 0, sumBright = 0;
  for (size_t i = 0; i < dark.size(); ++i) sumDark += dark[i], sumBright += bright[i];
  EXPECT_GT(sumBright, sumDark);

  std::shared_ptr<CaptureGraphBuilder2> b = CaptureGraphBuilder2::create();
  auto g = FilterGraph::create();
  b->SetFiltergraph(g);
  g->AddFilter(cam, "cam");
  std::shared_ptr<IAMStreamConfig> found;
  EXPECT_EQ(b->FindInterface(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, cam, found), S_OK);
  EXPECT_EQ(found, interfaceOf<IAMStreamConfig>(p[1]));
  std::shared_ptr<IAMDroppedFrames> dropped;
  EXPECT_EQ(b->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, cam, dropped), S_OK);
}

TEST(TestPattern, FrameCounterReadsBack) {
  for (int64_t n : {0, 7, 1234, 99999999}) {
    std::vector<uint8_t> rgb(dibRowBytes(320, 24) * 240);
    renderTestPattern(rgb.data(), 320, 240, n, 3723000, PatternSettings{});
    EXPECT_EQ(readFrameCounter(rgb.data(), 320, 240), n);
  }
}

TEST(ToneMicrophone, NamedInputsChooseTheTone) {
  auto mic = std::make_shared<ToneMicrophone>(QStringLiteral("Mic"));
  auto p = pins(mic);
  ASSERT_EQ(p.size(), 4u);
  std::vector<QString> names;
  for (auto& pin : p) {
    PIN_INFO info;
    pin->QueryPinInfo(info);
    names.push_back(info.achName);
  }
  EXPECT_EQ(names, (std::vector<QString>{"Capture", "Line In", "Micro", "CD"}));
  auto cd = interfaceOf<IAMAudioInputMixer>(p[3]);
  ASSERT_TRUE(cd);
  cd->put_Enable(true);
  EXPECT_EQ(mic->selectedInput(), 2);
  bool on = false;
  interfaceOf<IAMAudioInputMixer>(p[1])->get_Enable(on);
  EXPECT_FALSE(on);
  int16_t samples[200];
  double phase = 0;
  renderTone(samples, 100, 2, 880.0, 48000, phase);
  EXPECT_EQ(samples[0], 0);
  EXPECT_EQ(samples[0], samples[1]);
  EXPECT_NE(samples[20], 0);
}

TEST(VirtualCamera, GraphThroughATeeWritesExactlyTheFramesDelivered) {
  vistrel::testing::TempRoot root;
  auto g = FilterGraph::create();
  auto b = CaptureGraphBuilder2::create();
  b->SetFiltergraph(g);
  auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Cam"));
  auto tee = InfTee::create();
  auto null = std::make_shared<NullRenderer>();
  auto writer = FileWriter::create();
  interfaceOf<IFileSinkFilter>(writer)->SetFileName(root.file("frames.raw"), nullptr);
  g->AddFilter(cam, "cam");
  g->AddFilter(tee, "tee");
  g->AddFilter(null, "null");
  g->AddFilter(writer, "writer");
  const MediaType format = MediaType::rgb24(320, 240, UNITS / 30);
  ASSERT_EQ(interfaceOf<IAMStreamConfig>(pins(cam)[0])->SetFormat(format), S_OK);
  ASSERT_EQ(
      b->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, std::shared_ptr<IBaseFilter>(cam), tee, null),
      S_OK);
  ASSERT_EQ(b->RenderStream(nullptr, nullptr, std::shared_ptr<IBaseFilter>(tee), nullptr, writer), S_OK);
  MediaType connected;
  pins(cam)[0]->ConnectionMediaType(connected);
  EXPECT_EQ(connected, format);

  ASSERT_EQ(g->Run(), S_OK);
  ASSERT_TRUE(waitFor([&] { return null->samplesReceived() >= 6; }));
  ASSERT_EQ(g->Stop(), S_OK);
  const int64_t frames = null->samplesReceived();
  const QByteArray file = root.read("frames.raw");
  const int frameSize = 320 * 240 * 3;
  ASSERT_EQ(file.size(), frames * frameSize);
  int32_t delivered = 0, dropped = 0;
  cam->GetNumNotDropped(delivered);
  cam->GetNumDropped(dropped);
  EXPECT_EQ(delivered, frames);
  // The burnt-in counters run in order; a gap is exactly a counted drop.
  int64_t previous = -1;
  int64_t gaps = 0;
  for (int64_t i = 0; i < frames; ++i) {
    int64_t n =
        readFrameCounter(reinterpret_cast<const uint8_t*>(file.constData()) + i * frameSize, 320, 240);
    ASSERT_GT(n, previous);
    gaps += n - previous - 1;
    previous = n;
  }
  EXPECT_EQ(gaps, dropped);
  // Stopped means stopped: no thread delivers any more.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(null->samplesReceived(), frames);
}

namespace {
class EventWindow : public QObject {
 public:
  std::shared_ptr<FilterGraph> graph;
  std::vector<GraphEvent> lost;
  bool onUiThread = true;
  bool event(QEvent* e) override {
    if (e->type() != ui::WindowMessageEvent::eventType()) return QObject::event(e);
    auto* m = static_cast<ui::WindowMessageEvent*>(e);
    if (m->message() == WM_DEVICECHANGE) {
      ++deviceChanges;
      return true;
    }
    GraphEvent ev;
    while (graph->GetEvent(ev, 0) == S_OK) {
      if (ev.code == EC_DEVICE_LOST) lost.push_back(ev);
      onUiThread = onUiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
      graph->FreeEventParams(ev);
    }
    return true;
  }
  int deviceChanges = 0;
};
}  // namespace

TEST(VirtualDevices, UnpluggingUnderARunningGraphRaisesDeviceLostOnTheUiThread) {
  vistrel::testing::TempRoot root;
  DeviceFile file(root);
  file.write("camera Cam\n");
  EventWindow window;
  window.graph = FilterGraph::create();
  auto handle = ui::registerWindow(&window);
  window.graph->SetNotifyWindow(handle, ui::WM_USER + 13, 0);
  VirtualDevices::instance().addNotifyWindow(handle);

  auto monikers = SystemDeviceEnum::create()->monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(monikers.size(), 1u);
  std::shared_ptr<IBaseFilter> cam;
  ASSERT_EQ(monikers[0]->BindToObject(cam), S_OK);
  auto null = std::make_shared<NullRenderer>();
  window.graph->AddFilter(cam, "Video Capture");
  window.graph->AddFilter(null, "null");
  ASSERT_EQ(window.graph->Connect(pins(cam)[0], pins(null)[0]), S_OK);
  ASSERT_EQ(window.graph->Run(), S_OK);
  ASSERT_TRUE(waitFor([&] { return null->samplesReceived() >= 2; }));

  file.write("microphone Mic\n");  // the camera is gone
  ASSERT_TRUE(waitFor([&] { return !window.lost.empty() && window.deviceChanges > 0; }));
  EXPECT_EQ(window.lost[0].object, cam);
  EXPECT_EQ(window.lost[0].param2, 0);
  EXPECT_TRUE(window.onUiThread);
  const int64_t atLoss = null->samplesReceived();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_LE(null->samplesReceived(), atLoss + 1);  // a lost device delivers nothing more

  file.write("camera Cam\n");  // plugged back
  ASSERT_TRUE(waitFor([&] { return window.lost.size() >= 2; }));
  EXPECT_EQ(window.lost[1].param2, 1);
  window.graph->Stop();
  VirtualDevices::instance().removeNotifyWindow(handle);
  ui::unregisterWindow(handle);
}
