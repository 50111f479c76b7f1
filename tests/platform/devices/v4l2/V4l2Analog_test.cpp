#include <gtest/gtest.h>

#include "platform/devices/v4l2/FakeV4l2.h"
#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2CaptureFilter.h"
#include "platform/devices/v4l2/V4l2Devices.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IKsPropertySet.h"

using namespace vistrel::platform::media;
using namespace vistrel::platform::devices::v4l2;
using vistrel::testing::FakeV4l2;

namespace {
std::shared_ptr<IPin> pinAt(const std::shared_ptr<IBaseFilter>& f, int i) {
  std::shared_ptr<IEnumPins> pins;
  f->EnumPins(pins);
  return pins->all().at(static_cast<size_t>(i));
}
size_t pinCount(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> pins;
  f->EnumPins(pins);
  return pins->all().size();
}
GUID categoryOf(const std::shared_ptr<IPin>& p) {
  GUID g;
  uint32_t n = 0;
  interfaceOf<IKsPropertySet>(p)->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &g, sizeof g, &n);
  return g;
}
std::shared_ptr<IBaseFilter> bindMoniker(const std::shared_ptr<IMoniker>& m) {
  std::shared_ptr<IBaseFilter> f;
  m->BindToObject(f);
  return f;
}
QString friendly(const std::shared_ptr<IMoniker>& m) {
  QVariant v;
  m->Read(QStringLiteral("FriendlyName"), v);
  return v.toString();
}
}  // namespace

TEST(V4l2Analog, CardInputsAreACrossbarThatRoutesTheCard) {
  auto kernel = std::make_shared<FakeV4l2>();
  kernel->add(vistrel::testing::analogueCard("/dev/video0"));
  auto info = *probeDevice(*kernel, "/dev/video0");
  auto capture = std::make_shared<V4l2CaptureFilter>(kernel, info);
  auto crossbar = std::make_shared<V4l2Crossbar>(kernel, info);

  // Capture filter: capture, preview, then the analogue input.
  ASSERT_EQ(pinCount(capture), 3u);
  EXPECT_EQ(categoryOf(pinAt(capture, 0)), PIN_CATEGORY_CAPTURE);
  EXPECT_EQ(categoryOf(pinAt(capture, 1)), PIN_CATEGORY_PREVIEW);
  EXPECT_EQ(categoryOf(pinAt(capture, 2)), PIN_CATEGORY_ANALOGVIDEOIN);

  int32_t outputs = 0, inputs = 0;
  crossbar->get_PinCounts(outputs, inputs);
  EXPECT_EQ(std::make_pair(outputs, inputs), std::make_pair(1, 3));
  ASSERT_EQ(pinCount(crossbar), 4u);  // inputs first, then the output
  PIN_DIRECTION d;
  pinAt(crossbar, 3)->QueryDirection(d);
  EXPECT_EQ(d, PINDIR_OUTPUT);
  const int32_t want[] = {PhysConn_Video_Tuner, PhysConn_Video_Composite, PhysConn_Video_SVideo};
  for (int32_t i = 0; i < 3; ++i) {
    int32_t related = 0, type = 0;
    ASSERT_EQ(crossbar->get_CrossbarPinInfo(true, i, related, type), S_OK);
    EXPECT_EQ(type, want[i]);
    EXPECT_EQ(related, -1);
    EXPECT_EQ(crossbar->CanRoute(0, i), S_OK);
  }
  EXPECT_EQ(crossbar->CanRoute(0, 3), E_INVALIDARG);
  ASSERT_EQ(crossbar->Route(0, 2), S_OK);
  EXPECT_EQ(kernel->with("/dev/video0", [](auto& n) { return n.currentInput; }), 2);
  int32_t routed = -1;
  ASSERT_EQ(crossbar->get_IsRoutedTo(0, routed), S_OK);
  EXPECT_EQ(routed, 2);

  // Tuner: channel 21 of the European table is 471.25 MHz, in 62.5 kHz steps for the driver.
  auto tuner = interfaceOf<IAMTVTuner>(crossbar);
  ASSERT_TRUE(tuner);
  ASSERT_EQ(tuner->put_Channel(21, -1, -1), S_OK);
  EXPECT_EQ(kernel->with("/dev/video0", [](auto& n) { return n.frequency; }), 7540u);
  int64_t hz = 0;
  ASSERT_EQ(tuner->get_Frequency(hz), S_OK);
  EXPECT_EQ(hz, 471'250'000);
  int32_t standard = 0;
  tuner->get_TVFormat(standard);
  EXPECT_EQ(standard, AnalogVideo_PAL_B | AnalogVideo_PAL_G);
  EXPECT_EQ(tuner->put_Channel(99, -1, -1), E_INVALIDARG);
  EXPECT_FALSE(interfaceOf<IAMTVTuner>(capture));
}

TEST(V4l2Analog, TheCrossbarConnectsOnlyToItsOwnCard) {
  auto kernel = std::make_shared<FakeV4l2>();
  auto second = vistrel::testing::analogueCard("/dev/video1");
  second.bus = "PCI:0000:06:00.0";
  kernel->add(vistrel::testing::analogueCard("/dev/video0"));
  kernel->add(second);
  auto a = *probeDevice(*kernel, "/dev/video0");
  auto b = *probeDevice(*kernel, "/dev/video1");
  auto graph = FilterGraph::create();
  auto captureA = std::make_shared<V4l2CaptureFilter>(kernel, a);
  auto crossbarB = std::make_shared<V4l2Crossbar>(kernel, b);
  auto crossbarA = std::make_shared<V4l2Crossbar>(kernel, a);
  graph->AddFilter(captureA, QStringLiteral("capture"));
  graph->AddFilter(crossbarB, QStringLiteral("crossbar b"));
  graph->AddFilter(crossbarA, QStringLiteral("crossbar a"));
  auto builder = CaptureGraphBuilder2::create();
  builder->SetFiltergraph(graph);
  EXPECT_TRUE(FAILED(builder->RenderStream(nullptr, nullptr, crossbarB, nullptr, captureA)));
  EXPECT_EQ(builder->RenderStream(nullptr, nullptr, crossbarA, nullptr, captureA), S_OK);
  std::shared_ptr<IPin> peer;
  ASSERT_EQ(pinAt(captureA, 2)->ConnectedTo(peer), S_OK);
  EXPECT_EQ(peer, pinAt(crossbarA, 3));
  // The engine finds the crossbar upstream of the capture pin.
  std::shared_ptr<IAMCrossbar> found;
  EXPECT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, captureA, found), S_OK);
  EXPECT_EQ(std::dynamic_pointer_cast<V4l2Crossbar>(found), crossbarA);
}

TEST(V4l2DevicesList, EnumeratesCaptureNodesAndFollowsUnplugAndReplug) {
  auto kernel = std::make_shared<FakeV4l2>();
  kernel->add(vistrel::testing::uvcWebcam("/dev/video0"));
  auto meta = vistrel::testing::uvcWebcam("/dev/video1");  // the webcam's metadata node
  meta.caps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
  kernel->add(meta);
  kernel->add(vistrel::testing::analogueCard("/dev/video2"));
  V4l2Devices devices(kernel);

  auto video = devices.monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(video.size(), 2u);
  EXPECT_EQ(friendly(video[0]), QStringLiteral("HD Webcam C270"));
  EXPECT_EQ(friendly(video[1]), QStringLiteral("BT878 video (Hauppauge (bt878))"));
  auto crossbars = devices.monikers(AM_KSCATEGORY_CROSSBAR);
  ASSERT_EQ(crossbars.size(), 1u);  // a webcam has no crossbar
  EXPECT_TRUE(std::dynamic_pointer_cast<V4l2Crossbar>(bindMoniker(crossbars[0])));
  EXPECT_EQ(devices.monikers(CLSID_VideoInputDeviceCategory)[0]->IsEqual(video[0]), S_OK);
  EXPECT_EQ(video[1]->IsEqual(video[0]), S_FALSE);

  auto camera = bindMoniker(video[0]);
  ASSERT_TRUE(camera);
  auto graph = FilterGraph::create();
  graph->AddFilter(camera, QStringLiteral("camera"));

  testing::internal::CaptureStderr();
  kernel->unplug("/dev/video0");
  EXPECT_TRUE(devices.rescan());
  testing::internal::GetCapturedStderr();
  GraphEvent e;
  ASSERT_EQ(graph->GetEvent(e, 1000), S_OK);
  EXPECT_EQ(std::make_pair(e.code, e.param2), std::make_pair(EC_DEVICE_LOST, intptr_t(0)));
  EXPECT_EQ(devices.monikers(CLSID_VideoInputDeviceCategory).size(), 1u);
  EXPECT_FALSE(bindMoniker(video[0]));  // an unplugged device no longer binds

  // Plugged back into the same port, it comes back as another node under its old identity.
  kernel->replug(vistrel::testing::uvcWebcam("/dev/video3"));
  EXPECT_TRUE(devices.rescan());
  ASSERT_EQ(graph->GetEvent(e, 1000), S_OK);
  EXPECT_EQ(std::make_pair(e.code, e.param2), std::make_pair(EC_DEVICE_LOST, intptr_t(1)));
  auto again = devices.monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(again.size(), 2u);
  EXPECT_EQ(again[1]->IsEqual(video[0]), S_OK);
  EXPECT_EQ(friendly(again[1]), QStringLiteral("HD Webcam C270"));
  EXPECT_TRUE(bindMoniker(video[0]));
  EXPECT_EQ(std::static_pointer_cast<V4l2CaptureFilter>(camera)->path(), "/dev/video3");
  EXPECT_FALSE(devices.rescan());
}
