#include "platform/media/filters/AcmWrapper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/media/FilterGraph.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/TestSource.h"

using namespace vistrel::platform::media;
using vistrel::testing::SinkSample;
using vistrel::testing::TestSink;
using vistrel::testing::TestSource;

namespace {
std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

// `frames` frames of 16-bit PCM holding the same value on every channel.
std::vector<uint8_t> constant16(int frames, int channels, int16_t value) {
  std::vector<int16_t> s(size_t(frames) * channels, value);
  std::vector<uint8_t> bytes(s.size() * 2);
  std::memcpy(bytes.data(), s.data(), bytes.size());
  return bytes;
}

size_t totalBytes(const std::vector<SinkSample>& all) {
  size_t n = 0;
  for (const auto& s : all) n += s.bytes.size();
  return n;
}

struct AcmGraph {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<TestSource> source;
  std::shared_ptr<IBaseFilter> acm = AcmWrapper::create();
  std::shared_ptr<TestSink> sink;
  AcmGraph(const MediaType& in, std::function<bool(const MediaType&)> accepts = nullptr,
           int32_t buffer = 1 << 16)
      : source(std::make_shared<TestSource>(std::vector<MediaType>{in}, buffer)),
        sink(std::make_shared<TestSink>(std::move(accepts))) {
    graph->AddFilter(source, QStringLiteral("source"));
    graph->AddFilter(acm, QStringLiteral("ACM Wrapper"));
    graph->AddFilter(sink, QStringLiteral("sink"));
  }
  std::shared_ptr<IPin> in() { return pinsOf(acm).at(0); }
  std::shared_ptr<IPin> out() { return pinsOf(acm).at(1); }
  std::shared_ptr<IAMStreamConfig> config() { return interfaceOf<IAMStreamConfig>(out()); }
  MediaType outputType() {
    MediaType t;
    out()->ConnectionMediaType(t);
    return t;
  }
};
}  // namespace

TEST(AcmWrapper, ConvertsRateChannelsAndDepthToTheFormatSetBeforeConnecting) {
  struct Case {
    MediaType in, out;
  } cases[] = {
      {MediaType::pcm(48000, 2, 16), MediaType::pcm(44100, 1, 16)},
      {MediaType::pcm(22050, 1, 16), MediaType::pcm(44100, 2, 16)},
      {MediaType::pcm(44100, 2, 16), MediaType::pcm(44100, 2, 8)},
  };
  for (const auto& c : cases) {
    const auto win = *c.in.waveFormat(), wout = *c.out.waveFormat();
    SCOPED_TRACE(testing::Message() << win.nSamplesPerSec << "/" << win.nChannels << "/" << win.wBitsPerSample
                                    << " -> " << wout.nSamplesPerSec << "/" << wout.nChannels << "/"
                                    << wout.wBitsPerSample);
    AcmGraph g(c.in);
    ASSERT_EQ(g.graph->ConnectDirect(g.source->outPin(), g.in(), nullptr), S_OK);
    ASSERT_EQ(g.config()->SetFormat(c.out), S_OK);
    ASSERT_EQ(g.graph->ConnectDirect(g.out(), g.sink->inPin(), nullptr), S_OK);
    EXPECT_EQ(g.outputType(), c.out);
    ASSERT_EQ(g.graph->Run(), S_OK);
    // Ten blocks of 20 ms of a constant level.
    const int frames = int(win.nSamplesPerSec) / 50;
    for (int i = 0; i < 10; ++i)
      ASSERT_EQ(g.source->push(constant16(frames, win.nChannels, 8192), REFERENCE_TIME(i) * UNITS / 50,
                               REFERENCE_TIME(i + 1) * UNITS / 50),
                S_OK);
    g.graph->Stop();
    const auto got = g.sink->received();
    ASSERT_FALSE(got.empty());
    const size_t outFrame = wout.nChannels * wout.wBitsPerSample / 8;
    const double expected = 0.2 * wout.nSamplesPerSec * outFrame;
    EXPECT_NEAR(double(totalBytes(got)), expected, 0.02 * expected);  // less only the resampler's delay
    for (const auto& s : got) EXPECT_EQ(s.bytes.size() % outFrame, 0u);
    // The level survives: look at the last block, past the filter's start.
    const auto& last = got.back().bytes;
    const double level = wout.wBitsPerSample == 16
                             ? double(reinterpret_cast<const int16_t*>(last.data())[last.size() / 4])
                             : (double(last[last.size() / 2]) - 128.0) * 256.0;
    EXPECT_NEAR(level, 8192.0, 300.0);
    EXPECT_TRUE(got.front().timed);
  }
}

TEST(AcmWrapper, SettingTheFormatOfAConnectedOutputReconnectsOrKeepsTheOld) {
  const MediaType in = MediaType::pcm(48000, 2, 16);
  bool refuse22050 = true;
  AcmGraph g(in,
             [&](const MediaType& t) { return !(refuse22050 && t.waveFormat()->nSamplesPerSec == 22050); });
  ASSERT_EQ(g.graph->ConnectDirect(g.source->outPin(), g.in(), nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(g.out(), g.sink->inPin(), nullptr), S_OK);
  EXPECT_EQ(g.outputType(), in);  // no conversion until asked

  const MediaType mono = MediaType::pcm(44100, 1, 16);
  ASSERT_EQ(g.config()->SetFormat(mono), S_OK);
  EXPECT_EQ(g.outputType(), mono);
  MediaType sinkSide;
  ASSERT_EQ(g.sink->inPin()->ConnectionMediaType(sinkSide), S_OK);
  EXPECT_EQ(sinkSide, mono);
  MediaType reported;
  ASSERT_EQ(g.config()->GetFormat(reported), S_OK);
  EXPECT_EQ(reported, mono);

  // The peer refuses: the connection keeps its type.
  EXPECT_TRUE(FAILED(g.config()->SetFormat(MediaType::pcm(22050, 2, 16))));
  EXPECT_EQ(g.outputType(), mono);
  ASSERT_EQ(g.sink->inPin()->ConnectionMediaType(sinkSide), S_OK);
  EXPECT_EQ(sinkSide, mono);

  // Not while running.
  ASSERT_EQ(g.graph->Run(), S_OK);
  EXPECT_EQ(g.config()->SetFormat(MediaType::pcm(48000, 1, 16)), VFW_E_NOT_STOPPED);
  g.graph->Stop();
}

TEST(AcmWrapper, TakesABlockWhoseAlignmentDisagreesWithItsChannels) {
  // The template came from a mono connection: 2 channels and 16 bits forced on, the alignment of
  // the mono block left in place.
  MediaType forced = MediaType::pcm(44100, 1, 16);
  WAVEFORMATEX w = *forced.waveFormat();
  w.nChannels = 2;
  w.wBitsPerSample = 16;
  w.nAvgBytesPerSec = 4 * 44100;
  forced.setFormat(w);  // nBlockAlign stays 2
  AcmGraph g(MediaType::pcm(48000, 2, 16));
  ASSERT_EQ(g.graph->ConnectDirect(g.source->outPin(), g.in(), nullptr), S_OK);
  ASSERT_EQ(g.config()->SetFormat(forced), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(g.out(), g.sink->inPin(), nullptr), S_OK);
  EXPECT_EQ(g.outputType(), forced);
  ASSERT_EQ(g.graph->Run(), S_OK);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(g.source->push(constant16(960, 2, 100)), S_OK);
  g.graph->Stop();
  const double expected = 0.1 * 44100 * 4;  // stereo frames, whatever nBlockAlign says
  EXPECT_NEAR(double(totalBytes(g.sink->received())), expected, 0.03 * expected);
}

TEST(AcmWrapper, RefusesWhatIsNotPcmItCanConvert) {
  auto withWave = [](MediaType t, const std::function<void(WAVEFORMATEX&)>& change) {
    auto w = *t.waveFormat();
    change(w);
    t.setFormat(w);
    return t;
  };
  const MediaType pcm = MediaType::pcm(44100, 2, 16);
  MediaType mpeg = pcm;
  mpeg.subtype = MEDIASUBTYPE_MPEG1AudioPayload;
  MediaType extraMissing = withWave(pcm, [](auto& w) { w.cbSize = 12; });  // says 12 more bytes, has none
  struct Case {
    const char* what;
    MediaType type;
  } cases[] = {
      {"MPEG audio", mpeg},
      {"a format tag that is not PCM", withWave(pcm, [](auto& w) { w.wFormatTag = WAVE_FORMAT_MPEG; })},
      {"24 bits", withWave(pcm, [](auto& w) { w.wBitsPerSample = 24; })},
      {"six channels", withWave(pcm, [](auto& w) { w.nChannels = 6; })},
      {"no rate", withWave(pcm, [](auto& w) { w.nSamplesPerSec = 0; })},
      {"a block shorter than it says", extraMissing},
      {"video", MediaType::rgb24(4, 4, 0)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(AcmWrapper::acceptsFormat(c.type));
    AcmGraph g(c.type);
    EXPECT_TRUE(FAILED(g.graph->ConnectDirect(g.source->outPin(), g.in(), nullptr)));
    EXPECT_EQ(g.config()->SetFormat(c.type), VFW_E_INVALIDMEDIATYPE);
  }
  // An output is only offered once the input is connected.
  AcmGraph g(pcm);
  std::shared_ptr<IEnumMediaTypes> offered;
  g.out()->EnumMediaTypes(offered);
  EXPECT_TRUE(offered->all().empty());
  EXPECT_TRUE(FAILED(g.graph->ConnectDirect(g.out(), g.sink->inPin(), nullptr)));
}

TEST(AcmWrapper, IntelligentConnectInsertsItBetweenPcmFormats) {
  std::shared_ptr<IBaseFilter> made;
  ASSERT_EQ(FilterMapper::instance()->CreateInstance(CLSID_ACMWrapper, made), S_OK);
  const MediaType wanted = MediaType::pcm(22050, 1, 8);
  auto graph = FilterGraph::create();
  auto source = std::make_shared<TestSource>(std::vector<MediaType>{MediaType::pcm(48000, 2, 16)});
  auto sink = std::make_shared<TestSink>([&](const MediaType& t) { return t == wanted; });
  graph->AddFilter(source, QStringLiteral("source"));
  graph->AddFilter(sink, QStringLiteral("sink"));
  ASSERT_EQ(graph->Connect(source->outPin(), sink->inPin()), S_OK);
  ASSERT_EQ(graph->filters().size(), 3u);
  GUID clsid;
  graph->filters()[2]->GetClassID(clsid);
  EXPECT_EQ(clsid, CLSID_ACMWrapper);
  MediaType t;
  sink->inPin()->ConnectionMediaType(t);
  EXPECT_EQ(t, wanted);
}

TEST(AcmWrapper, ABlockLargerThanItsBuffersBehindATeeGoesOutInPieces) {
  const MediaType in = MediaType::pcm(48000, 2, 16);
  AcmGraph g(in, nullptr, 48000 * 4 * 2);
  auto tee = InfTee::create();
  g.graph->AddFilter(tee, QStringLiteral("tee"));
  ASSERT_EQ(g.graph->ConnectDirect(g.source->outPin(), pinsOf(tee)[0], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(pinsOf(tee)[1], g.in(), nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(g.out(), g.sink->inPin(), nullptr), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  // Two seconds in one block: four times the half second the output buffers hold.
  ASSERT_EQ(g.source->push(constant16(96000, 2, 50), REFERENCE_TIME(0), 2 * UNITS), S_OK);
  g.graph->Stop();
  const auto got = g.sink->received();
  ASSERT_GE(got.size(), 4u);
  EXPECT_NEAR(double(totalBytes(got)), 96000.0 * 4, 96000.0 * 4 * 0.01);
  // The pieces follow each other in time.
  for (size_t i = 1; i < got.size(); ++i) {
    ASSERT_TRUE(got[i].timed);
    EXPECT_EQ(got[i].start, got[i - 1].stop);
  }
  EXPECT_EQ(got.front().start, 0);
}
