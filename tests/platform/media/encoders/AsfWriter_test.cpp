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

}  // namespace
