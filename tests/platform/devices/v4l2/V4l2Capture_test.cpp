#include <gtest/gtest.h>

#include <poll.h>

#include <cerrno>
#include <ctime>
#include <thread>

#include "platform/devices/v4l2/CollectingSink.h"
#include "platform/devices/v4l2/FakeV4l2.h"
#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2CaptureFilter.h"
#include "platform/devices/v4l2/V4l2Devices.h"
#include "platform/devices/v4l2/V4l2Formats.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/VideoProcAmpProperties.h"
#include "platform/media/filters/ColourConversion.h"

using namespace vistrel::platform::media;
using namespace vistrel::platform::devices::v4l2;
using vistrel::testing::CollectingSink;
using vistrel::testing::FakeFrame;
using vistrel::testing::FakeV4l2;

namespace {

struct CaptureRig {
  std::shared_ptr<FakeV4l2> kernel = std::make_shared<FakeV4l2>();
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<V4l2CaptureFilter> camera;
  std::shared_ptr<CollectingSink> sink = std::make_shared<CollectingSink>();

  explicit CaptureRig(vistrel::testing::FakeNode node = vistrel::testing::uvcWebcam("/dev/video0")) {
    const std::string path = node.path;
    kernel->add(std::move(node));
    auto info = probeDevice(*kernel, path);
    EXPECT_TRUE(info.has_value());
    if (info) camera = std::make_shared<V4l2CaptureFilter>(kernel, *info);
  }
  std::shared_ptr<IPin> pin(const std::shared_ptr<IBaseFilter>& f, int i) {
    std::shared_ptr<IEnumPins> pins;
    f->EnumPins(pins);
    return pins->all().at(static_cast<size_t>(i));
  }
  HRESULT connect(const MediaType& type) {
    graph->AddFilter(camera, QStringLiteral("camera"));
    graph->AddFilter(sink, QStringLiteral("sink"));
    auto config = interfaceOf<IAMStreamConfig>(pin(camera, 0));
    if (HRESULT hr = config->SetFormat(type); FAILED(hr)) return hr;
    return graph->ConnectDirect(pin(camera, 0), pin(sink, 0), nullptr);
  }
  int32_t dropped() {
    int32_t n = -1;
    camera->GetNumDropped(n);
    return n;
  }
};

MediaType yuy2(int w, int h, int fps) {
  return MediaType::video(MEDIASUBTYPE_YUY2, w, h, 16, makeFourcc('Y', 'U', 'Y', '2'), UNITS / fps);
}

bool waitForEvent(FilterGraph& graph, int32_t code, GraphEvent& out) {
  for (int i = 0; i < 100; ++i) {
    if (graph.GetEvent(out, 100) == S_OK && out.code == code) return true;
  }
  return false;
}

template <class F>
bool eventually(F f) {
  for (int i = 0; i < 500; ++i) {
    if (f()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

int64_t monotonicMicroseconds() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// A renderer that keeps every sample it receives until told to let go, as a branch that fell
// behind does: the capture pin's few buffers stay taken.
class HoldingSink : public BaseFilter {
 public:
  HoldingSink() : BaseFilter(CLSID_NullRenderer, QStringLiteral("Holding Sink")) {
    addPin(std::make_shared<In>(this));
  }
  size_t held() {
    std::lock_guard g(lock_);
    return held_.size();
  }
  void release() {
    std::lock_guard g(lock_);
    held_.clear();
  }

 private:
  class In : public BaseInputPin {
   public:
    explicit In(HoldingSink* s) : BaseInputPin(s, QStringLiteral("In")), sink_(s) {}
    HRESULT CheckMediaType(const MediaType&) override { return S_OK; }

   protected:
    HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
      std::lock_guard g(sink_->lock_);
      sink_->held_.push_back(sample);
      return S_OK;
    }

   private:
    HoldingSink* sink_;
  };
  std::mutex lock_;
  std::vector<std::shared_ptr<MediaSample>> held_;
};

}  // namespace

TEST(V4l2Probe, WebcamFormatsBecomeStreamConfigTypesInDriverOrder) {
  FakeV4l2 k;
  k.add(vistrel::testing::uvcWebcam("/dev/video0"));
  auto info = probeDevice(k, "/dev/video0");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->card, "HD Webcam C270");
  const auto formats = mediaFormats(*info);
  struct Want {
    GUID subtype;
    int w, h;
    REFERENCE_TIME interval;
  };
  const Want want[] = {{MEDIASUBTYPE_YUY2, 640, 480, UNITS / 30},  {MEDIASUBTYPE_YUY2, 640, 480, UNITS / 15},
                       {MEDIASUBTYPE_YUY2, 320, 240, UNITS / 30},  {MEDIASUBTYPE_YUY2, 320, 240, UNITS / 15},
                       {MEDIASUBTYPE_MJPG, 1280, 720, UNITS / 30}, {MEDIASUBTYPE_MJPG, 640, 480, UNITS / 30}};
  ASSERT_EQ(formats.size(), std::size(want));
  for (size_t i = 0; i < formats.size(); ++i) {
    SCOPED_TRACE(i);
    const auto& t = formats[i].type;
    EXPECT_EQ(t.majortype, MEDIATYPE_Video);
    EXPECT_EQ(t.subtype, want[i].subtype);
    EXPECT_EQ(t.formattype, FORMAT_VideoInfo);
    EXPECT_EQ(t.bitmapHeader()->biWidth, want[i].w);
    EXPECT_EQ(t.bitmapHeader()->biHeight, want[i].h);
    EXPECT_EQ(t.averageTimePerFrame(), want[i].interval);
  }
  EXPECT_EQ(formats[0].type.lSampleSize, 640u * 480 * 2);
  EXPECT_TRUE(formats[0].type.bFixedSizeSamples);
  EXPECT_FALSE(formats[4].type.bFixedSizeSamples);  // every JPEG frame has its own size
  EXPECT_GE(formats[4].type.lSampleSize, 1280u * 720 * 2);
}

TEST(V4l2Probe, StepwiseSizesOfferTheUsualSizesInRange) {
  FakeV4l2 k;
  auto node = vistrel::testing::uvcWebcam("/dev/video0");
  node.formats = {{V4L2_PIX_FMT_YUYV, "YUYV", {{320, 240}, {1280, 720}}, {{1, 30}}, true}};
  k.add(node);
  auto info = probeDevice(k, "/dev/video0");
  ASSERT_TRUE(info);
  std::vector<std::pair<uint32_t, uint32_t>> sizes;
  for (const auto& s : info->formats.at(0).sizes) sizes.emplace_back(s.width, s.height);
  // On the 16-pixel grid from 320 x 240 up to 1280 x 720 (800 x 600 is off the grid).
  const std::vector<std::pair<uint32_t, uint32_t>> want = {{320, 240}, {352, 288}, {640, 480},
                                                           {720, 480}, {720, 576}, {1280, 720}};
  EXPECT_EQ(sizes, want);
}

TEST(V4l2Probe, BadNodesAreLeftOutWithAMessage) {
  FakeV4l2 k;
  auto denied = vistrel::testing::uvcWebcam("/dev/video0");
  denied.openError = -EACCES;
  auto metadata = vistrel::testing::uvcWebcam("/dev/video1");
  metadata.caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  auto garbage = vistrel::testing::uvcWebcam("/dev/video2");
  garbage.garbageSizes = true;
  auto unknown = vistrel::testing::uvcWebcam("/dev/video3");
  // A new code on every repetition of the test: the message is said once per process.
  static char serial = 'A';
  const char last = serial++;
  unknown.formats = {{v4l2_fourcc('Z', 'Z', 'Z', last), "Mystery", {{640, 480}}, {{1, 30}}},
                     {V4L2_PIX_FMT_YUYV, "YUYV", {{640, 480}}, {{1, 30}}}};
  for (auto* n : {&denied, &metadata, &garbage, &unknown}) k.add(*n);

  testing::internal::CaptureStderr();
  EXPECT_FALSE(probeDevice(k, "/dev/video0"));
  EXPECT_FALSE(probeDevice(k, "/dev/video1"));
  auto g = probeDevice(k, "/dev/video2");
  auto u = probeDevice(k, "/dev/video3");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("/dev/video0: permission denied"), std::string::npos) << err;
  ASSERT_TRUE(g);
  // Sizes of 0 x 0 and 99999 x 99999 are garbage; the current format stands in (none here).
  for (const auto& f : g->formats)
    for (const auto& s : f.sizes) EXPECT_TRUE(s.width > 0 && s.width <= 16384) << s.width;
  ASSERT_TRUE(u);
  testing::internal::CaptureStderr();
  const auto formats = mediaFormats(*u);
  const std::string err2 = testing::internal::GetCapturedStderr();
  ASSERT_EQ(formats.size(), 1u);
  EXPECT_EQ(formats[0].type.subtype, MEDIASUBTYPE_YUY2);
  EXPECT_NE(err2.find(std::string("'ZZZ") + last + "' is not supported"), std::string::npos) << err2;
  EXPECT_EQ(k.openDescriptors(), 0);
}

TEST(V4l2Capture, StreamsFramesCountsSequenceGapsAndTearsDownCleanly) {
  CaptureRig rig;
  ASSERT_EQ(rig.connect(yuy2(320, 240, 30)), S_OK);
  for (int run = 0; run < 2; ++run) {  // the teardown leaves the device ready for the next run
    SCOPED_TRACE(run);
    ASSERT_EQ(rig.graph->Run(), S_OK);
    const uint32_t base = run * 100;
    for (uint32_t seq : {0u, 1u, 2u, 5u})  // frames 3 and 4 were lost by the driver
      rig.kernel->pushFrame("/dev/video0",
                            {vistrel::testing::yuyvFrame(320, 240, uint8_t(seq + 1)), base + seq});
    rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, 9), base + 6, true});
    rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, 7), base + 7});
    ASSERT_TRUE(rig.sink->waitFor(5 * (run + 1)));
    EXPECT_EQ(rig.graph->Stop(), S_OK);
    EXPECT_EQ(rig.kernel->openDescriptors(), 0);
    EXPECT_EQ(rig.kernel->mappings(), 0);
    EXPECT_FALSE(rig.kernel->node("/dev/video0")->streaming);
  }
  const auto samples = rig.sink->samples();
  ASSERT_EQ(samples.size(), 10u);
  const uint8_t fills[] = {1, 2, 3, 6, 7};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(samples[i].bytes.size(), 320u * 240 * 2);
    EXPECT_EQ(samples[i].bytes[100], fills[i]);
    EXPECT_GE(samples[i].start, 0);
    EXPECT_EQ(samples[i].stop - samples[i].start, UNITS / 30);
    if (i) {
      EXPECT_GE(samples[i].start, samples[i - 1].start);
    }
  }
  // Per run: two frames missing from the sequence and one the driver flagged as broken.
  EXPECT_EQ(rig.dropped(), 6);
  int32_t delivered = 0;
  rig.camera->GetNumNotDropped(delivered);
  EXPECT_EQ(delivered, 10);
}

TEST(V4l2Capture, MjpegFramesKeepTheirSizeAndBrokenOnesAreDropped) {
  CaptureRig rig;
  MediaType mjpg =
      MediaType::video(MEDIASUBTYPE_MJPG, 640, 480, 24, makeFourcc('M', 'J', 'P', 'G'), UNITS / 30);
  ASSERT_EQ(rig.connect(mjpg), S_OK);
  ASSERT_EQ(rig.graph->Run(), S_OK);
  rig.kernel->pushFrame("/dev/video0", {vistrel::testing::jpegFrame(5000, 1), 0});
  rig.kernel->pushFrame("/dev/video0", {std::vector<uint8_t>(3000, 0), 1});  // no start-of-image marker
  rig.kernel->pushFrame("/dev/video0", {vistrel::testing::jpegFrame(7000, 2), 2});
  ASSERT_TRUE(rig.sink->waitFor(2));
  rig.graph->Stop();
  const auto s = rig.sink->samples();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].bytes.size(), 5000u);
  EXPECT_EQ(s[1].bytes.size(), 7000u);
  EXPECT_EQ(rig.dropped(), 1);
}

TEST(V4l2Capture, SetFormatIsWhatTheDriverIsAskedFor) {
  CaptureRig rig;
  ASSERT_EQ(rig.connect(yuy2(640, 480, 15)), S_OK);
  MediaType connected;
  rig.pin(rig.camera, 0)->ConnectionMediaType(connected);
  EXPECT_EQ(connected.averageTimePerFrame(), UNITS / 15);
  ASSERT_EQ(rig.graph->Run(), S_OK);
  const auto pix = rig.kernel->with("/dev/video0", [](auto& n) { return n.pix; });
  EXPECT_EQ(pix.pixelformat, V4L2_PIX_FMT_YUYV);
  EXPECT_EQ(pix.width, 640u);
  rig.graph->Stop();
  // A format the device does not have is refused, before and after connection.
  auto config = interfaceOf<IAMStreamConfig>(rig.pin(rig.camera, 0));
  EXPECT_EQ(config->SetFormat(yuy2(800, 600, 30)), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(config->SetFormat(yuy2(320, 240, 30)), S_OK);  // reconnects
  rig.pin(rig.camera, 0)->ConnectionMediaType(connected);
  EXPECT_EQ(connected.bitmapHeader()->biWidth, 320);
}

TEST(V4l2Capture, AVanishedDeviceRaisesDeviceLostOnceAndStopsItsThread) {
  CaptureRig rig;
  ASSERT_EQ(rig.connect(yuy2(320, 240, 30)), S_OK);
  ASSERT_EQ(rig.graph->Run(), S_OK);
  rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, 1), 0});
  ASSERT_TRUE(rig.sink->waitFor(1));
  testing::internal::CaptureStderr();
  rig.kernel->unplug("/dev/video0");
  GraphEvent e;
  ASSERT_TRUE(waitForEvent(*rig.graph, EC_DEVICE_LOST, e));
  EXPECT_EQ(e.param2, 0);
  EXPECT_EQ(e.object, rig.camera);
  EXPECT_TRUE(rig.camera->deviceLost());
  rig.camera->setDeviceLost();  // a udev removal arriving afterwards says nothing more
  EXPECT_EQ(rig.graph->Stop(), S_OK);
  testing::internal::GetCapturedStderr();
  EXPECT_NE(rig.graph->GetEvent(e, 0), S_OK);
  EXPECT_EQ(rig.kernel->openDescriptors(), 0);
  EXPECT_EQ(rig.kernel->mappings(), 0);
  EXPECT_TRUE(FAILED(rig.graph->Run()));
  EXPECT_EQ(rig.graph->Stop(), S_OK);

  // The sources' liveness test (the filter's first output pin) fails while it is lost; the graph
  // still takes it out without leaving its sink linked to a hidden pin.
  auto builder = CaptureGraphBuilder2::create();
  builder->SetFiltergraph(rig.graph);
  std::shared_ptr<IPin> out;
  EXPECT_TRUE(FAILED(builder->FindPin(rig.camera, PINDIR_OUTPUT, nullptr, nullptr, false, 0, out)));
  ASSERT_EQ(rig.graph->RemoveFilter(rig.camera), S_OK);
  std::shared_ptr<IPin> peer;
  EXPECT_NE(rig.pin(rig.sink, 0)->ConnectedTo(peer), S_OK);
  rig.kernel->replug(vistrel::testing::uvcWebcam("/dev/video0"));
  rig.camera->setDeviceBack("/dev/video0");
  EXPECT_EQ(builder->FindPin(rig.camera, PINDIR_OUTPUT, nullptr, nullptr, false, 0, out), S_OK);
  EXPECT_NE(out->ConnectedTo(peer), S_OK);
}

TEST(V4l2Capture, BusyOrDeniedDeviceFailsTheRunWithAMessage) {
  struct Case {
    int sFmt, open;
    const char* words;
  };
  for (const Case c : {Case{-EBUSY, 0, "device busy"}, Case{0, -EACCES, "permission denied"}}) {
    SCOPED_TRACE(c.words);
    CaptureRig rig;
    ASSERT_EQ(rig.connect(yuy2(320, 240, 30)), S_OK);
    rig.kernel->with("/dev/video0", [&](auto& n) {
      n.sFmtError = c.sFmt;
      n.openError = c.open;
      return 0;
    });
    testing::internal::CaptureStderr();
    EXPECT_TRUE(FAILED(rig.graph->Run()));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.words), std::string::npos) << err;
    EXPECT_EQ(rig.kernel->openDescriptors(), 0);
    EXPECT_EQ(rig.kernel->mappings(), 0);
    EXPECT_EQ(rig.graph->Stop(), S_OK);
  }
}

TEST(V4l2Controls, ProcAmpAndCameraControlReachTheDriver) {
  CaptureRig rig;
  auto& cam = *rig.camera;
  int32_t min, max, step, def, flags, value;
  ASSERT_EQ(cam.GetRange(VideoProcAmp_Brightness, min, max, step, def, flags), S_OK);
  EXPECT_EQ(std::make_tuple(min, max, step, def), std::make_tuple(0, 255, 1, 128));
  EXPECT_EQ(cam.Set(VideoProcAmp_Brightness, 200, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(rig.kernel->with("/dev/video0", [](auto& n) { return n.values[V4L2_CID_BRIGHTNESS]; }), 200);
  EXPECT_EQ(cam.Set(VideoProcAmp_Brightness, 300, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  EXPECT_TRUE(FAILED(cam.GetRange(VideoProcAmp_Gamma, min, max, step, def, flags)));  // the camera has none

  // White balance: automatic at first; a manual value switches the automatic mode off.
  ASSERT_EQ(cam.GetRange(VideoProcAmp_WhiteBalance, min, max, step, def, flags), S_OK);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual);
  ASSERT_EQ(cam.Get(VideoProcAmp_WhiteBalance, value, flags), S_OK);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);
  EXPECT_EQ(cam.Set(VideoProcAmp_WhiteBalance, 5000, VideoProcAmp_Flags_Manual), S_OK);
  ASSERT_EQ(cam.Get(VideoProcAmp_WhiteBalance, value, flags), S_OK);
  EXPECT_EQ(std::make_pair(value, flags), std::make_pair(5000, VideoProcAmp_Flags_Manual));
  EXPECT_EQ(cam.Set(VideoProcAmp_WhiteBalance, 0, VideoProcAmp_Flags_Auto), S_OK);
  EXPECT_EQ(rig.kernel->with("/dev/video0", [](auto& n) { return n.values[V4L2_CID_AUTO_WHITE_BALANCE]; }),
            1);

  auto camera = interfaceOf<IAMCameraControl>(rig.camera);
  ASSERT_TRUE(camera);
  EXPECT_NE(static_cast<void*>(camera.get()),
            static_cast<void*>(static_cast<IAMVideoProcAmp*>(rig.camera.get())));
  ASSERT_EQ(camera->GetRange(CameraControl_Pan, min, max, step, def, flags), S_OK);
  EXPECT_EQ(std::make_tuple(min, max, step), std::make_tuple(-10, 10, 1));  // degrees
  EXPECT_EQ(camera->Set(CameraControl_Pan, 5, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(rig.kernel->with("/dev/video0", [](auto& n) { return n.values[V4L2_CID_PAN_ABSOLUTE]; }), 18000);
  // Exposure: 250 x 100 us = 1/40 s, about 2^-5.
  ASSERT_EQ(camera->Get(CameraControl_Exposure, value, flags), S_OK);
  EXPECT_EQ(value, -5);
  EXPECT_EQ(flags, CameraControl_Flags_Auto);
  EXPECT_EQ(camera->Set(CameraControl_Exposure, -7, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(rig.kernel->with("/dev/video0", [](auto& n) { return n.values[V4L2_CID_EXPOSURE_ABSOLUTE]; }),
            78);
  EXPECT_TRUE(FAILED(camera->GetRange(CameraControl_Focus, min, max, step, def, flags)));
  EXPECT_TRUE(FAILED(camera->GetRange(CameraControl_Roll, min, max, step, def, flags)));
}

TEST(V4l2Probe, GarbageFrameIntervalsAreLeftOut) {
  struct Case {
    const char* what;
    std::vector<std::pair<uint32_t, uint32_t>> intervals;
    std::vector<REFERENCE_TIME> offered;
  };
  const Case cases[] = {
      {"zeros", {{0, 0}, {1, 0}, {0, 30}, {1, 30}}, {UNITS / 30}},
      {"absurd rates and one rate twice",
       {{1, 1000000}, {1000000, 1}, {2, 60}, {1, 30}, {1, 15}},
       {UNITS / 30, UNITS / 15}},
      {"nothing sane: the usual rate stands in", {{0, 0}, {5, 0}}, {UNITS / 30}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeV4l2 k;
    auto node = vistrel::testing::uvcWebcam("/dev/video0");
    node.formats = {{V4L2_PIX_FMT_YUYV, "YUYV", {{320, 240}}, c.intervals}};
    k.add(node);
    auto info = probeDevice(k, "/dev/video0");
    ASSERT_TRUE(info);
    std::vector<REFERENCE_TIME> offered;
    for (const auto& f : mediaFormats(*info)) offered.push_back(f.type.averageTimePerFrame());
    EXPECT_EQ(offered, c.offered);
  }
}

// Drivers that answer badly while the run starts or while it streams: a message on standard
// error, a failed start or EC_ERRORABORT, never a hang, and nothing left open or mapped.
TEST(V4l2Capture, DriverTroubleEndsInAMessageAndACleanTeardown) {
  struct Case {
    const char* what;
    std::function<void(vistrel::testing::FakeNode&)> fault;
    bool runFails;  // else the run starts and the streaming thread gives up
    const char* words;
  };
  auto forced = [](uint32_t pixfmt, uint32_t w, uint32_t h) {
    v4l2_pix_format f{};
    f.pixelformat = pixfmt;
    f.width = w;
    f.height = h;
    f.sizeimage = w * h * 2;
    return f;
  };
  const Case cases[] = {
      {"another format at S_FMT", [&](auto& n) { n.forcedFormat = forced(V4L2_PIX_FMT_MJPEG, 1280, 720); },
       true, "the driver did not take YUYV 320x240 (it answered MJPG 1280x720)"},
      {"another size at S_FMT", [&](auto& n) { n.forcedFormat = forced(V4L2_PIX_FMT_YUYV, 640, 480); }, true,
       "the driver did not take YUYV 320x240 (it answered YUYV 640x480)"},
      {"one buffer", [](auto& n) { n.buffersGiven = 1; }, true, "the driver gave 1 capture buffers"},
      {"a thousand buffers", [](auto& n) { n.buffersGiven = 1000; }, true,
       "the driver gave 1000 capture buffers"},
      {"DQBUF fails for good", [](auto& n) { n.dqbufError = -EIO; }, false,
       "capture stopped after repeated errors on VIDIOC_DQBUF: Input/output error"},
      {"poll fails for good", [](auto& n) { n.pollError = -EIO; }, false,
       "capture stopped after repeated errors on poll: Input/output error"},
      {"poll reports an error condition and no buffer", [](auto& n) { n.pollRevents = POLLERR; }, false,
       "capture stopped after repeated errors on poll (the driver reports an error condition)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureRig rig;
    ASSERT_EQ(rig.connect(yuy2(320, 240, 30)), S_OK);
    rig.kernel->with("/dev/video0", [&](auto& n) {
      c.fault(n);
      return 0;
    });
    rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, 1), 0});
    testing::internal::CaptureStderr();
    if (c.runFails) {
      EXPECT_TRUE(FAILED(rig.graph->Run()));
    } else {
      ASSERT_EQ(rig.graph->Run(), S_OK);
      GraphEvent e;
      ASSERT_TRUE(waitForEvent(*rig.graph, EC_ERRORABORT, e));
    }
    EXPECT_EQ(rig.graph->Stop(), S_OK);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(std::string("/dev/video0: ") + c.words), std::string::npos) << err;
    EXPECT_EQ(rig.kernel->openDescriptors(), 0);
    EXPECT_EQ(rig.kernel->mappings(), 0);
    if (c.runFails) {
      EXPECT_TRUE(rig.sink->samples().empty());
    }
  }
}

TEST(V4l2Capture, ABufferIndexOutOfRangeIsDroppedUntilNoBufferIsLeft) {
  CaptureRig rig;
  ASSERT_EQ(rig.connect(yuy2(320, 240, 30)), S_OK);
  testing::internal::CaptureStderr();
  ASSERT_EQ(rig.graph->Run(), S_OK);
  FakeFrame bad{vistrel::testing::yuyvFrame(320, 240, 9), 1};
  bad.badIndex = true;
  rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, 1), 0});
  rig.kernel->pushFrame("/dev/video0", bad);
  rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, 3), 2});
  ASSERT_TRUE(rig.sink->waitFor(2));
  EXPECT_EQ(rig.sink->samples()[1].bytes[0], 3);
  EXPECT_EQ(rig.dropped(), 1);
  // Each such answer costs the stream a buffer the driver never gets back; with none left, the
  // capture gives up instead of waiting for ever.
  for (uint32_t seq = 3; seq < 6; ++seq) {
    bad.sequence = seq;
    rig.kernel->pushFrame("/dev/video0", bad);
  }
  GraphEvent e;
  ASSERT_TRUE(waitForEvent(*rig.graph, EC_ERRORABORT, e));
  EXPECT_EQ(rig.graph->Stop(), S_OK);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("/dev/video0: the driver returned capture buffer 99 of 4"), std::string::npos) << err;
  EXPECT_NE(err.find("no capture buffer left"), std::string::npos) << err;
  EXPECT_EQ(rig.dropped(), 4);
  EXPECT_EQ(rig.kernel->openDescriptors(), 0);
  EXPECT_EQ(rig.kernel->mappings(), 0);
}

// The driver stamps frames 40 ms apart with a 120 ms hole, although the format says 30 per second:
// the samples keep the driver's spacing exactly, on the graph clock's time line, the first one
// placed when it was captured.
TEST(V4l2Capture, DriverTimestampsAreRebasedToTheGraphClockKeepingTheirSpacing) {
  CaptureRig rig;
  ASSERT_EQ(rig.connect(yuy2(320, 240, 30)), S_OK);
  ASSERT_EQ(rig.graph->Run(), S_OK);
  ASSERT_TRUE(eventually([&] { return rig.camera->streamTime() > UNITS / 5; }));
  const int64_t offsetsUs[] = {0, 40000, 80000, 200000, 240000};
  const REFERENCE_TIME before = rig.camera->streamTime();
  const int64_t t0 = monotonicMicroseconds() - 100000;  // captured a moment ago, after the start
  for (uint32_t i = 0; i < 5; ++i) {
    FakeFrame f{vistrel::testing::yuyvFrame(320, 240, uint8_t(i)), i};
    f.timestampUs = t0 + offsetsUs[i];
    rig.kernel->pushFrame("/dev/video0", f);
  }
  ASSERT_TRUE(rig.sink->waitFor(5));
  rig.graph->Stop();
  const auto s = rig.sink->samples();
  for (size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(s[i].start - s[0].start, offsetsUs[i] * 10);
    EXPECT_EQ(s[i].stop - s[i].start, UNITS / 30);
  }
  EXPECT_GT(s[0].start, 0);
  EXPECT_LT(s[0].start, before);
}

// A branch that holds on to its samples leaves the capture pin without free buffers: those frames
// are dropped and counted, never waited for. The preview pin carries the same frames, and what it
// cannot take is not counted (it is not the recording).
TEST(V4l2Capture, FramesTheGraphCannotTakeAreCountedOnTheCapturePinOnly) {
  struct Case {
    const char* what;
    bool captureHolds;  // else the preview holds
  };
  for (const Case c : {Case{"the capture branch is late", true}, Case{"the preview branch is late", false}}) {
    SCOPED_TRACE(c.what);
    CaptureRig rig;
    auto holding = std::make_shared<HoldingSink>();
    auto preview = std::make_shared<CollectingSink>();
    rig.graph->AddFilter(holding, QStringLiteral("holding"));
    rig.graph->AddFilter(preview, QStringLiteral("preview"));
    std::shared_ptr<IBaseFilter> captureSink =
        c.captureHolds ? std::shared_ptr<IBaseFilter>(holding) : rig.sink;
    std::shared_ptr<IBaseFilter> previewSink =
        c.captureHolds ? std::shared_ptr<IBaseFilter>(preview) : std::shared_ptr<IBaseFilter>(holding);
    rig.graph->AddFilter(rig.camera, QStringLiteral("camera"));
    rig.graph->AddFilter(rig.sink, QStringLiteral("sink"));
    ASSERT_EQ(interfaceOf<IAMStreamConfig>(rig.pin(rig.camera, 0))->SetFormat(yuy2(320, 240, 30)), S_OK);
    ASSERT_EQ(rig.graph->ConnectDirect(rig.pin(rig.camera, 0), rig.pin(captureSink, 0), nullptr), S_OK);
    ASSERT_EQ(rig.graph->ConnectDirect(rig.pin(rig.camera, 1), rig.pin(previewSink, 0), nullptr), S_OK);
    MediaType previewType;
    rig.pin(rig.camera, 1)->ConnectionMediaType(previewType);
    EXPECT_EQ(previewType, yuy2(320, 240, 30));
    ASSERT_EQ(rig.graph->Run(), S_OK);
    constexpr uint32_t kFrames = 10;
    for (uint32_t i = 0; i < kFrames; ++i)
      rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, uint8_t(i)), i});
    auto* taker = c.captureHolds ? preview.get() : rig.sink.get();
    ASSERT_TRUE(taker->waitFor(kFrames));  // the other branch takes every frame
    ASSERT_TRUE(eventually(
        [&] { return rig.kernel->with("/dev/video0", [](auto& n) { return n.pending.empty(); }); }));
    ASSERT_TRUE(eventually(
        [&] { return rig.kernel->with("/dev/video0", [](auto& n) { return n.queued.size() == 4; }); }));
    int32_t delivered = 0;
    rig.camera->GetNumNotDropped(delivered);
    const size_t held = holding->held();
    EXPECT_GE(held, 1u);
    EXPECT_LT(held, kFrames);
    if (c.captureHolds) {
      EXPECT_EQ(size_t(delivered), held);
      EXPECT_EQ(rig.dropped(), int32_t(kFrames - held));
    } else {
      EXPECT_EQ(delivered, int32_t(kFrames));
      EXPECT_EQ(rig.dropped(), 0);
    }
    const auto taken = taker->samples();
    for (uint32_t i = 0; i < kFrames; ++i) EXPECT_EQ(taken[i].bytes[7], i);
    // Once the branch lets go, frames flow to it again.
    holding->release();
    rig.kernel->pushFrame("/dev/video0", {vistrel::testing::yuyvFrame(320, 240, 77), kFrames});
    ASSERT_TRUE(eventually([&] { return holding->held() == 1; }));
    rig.graph->Stop();
  }
}

namespace {
// One picture of 30 x 16 in a driver's layout, rows `stride` bytes apart: the top half red, the
// bottom half blue (BT.601 studio range for the YUV layouts).
std::vector<uint8_t> driverPicture(uint32_t pixfmt, uint32_t w, uint32_t h, uint32_t stride) {
  struct Yuv {
    uint8_t y, u, v;
  };
  const Yuv red{81, 90, 240}, blue{41, 240, 110};
  auto yuvAt = [&](uint32_t y) { return y < h / 2 ? red : blue; };
  std::vector<uint8_t> f;
  switch (pixfmt) {
    case V4L2_PIX_FMT_YUYV:
      f.assign(size_t(stride) * h, 0);
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; x += 2) {
          uint8_t* p = &f[y * stride + x * 2];
          const Yuv c = yuvAt(y);
          p[0] = c.y, p[1] = c.u, p[2] = c.y, p[3] = c.v;
        }
      return f;
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420: {
      f.assign(size_t(stride) * h * 3 / 2, 0);
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) f[y * stride + x] = yuvAt(y).y;
      uint8_t* chroma = f.data() + size_t(stride) * h;
      for (uint32_t y = 0; y < h / 2; ++y) {
        const Yuv c = yuvAt(y * 2);
        for (uint32_t x = 0; x < w / 2; ++x) {
          if (pixfmt == V4L2_PIX_FMT_NV12) {
            chroma[y * stride + 2 * x] = c.u;
            chroma[y * stride + 2 * x + 1] = c.v;
          } else {
            const size_t cs = stride / 2, plane = cs * (h / 2);
            const bool uFirst = pixfmt == V4L2_PIX_FMT_YUV420;
            chroma[(uFirst ? 0 : plane) + y * cs + x] = c.u;
            chroma[(uFirst ? plane : 0) + y * cs + x] = c.v;
          }
        }
      }
      return f;
    }
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_BGR32: {
      const uint32_t bpp = pixfmt == V4L2_PIX_FMT_BGR32 ? 4 : 3;
      f.assign(size_t(stride) * h, 0);
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
          uint8_t* p = &f[y * stride + x * bpp];
          const bool top = y < h / 2;
          const uint8_t r = top ? 255 : 0, b = top ? 0 : 255;
          p[0] = pixfmt == V4L2_PIX_FMT_RGB24 ? r : b;
          p[1] = 0;
          p[2] = pixfmt == V4L2_PIX_FMT_RGB24 ? b : r;
        }
      return f;
    }
    default: return f;
  }
}
}  // namespace

// Every uncompressed layout a driver may stream, with and without padded rows, reaches the graph
// in the layout its media type promises: the colour converter turns it into the right picture.
TEST(V4l2Capture, EveryUncompressedLayoutIsCopiedAsItsMediaTypeSays) {
  struct Case {
    const char* what;
    uint32_t pixfmt;
    GUID subtype;
    int bitCount;
    uint32_t padding;
    uint32_t sampleBytes;
  };
  constexpr uint32_t w = 30, h = 16;
  const Case cases[] = {
      {"YUYV", V4L2_PIX_FMT_YUYV, MEDIASUBTYPE_YUY2, 16, 4, w * h * 2},
      {"NV12", V4L2_PIX_FMT_NV12, MEDIASUBTYPE_NV12, 12, 0, w * h * 3 / 2},
      {"NV12 padded", V4L2_PIX_FMT_NV12, MEDIASUBTYPE_NV12, 12, 8, w * h * 3 / 2},
      {"YUV420", V4L2_PIX_FMT_YUV420, MEDIASUBTYPE_I420, 12, 0, w * h * 3 / 2},
      {"YUV420 padded", V4L2_PIX_FMT_YUV420, MEDIASUBTYPE_I420, 12, 8, w * h * 3 / 2},
      {"YVU420 padded", V4L2_PIX_FMT_YVU420, MEDIASUBTYPE_YV12, 12, 8, w * h * 3 / 2},
      {"RGB24", V4L2_PIX_FMT_RGB24, MEDIASUBTYPE_RGB24, 24, 0, dibRowBytes(w, 24) * h},
      {"BGR24 padded", V4L2_PIX_FMT_BGR24, MEDIASUBTYPE_RGB24, 24, 6, dibRowBytes(w, 24) * h},
      {"BGR32 padded", V4L2_PIX_FMT_BGR32, MEDIASUBTYPE_RGB32, 32, 8, w * 4 * h},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto node = vistrel::testing::uvcWebcam("/dev/video0");
    node.formats = {{c.pixfmt, c.what, {{w, h}}, {{1, 30}}}};
    node.linePadding = c.padding;
    CaptureRig rig(node);
    const auto type = mediaTypeFor(c.pixfmt, w, h, 1, 30);
    ASSERT_TRUE(type);
    EXPECT_EQ(type->subtype, c.subtype);
    ASSERT_EQ(rig.connect(*type), S_OK);
    ASSERT_EQ(rig.graph->Run(), S_OK);
    const uint32_t stride = rig.kernel->with("/dev/video0", [](auto& n) { return n.pix.bytesperline; });
    rig.kernel->pushFrame("/dev/video0", {driverPicture(c.pixfmt, w, h, stride), 0});
    ASSERT_TRUE(rig.sink->waitFor(1));
    rig.graph->Stop();
    const auto bytes = rig.sink->samples()[0].bytes;
    ASSERT_EQ(bytes.size(), c.sampleBytes);

    ColourConversion convert;
    ASSERT_TRUE(convert.configure(c.subtype, c.bitCount, int(w), int(h)));
    std::vector<uint8_t> rgb(convert.outputSize());
    ASSERT_TRUE(convert.convert(bytes.data(), bytes.size(), rgb.data(), rgb.size()));
    // RGB24 bottom-up: the picture's top row is the last one stored.
    auto pixel = [&](uint32_t x, uint32_t y) {
      const uint8_t* p = &rgb[(h - 1 - y) * dibRowBytes(w, 24) + x * 3];
      return std::array<int, 3>{p[2], p[1], p[0]};
    };
    for (auto [x, y, red] : {std::tuple{3u, 2u, true}, std::tuple{w - 2, 5u, true},
                             std::tuple{3u, 13u, false}, std::tuple{w - 2, h - 1, false}}) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      const auto [r, g, b] = pixel(x, y);
      EXPECT_NEAR(r, red ? 255 : 0, 12);
      EXPECT_NEAR(g, 0, 12);
      EXPECT_NEAR(b, red ? 0 : 255, 12);
    }
  }
}
