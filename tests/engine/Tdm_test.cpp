#include "engine/Tdm.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "engine/EngineTestFilters.h"
#include "filters/TVT_Resizer.h"
#include "filters/Tvt_Superposer.h"
#include "filters/Tvt_TimeStamper.h"
#include "filters/Tvt_WaveDest.h"
#include "platform/media/filters/DvVideoEncoder.h"
#include "platform/media/filters/NullRenderer.h"
#include "platform/media/filters/VideoRenderer.h"
#include "platform/ui/PropertyFrame.h"
#include "sources/AudioCaptureDevice.h"
#include "sources/Crossbar.h"
#include "sources/Sources.h"
#include "sources/VideoCaptureDevice.h"
#include "support/WaitFor.h"

using vistrel::testing::waitFor;
using namespace vistrel::platform::media;
using namespace vistrel::engine;
using vistrel::sources::TAudioCaptureDevice;
using vistrel::sources::TAudioSource;
using vistrel::sources::TCaptureDevice;
using vistrel::sources::TMonikerList;
using vistrel::sources::TVideoCaptureDevice;
using vistrel::sources::TVideoSource;
using vistrel::testing::ScriptedCaptureMoniker;
using vistrel::testing::ScriptedCaptureSpec;
using vistrel::testing::ScriptedCrossbarMoniker;
using vistrel::testing::ScriptedCrossbarSpec;
using vistrel::testing::VirtualDeviceSet;

namespace {

std::shared_ptr<IBaseFilter> filterOfPin(const std::shared_ptr<IPin>& pin) {
  PIN_INFO info;
  if (!pin || FAILED(pin->QueryPinInfo(info))) return nullptr;
  return info.pFilter;
}

std::shared_ptr<IPin> pinOf(const std::shared_ptr<IBaseFilter>& f, int index) {
  std::shared_ptr<IEnumPins> pins;
  if (!f || FAILED(f->EnumPins(pins))) return nullptr;
  const auto& all = pins->all();
  return index < static_cast<int>(all.size()) ? all[static_cast<size_t>(index)] : nullptr;
}

// The filter downstream of output pin `index` of `f`.
std::shared_ptr<IBaseFilter> downstream(const std::shared_ptr<IBaseFilter>& f, int index) {
  std::shared_ptr<IPin> peer;
  auto pin = pinOf(f, index);
  if (!pin || FAILED(pin->ConnectedTo(peer))) return nullptr;
  return filterOfPin(peer);
}

QStringList graphNames(Tdm& dm) {
  QStringList names;
  for (const auto& f : dm.Graph()->filters()) {
    FILTER_INFO info;
    f->QueryFilterInfo(info);
    names << info.achName;
  }
  names.sort();
  return names;
}

const SettingsMenuEntry* entryNamed(const SettingsMenu& menu, const QString& caption) {
  for (const auto& e : menu)
    if (e.caption == caption) return &e;
  return nullptr;
}

class TdmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    renderer_ = NullRenderer::create();
    ASSERT_TRUE(dm_.SetVideoRenderer(renderer_));
    for (const auto& m : devices_.monikers(CLSID_VideoInputDeviceCategory))
      cameras_.push_back(std::make_unique<TVideoCaptureDevice>(dm_.Engine(), m, friendly(m), 1));
    for (const auto& m : devices_.monikers(CLSID_AudioInputDeviceCategory))
      microphones_.push_back(std::make_unique<TAudioCaptureDevice>(dm_.Engine(), m, friendly(m), 1));
    ASSERT_EQ(cameras_.size(), 2u);
    ASSERT_EQ(microphones_.size(), 1u);
    for (auto& c : cameras_) {
      ASSERT_TRUE(c->Ready);
      video_.push_back(std::make_unique<TVideoSource>(c.get(), 1));
    }
    ASSERT_TRUE(microphones_[0]->Ready);
    audio_ = std::make_unique<TAudioSource>(microphones_[0].get(), 1);
  }
  void TearDown() override {
    if (auto* v = dm_.CurrentVideoSource()) dm_.Disconnect(*v, true);
    if (auto* a = dm_.CurrentAudioSource()) dm_.Disconnect(*a, true);
    vistrel::platform::ui::SetPropertyFrameRunner(nullptr);
  }
  static QString friendly(const std::shared_ptr<IMoniker>& m) {
    QVariant v;
    m->Read(QStringLiteral("FriendlyName"), v);
    return v.toString();
  }
  // The 1-based position of a format in the connected capture pin's list, 0 when absent.
  int formatPosition(const MediaType& wanted) const {
    const auto& list = dm_.CaptureFormats();
    for (size_t i = 0; i < list.size(); ++i)
      if (list[i] == wanted) return static_cast<int>(i) + 1;
    return 0;
  }
  int64_t rendered() const { return std::static_pointer_cast<NullRenderer>(renderer_)->samplesReceived(); }

  VirtualDeviceSet devices_{"camera Caméra test\ncamera Seconde caméra\nmicrophone Micro test\n"};
  Tdm dm_;
  std::shared_ptr<IBaseFilter> renderer_;
  std::vector<std::unique_ptr<TCaptureDevice>> cameras_, microphones_;
  std::vector<std::unique_ptr<TVideoSource>> video_;
  std::unique_ptr<TAudioSource> audio_;
};

const MediaType kPal = MediaType::rgb24(720, 576, UNITS / 25);

TEST_F(TdmTest, CameraRgb24ReachesVideoOutPinAndThePreviewChain) {
  // Learn the camera's list, then ask for 720x576 RGB24 at 25 fps by its index.
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  ASSERT_GT(dm_.CaptureFormatCount(), 0);
  ASSERT_LE(dm_.CaptureFormatCount(), kMaxCaptureFormats);
  dm_.FormatIndex = formatPosition(kPal);
  ASSERT_GT(dm_.FormatIndex, 0);
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  EXPECT_TRUE(video_[0]->Connected);
  EXPECT_EQ(dm_.CurrentVideoSource(), video_[0].get());

  auto out = dm_.VideoOutPin();
  ASSERT_NE(out, nullptr);
  MediaType type;
  ASSERT_EQ(out->ConnectionMediaType(type), S_OK);
  EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB24);
  ASSERT_TRUE(type.bitmapHeader());
  EXPECT_EQ(type.bitmapHeader()->biWidth, 720);
  // The decoded pin is the time-stamper's or the pin of a filter right behind it.
  auto owner = filterOfPin(out);
  std::shared_ptr<IPin> ownerInputPeer;
  if (owner != dm_.ControlPreviewVideo) {
    ASSERT_EQ(pinOf(owner, 0)->ConnectedTo(ownerInputPeer), S_OK);
    EXPECT_EQ(filterOfPin(ownerInputPeer), dm_.ControlPreviewVideo);
  }

  // ... [color1] -> Superposer -> infdecvideo -> infsupvideo -> Tamponer Video -> color3 -> renderer.
  std::shared_ptr<IPin> superInPeer;
  ASSERT_EQ(pinOf(dm_.Superposer, 0)->ConnectedTo(superInPeer), S_OK);
  EXPECT_TRUE(superInPeer == out || filterOfPin(superInPeer) == dm_.color1.filter());
  EXPECT_EQ(downstream(dm_.Superposer, 1), dm_.infdecvideo.filter());
  EXPECT_EQ(downstream(dm_.infdecvideo.filter(), 1), dm_.infsupvideo.filter());
  EXPECT_EQ(downstream(dm_.infsupvideo.filter(), 1), dm_.TamponerVideo);
  EXPECT_EQ(downstream(dm_.TamponerVideo, 1), dm_.color3.filter());
  EXPECT_EQ(downstream(dm_.color3.filter(), 1), renderer_);

  const auto& info = dm_.Engine().VideoInfo;
  EXPECT_EQ(info.VideoWidth, 720);
  EXPECT_EQ(info.VideoHeight, 576);
  EXPECT_NEAR(info.FramesPerSecond, 25.0, 1e-9);
  EXPECT_EQ(cameras_[0]->NativeFormat1, 5);
}

TEST_F(TdmTest, FramesReachTheRendererThroughTheOverlayWhileRunning) {
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  dm_.Superposer->SetOverlaySwitch(true);
  ASSERT_TRUE(dm_.Run());
  EXPECT_TRUE(waitFor([&] { return rendered() >= 5; }));
  dm_.Stop();
  const int64_t seen = rendered();
  EXPECT_GE(seen, 5);
  // Stopped: nothing more arrives.
  QThread::msleep(100);
  EXPECT_EQ(rendered(), seen);
}

TEST_F(TdmTest, TheVideoRendererDrawsThePreview) {
  auto window = VideoRenderer::create();
  ASSERT_TRUE(dm_.SetVideoRenderer(window));
  EXPECT_FALSE(dm_.Graph()->contains(renderer_));  // the previous renderer left the graph
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  EXPECT_EQ(downstream(dm_.color3.filter(), 1), window);
  ASSERT_TRUE(dm_.Run());
  auto* drawn = static_cast<VideoRenderer*>(window.get());
  EXPECT_TRUE(waitFor([&] { return drawn->framesDrawn() >= 5; }));
  dm_.Stop();
  ASSERT_TRUE(dm_.Disconnect(*video_[0], true));
  EXPECT_TRUE(dm_.Graph()->contains(window));
}

TEST(TdmVolume, FormulaTable) {
  const struct {
    int volume;
    int32_t expected;
  } cases[] = {{-50, -10000}, {0, -10000},  {1, -9247}, {10, -7397}, {100, -4989},
               {1000, -2499}, {5000, -752}, {9999, 0},  {10000, 0},  {20000, 0}};
  for (const auto& c : cases) EXPECT_EQ(VolumeToHundredthsDb(c.volume), c.expected) << c.volume;
}

TEST_F(TdmTest, VolumeReachesTheSoundOutput) {
  int32_t level = 1;
  dm_.SetVolume(0);
  ASSERT_EQ(dm_.Graph()->get_Volume(level), S_OK);
  EXPECT_EQ(level, -10000);
  dm_.SetVolume(10000);
  ASSERT_EQ(dm_.Graph()->get_Volume(level), S_OK);
  EXPECT_EQ(level, 0);
}

TEST_F(TdmTest, WebcamHasNoCrossbarAndNoInputSubmenu) {
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  EXPECT_EQ(dm_.Crossbar(), nullptr);
  EXPECT_EQ(dm_.CrossbarInputCount, 0);
  EXPECT_EQ(dm_.FirstCrossbar, nullptr);
  SettingsMenu menu;
  dm_.FillVideoSettings(menu);
  EXPECT_EQ(entryNamed(menu, kMenuVideoInputs), nullptr);
  for (const auto& e : menu) EXPECT_FALSE(e.isSeparator());
}

TEST_F(TdmTest, DisconnectAndReconnectCyclesLeaveNoFilterBehind) {
  const QStringList before = graphNames(dm_);
  for (int cycle = 0; cycle < 3; ++cycle) {
    ASSERT_TRUE(dm_.Connect(*video_[0]));
    ASSERT_TRUE(dm_.Connect(*audio_));
    // Choosing the other camera disconnects the first one fully.
    ASSERT_TRUE(dm_.Connect(*video_[1]));
    EXPECT_FALSE(video_[0]->Connected);
    EXPECT_TRUE(dm_.Disconnect(*video_[1], true));
    EXPECT_TRUE(dm_.Disconnect(*audio_, true));
    EXPECT_EQ(graphNames(dm_), before) << "cycle " << cycle;
  }
  EXPECT_EQ(dm_.CurrentVideoSource(), nullptr);
  EXPECT_EQ(dm_.CurrentAudioSource(), nullptr);
  EXPECT_FALSE(dm_.Disconnect(*video_[1], true));  // not connected any more
}

// A disconnect that failed half-way leaves its source current but no longer connected; the next
// connect must still take it down and succeed.
TEST_F(TdmTest, AHalfDisconnectedCurrentSourceDoesNotBlockTheNextConnect) {
  const QStringList before = graphNames(dm_);
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  auto first = cameras_[0]->SourceFilter->filter();
  video_[0]->Connected = false;
  ASSERT_TRUE(dm_.Connect(*video_[1]));
  EXPECT_EQ(dm_.CurrentVideoSource(), video_[1].get());
  EXPECT_FALSE(dm_.Graph()->contains(first));
  ASSERT_TRUE(dm_.Disconnect(*video_[1], true));
  EXPECT_EQ(graphNames(dm_), before);
}

TEST_F(TdmTest, NotFullDisconnectKeepsTheDeviceInTheGraph) {
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  auto source = cameras_[0]->SourceFilter->filter();
  ASSERT_TRUE(dm_.Disconnect(*video_[0], false));
  EXPECT_TRUE(dm_.Graph()->contains(source));
  EXPECT_FALSE(dm_.Graph()->contains(dm_.Superposer));
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  ASSERT_TRUE(dm_.Disconnect(*video_[0], true));
  EXPECT_FALSE(dm_.Graph()->contains(source));
}

TEST_F(TdmTest, AudioChainHasTheControlStamperRightAfterThePin) {
  ASSERT_TRUE(dm_.Connect(*audio_));
  EXPECT_TRUE(audio_->Connected);
  auto tee = dm_.AudioTee();
  ASSERT_NE(tee, nullptr);
  // The tee's first output feeds the control time-stamper.
  EXPECT_EQ(downstream(tee->filter(), 1), dm_.ControlPreviewAudio);
  EXPECT_TRUE(dm_.Graph()->contains(dm_.TamponerAudio));
  const auto& info = dm_.Engine().AudioInfo;
  EXPECT_GT(info.AudioRate, 0);
  EXPECT_GT(info.AudioBits, 0);
  EXPECT_GT(info.AudioChannels, 0);
  // Tamponer Audio ends at the sound output, perhaps through converters.
  std::shared_ptr<IBaseFilter> f = dm_.TamponerAudio;
  for (int hops = 0; hops < 4 && f && f != dm_.AudioRenderer(); ++hops) f = downstream(f, 1);
  EXPECT_EQ(f, dm_.AudioRenderer());
}

TEST_F(TdmTest, DeviceThatFailsToConnectLeavesNothingBehind) {
  const QStringList before = graphNames(dm_);
  ASSERT_TRUE(dm_.Connect(*video_[0]));

  // A capture pin whose type nothing converts to RGB 24-bit.
  auto spec = std::make_shared<ScriptedCaptureSpec>();
  MediaType odd = MediaType::rgb24(320, 240, UNITS / 25);
  odd.subtype = makeGuid("{6F646421-0000-0010-8000-00AA00389B71}");
  spec->offered = {odd};
  TVideoCaptureDevice device(dm_.Engine(), ScriptedCaptureMoniker(QStringLiteral("Odd"), spec),
                             QStringLiteral("Odd"), 1);
  ASSERT_TRUE(device.Ready);
  TVideoSource source(&device, 1);

  EXPECT_FALSE(dm_.Connect(source));
  EXPECT_FALSE(source.Connected);
  EXPECT_FALSE(video_[0]->Connected);  // disconnected before the attempt
  EXPECT_EQ(dm_.CurrentVideoSource(), nullptr);
  EXPECT_EQ(graphNames(dm_), before);

  // The next source connects normally.
  EXPECT_TRUE(dm_.Connect(*video_[0]));
}

// The capture pin's property page chooses a format; the chosen index follows it only when the
// format is in the list.
TEST_F(TdmTest, CapturePinPagesUpdateTheFormatIndexOnlyForListedFormats) {
  const MediaType small = MediaType::rgb24(320, 240, UNITS / 25);
  const MediaType vga = MediaType::rgb24(640, 480, UNITS / 25);
  const MediaType unknown = MediaType::rgb24(1280, 720, UNITS / 30);
  const struct {
    std::optional<MediaType> choice;
    int expectedIndex;
  } cases[] = {{unknown, 2}, {small, 1}, {vga, 2}, {std::nullopt, 2}};

  for (const auto& c : cases) {
    auto spec = std::make_shared<ScriptedCaptureSpec>();
    spec->offered = {small, vga};
    spec->withPages = true;
    spec->pageChoice = c.choice;
    TVideoCaptureDevice device(dm_.Engine(), ScriptedCaptureMoniker(QStringLiteral("Paged"), spec),
                               QStringLiteral("Paged"), 1);
    ASSERT_TRUE(device.Ready);
    TVideoSource source(&device, 1);
    dm_.FormatIndex = 2;
    ASSERT_TRUE(dm_.Connect(source));
    EXPECT_EQ(dm_.CaptureFormatCount(), 2);

    int reconnects = 0;
    dm_.OnSettingsChanged = [&](bool video) {
      EXPECT_TRUE(video);
      ++reconnects;
    };
    int framesShown = 0;
    vistrel::platform::ui::SetPropertyFrameRunner([&](const std::vector<PropertyPage*>& pages) {
      framesShown += static_cast<int>(pages.size());
      return true;
    });
    SettingsMenu menu;
    dm_.FillVideoSettings(menu);
    const auto* entry = entryNamed(menu, kMenuCapturePinVideo);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entryNamed(menu, kMenuFormatVideo), nullptr);  // no driver dialogs
    entry->action();
    EXPECT_EQ(framesShown, 1);
    EXPECT_EQ(reconnects, 1);
    EXPECT_EQ(dm_.FormatIndex, c.expectedIndex);
    dm_.OnSettingsChanged = nullptr;
    ASSERT_TRUE(dm_.Disconnect(source, true));
  }
}

TEST_F(TdmTest, CrossbarInputsRoutedAtConnectAndTheTunerCheckedWhenTheMenuOpens) {
  using Routes = std::vector<std::pair<int32_t, int32_t>>;
  auto xspec = std::make_shared<ScriptedCrossbarSpec>();
  // The audio input is never one of the video inputs.
  xspec->inputs = {PhysConn_Video_Composite, PhysConn_Video_Tuner, PhysConn_Audio_Tuner,
                   PhysConn_Video_SVideo};
  TMonikerList crossbars;
  crossbars.Add(ScriptedCrossbarMoniker(xspec));
  dm_.Engine().crossbars = &crossbars;
  auto spec = std::make_shared<ScriptedCaptureSpec>();
  spec->offered = {MediaType::rgb24(320, 240, UNITS / 25)};
  spec->analogInput = true;
  TVideoCaptureDevice device(dm_.Engine(), ScriptedCaptureMoniker(QStringLiteral("Card"), spec),
                             QStringLiteral("Card"), 1);
  ASSERT_TRUE(device.Ready);
  TVideoSource source(&device, 1);

  // -1 routes nothing; 2 routes the third listed input (crossbar input 3) through the route, then
  // crossbar input 2 directly.
  const struct {
    int select;
    Routes atConnect;
  } cases[] = {{-1, {}}, {2, {{0, 3}, {0, 2}}}};
  for (const auto& c : cases) {
    xspec->routes.clear();
    dm_.SetVideoInputSelect(c.select);
    ASSERT_TRUE(dm_.Connect(source));
    ASSERT_NE(dm_.Crossbar(), nullptr);
    EXPECT_EQ(dm_.CrossbarInputCount, 3);
    EXPECT_NE(dm_.FirstCrossbar, nullptr);
    EXPECT_EQ(xspec->routes, c.atConnect) << c.select;
  }

  xspec->routes.clear();
  SettingsMenu menu;
  dm_.FillVideoSettings(menu);
  ASSERT_GE(menu.size(), 2u);
  EXPECT_TRUE(menu[menu.size() - 2].isSeparator());
  const auto* inputs = entryNamed(menu, kMenuVideoInputs);
  ASSERT_NE(inputs, nullptr);
  ASSERT_EQ(inputs->submenu.size(), 3u);
  const QString names[] = {QStringLiteral("Video Composite"), QStringLiteral("Video Tuner"),
                           QStringLiteral("Video SVideo")};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(inputs->submenu[size_t(i)].caption, names[i]);
    EXPECT_TRUE(inputs->submenu[size_t(i)].radio);
    EXPECT_EQ(inputs->submenu[size_t(i)].checked, i == 1);  // the tuner, whatever was chosen
  }
  EXPECT_EQ(xspec->routes, (Routes{{0, 1}}));

  // Choosing an input remembers it and routes it, without rebuilding the graph.
  const QStringList graph = graphNames(dm_);
  inputs->submenu[2].action();
  EXPECT_EQ(dm_.VideoInputSelect(), 2);
  EXPECT_EQ(xspec->routes, (Routes{{0, 1}, {0, 3}}));
  EXPECT_EQ(graphNames(dm_), graph);

  ASSERT_TRUE(dm_.Disconnect(source, true));
  dm_.Engine().crossbars = nullptr;
}

TEST_F(TdmTest, StopCaptureRemovesTheRecordingFiltersAndKeepsThePreview) {
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  ASSERT_TRUE(dm_.Connect(*audio_));
  const QStringList preview = graphNames(dm_);
  ASSERT_TRUE(dm_.AddFilter(dm_.ControlCaptureVideo, kControlCaptureVideo));
  ASSERT_TRUE(dm_.AddFilter(dm_.AudioCapTamponer, kAudioCapTimestamper));
  ASSERT_TRUE(dm_.AddFilter(dm_.WaveDest, kWaveDest));
  ASSERT_TRUE(dm_.AddFilter(dm_.Resizer, kResizer));
  ASSERT_TRUE(SUCCEEDED(dm_.FileWriter.setGraph(dm_.Graph())));
  ASSERT_TRUE(SUCCEEDED(dm_.infdumvideo.setGraph(dm_.Graph())));
  EXPECT_NE(graphNames(dm_), preview);

  EXPECT_TRUE(dm_.StopCapture());
  EXPECT_EQ(graphNames(dm_), preview);
  EXPECT_TRUE(video_[0]->Connected);
  EXPECT_TRUE(audio_->Connected);
}

TEST_F(TdmTest, RemoveBetweenTakesOutOnlyTheMiddle) {
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  // Between the overlay filter and the renderer: the two tees, Tamponer Video and color3.
  ASSERT_TRUE(dm_.RemoveBetween(dm_.Superposer, renderer_));
  for (const auto& f : {dm_.infdecvideo.filter(), dm_.infsupvideo.filter(),
                        std::static_pointer_cast<IBaseFilter>(dm_.TamponerVideo), dm_.color3.filter()})
    EXPECT_FALSE(dm_.Graph()->contains(f));
  EXPECT_TRUE(dm_.Graph()->contains(dm_.Superposer));
  EXPECT_TRUE(dm_.Graph()->contains(renderer_));
  // With nothing left between them there is nothing to remove.
  EXPECT_FALSE(dm_.RemoveBetween(dm_.Superposer, renderer_));
}

TEST_F(TdmTest, RemoveUpstreamKeepsTheStopFilter) {
  ASSERT_TRUE(dm_.Connect(*video_[0]));
  auto source = cameras_[0]->SourceFilter->filter();
  ASSERT_TRUE(dm_.RemoveUpstream(pinOf(dm_.TamponerVideo, 1), source));
  EXPECT_TRUE(dm_.Graph()->contains(source));
  EXPECT_FALSE(dm_.Graph()->contains(dm_.TamponerVideo));
  EXPECT_FALSE(dm_.Graph()->contains(dm_.Superposer));
  EXPECT_FALSE(dm_.Graph()->contains(dm_.ControlPreviewVideo));
  EXPECT_TRUE(dm_.Graph()->contains(renderer_));
}

TEST(TdmCreation, FilterInstancesAndComponentsExist) {
  Tdm dm;
  EXPECT_TRUE(dm.Graph()->contains(dm.AudioRenderer()));
  EXPECT_TRUE(dm.TamponerVideo->processing().StripTimes());
  EXPECT_TRUE(dm.TamponerAudio->processing().StripTimes());
  EXPECT_FALSE(dm.ControlPreviewVideo->processing().StripTimes());
  EXPECT_EQ(dm.Engine().controlPreviewVideo, dm.ControlPreviewVideo);
  for (const FilterComponent* c :
       {&dm.color1, &dm.color3, &dm.infdecvideo, &dm.infsupvideo, &dm.infdumvideo, &dm.infdecaudio,
        &dm.infsupaudio, &dm.DVenc, &dm.DVmux, &dm.DVsplitter, &dm.FileWriter, &dm.writer, &dm.null})
    EXPECT_NE(c->filter(), nullptr) << c->name().toStdString();
  GUID clsid;
  ASSERT_EQ(dm.DVenc.filter()->GetClassID(clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_DVVideoEnc);
  EXPECT_TRUE(dm.Run());
  dm.Stop();
  dm.Clear();
  EXPECT_TRUE(dm.Graph()->filters().empty());
}

}  // namespace
