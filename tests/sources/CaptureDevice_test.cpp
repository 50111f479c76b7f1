#include "sources/CaptureDevice.h"

#include <gtest/gtest.h>

#include "platform/devices/VirtualDevices.h"
#include "platform/media/MediaGuids.h"
#include "sources/DeviceTestSupport.h"
#include "sources/SourceTestFilters.h"
#include "sources/Sources.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using namespace vistrel::sources;
using namespace vistrel::sources::testing;

namespace {

MediaType dvType() { return MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo); }
MediaType streamType() { return MediaType(MEDIATYPE_Stream, GUID_NULL, FORMAT_None); }
MediaType videoType() { return MediaType::rgb24(320, 240, 400000); }
MediaType audioType() { return MediaType::pcm(48000, 2, 16); }

std::function<std::shared_ptr<IBaseFilter>()> maker(std::vector<PinSpec> pins) {
  return [pins] { return TableFilter::create(pins); };
}

const std::vector<PinSpec> kWebcam = {{PINDIR_OUTPUT, videoType(), PIN_CATEGORY_CAPTURE}};

class DeviceListTest : public ::testing::Test {
 protected:
  vistrel::testing::TempRoot root;
  std::unique_ptr<EngineGraph> engine = makeEngine();
};

}  // namespace

TEST(DeviceDisplayName, AddsTheInstanceFromTwoOn) {
  const std::vector<std::tuple<QString, int32_t, QString>> cases = {{"Webcam", 1, "Webcam"},
                                                                    {"Webcam", 0, "Webcam"},
                                                                    {"Webcam", 2, "Webcam #2"},
                                                                    {"Webcam", 10, "Webcam #10"},
                                                                    {"", 3, " #3"}};
  for (const auto& [name, instance, shown] : cases) EXPECT_EQ(DeviceDisplayName(name, instance), shown);
}

TEST_F(DeviceListTest, NextInstanceIsTheSmallestFreeNumberOfThatName) {
  struct Case {
    std::vector<std::pair<QString, int32_t>> devices;
    QString name;
    int32_t expected;
  };
  const std::vector<Case> cases = {
      {{}, "A", 1},         {{{"A", 1}}, "A", 2},
      {{{"A", 1}}, "B", 1}, {{{"A", 1}, {"A", 3}}, "A", 2},
      {{{"A", 2}}, "A", 1}, {{{"A", 1}, {"A", 2}, {"A", 3}}, "A", 4},
      {{{"a", 1}}, "A", 1},
  };
  for (const Case& c : cases) {
    TCaptureDeviceList list(*engine);
    for (const auto& [name, instance] : c.devices)
      list.Add(std::make_unique<FakeDevice>(*engine, name, instance));
    EXPECT_EQ(list.NextInstance(c.name), c.expected) << c.name.toStdString() << " among " << c.devices.size();
  }
}

TEST_F(DeviceListTest, ItemsOutsideTheListAreNothing) {
  TCaptureDeviceList list(*engine);
  EXPECT_EQ(list.Items(0), nullptr);
  list.Add(std::make_unique<FakeDevice>(*engine, "A", 1));
  EXPECT_NE(list.Items(0), nullptr);
  EXPECT_EQ(list.Items(-1), nullptr);
  EXPECT_EQ(list.Items(1), nullptr);
}

TEST_F(DeviceListTest, ProbeTellsTheKindFromTheOutputPins) {
  struct Case {
    const char* what;
    std::vector<PinSpec> pins;
    uint8_t kind;
  };
  const std::vector<Case> cases = {
      {"interleaved DV", {{PINDIR_OUTPUT, dvType(), PIN_CATEGORY_CAPTURE}}, kDeviceDV},
      {"DV wins over a stream", {{PINDIR_OUTPUT, streamType()}, {PINDIR_OUTPUT, dvType()}}, kDeviceDV},
      {"byte streams only", {{PINDIR_OUTPUT, streamType(), PIN_CATEGORY_CAPTURE}}, kStreamDevice},
      {"a stream wins over video",
       {{PINDIR_OUTPUT, videoType(), PIN_CATEGORY_CAPTURE}, {PINDIR_OUTPUT, streamType()}},
       kStreamDevice},
      {"capture video", kWebcam, kDeviceVideo},
      {"video of no category", {{PINDIR_OUTPUT, videoType()}}, kDeviceVideo},
      {"video and sound",
       {{PINDIR_OUTPUT, videoType(), PIN_CATEGORY_CAPTURE}, {PINDIR_OUTPUT, audioType()}},
       kDeviceVideo},
      {"sound", {{PINDIR_OUTPUT, audioType()}}, kDeviceAudio},
      {"inputs only", {{PINDIR_INPUT, videoType()}}, kDeviceNone},
      {"no pins", {}, kDeviceNone},
  };
  for (const Case& c : cases) {
    RegisteredDevice device(CLSID_VideoInputDeviceCategory, QStringLiteral("Probe"), maker(c.pins));
    EXPECT_EQ(ProbeDevice(*engine, device.moniker()), c.kind) << c.what;
    EXPECT_FALSE(engine->test->inGraph()) << c.what;
    EXPECT_TRUE(engine->fg->filters().empty()) << c.what;
  }
  RegisteredDevice broken(CLSID_VideoInputDeviceCategory, QStringLiteral("Broken"), [] { return nullptr; });
  EXPECT_EQ(ProbeDevice(*engine, broken.moniker()), kDeviceNone);
  EXPECT_EQ(ProbeDevice(*engine, nullptr), kDeviceNone);
  EXPECT_TRUE(engine->fg->filters().empty());
}

TEST_F(DeviceListTest, TwoIdenticalWebcamsAndAReplugGetTheSmallestFreeInstance) {
  TCaptureDeviceList list(*engine);
  auto first = std::make_unique<RegisteredDevice>(CLSID_VideoInputDeviceCategory, "Webcam", maker(kWebcam));
  RegisteredDevice second(CLSID_VideoInputDeviceCategory, "Webcam", maker(kWebcam));
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(0)->Instance, 1);
  EXPECT_EQ(list.Items(0)->DisplayName, "Webcam");
  EXPECT_EQ(list.Items(1)->Instance, 2);
  EXPECT_EQ(list.Items(1)->DisplayName, "Webcam #2");
  EXPECT_EQ(list.Items(1)->DeviceKind, kDeviceVideo);
  EXPECT_EQ(list.Items(1)->NativeFormat1, 5);
  EXPECT_EQ(list.Items(1)->NativeFormat2, 0);

  // Refreshing again keeps the same devices.
  TCaptureDevice* kept = list.Items(1);
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(1), kept);

  first.reset();  // unplugged
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0)->Instance, 2);
  EXPECT_EQ(list.IndexOfMoniker(second.moniker()), 0);

  RegisteredDevice third(CLSID_VideoInputDeviceCategory, "Webcam", maker(kWebcam));
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(list.IndexOfMoniker(third.moniker()))->Instance, 1);
  EXPECT_EQ(list.Items(list.IndexOfMoniker(third.moniker()))->DisplayName, "Webcam");
}

TEST_F(DeviceListTest, StreamOnlyAndBrokenDevicesAreNotListed) {
  TCaptureDeviceList list(*engine);
  RegisteredDevice encoder(CLSID_VideoInputDeviceCategory, "MPEG Encoder",
                           maker({{PINDIR_OUTPUT, streamType(), PIN_CATEGORY_CAPTURE}}));
  RegisteredDevice broken(CLSID_VideoInputDeviceCategory, "Broken", [] { return nullptr; });
  RegisteredDevice nothing(CLSID_VideoInputDeviceCategory, "Nothing", maker({}));
  RegisteredDevice webcam(CLSID_VideoInputDeviceCategory, "Webcam", maker(kWebcam));
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0)->DisplayName, "Webcam");
  EXPECT_TRUE(engine->fg->filters().empty());
}

TEST_F(DeviceListTest, KindsOfDevicesAndTheirStreams) {
  struct Case {
    const char* what;
    std::vector<PinSpec> pins;
    uint8_t kind;
    int32_t video, audio;
    QString display;
  };
  const std::vector<Case> cases = {
      {"webcam", kWebcam, kDeviceVideo, 1, 0, "Card"},
      {"card with sound",
       {{PINDIR_OUTPUT, videoType(), PIN_CATEGORY_CAPTURE},
        {PINDIR_OUTPUT, videoType(), PIN_CATEGORY_PREVIEW},
        {PINDIR_OUTPUT, audioType()}},
       kDeviceVideo,
       1,
       1,
       "Card"},
      {"sound input",
       {{PINDIR_OUTPUT, audioType()}, {PINDIR_OUTPUT, audioType()}},
       kDeviceAudio,
       0,
       2,
       "Card"},
      {"camcorder", {{PINDIR_OUTPUT, dvType(), PIN_CATEGORY_CAPTURE}}, kDeviceDV, 1, 1, "DV Source"},
  };
  for (const Case& c : cases) {
    TCaptureDeviceList list(*engine);
    RegisteredDevice device(CLSID_VideoInputDeviceCategory, "Card", maker(c.pins));
    ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory)) << c.what;
    ASSERT_EQ(list.Count(), 1) << c.what;
    TCaptureDevice& d = *list.Items(0);
    EXPECT_EQ(d.DeviceKind, c.kind) << c.what;
    EXPECT_EQ(d.VideoStreams, c.video) << c.what;
    EXPECT_EQ(d.AudioStreams, c.audio) << c.what;
    EXPECT_EQ(d.DisplayName, c.display) << c.what;
    EXPECT_EQ(d.DeviceName, "Card") << c.what;
    EXPECT_TRUE(d.Ready && d.Present) << c.what;
    EXPECT_TRUE(engine->fg->filters().empty()) << c.what;
  }
}

TEST_F(DeviceListTest, RefreshDisconnectsTheCurrentSourcesOfAVanishedDeviceFirst) {
  TCaptureDeviceList list(*engine);
  auto card = std::make_unique<RegisteredDevice>(
      CLSID_VideoInputDeviceCategory, "Card",
      maker({{PINDIR_OUTPUT, videoType(), PIN_CATEGORY_CAPTURE}, {PINDIR_OUTPUT, audioType()}}));
  RegisteredDevice other(CLSID_VideoInputDeviceCategory, "Other", maker(kWebcam));
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 2);
  TCaptureDevice* gone = list.Items(list.IndexOfMoniker(card->moniker()));
  TVideoSource video(gone, 1);
  TAudioSource audio(gone, 1);
  engine->CurrentVideo = &video;
  engine->CurrentAudio = &audio;
  std::vector<std::string> calls;
  engine->DisconnectVideo = [&](TVideoSource& s, bool full) {
    EXPECT_EQ(&s, &video);
    EXPECT_TRUE(full);
    EXPECT_EQ(list.Count(), 2);  // still listed while it is disconnected
    calls.push_back("video");
    engine->CurrentVideo = nullptr;
    return true;
  };
  engine->DisconnectAudio = [&](TAudioSource& s, bool full) {
    EXPECT_EQ(&s, &audio);
    EXPECT_TRUE(full);
    calls.push_back("audio");
    engine->CurrentAudio = nullptr;
    return true;
  };
  card.reset();
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  EXPECT_EQ(calls, (std::vector<std::string>{"video", "audio"}));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Items(0)->DeviceName, "Other");
  EXPECT_EQ(engine->CurrentVideo, nullptr);
  EXPECT_EQ(engine->CurrentAudio, nullptr);
}

TEST_F(DeviceListTest, SourcesOfAnotherDeviceStayConnected) {
  TCaptureDeviceList list(*engine);
  auto gone = std::make_unique<RegisteredDevice>(CLSID_VideoInputDeviceCategory, "Gone", maker(kWebcam));
  RegisteredDevice kept(CLSID_VideoInputDeviceCategory, "Kept", maker(kWebcam));
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  TVideoSource video(list.Items(list.IndexOfMoniker(kept.moniker())), 1);
  engine->CurrentVideo = &video;
  bool called = false;
  engine->DisconnectVideo = [&](TVideoSource&, bool) { return called = true; };
  gone.reset();
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  EXPECT_FALSE(called);
  EXPECT_EQ(engine->CurrentVideo, &video);
  engine->CurrentVideo = nullptr;
}

TEST_F(DeviceListTest, VirtualCameraAndMicrophone) {
  root.write("devices.txt", "camera Test Cam\nmicrophone Test Mic\n");
  qputenv("VISTREL_DEVICES", root.file("devices.txt").toLocal8Bit());
  vistrel::platform::devices::VirtualDevices::instance().rescan();
  TCaptureDeviceList video(*engine), audio(*engine);
  EXPECT_TRUE(video.Refresh(CLSID_VideoInputDeviceCategory));
  EXPECT_TRUE(audio.Refresh(CLSID_AudioInputDeviceCategory));
  qputenv("VISTREL_DEVICES", "none");
  vistrel::platform::devices::VirtualDevices::instance().rescan();
  ASSERT_EQ(video.Count(), 1);
  ASSERT_EQ(audio.Count(), 1);
  EXPECT_EQ(video.Items(0)->DeviceKind, kDeviceVideo);
  EXPECT_EQ(video.Items(0)->VideoStreams, 1);
  EXPECT_EQ(video.Items(0)->AudioStreams, 0);
  EXPECT_EQ(audio.Items(0)->DeviceKind, kDeviceAudio);
  EXPECT_EQ(audio.Items(0)->AudioStreams, 1);
  TvideoSourcesList videoSources;
  TAudioSourcesList audioSources;
  AddDeviceSources(video, videoSources, audioSources);
  AddDeviceSources(audio, videoSources, audioSources);
  ASSERT_EQ(videoSources.Count(), 1);
  ASSERT_EQ(audioSources.Count(), 1);
  EXPECT_EQ(videoSources.Items(0)->SourceName, "Test Cam");
  EXPECT_EQ(audioSources.Items(0)->SourceName, "Test Mic");
}
