#include <gtest/gtest.h>

#include <cerrno>

#include "platform/devices/v4l2/CollectingSink.h"
#include "platform/devices/v4l2/FakeV4l2.h"
#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2CaptureFilter.h"
#include "platform/devices/v4l2/V4l2Devices.h"
#include "platform/devices/v4l2/V4l2Formats.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/VideoProcAmpProperties.h"

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
