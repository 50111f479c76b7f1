#include "sources/DVCaptureDevice.h"

#include <gtest/gtest.h>

#include "platform/media/IIPDVDec.h"
#include "platform/media/MediaGuids.h"
#include "sources/DeviceTestSupport.h"
#include "sources/SourceTestFilters.h"
#include "sources/Sources.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using namespace vistrel::sources;
using namespace vistrel::sources::testing;

namespace {

// A camcorder as the probe and the splitter see it: one interleaved DV capture output.
std::shared_ptr<IBaseFilter> camcorder() {
  return TableFilter::create(
      {{PINDIR_OUTPUT, MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo),
        PIN_CATEGORY_CAPTURE}});
}

class DVDeviceTest : public ::testing::Test {
 protected:
  bool inGraph(const std::shared_ptr<IBaseFilter>& f) const { return f && engine->fg->contains(f); }
  vistrel::testing::TempRoot root;
  std::unique_ptr<EngineGraph> engine = makeEngine();
  RegisteredDevice deck{CLSID_VideoInputDeviceCategory, "Sony DV Deck", camcorder};
};

}  // namespace

TEST_F(DVDeviceTest, IsAlwaysDVSourceWithOneVideoAndOneAudioStream) {
  TCaptureDeviceList list(*engine);
  RegisteredDevice second(CLSID_VideoInputDeviceCategory, "Sony DV Deck", camcorder);
  ASSERT_TRUE(list.Refresh(CLSID_VideoInputDeviceCategory));
  ASSERT_EQ(list.Count(), 2);
  const std::vector<QString> shown = {list.Items(0)->DisplayName, list.Items(1)->DisplayName};
  EXPECT_EQ(shown, (std::vector<QString>{"DV Source", "DV Source #2"}));
  for (int i = 0; i < 2; ++i) {
    TCaptureDevice& d = *list.Items(i);
    EXPECT_EQ(d.DeviceName, "Sony DV Deck");
    EXPECT_EQ(d.DeviceKind, kDeviceDV);
    EXPECT_EQ(d.VideoStreams, 1);
    EXPECT_EQ(d.AudioStreams, 1);
    EXPECT_EQ(d.NativeFormat1, 1);
    EXPECT_EQ(d.NativeFormat2, 2);
  }
  TvideoSourcesList video;
  TAudioSourcesList audio;
  AddDeviceSources(list, video, audio);
  ASSERT_EQ(video.Count(), 2);
  ASSERT_EQ(audio.Count(), 2);
  EXPECT_EQ(video.Items(0)->SourceName, "DV Source - Video");
  EXPECT_EQ(video.Items(1)->SourceName, "DV Source #2 - Video");
  EXPECT_EQ(audio.Items(0)->SourceName, "DV Source - Audio");
  // Both sources of a camcorder share its scene detector.
  ASSERT_NE(video.Items(0)->SceneDetector, nullptr);
  EXPECT_EQ(video.Items(0)->SceneDetector, audio.Items(0)->SceneDetector);
  EXPECT_NE(video.Items(0)->SceneDetector, video.Items(1)->SceneDetector);
  EXPECT_TRUE(engine->fg->filters().empty());
}

TEST_F(DVDeviceTest, SourceVideoAndAudioBranchesAndTheirRemoval) {
  TDVCaptureDevice device(*engine, deck.moniker(), "Sony DV Deck", 1);
  ASSERT_TRUE(device.Ready);
  TdmDV& dm = device.Module();
  EXPECT_EQ(device.SetSourceGraph(), dm.dv_source);
  std::shared_ptr<IBaseFilter> detector;
  ASSERT_EQ(engine->fg->FindFilterByName("dv_Scenedetect", detector), S_OK);
  EXPECT_EQ(detector, dm.sceneDetectorFilter);
  EXPECT_TRUE(dm.dv_muxinfinite->inGraph());
  EXPECT_TRUE(dm.dv_splitter->inGraph());
  // Calling it again (the other source of the camcorder) adds nothing.
  const size_t filters = engine->fg->filters().size();
  device.SetSourceGraph();
  EXPECT_EQ(engine->fg->filters().size(), filters);

  for (bool half : {false, true}) {
    engine->DVHalfSize = half;
    device.SetVideoGraph(1);
    ASSERT_TRUE(engine->VideoOutPin) << half;
    EXPECT_EQ(engine->VideoTee, dm.dv_nativevideoinfinite);
    PIN_INFO info;
    engine->VideoOutPin->QueryPinInfo(info);
    EXPECT_EQ(info.pFilter, dm.dv_dec->filter());
    int display = 0;
    interfaceOf<IIPDVDec>(dm.dv_dec->filter())->get_IPDisplay(&display);
    EXPECT_EQ(display, half ? DVRESOLUTION_HALF : DVRESOLUTION_FULL);
    EXPECT_TRUE(inGraph(engine->controlPreviewVideo));
    device.KillVideoGraph();
    EXPECT_EQ(engine->VideoTee, nullptr);
    EXPECT_FALSE(dm.dv_dec->inGraph());
    EXPECT_FALSE(inGraph(engine->controlPreviewVideo));
  }
  device.SetVideoGraph(0);
  EXPECT_EQ(engine->VideoOutPin, nullptr);
  device.SetVideoGraph(2);
  EXPECT_EQ(engine->VideoOutPin, nullptr);

  EXPECT_EQ(device.SetAudioGraph(0), nullptr);
  EXPECT_EQ(device.SetAudioGraph(2), nullptr);
  auto audio = device.SetAudioGraph(1);
  ASSERT_TRUE(audio);
  EXPECT_EQ(engine->AudioTee, dm.dv_nativeaudioinfinite);
  device.KillAudioGraph();
  EXPECT_EQ(engine->AudioTee, nullptr);

  device.KillSourceGraph();
  EXPECT_TRUE(engine->fg->filters().empty());
  // And it comes back whole.
  device.SetSourceGraph();
  EXPECT_TRUE(dm.dv_splitter->inGraph());
  device.SetVideoGraph(1);
  EXPECT_TRUE(engine->VideoOutPin);
  device.KillVideoGraph();
  device.KillSourceGraph();
  EXPECT_TRUE(engine->fg->filters().empty());
}

TEST_F(DVDeviceTest, NativeRecordingTakesTheThirdPinOfTheCamcorderTee) {
  TDVCaptureDevice device(*engine, deck.moniker(), "Sony DV Deck", 1);
  device.SetSourceGraph();
  ASSERT_TRUE(device.BuildMuxGraph(root.file("native.avi")));
  ASSERT_TRUE(engine->multiplexer);
  ASSERT_TRUE(engine->fileSink);
  QString name;
  std::optional<MediaType> type;
  engine->fileSink->GetCurFile(name, type);
  EXPECT_EQ(name, root.file("native.avi"));
  std::shared_ptr<IPin> peer;
  ASSERT_EQ(PinAt(device.Module().dv_muxinfinite->filter(), 2)->ConnectedTo(peer), S_OK);
  EXPECT_EQ(peer, PinAt(engine->multiplexer, 1));
  device.KillMuxGraph();
  EXPECT_FALSE(inGraph(engine->multiplexer));
  EXPECT_FALSE(inGraph(interfaceOf<IBaseFilter>(engine->fileSink)));
  device.KillSourceGraph();
}

TEST_F(DVDeviceTest, NativeRecordingWithoutTheSourceInTheGraphFails) {
  TDVCaptureDevice device(*engine, deck.moniker(), "Sony DV Deck", 1);
  EXPECT_FALSE(device.BuildMuxGraph(root.file("native.avi")));
  device.KillMuxGraph();
}

TEST_F(DVDeviceTest, AMonikerThatNoLongerBindsGivesADeviceThatIsNotReady) {
  RegisteredDevice broken(CLSID_VideoInputDeviceCategory, "Broken", [] { return nullptr; });
  TDVCaptureDevice device(*engine, broken.moniker(), "Broken", 1);
  EXPECT_FALSE(device.Ready);
}
