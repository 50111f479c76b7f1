#include "sources/VideoCaptureDevice.h"

#include <gtest/gtest.h>

#include <QFile>

#include "platform/devices/VirtualDevices.h"
#include "platform/media/ISampleGrabber.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/filters/NullRenderer.h"
#include "platform/media/filters/SampleGrabber.h"
#include "platform/ui/MessageBoxes.h"
#include "sources/AudioCaptureDevice.h"
#include "sources/Crossbar.h"
#include "sources/DeviceTestSupport.h"
#include "sources/SourceTestFilters.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::media;
using namespace vistrel::sources;
using namespace vistrel::sources::testing;

namespace {

class VideoDeviceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    engine->fg->Stop();
    qputenv("VISTREL_DEVICES", "none");
    devices::VirtualDevices::instance().rescan();
  }
  std::shared_ptr<IMoniker> virtualDevice(const QByteArray& line, const GUID& category) {
    root.write("devices.txt", line + "\n");
    qputenv("VISTREL_DEVICES", root.file("devices.txt").toLocal8Bit());
    devices::VirtualDevices::instance().rescan();
    auto list = devices::VirtualDevices::instance().monikers(category);
    return list.empty() ? nullptr : list.front();
  }
  bool inGraph(const std::shared_ptr<IBaseFilter>& f) const { return f && engine->fg->contains(f); }
  std::shared_ptr<IBaseFilter> stamper() const { return engine->controlPreviewVideo; }

  vistrel::testing::TempRoot root;
  std::unique_ptr<EngineGraph> engine = makeEngine();
};

std::function<std::shared_ptr<IBaseFilter>()> maker(std::vector<PinSpec> pins) {
  return [pins] { return TableFilter::create(pins); };
}

// A crossbar that sends tuner, composite or S-video to its analogue output.
std::shared_ptr<IBaseFilter> cardCrossbar() {
  return TestCrossbar::create(
      {{PhysConn_Video_Tuner, -1}, {PhysConn_Video_Composite, -1}, {PhysConn_Video_SVideo, -1}},
      {{PhysConn_Video_VideoDecoder, -1}}, {{true, true, true}});
}

}  // namespace

TEST_F(VideoDeviceTest, TheTestCameraGivesAnRgbPinThatDeliversFrames) {
  auto moniker = virtualDevice("camera Test Cam", CLSID_VideoInputDeviceCategory);
  ASSERT_TRUE(moniker);
  TVideoCaptureDevice device(*engine, moniker, "Test Cam", 1);
  ASSERT_TRUE(device.Ready);
  EXPECT_EQ(device.DisplayName, "Test Cam");
  EXPECT_EQ(device.VideoStreams, 1);  // the preview pin is not a capture stream
  EXPECT_EQ(device.AudioStreams, 0);

  auto source = device.SetSourceGraph();
  ASSERT_EQ(source, device.SourceFilter);
  EXPECT_TRUE(source->inGraph());
  device.SetVideoGraph(1);
  ASSERT_TRUE(engine->VideoOutPin);
  EXPECT_EQ(engine->VideoTee, device.Module().vid_nativevideoinfinite);
  EXPECT_TRUE(inGraph(stamper()));
  std::shared_ptr<IBaseFilter> named;
  EXPECT_EQ(engine->fg->FindFilterByName(kControlPreviewVideo, named), S_OK);
  EXPECT_EQ(named, stamper());
  EXPECT_FALSE(device.Module().vid_sg->inGraph());
  std::shared_ptr<IPin> peer;
  EXPECT_EQ(engine->VideoOutPin->ConnectedTo(peer), VFW_E_NOT_CONNECTED);

  // What the engine does next: RGB 24-bit into its own chain.
  auto grabber = SampleGrabber::create();
  auto sink = NullRenderer::create();
  interfaceOf<ISampleGrabber>(grabber)->SetMediaType(
      MediaType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo));
  interfaceOf<ISampleGrabber>(grabber)->SetBufferSamples(true);
  engine->fg->AddFilter(grabber, "grabber");
  engine->fg->AddFilter(sink, "sink");
  ASSERT_EQ(engine->fg->ConnectDirect(engine->VideoOutPin, PinAt(grabber, 0), nullptr), S_OK);
  ASSERT_EQ(engine->fg->ConnectDirect(PinAt(grabber, 1), PinAt(sink, 0), nullptr), S_OK);
  ASSERT_TRUE(SUCCEEDED(engine->fg->Run()));
  std::vector<uint8_t> frame;
  EXPECT_TRUE(waitFor([&] { return interfaceOf<ISampleGrabber>(grabber)->GetCurrentBuffer(frame) == S_OK; }));
  engine->fg->Stop();
  EXPECT_FALSE(frame.empty());

  device.KillVideoGraph();
  EXPECT_EQ(engine->VideoTee, nullptr);
  EXPECT_FALSE(inGraph(stamper()));
  EXPECT_FALSE(device.Module().vid_nativevideoinfinite->inGraph());
  device.KillSourceGraph();
  EXPECT_FALSE(source->inGraph());
}

TEST_F(VideoDeviceTest, StreamsOutsideTheDeviceBuildNothing) {
  RegisteredDevice card(CLSID_VideoInputDeviceCategory, "Card",
                        maker({{PINDIR_OUTPUT, MediaType::rgb24(320, 240, 400000), PIN_CATEGORY_CAPTURE},
                               {PINDIR_OUTPUT, MediaType::pcm(48000, 2, 16)}}));
  TVideoCaptureDevice device(*engine, card.moniker(), "Card", 1);
  ASSERT_TRUE(device.Ready);
  device.SetSourceGraph();
  for (int32_t stream : {0, -1, 2}) {
    device.SetVideoGraph(stream);
    EXPECT_EQ(engine->VideoOutPin, nullptr) << stream;
    EXPECT_EQ(device.SetAudioGraph(stream), nullptr) << stream;
  }
  EXPECT_FALSE(device.Module().vid_nativevideoinfinite->inGraph());
  EXPECT_FALSE(device.Module().vid_nativeaudioinfinite->inGraph());
}

TEST_F(VideoDeviceTest, ACaptureTypeNothingCanTurnIntoRgbGivesNoVideoOutPin) {
  const MediaType odd = MediaType::video(fourccGuid(makeFourcc('Z', 'Z', 'Z', 'Z')), 320, 240, 16,
                                         makeFourcc('Z', 'Z', 'Z', 'Z'), 400000);
  RegisteredDevice card(CLSID_VideoInputDeviceCategory, "Odd",
                        maker({{PINDIR_OUTPUT, odd, PIN_CATEGORY_CAPTURE}}));
  TVideoCaptureDevice device(*engine, card.moniker(), "Odd", 1);
  ASSERT_TRUE(device.Ready);
  device.SetSourceGraph();
  device.SetVideoGraph(1);
  EXPECT_EQ(engine->VideoOutPin, nullptr);
  EXPECT_FALSE(device.Module().vid_sg->inGraph());
  EXPECT_FALSE(device.Module().vid_decoder->inGraph());
}

TEST_F(VideoDeviceTest, ACardWithSoundGivesTheAudioTeesSparePin) {
  RegisteredDevice card(CLSID_VideoInputDeviceCategory, "Card",
                        maker({{PINDIR_OUTPUT, MediaType::rgb24(320, 240, 400000), PIN_CATEGORY_CAPTURE},
                               {PINDIR_OUTPUT, MediaType::pcm(48000, 2, 16)}}));
  TVideoCaptureDevice device(*engine, card.moniker(), "Card", 1);
  ASSERT_EQ(device.AudioStreams, 1);
  device.SetSourceGraph();
  auto pin = device.SetAudioGraph(1);
  ASSERT_TRUE(pin);
  EXPECT_EQ(engine->AudioTee, device.Module().vid_nativeaudioinfinite);
  PIN_INFO info;
  pin->QueryPinInfo(info);
  EXPECT_EQ(info.pFilter, engine->AudioTee->filter());
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
  MediaType raw;
  ASSERT_EQ(PinAt(engine->AudioTee->filter(), 0)->ConnectionMediaType(raw), S_OK);
  EXPECT_EQ(raw.majortype, MEDIATYPE_Audio);

  engine->fg->AddFilter(engine->controlPreviewAudio, kControlPreviewAudio);
  device.KillAudioGraph();
  EXPECT_EQ(engine->AudioTee, nullptr);
  EXPECT_FALSE(inGraph(engine->controlPreviewAudio));
}

TEST_F(VideoDeviceTest, NativeRecordingAnswersNotReady) {
  auto* boxes = static_cast<ui::ScriptedMessageBoxes*>(
      ui::setMessageBoxService(std::make_unique<ui::ScriptedMessageBoxes>()));
  RegisteredDevice card(CLSID_VideoInputDeviceCategory, "Card",
                        maker({{PINDIR_OUTPUT, MediaType::rgb24(320, 240, 400000), PIN_CATEGORY_CAPTURE}}));
  TVideoCaptureDevice device(*engine, card.moniker(), "Card", 1);
  EXPECT_FALSE(device.BuildMuxGraph(root.file("native.avi")));
  ASSERT_EQ(boxes->asked().size(), 1u);
  EXPECT_EQ(boxes->asked()[0].text, "Not Ready");
  device.KillMuxGraph();
  EXPECT_FALSE(QFile::exists(root.file("native.avi")));
  ui::setMessageBoxService(nullptr);
}

TEST_F(VideoDeviceTest, AnAnalogueInputGetsTheFirstCrossbarThatConnects) {
  const std::vector<PinSpec> analogueCard = {
      {PINDIR_INPUT, MediaType(MEDIATYPE_AnalogVideo, GUID_NULL), PIN_CATEGORY_ANALOGVIDEOIN},
      {PINDIR_OUTPUT, MediaType::rgb24(320, 240, 400000), PIN_CATEGORY_CAPTURE}};
  RegisteredDevice broken(AM_KSCATEGORY_CROSSBAR, "Broken Crossbar", [] { return nullptr; });
  // A "crossbar" whose output is no analogue link.
  RegisteredDevice unfit(AM_KSCATEGORY_CROSSBAR, "Unfit Crossbar",
                         maker({{PINDIR_OUTPUT, MediaType::pcm(48000, 2, 16)}}));
  RegisteredDevice good(AM_KSCATEGORY_CROSSBAR, "Card Crossbar", [] { return cardCrossbar(); });
  RegisteredDevice card(CLSID_VideoInputDeviceCategory, "TV Card", maker(analogueCard));

  struct Case {
    const char* what;
    std::vector<const RegisteredDevice*> crossbars;
    bool routed;
  };
  const std::vector<Case> cases = {{"broken, unfit, good", {&broken, &unfit, &good}, true},
                                   {"good", {&good}, true},
                                   {"unfit only", {&unfit}, false},
                                   {"none", {}, false}};
  for (const Case& c : cases) {
    TMonikerList crossbars;
    for (const auto* d : c.crossbars) crossbars.Add(d->moniker());
    engine->crossbars = &crossbars;
    TVideoCaptureDevice device(*engine, card.moniker(), "TV Card", 1);
    auto source = device.SetSourceGraph();
    EXPECT_EQ(device.Module().vid_crossbar->inGraph(), c.routed) << c.what;
    auto input = PinAt(source->filter(), 0);
    if (c.routed) {
      TCrossbar crossbar(input);
      EXPECT_EQ(crossbar.InputCount(), 3) << c.what;
    } else {
      std::shared_ptr<IPin> peer;
      EXPECT_EQ(input->ConnectedTo(peer), VFW_E_NOT_CONNECTED) << c.what;
    }
    device.KillSourceGraph();
    EXPECT_TRUE(engine->fg->filters().empty()) << c.what;
    engine->crossbars = nullptr;
  }
}

TEST_F(VideoDeviceTest, TheToneMicrophoneIsAnAudioDevice) {
  auto moniker = virtualDevice("microphone Test Mic", CLSID_AudioInputDeviceCategory);
  ASSERT_TRUE(moniker);
  TAudioCaptureDevice device(*engine, moniker, "Test Mic", 1);
  ASSERT_TRUE(device.Ready);
  EXPECT_EQ(device.DeviceKind, kDeviceAudio);
  EXPECT_EQ(device.VideoStreams, 0);
  EXPECT_EQ(device.AudioStreams, 1);
  EXPECT_EQ(device.NativeFormat1, 0);
  auto source = device.SetSourceGraph();
  EXPECT_TRUE(source->inGraph());
  engine->VideoOutPin = PinAt(source->filter(), 0);
  device.SetVideoGraph(1);
  EXPECT_EQ(engine->VideoOutPin, nullptr);
  EXPECT_EQ(engine->VideoTee, nullptr);
  EXPECT_EQ(device.SetAudioGraph(2), nullptr);
  auto pin = device.SetAudioGraph(1);
  ASSERT_TRUE(pin);
  EXPECT_EQ(engine->AudioTee, device.Module().aud_nativeaudioinfinite);
  EXPECT_FALSE(device.BuildMuxGraph(root.file("x.avi")));
  device.KillAudioGraph();
  EXPECT_EQ(engine->AudioTee, nullptr);
  device.KillSourceGraph();
  EXPECT_FALSE(source->inGraph());
}
