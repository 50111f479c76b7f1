#include "platform/devices/VirtualDevices.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSlider>
#include <QThread>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/devices/v4l2/V4l2PropertyPages.h"
#include "platform/devices/virtual/TestPattern.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/IAMAudioInputMixer.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/ISpecifyPropertyPages.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/filters/ColorSpaceConverter.h"
#include "platform/media/filters/FileWriter.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"
#include "platform/media/filters/SampleGrabber.h"
#include "support/TempRoot.h"
#include "support/WaitFor.h"

using vistrel::testing::waitFor;
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
  ASSERT_EQ(count, 30);
  // RGB24, YUY2 and MJPEG, each at five sizes and two rates, in that order.
  const GUID subtypes[3] = {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_MJPG};
  const int sizes[5][2] = {{320, 240}, {640, 480}, {720, 576}, {1280, 720}, {1920, 1080}};
  for (int i = 0; i < count; ++i) {
    MediaType t;
    std::vector<uint8_t> caps;
    ASSERT_EQ(cfg->GetStreamCaps(i, t, caps), S_OK);
    ASSERT_EQ(caps.size(), sizeof(VIDEO_STREAM_CONFIG_CAPS));
    VIDEO_STREAM_CONFIG_CAPS c;
    std::memcpy(&c, caps.data(), sizeof c);
    const auto bmi = t.bitmapHeader();
    ASSERT_TRUE(bmi);
    EXPECT_EQ(t.subtype, subtypes[i / 10]) << i;
    EXPECT_EQ(bmi->biWidth, sizes[i / 2 % 5][0]) << i;
    EXPECT_EQ(bmi->biHeight, sizes[i / 2 % 5][1]) << i;
    EXPECT_EQ(t.averageTimePerFrame(), i % 2 ? UNITS / 30 : UNITS / 25) << i;
    EXPECT_EQ(c.maxWidth, bmi->biWidth);
    EXPECT_EQ(c.MinFrameInterval, t.averageTimePerFrame());
    // A JPEG frame's size varies; its buffer holds a raw frame.
    EXPECT_EQ(t.bFixedSizeSamples, t.subtype != MEDIASUBTYPE_MJPG) << i;
    EXPECT_FALSE(t.bTemporalCompression);
  }
  MediaType past;
  std::vector<uint8_t> pastCaps;
  EXPECT_EQ(cfg->GetStreamCaps(count, past, pastCaps), S_FALSE);
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

// The camera's YUY2 converts each run of equal rows once: every row must still be what the
// row converted on its own gives.
TEST(TestPattern, Yuy2IsTheRowByRowConversion) {
  const int width = 320, height = 240;
  std::vector<uint8_t> rgb(dibRowBytes(width, 24) * height), yuy2(size_t(width) * 2 * height);
  renderTestPattern(rgb.data(), width, height, 37, 61000, PatternSettings{20, 90});
  rgb24ToYuy2(rgb.data(), width, height, yuy2.data());
  std::vector<uint8_t> row(size_t(width) * 2);
  for (int y = 0; y < height; ++y) {
    // Top-down row y of the YUY2 picture is stored row height-1-y of the bottom-up RGB24 one.
    rgb24ToYuy2(rgb.data() + size_t(height - 1 - y) * dibRowBytes(width, 24), width, 1, row.data());
    ASSERT_EQ(0, std::memcmp(row.data(), yuy2.data() + size_t(y) * row.size(), row.size())) << y;
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

namespace {
// Copies of the samples a Sample Grabber sees (streaming thread), with their start times.
class Grabbed : public ISampleGrabberCB {
 public:
  struct Frame {
    std::vector<uint8_t> bytes;
    REFERENCE_TIME start = -1;
  };
  HRESULT SampleCB(double, const std::shared_ptr<MediaSample>& s) override {
    if (holdFirst.count() > 0 && count() == 0) std::this_thread::sleep_for(holdFirst);
    Frame f;
    f.bytes.assign(s->data(), s->data() + s->GetActualDataLength());
    REFERENCE_TIME stop = 0;
    s->GetTime(&f.start, &stop);
    std::lock_guard g(lock_);
    frames_.push_back(std::move(f));
    return S_OK;
  }
  HRESULT BufferCB(double, const uint8_t*, int32_t) override { return S_OK; }
  std::vector<Frame> frames() {
    std::lock_guard g(lock_);
    return frames_;
  }
  size_t count() {
    std::lock_guard g(lock_);
    return frames_.size();
  }
  std::chrono::milliseconds holdFirst{0};  // the first sample holds the streaming thread so long

 private:
  std::mutex lock_;
  std::vector<Frame> frames_;
};

double meanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return a.empty() ? 0 : sum / double(a.size());
}
}  // namespace

// The camera's MJPEG: every frame a whole JPEG of its own, which the Color Space Converter turns
// back into the test pattern the camera drew at that frame's number and time.
TEST(VirtualCamera, MjpegFramesAreJpegsThatDecodeToThePattern) {
  for (const auto& [width, height] : {std::pair{320, 240}, std::pair{1280, 720}}) {
    SCOPED_TRACE(width);
    auto g = FilterGraph::create();
    auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Cam"));
    cam->Set(VideoProcAmp_Contrast, 80, VideoProcAmp_Flags_Manual);  // drawn with the settings
    auto jpegTap = std::make_shared<SampleGrabber>();
    auto csc = ColorSpaceConverter::create();
    auto rgbTap = std::make_shared<SampleGrabber>();
    auto null = std::make_shared<NullRenderer>();
    auto jpegs = std::make_shared<Grabbed>(), pictures = std::make_shared<Grabbed>();
    jpegTap->SetMediaType(MediaType(MEDIATYPE_Video, MEDIASUBTYPE_MJPG));
    jpegTap->SetCallback(jpegs, 0);
    rgbTap->SetMediaType(MediaType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
    rgbTap->SetCallback(pictures, 0);
    g->AddFilter(cam, "cam");
    g->AddFilter(jpegTap, "jpeg tap");
    g->AddFilter(csc, "csc");
    g->AddFilter(rgbTap, "rgb tap");
    g->AddFilter(null, "null");
    const MediaType format = VirtualCamera::mjpeg(width, height, UNITS / 30);
    ASSERT_EQ(interfaceOf<IAMStreamConfig>(pins(cam)[0])->SetFormat(format), S_OK);
    ASSERT_EQ(g->ConnectDirect(pins(cam)[0], pins(jpegTap)[0], nullptr), S_OK);
    ASSERT_EQ(g->ConnectDirect(pins(jpegTap)[1], pins(csc)[0], nullptr), S_OK);
    ASSERT_EQ(g->ConnectDirect(pins(csc)[1], pins(rgbTap)[0], nullptr), S_OK);
    ASSERT_EQ(g->ConnectDirect(pins(rgbTap)[1], pins(null)[0], nullptr), S_OK);
    ASSERT_EQ(g->Run(), S_OK);
    ASSERT_TRUE(waitFor([&] { return pictures->count() >= 4; }));
    ASSERT_EQ(g->Stop(), S_OK);

    const auto coded = jpegs->frames();
    const auto decoded = pictures->frames();
    ASSERT_EQ(coded.size(), decoded.size());  // every JPEG decoded
    const size_t raw = dibRowBytes(width, 24) * size_t(height);
    for (const auto& f : coded) {
      ASSERT_GE(f.bytes.size(), 4u);
      EXPECT_EQ(f.bytes[0], 0xFF);  // start of image
      EXPECT_EQ(f.bytes[1], 0xD8);
      EXPECT_EQ(f.bytes[f.bytes.size() - 2], 0xFF);  // end of image
      EXPECT_EQ(f.bytes[f.bytes.size() - 1], 0xD9);
      EXPECT_LT(f.bytes.size(), raw / 4);  // compressed
    }
    int32_t average = 0;
    cam->GetAverageFrameSize(average);
    EXPECT_GT(average, 0);
    EXPECT_LT(size_t(average), raw / 4);

    std::vector<uint8_t> expected(raw), neighbour(raw);
    for (const auto& f : decoded) {
      ASSERT_EQ(f.bytes.size(), raw);
      const int64_t n = readFrameCounter(f.bytes.data(), width, height);
      ASSERT_GE(n, 0);
      renderTestPattern(expected.data(), width, height, n, f.start / 10000, cam->pattern());
      renderTestPattern(neighbour.data(), width, height, n + 1, f.start / 10000, cam->pattern());
      // Close to the picture drawn, and much closer to it than to the next frame's.
      const double error = meanDifference(f.bytes, expected);
      EXPECT_LT(error, 4.0) << n;
      EXPECT_LT(error * 3, meanDifference(f.bytes, neighbour)) << n;
    }
  }
}

// A camera's driver keeps the frames of the periods its reader was late for: a streaming thread
// held up for more than a period by what is downstream still delivers every frame, each with
// the time it was captured, and the camera counts nothing as dropped.
TEST(VirtualCamera, AReaderHeldUpGetsTheFramesOfThePeriodsItMissed) {
  auto g = FilterGraph::create();
  auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Cam"));
  auto tap = std::make_shared<SampleGrabber>();
  auto null = std::make_shared<NullRenderer>();
  auto frames = std::make_shared<Grabbed>();
  frames->holdFirst = std::chrono::milliseconds(50);
  tap->SetCallback(frames, 0);
  g->AddFilter(cam, "cam");
  g->AddFilter(tap, "tap");
  g->AddFilter(null, "null");
  const REFERENCE_TIME interval = UNITS / 25;
  ASSERT_EQ(interfaceOf<IAMStreamConfig>(pins(cam)[0])->SetFormat(MediaType::rgb24(320, 240, interval)),
            S_OK);
  ASSERT_EQ(g->ConnectDirect(pins(cam)[0], pins(tap)[0], nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pins(tap)[1], pins(null)[0], nullptr), S_OK);
  ASSERT_EQ(g->Run(), S_OK);
  ASSERT_TRUE(waitFor([&] { return frames->count() >= 6; }));
  ASSERT_EQ(g->Stop(), S_OK);
  int32_t dropped = -1;
  cam->GetNumDropped(dropped);
  EXPECT_EQ(dropped, 0);
  const auto got = frames->frames();
  for (size_t i = 0; i < got.size(); ++i) {
    const int64_t n = readFrameCounter(got[i].bytes.data(), 320, 240);
    EXPECT_EQ(n, int64_t(i));
    // Captured one period after the other, whenever they were delivered.
    EXPECT_EQ(got[i].start - got[0].start, REFERENCE_TIME(i) * interval) << i;
  }
}

// The camera's property pages are the V4L2 cards' own: the amplifier on the filter, the stream
// format on each pin; applying them acts on the camera.
TEST(VirtualCamera, PropertyPagesSetTheAmplifierAndTheFormat) {
  auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Cam"));
  auto specify = interfaceOf<ISpecifyPropertyPages>(cam);
  ASSERT_TRUE(specify);
  std::vector<GUID> pages;
  ASSERT_EQ(specify->GetPages(pages), S_OK);
  ASSERT_EQ(pages, std::vector<GUID>{v4l2::PAGE_V4l2VideoProcAmp});
  QWidget parent;
  EXPECT_EQ(specify->CreatePage(v4l2::PAGE_V4l2StreamFormat, &parent), nullptr);
  auto* amp = dynamic_cast<v4l2::ControlPage*>(specify->CreatePage(pages[0], &parent));
  ASSERT_TRUE(amp);
  QSlider* brightness = amp->slider(VideoProcAmp_Brightness);
  QSlider* contrast = amp->slider(VideoProcAmp_Contrast);
  ASSERT_TRUE(brightness && contrast);
  EXPECT_EQ(amp->slider(VideoProcAmp_Hue), nullptr);  // the camera has brightness and contrast only
  EXPECT_EQ(amp->autoBox(VideoProcAmp_Brightness), nullptr);
  EXPECT_EQ(std::pair(brightness->minimum(), brightness->maximum()), std::pair(-100, 100));
  EXPECT_EQ(std::pair(contrast->minimum(), contrast->maximum()), std::pair(0, 200));
  EXPECT_EQ(brightness->value(), 0);
  EXPECT_EQ(contrast->value(), 100);
  brightness->setValue(-40);
  contrast->setValue(150);
  EXPECT_EQ(cam->pattern().brightness, 0);  // nothing changes before apply
  ASSERT_EQ(amp->apply(), S_OK);
  EXPECT_EQ(cam->pattern().brightness, -40);
  EXPECT_EQ(cam->pattern().contrast, 150);
  int32_t value = 0, flags = 0;
  interfaceOf<IAMVideoProcAmp>(cam)->Get(VideoProcAmp_Contrast, value, flags);
  EXPECT_EQ(value, 150);

  auto capture = pins(cam)[0];
  auto pinPages = interfaceOf<ISpecifyPropertyPages>(capture);
  ASSERT_TRUE(pinPages);
  ASSERT_EQ(pinPages->GetPages(pages), S_OK);
  ASSERT_EQ(pages, std::vector<GUID>{v4l2::PAGE_V4l2StreamFormat});
  auto* format = dynamic_cast<v4l2::StreamFormatPage*>(pinPages->CreatePage(pages[0], &parent));
  ASSERT_TRUE(format);
  ASSERT_EQ(format->formats()->count(), 30);
  const int chosen = format->formats()->findText(QStringLiteral("MJPG 1280 × 720, 25 i/s"));
  ASSERT_GE(chosen, 0);
  format->formats()->setCurrentIndex(chosen);
  ASSERT_EQ(format->apply(), S_OK);
  MediaType current;
  interfaceOf<IAMStreamConfig>(capture)->GetFormat(current);
  EXPECT_EQ(current, VirtualCamera::mjpeg(1280, 720, UNITS / 25));
}

// Camera -> Color Space Converter -> tee -> (Null Renderer, File Writer of the raw RGB24 frames):
// the file holds exactly the frames the renderer got, every one whole, and the counters burnt
// into them run on except where the camera counted a dropped frame.
TEST(VirtualCamera, GraphThroughATeeWritesExactlyTheFramesDelivered) {
  const int width = 320, height = 240;
  for (const MediaType& format :
       {MediaType::video(MEDIASUBTYPE_YUY2, width, height, 16, makeFourcc('Y', 'U', 'Y', '2'), UNITS / 30),
        VirtualCamera::mjpeg(width, height, UNITS / 30)}) {
    SCOPED_TRACE(format.subtype == MEDIASUBTYPE_YUY2 ? "YUY2" : "MJPEG");
    vistrel::testing::TempRoot root;
    auto g = FilterGraph::create();
    auto b = CaptureGraphBuilder2::create();
    b->SetFiltergraph(g);
    auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Cam"));
    auto csc = ColorSpaceConverter::create();
    auto tee = std::make_shared<InfTee>();
    auto null = std::make_shared<NullRenderer>();
    auto writer = FileWriter::create();
    interfaceOf<IFileSinkFilter>(writer)->SetFileName(root.file("frames.raw"), nullptr);
    g->AddFilter(cam, "cam");
    g->AddFilter(csc, "csc");
    g->AddFilter(tee, "tee");
    g->AddFilter(null, "null");
    g->AddFilter(writer, "writer");
    ASSERT_EQ(interfaceOf<IAMStreamConfig>(pins(cam)[0])->SetFormat(format), S_OK);
    ASSERT_EQ(b->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, std::shared_ptr<IBaseFilter>(cam), csc,
                              std::shared_ptr<IBaseFilter>(tee)),
              S_OK);
    ASSERT_EQ(g->ConnectDirect(pins(tee)[1], pins(null)[0], nullptr), S_OK);
    ASSERT_EQ(g->ConnectDirect(pins(tee)[2], pins(writer)[0], nullptr), S_OK);
    MediaType connected;
    pins(cam)[0]->ConnectionMediaType(connected);
    EXPECT_EQ(connected, format);
    pins(writer)[0]->ConnectionMediaType(connected);
    EXPECT_EQ(connected, MediaType::rgb24(width, height, UNITS / 30));

    ASSERT_EQ(g->Run(), S_OK);
    ASSERT_TRUE(waitFor([&] { return null->samplesReceived() >= 6; }));
    ASSERT_EQ(g->Stop(), S_OK);
    const int64_t frames = null->samplesReceived();
    const QByteArray file = root.read("frames.raw");
    const int frameSize = width * height * 3;
    ASSERT_EQ(tee->droppedSamples(), 0);  // the writer kept up: both branches got every frame
    ASSERT_EQ(file.size(), frames * frameSize);
    int32_t delivered = 0, dropped = 0;
    cam->GetNumNotDropped(delivered);
    cam->GetNumDropped(dropped);
    EXPECT_EQ(delivered, frames);  // nothing lost between the camera and the renderer
    int64_t previous = -1;
    int64_t gaps = 0;
    for (int64_t i = 0; i < frames; ++i) {
      const int64_t n =
          readFrameCounter(reinterpret_cast<const uint8_t*>(file.constData()) + i * frameSize, width, height);
      ASSERT_GT(n, previous) << "frame " << i;
      gaps += n - previous - 1;
      previous = n;
    }
    EXPECT_EQ(gaps, dropped);
    // Stopped means stopped: no thread delivers any more.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(null->samplesReceived(), frames);
  }
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
