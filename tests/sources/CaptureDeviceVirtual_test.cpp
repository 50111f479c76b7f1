// The device classes against the virtual devices of a VISTREL_DEVICES file.
#include <gtest/gtest.h>

#include "platform/devices/VirtualDevices.h"
#include "platform/media/ISampleGrabber.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/filters/NullRenderer.h"
#include "platform/media/filters/SampleGrabber.h"
#include "sources/CaptureDevice.h"
#include "sources/Crossbar.h"
#include "sources/DeviceTestSupport.h"
#include "sources/SourceTestFilters.h"
#include "sources/Sources.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::media;
using namespace vistrel::sources;
using namespace vistrel::sources::testing;

namespace {

class VirtualDeviceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    engine->fg->Stop();
    video.Clear();
    audio.Clear();
    qputenv("VISTREL_DEVICES", "none");
    devices::VirtualDevices::instance().rescan();
  }
  void plug(const QByteArray& lines) {
    root.write("devices.txt", lines);
    qputenv("VISTREL_DEVICES", root.file("devices.txt").toLocal8Bit());
    devices::VirtualDevices::instance().rescan();
    crossbars.Populate();
    ASSERT_TRUE(video.Refresh(CLSID_VideoInputDeviceCategory));
    ASSERT_TRUE(audio.Refresh(CLSID_AudioInputDeviceCategory));
  }
  TCaptureDevice* device(const QString& display) const {
    for (const TCaptureDeviceList* list : {&video, &audio})
      for (int i = 0; i < list->Count(); ++i)
        if (list->Items(i)->DisplayName == display) return list->Items(i);
    return nullptr;
  }
  // Runs the graph with the VideoOutPin into an RGB grabber until a frame arrives.
  bool previewDelivers() {
    auto grabber = SampleGrabber::create();
    auto sink = NullRenderer::create();
    auto g = interfaceOf<ISampleGrabber>(grabber);
    g->SetBufferSamples(true);
    engine->fg->AddFilter(grabber, "grabber");
    engine->fg->AddFilter(sink, "sink");
    if (engine->fg->Connect(engine->VideoOutPin, PinAt(grabber, 0)) != S_OK) return false;
    if (engine->fg->ConnectDirect(PinAt(grabber, 1), PinAt(sink, 0), nullptr) != S_OK) return false;
    if (FAILED(engine->fg->Run())) return false;
    std::vector<uint8_t> frame;
    const bool got = waitFor([&] { return g->GetCurrentBuffer(frame) == S_OK; });
    engine->fg->Stop();
    engine->fg->RemoveFilter(grabber);
    engine->fg->RemoveFilter(sink);
    return got && !frame.empty();
  }

  vistrel::testing::TempRoot root;
  std::unique_ptr<EngineGraph> engine = makeEngine();
  TMonikerList crossbars;
  TCaptureDeviceList video{*engine};
  TCaptureDeviceList audio{*engine};
  void SetUp() override { engine->crossbars = &crossbars; }
};

}  // namespace

TEST_F(VirtualDeviceTest, EveryKindOfDeviceIsListedWithItsSources) {
  plug(
      "dvcam Sony Handycam\n"
      "dvcam Sony Handycam\n"
      "tvcard Hauppauge WinTV; sound\n"
      "mpegcard MPEG Card\n"
      "mpegencoder Hardware Encoder\n"
      "camera Webcam\n"
      "camera Webcam\n"
      "microphone Mic\n");
  struct Case {
    QString display;
    uint8_t kind;
    int32_t video, audio;
  };
  const std::vector<Case> cases = {{"DV Source", kDeviceDV, 1, 1},
                                   {"DV Source #2", kDeviceDV, 1, 1},
                                   {"Hauppauge WinTV", kDeviceVideo, 1, 1},
                                   {"MPEG Card", kDeviceVideo, 1, 0},
                                   {"Webcam", kDeviceVideo, 1, 0},
                                   {"Webcam #2", kDeviceVideo, 1, 0},
                                   {"Mic", kDeviceAudio, 0, 1}};
  for (const Case& c : cases) {
    TCaptureDevice* d = device(c.display);
    ASSERT_NE(d, nullptr) << c.display.toStdString();
    EXPECT_EQ(d->DeviceKind, c.kind) << c.display.toStdString();
    EXPECT_EQ(d->VideoStreams, c.video) << c.display.toStdString();
    EXPECT_EQ(d->AudioStreams, c.audio) << c.display.toStdString();
  }
  EXPECT_EQ(device("Hardware Encoder"), nullptr);
  EXPECT_EQ(video.Count() + audio.Count(), int(cases.size()));

  TvideoSourcesList videoSources;
  TAudioSourcesList audioSources;
  AddDeviceSources(video, videoSources, audioSources);
  AddDeviceSources(audio, videoSources, audioSources);
  std::vector<QString> videoNames, audioNames;
  for (int i = 0; i < videoSources.Count(); ++i) videoNames.push_back(videoSources.Items(i)->SourceName);
  for (int i = 0; i < audioSources.Count(); ++i) audioNames.push_back(audioSources.Items(i)->SourceName);
  std::sort(videoNames.begin(), videoNames.end());
  std::sort(audioNames.begin(), audioNames.end());
  EXPECT_EQ(videoNames,
            (std::vector<QString>{"DV Source #2 - Video", "DV Source - Video", "Hauppauge WinTV - Video",
                                  "MPEG Card", "Webcam", "Webcam #2"}));
  EXPECT_EQ(audioNames, (std::vector<QString>{"DV Source #2 - Audio", "DV Source - Audio",
                                              "Hauppauge WinTV - Audio", "Mic"}));
}

TEST_F(VirtualDeviceTest, TheDVCamcorderPreviewsDecodedFramesAndOffersItsSound) {
  plug("dvcam Sony Handycam\n");
  TCaptureDevice* dv = device("DV Source");
  ASSERT_NE(dv, nullptr);
  dv->SetSourceGraph();
  dv->SetVideoGraph(1);
  ASSERT_TRUE(engine->VideoOutPin);
  ASSERT_TRUE(engine->VideoTee);
  EXPECT_TRUE(dv->SetAudioGraph(1));
  EXPECT_TRUE(engine->AudioTee);
  EXPECT_TRUE(previewDelivers());
  TConnectedVideo description;
  MediaType raw;
  ASSERT_EQ(PinAt(engine->VideoTee->filter(), 0)->ConnectionMediaType(raw), S_OK);
  ASSERT_TRUE(DescribeVideo(raw, true, description));
  EXPECT_EQ(description.VideoWidth, 720);
  EXPECT_EQ(description.VideoHeight, 576);
  EXPECT_EQ(description.VideoFourCC, "dvsd");
  dv->KillAudioGraph();
  dv->KillVideoGraph();
  dv->KillSourceGraph();
  EXPECT_TRUE(engine->fg->filters().empty());
}

TEST_F(VirtualDeviceTest, TheCaptureCardGetsItsCrossbarWithThreeInputs) {
  for (const char* line : {"tvcard Hauppauge WinTV\n", "tvcard Hauppauge WinTV; chain\n"}) {
    plug(line);
    TCaptureDevice* card = device("Hauppauge WinTV");
    ASSERT_NE(card, nullptr) << line;
    auto source = card->SetSourceGraph();
    std::shared_ptr<IPin> analogue;
    for (int i = 0;; ++i) {
      std::shared_ptr<IPin> pin;
      if (FAILED(engine->builder->FindPin(source->filter(), PINDIR_INPUT, nullptr, nullptr, false, i, pin)))
        break;
      analogue = pin;
    }
    ASSERT_TRUE(analogue) << line;
    TCrossbar crossbar(analogue);
    std::vector<QString> names;
    for (int i = 0; i < crossbar.InputCount(); ++i) {
      QString name;
      crossbar.InputName(i, name);
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<QString>{"Video Composite", "Video SVideo", "Video Tuner"})) << line;
    size_t longest = 0;
    for (const TRouteArray& route : crossbar.Routes()) longest = std::max(longest, route.size());
    // With the chain, the tuner and composite inputs lie behind a second crossbar.
    EXPECT_EQ(longest, QByteArray(line).contains("chain") ? 2u : 1u) << line;
    for (int i = 0; i < crossbar.InputCount(); ++i) EXPECT_EQ(crossbar.RouteInput(i), S_OK) << line;
    card->SetVideoGraph(1);
    EXPECT_TRUE(engine->VideoOutPin) << line;
    card->KillVideoGraph();
    card->KillSourceGraph();
    video.Clear();
    audio.Clear();
  }
}

TEST_F(VirtualDeviceTest, TheMpegCardDecodesAndDescribesItsAspect) {
  struct Case {
    const char* line;
    int32_t x, y;
  };
  for (const Case& c :
       {Case{"mpegcard MPEG Card; aspect=0:0\n", 4, 3}, Case{"mpegcard MPEG Card; aspect=16:9\n", 16, 9}}) {
    plug(c.line);
    TCaptureDevice* card = device("MPEG Card");
    ASSERT_NE(card, nullptr) << c.line;
    card->SetSourceGraph();
    card->SetVideoGraph(1);
    ASSERT_TRUE(engine->VideoOutPin) << c.line;
    MediaType raw;
    ASSERT_EQ(PinAt(engine->VideoTee->filter(), 0)->ConnectionMediaType(raw), S_OK);
    TConnectedVideo d;
    ASSERT_TRUE(DescribeVideo(raw, true, d)) << c.line;
    EXPECT_EQ(d.VideoFourCC, "MPEG2") << c.line;
    EXPECT_EQ(d.AspectX, c.x) << c.line;
    EXPECT_EQ(d.AspectY, c.y) << c.line;
    EXPECT_TRUE(d.TemporalCompression) << c.line;
    card->KillVideoGraph();
    card->KillSourceGraph();
    video.Clear();
  }
}

TEST_F(VirtualDeviceTest, UnpluggingTheCurrentSourcesDeviceDisconnectsItBeforeItGoes) {
  plug("camera Webcam\ncamera Other\n");
  TCaptureDevice* cam = device("Webcam");
  ASSERT_NE(cam, nullptr);
  cam->SetSourceGraph();
  cam->SetVideoGraph(1);
  TVideoSource source(cam, 1);
  engine->CurrentVideo = &source;
  int calls = 0;
  engine->DisconnectVideo = [&](TVideoSource& s, bool full) {
    ++calls;
    EXPECT_TRUE(full);
    EXPECT_EQ(s.Device, device("Webcam"));  // still listed
    s.Device->KillVideoGraph();
    s.Device->KillSourceGraph();
    engine->CurrentVideo = nullptr;
    return true;
  };
  plug("camera Other\n");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(device("Webcam"), nullptr);
  EXPECT_NE(device("Other"), nullptr);
  EXPECT_TRUE(engine->fg->filters().empty());
}
