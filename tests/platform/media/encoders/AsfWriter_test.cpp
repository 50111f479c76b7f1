#include <gtest/gtest.h>

#include <QFileInfo>

#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/encoders/Encoders_fixture.h"
#include "platform/media/filters/AsfWriter.h"
#include "platform/media/filters/EncoderFilters.h"
#include "platform/wmf/WmProfileManager.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::media;
using vistrel::testing::PushSource;

namespace {

struct AsfGraph {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<CaptureGraphBuilder2> builder = CaptureGraphBuilder2::create();
  std::shared_ptr<IBaseFilter> mux;
  std::shared_ptr<IFileSinkFilter> sink;
  std::shared_ptr<PushSource> video, audio;

  HRESULT build(const QString& file, int width, int height, REFERENCE_TIME frame, bool withAudio,
                int rate = 44100) {
    registerEncoderFilters(*FilterMapper::instance());
    builder->SetFiltergraph(graph);
    HRESULT hr = builder->SetOutputFileName(MEDIASUBTYPE_Asf, file, mux, sink);
    if (FAILED(hr)) return hr;
    video = PushSource::create(MediaType::rgb24(width, height, frame));
    graph->AddFilter(video, QStringLiteral("video"));
    hr = graph->ConnectDirect(video->output(), vistrel::testing::pinOf(mux, 1), nullptr);
    if (FAILED(hr)) return hr;
    if (withAudio) {
      audio = PushSource::create(MediaType::pcm(rate, 2, 16));
      graph->AddFilter(audio, QStringLiteral("audio"));
      hr = graph->ConnectDirect(audio->output(), vistrel::testing::pinOf(mux, 0), nullptr);
    }
    return hr;
  }
  HRESULT configure(const std::shared_ptr<wmf::IWMProfile>& profile) {
    auto config = interfaceOf<IConfigAsfWriter>(mux);
    return config ? config->ConfigureFilterUsingProfile(profile) : E_NOINTERFACE;
  }
};

std::shared_ptr<wmf::IWMProfile> loadById(const GUID& id) {
  std::shared_ptr<wmf::IWMProfileManager> m;
  wmf::WMCreateProfileManager(m);
  std::shared_ptr<wmf::IWMProfile> p;
  m->LoadProfileByID(id, p);
  return p;
}

TEST(AsfWriter, IsItsOwnFileSinkWithAudioThenVideoPins) {
  vistrel::testing::TempRoot root;
  AsfGraph g;
  ASSERT_EQ(g.build(root.file("a.wmv"), 320, 240, 400000, true), S_OK);
  EXPECT_EQ(std::dynamic_pointer_cast<IBaseFilter>(g.sink), g.mux);
  ASSERT_EQ(vistrel::testing::pinCount(g.mux), 2);
  PIN_INFO a, v;
  vistrel::testing::pinOf(g.mux, 0)->QueryPinInfo(a);
  vistrel::testing::pinOf(g.mux, 1)->QueryPinInfo(v);
  EXPECT_EQ(a.achName, QStringLiteral("Audio Input 01"));
  EXPECT_EQ(v.achName, QStringLiteral("Video Input 01"));
}

TEST(AsfWriter, WritesWmvAndWmaAtTheProfilesSizeRateAndBitRate) {
  vistrel::testing::TempRoot root;
  const QString file = root.file("capture.wmv");
  AsfGraph g;
  // 25 fps in, the Medium preset wants 320x240 at 25 fps: the picture is scaled, not the rate.
  ASSERT_EQ(g.build(file, 640, 480, 400000, true, 48000), S_OK);
  auto profile = loadById(wmf::WMProfile_Preset_Medium);
  ASSERT_TRUE(profile);
  ASSERT_EQ(g.configure(profile), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  vistrel::testing::pushAv(g.video.get(), g.audio.get(), 75, 400000, 640, 480, 48000, 2);
  ASSERT_EQ(g.graph->Stop(), S_OK);

  auto info = vistrel::testing::probeFile(file);
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.format, QStringLiteral("asf"));
  const auto* v = info.first(true);
  const auto* a = info.first(false);
  ASSERT_TRUE(v);
  ASSERT_TRUE(a);
  EXPECT_EQ(v->codec, QStringLiteral("wmv2"));
  EXPECT_EQ(v->width, 320);
  EXPECT_EQ(v->height, 240);
  EXPECT_EQ(v->decodedFrames, 75);
  EXPECT_NEAR(v->duration, 3.0, 0.1);
  EXPECT_EQ(a->codec, QStringLiteral("wmav2"));
  EXPECT_EQ(a->sampleRate, 44100);
  EXPECT_EQ(a->channels, 2);
  EXPECT_EQ(a->bitrate, 64000);
  EXPECT_NEAR(a->duration, 3.0, 0.15);
  // The stream's size over its duration stays near the profile's video rate (702 kbit/s).
  const double total = QFileInfo(file).size() * 8.0 / 3.0;
  EXPECT_GT(total, 0.3 * 766000);
  EXPECT_LT(total, 2.0 * 766000);
}

TEST(AsfWriter, AProfileStrippedOfItsAudioWritesVideoOnlyWithTheAudioPinConnected) {
  vistrel::testing::TempRoot root;
  const QString file = root.file("silent.wmv");
  AsfGraph g;
  ASSERT_EQ(g.build(file, 320, 240, 400000, true), S_OK);
  auto profile = loadById(wmf::WMProfile_Preset_Low);
  uint32_t count = 0;
  profile->GetStreamCount(count);
  for (uint16_t n = static_cast<uint16_t>(count); n >= 1; --n) {
    std::shared_ptr<wmf::IWMStreamConfig> s;
    GUID type;
    if (profile->GetStreamByNumber(n, s) == S_OK && s->GetStreamType(type) == S_OK && type == MEDIATYPE_Audio)
      profile->RemoveStreamByNumber(n);
  }
  ASSERT_EQ(g.configure(profile), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  // 25 frames per second into a 15 fps profile: the writer keeps the profile's rate.
  vistrel::testing::pushAv(g.video.get(), g.audio.get(), 50, 400000, 320, 240, 44100, 2);
  ASSERT_EQ(g.graph->Stop(), S_OK);
  auto info = vistrel::testing::probeFile(file);
  ASSERT_TRUE(info.opened);
  EXPECT_EQ(info.streams.size(), 1u);
  EXPECT_FALSE(info.first(false));
  const auto* v = info.first(true);
  ASSERT_TRUE(v);
  EXPECT_EQ(v->codec, QStringLiteral("wmv2"));
  EXPECT_NEAR(v->decodedFrames, 30, 1);
  EXPECT_NEAR(v->duration, 2.0, 0.15);
}

TEST(AsfWriter, EverySystemProfileAndPresetConfiguresAndWrites) {
  vistrel::testing::TempRoot root;
  std::shared_ptr<wmf::IWMProfileManager> m;
  wmf::WMCreateProfileManager(m);
  std::vector<std::shared_ptr<wmf::IWMProfile>> all;
  for (wmf::WMT_VERSION v : {wmf::WMT_VER_4_0, wmf::WMT_VER_7_0, wmf::WMT_VER_8_0}) {
    m->SetSystemProfileVersion(v);
    uint32_t count = 0;
    m->GetSystemProfileCount(count);
    for (uint32_t i = 0; i < count; ++i) {
      std::shared_ptr<wmf::IWMProfile> p;
      m->LoadSystemProfile(i, p);
      all.push_back(p);
    }
  }
  for (const auto& e : wmf::presetProfiles()) all.push_back(loadById(e.id));
  int n = 0;
  for (const auto& p : all) {
    SCOPED_TRACE(p->name().toStdString());
    const QString file = root.file(QStringLiteral("p%1.wmv").arg(n++));
    AsfGraph g;
    ASSERT_EQ(g.build(file, 320, 240, 400000, true), S_OK);
    ASSERT_EQ(g.configure(p), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    vistrel::testing::pushAv(g.video.get(), g.audio.get(), 10, 400000, 320, 240, 44100, 2);
    ASSERT_EQ(g.graph->Stop(), S_OK);
    auto info = vistrel::testing::probeFile(file);
    ASSERT_TRUE(info.opened);
    auto* writer = dynamic_cast<AsfWriter*>(g.mux.get());
    EXPECT_EQ(info.first(true) != nullptr, writer->videoStream().has_value());
    EXPECT_EQ(info.first(false) != nullptr, writer->audioStream().has_value());
    for (const auto& s : info.streams) EXPECT_GT(s.decodedFrames, 0);
  }
}

struct BadStream {
  const char* what;
  int width, height;
  uint32_t bitrate;
  REFERENCE_TIME frame;
};

TEST(AsfWriter, ImpossibleProfilesAreRefusedAndTheOldOneStays) {
  vistrel::testing::TempRoot root;
  AsfGraph g;
  ASSERT_EQ(g.build(root.file("bad.wmv"), 320, 240, 400000, true), S_OK);
  auto good = loadById(wmf::WMProfile_Preset_Internet);
  ASSERT_EQ(g.configure(good), S_OK);
  const BadStream cases[] = {{"no size", 0, 0, 100000, 400000},
                             {"odd size", 321, 241, 100000, 400000},
                             {"huge size", 20000, 20000, 100000, 400000},
                             {"no bit rate", 320, 240, 0, 400000},
                             {"absurd bit rate", 320, 240, 4000000000u, 400000},
                             {"no frame rate", 320, 240, 100000, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    wmf::WmStreamDesc v;
    v.type = MEDIATYPE_Video;
    v.codec = wmf::WMMEDIASUBTYPE_WMV2;
    v.width = c.width;
    v.height = c.height;
    v.bitrate = c.bitrate;
    v.timePerFrame = c.frame;
    auto bad = wmf::createProfile(wmf::WMT_VER_8_0, QStringLiteral("bad"), GUID_NULL, {v});
    EXPECT_EQ(g.configure(bad), E_INVALIDARG);
  }
  wmf::WmStreamDesc a;
  a.type = MEDIATYPE_Audio;
  a.codec = wmf::WMMEDIASUBTYPE_WMAudioV2;
  a.bitrate = 1000;  // below what the codec can code
  a.sampleRate = 44100;
  a.channels = 2;
  EXPECT_EQ(g.configure(wmf::createProfile(wmf::WMT_VER_8_0, QStringLiteral("bad"), GUID_NULL, {a})),
            E_INVALIDARG);
  a.bitrate = 64000;
  a.channels = 6;
  EXPECT_EQ(g.configure(wmf::createProfile(wmf::WMT_VER_8_0, QStringLiteral("bad"), GUID_NULL, {a})),
            E_INVALIDARG);
  EXPECT_EQ(g.configure(wmf::createProfile(wmf::WMT_VER_8_0, QStringLiteral("empty"), GUID_NULL, {})),
            E_INVALIDARG);
  EXPECT_EQ(g.configure(nullptr), E_POINTER);
  GUID current;
  interfaceOf<IConfigAsfWriter>(g.mux)->GetCurrentProfileGuid(current);
  EXPECT_EQ(current, wmf::WMProfile_Preset_Internet);
}

TEST(AsfWriter, ConfigurationAndFileNameWaitForTheStop) {
  vistrel::testing::TempRoot root;
  AsfGraph g;
  ASSERT_EQ(g.build(root.file("first.wmv"), 320, 240, 400000, false), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  EXPECT_EQ(g.configure(loadById(wmf::WMProfile_Preset_Low)), VFW_E_NOT_STOPPED);
  EXPECT_EQ(g.sink->SetFileName(root.file("second.wmv"), nullptr), VFW_E_NOT_STOPPED);
  vistrel::testing::pushAv(g.video.get(), nullptr, 10, 400000, 320, 240, 0, 0);
  ASSERT_EQ(g.graph->Stop(), S_OK);
  // A cut: a new name between runs gives a second complete file.
  ASSERT_EQ(g.sink->SetFileName(root.file("second.wmv"), nullptr), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  vistrel::testing::pushAv(g.video.get(), nullptr, 10, 400000, 320, 240, 0, 0);
  ASSERT_EQ(g.graph->Stop(), S_OK);
  for (const char* name : {"first.wmv", "second.wmv"}) {
    auto info = vistrel::testing::probeFile(root.file(QString::fromLatin1(name)));
    ASSERT_TRUE(info.opened) << name;
    ASSERT_TRUE(info.first(true));
    EXPECT_EQ(info.first(true)->decodedFrames, 10) << name;
  }
}

TEST(AsfWriter, RefusesInputsItCannotEncode) {
  auto writer = AsfWriter::create();
  auto audio = vistrel::testing::pinOf(writer, 0);
  auto video = vistrel::testing::pinOf(writer, 1);
  EXPECT_EQ(video->QueryAccept(MediaType::rgb24(640, 480, 400000)), S_OK);
  EXPECT_NE(video->QueryAccept(MediaType::pcm(44100, 2, 16)), S_OK);
  EXPECT_NE(
      video->QueryAccept(MediaType::video(MEDIASUBTYPE_MJPG, 640, 480, 24, MEDIASUBTYPE_MJPG.Data1, 400000)),
      S_OK);
  EXPECT_EQ(audio->QueryAccept(MediaType::pcm(48000, 2, 16)), S_OK);
  EXPECT_NE(audio->QueryAccept(MediaType::pcm(48000, 2, 24)), S_OK);
  EXPECT_NE(audio->QueryAccept(MediaType::rgb24(640, 480, 400000)), S_OK);
}

}  // namespace
