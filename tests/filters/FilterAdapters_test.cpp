// The program's filters inside real graphs: connection rules, what reaches the next filter, and
// what the stops do.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <cstring>
#include <thread>

#include "filters/DvFrameBuilder.h"
#include "filters/GraphFilters.h"
#include "filters/ProgramFilters.h"
#include "filters/TVT_Resizer.h"
#include "filters/Tvt_ControlFilter.h"
#include "filters/Tvt_DVheader.h"
#include "filters/Tvt_SceneDetect.h"
#include "filters/Tvt_WaveDest.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/filters/FileWriter.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

namespace vistrel::filters {
namespace {

using namespace platform::media;
using testing::DvFrameBuilder;
using testing::FeedSource;
using testing::KeepSink;

std::shared_ptr<IPin> pinOf(BaseFilter& filter, int index) { return filter.pin(index)->self(); }

// source -> filter -> sink in a new graph.
struct Chain {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<FeedSource> source;
  std::shared_ptr<KeepSink> sink = std::make_shared<KeepSink>();
  HRESULT connectIn = E_FAIL, connectOut = E_FAIL;

  Chain(MediaType type, int32_t bufferSize, const std::shared_ptr<BaseFilter>& filter,
        std::shared_ptr<BaseFilter> downstream = nullptr)
      : source(std::make_shared<FeedSource>(std::move(type), bufferSize)) {
    graph->AddFilter(source, QStringLiteral("source"));
    graph->AddFilter(filter, QStringLiteral("filter"));
    std::shared_ptr<BaseFilter> end = downstream ? downstream : sink;
    graph->AddFilter(end, QStringLiteral("end"));
    connectIn = graph->ConnectDirect(source->outPin(), pinOf(*filter, 0), nullptr);
    if (connectIn == S_OK) connectOut = graph->ConnectDirect(pinOf(*filter, 1), pinOf(*end, 0), nullptr);
  }
};

MediaType dvType() {
  MediaType t(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
  t.format.assign(32, 0);
  return t;
}

std::vector<uint8_t> rgbFrame(int32_t w, int32_t h, uint8_t b, uint8_t g, uint8_t r) {
  const int32_t stride = ((w * 3 + 3) / 4) * 4;
  std::vector<uint8_t> bytes(static_cast<size_t>(stride * h), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      uint8_t* p = bytes.data() + y * stride + x * 3;
      p[0] = b;
      p[1] = g;
      p[2] = r;
    }
  return bytes;
}

// --- Resizer ---

TEST(ResizerFilter, HalvesPalToDivxSizeInTheGraph) {
  auto resizer = TVT_Resizer::create();
  resizer->SetHalfSize(true);
  resizer->SetMode(1);
  const MediaType in = MediaType::rgb24(720, 576, 400'000);
  Chain chain(in, static_cast<int32_t>(in.videoInfo()->bmiHeader.biSizeImage), resizer);
  ASSERT_EQ(chain.connectIn, S_OK);
  ASSERT_EQ(chain.connectOut, S_OK);
  const auto out = chain.sink->in()->currentMediaType().videoInfo();
  ASSERT_TRUE(out);
  EXPECT_EQ(out->bmiHeader.biWidth, 384);
  EXPECT_EQ(out->bmiHeader.biHeight, 288);
  EXPECT_EQ(out->rcTarget.right, 384);
  EXPECT_EQ(out->rcSource.bottom, 288);
  EXPECT_EQ(out->bmiHeader.biSizeImage, 384u * 3 * 288);

  ASSERT_EQ(chain.graph->Run(), S_OK);
  ASSERT_EQ(chain.source->push(rgbFrame(720, 576, 10, 20, 30), 0), S_OK);
  chain.graph->Stop();
  const auto got = chain.sink->received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes, rgbFrame(384, 288, 10, 20, 30));
  ASSERT_TRUE(got[0].time);
  EXPECT_EQ(got[0].time->first, 0);
}

TEST(ResizerFilter, RefusesWhatItCannotScale) {
  struct Case {
    const char* what;
    MediaType type;
  };
  MediaType shortBlock = MediaType::rgb24(720, 576, 400'000);
  shortBlock.format.resize(60);
  MediaType empty = MediaType::rgb24(720, 576, 400'000);
  auto info = *empty.videoInfo();
  info.bmiHeader.biWidth = 0;
  info.bmiHeader.biHeight = 0;
  empty.setFormat(info);
  MediaType rgb32 = MediaType::video(MEDIASUBTYPE_RGB32, 720, 576, 32, BI_RGB, 400'000);
  MediaType wrongFormat = MediaType::rgb24(720, 576, 400'000);
  wrongFormat.formattype = FORMAT_VideoInfo2;
  for (const Case& c : {Case{"short block", shortBlock}, Case{"0 x 0", empty}, Case{"RGB32", rgb32},
                        Case{"format type", wrongFormat}}) {
    auto resizer = TVT_Resizer::create();
    resizer->SetMode(1);
    Chain chain(c.type, 720 * 576 * 4, resizer);
    EXPECT_NE(chain.connectIn, S_OK) << c.what;
  }
  auto resizer = TVT_Resizer::create();
  MediaType type;
  EXPECT_EQ(resizer->GetMediaType(-1, type), E_INVALIDARG);
  EXPECT_EQ(resizer->GetMediaType(1, type), VFW_S_NO_MORE_ITEMS);
}

TEST(ResizerFilter, WithoutAModeSmallInputsStillGetWholePictures) {
  auto resizer = TVT_Resizer::create();  // no mode: the 320 x 240 default
  const MediaType in = MediaType::rgb24(160, 120, 400'000);
  Chain chain(in, static_cast<int32_t>(in.videoInfo()->bmiHeader.biSizeImage), resizer);
  ASSERT_EQ(chain.connectOut, S_OK);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  ASSERT_EQ(chain.source->push(rgbFrame(160, 120, 1, 2, 3)), S_OK);
  chain.graph->Stop();
  const auto got = chain.sink->received();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].bytes, rgbFrame(320, 240, 1, 2, 3));
}

TEST(ResizerFilter, ChangedInputTypeIsScaledAndAnnouncedAsTheOutputType) {
  auto resizer = TVT_Resizer::create();
  resizer->SetHalfSize(true);
  resizer->SetMode(3);
  const MediaType in = MediaType::rgb24(720, 576, 400'000);
  Chain chain(in, static_cast<int32_t>(in.videoInfo()->bmiHeader.biSizeImage), resizer);
  ASSERT_EQ(chain.connectOut, S_OK);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  const MediaType smaller = MediaType::rgb24(704, 576, 400'000);
  ASSERT_EQ(chain.source->push(rgbFrame(704, 576, 9, 9, 9), std::nullopt, &smaller), S_OK);
  chain.graph->Stop();
  const auto got = chain.sink->received();
  ASSERT_EQ(got.size(), 1u);
  ASSERT_TRUE(got[0].changed);
  EXPECT_EQ(got[0].changed->videoInfo()->bmiHeader.biWidth, 352);
  EXPECT_EQ(got[0].changed->videoInfo()->bmiHeader.biHeight, 288);
  EXPECT_EQ(got[0].bytes, rgbFrame(352, 288, 9, 9, 9));
}

// --- Scene detector ---

std::vector<uint8_t> dvAt(int hour, int minute, int second, bool wide = false) {
  DvFrameBuilder b;
  b.camera(wide).recorded(2006, 7, 1, hour, minute, second);
  return b.bytes();
}

TEST(SceneDetectFilter, StampsFrameNumbersAndReportsScenesUntilTheStop) {
  auto detector = Tvt_SceneDetect::create();
  std::vector<std::pair<int32_t, int32_t>> scenes;
  detector->SetSceneCallback([&](const TFrameRecord& start, const TFrameRecord& current) {
    scenes.emplace_back(start.FrameNumber, current.FrameNumber);
  });
  Chain chain(dvType(), 144000, detector);
  ASSERT_EQ(chain.connectIn, S_OK);
  ASSERT_EQ(chain.connectOut, S_OK);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  for (int s = 1; s <= 5; ++s) ASSERT_EQ(chain.source->push(dvAt(10, 0, s), 400'000 * s), S_OK);
  ASSERT_EQ(chain.source->push(dvAt(14, 30, 0), 400'000 * 6), S_OK);
  chain.graph->Stop();

  const auto got = chain.sink->received();
  ASSERT_EQ(got.size(), 6u);
  for (size_t i = 0; i < got.size(); ++i) {
    ASSERT_TRUE(got[i].mediaTime);
    EXPECT_EQ(got[i].mediaTime->first, static_cast<int64_t>(i));
    EXPECT_EQ(got[i].mediaTime->second, static_cast<int64_t>(i) + 1);
    EXPECT_EQ(got[i].bytes.size(), 144000u);  // data untouched
  }
  const std::vector<std::pair<int32_t, int32_t>> expected = {{1, 5}, {5, 6}};
  EXPECT_EQ(scenes, expected);
  // The stop reset the counting; a second stop adds no scene.
  EXPECT_EQ(detector->processing().CurrentRecord().FrameNumber, 0);
  chain.graph->Stop();
  EXPECT_EQ(scenes.size(), 2u);
}

TEST(SceneDetectFilter, SharedProcessingKeepsTheFilterAlive) {
  auto detector = Tvt_SceneDetect::create();
  std::weak_ptr<Tvt_SceneDetect> weak = detector;
  std::shared_ptr<SceneDetector> shared = detector->sharedProcessing();
  EXPECT_EQ(shared.get(), &detector->processing());
  detector.reset();
  EXPECT_FALSE(weak.expired());
  shared.reset();
  EXPECT_TRUE(weak.expired());
}

TEST(SceneDetectFilter, AcceptsOnlyDv) {
  for (const MediaType& t : {MediaType::rgb24(720, 576, 400'000), MediaType::pcm(48000, 2, 16)}) {
    Chain chain(t, 1 << 20, Tvt_SceneDetect::create());
    EXPECT_NE(chain.connectIn, S_OK);
  }
  MediaType videoDv(MEDIATYPE_Video, MEDIASUBTYPE_dvsd, FORMAT_VideoInfo);
  videoDv.setFormat(VIDEOINFOHEADER{});
  Chain chain(videoDv, 144000, Tvt_SceneDetect::create());
  EXPECT_EQ(chain.connectIn, S_OK);
}

// --- DV header filter ---

TEST(DvHeaderFilter, WritesTheCameraHeadersAtTheReadIndex) {
  auto detector = Tvt_SceneDetect::create();
  DvFrameBuilder camera;
  camera.camera().timeCode(1, 12, 35, 14).recorded(2005, 12, 25, 21, 45, 30);
  detector->processing().AnalyseFrame(camera.bytes(), 0);
  detector->processing().SetReadIndex(detector->processing().WritePosition());

  auto header = Tvt_DVheader::create();
  header->SetSceneDetector(detector);
  header->SetMode(kDvHeaderForce16x9);
  Chain chain(dvType(), 144000, header);
  ASSERT_EQ(chain.connectOut, S_OK);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  DvFrameBuilder encoded;
  encoded.applicationId3(0);
  ASSERT_EQ(chain.source->push(encoded.bytes()), S_OK);
  chain.graph->Stop();
  const auto got = chain.sink->received();
  ASSERT_EQ(got.size(), 1u);
  const std::span<const uint8_t> frame(got[0].bytes);
  EXPECT_EQ(dvcodes::DecodeTimeCode(frame, 4).seconds, 35);
  EXPECT_EQ(dvcodes::DecodeRecordingDateTime(frame, 0).year, 2005);
  EXPECT_TRUE(dvcodes::Is16x9(frame));
}

TEST(DvHeaderFilter, EmptyRingEntryLeavesTheEncodersHeader) {
  auto detector = Tvt_SceneDetect::create();
  DvFrameBuilder camera;
  camera.camera().timeCode(1, 2, 3, 4);
  detector->processing().AnalyseFrame(camera.bytes(), 0);  // stored in entry 1; read index still 0
  auto header = Tvt_DVheader::create();
  header->SetSceneDetector(detector);
  Chain chain(dvType(), 144000, header);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  DvFrameBuilder encoded;
  ASSERT_EQ(chain.source->push(encoded.bytes()), S_OK);
  chain.graph->Stop();
  ASSERT_EQ(chain.sink->received().size(), 1u);
  EXPECT_EQ(chain.sink->received()[0].bytes, encoded.bytes());
}

// --- Control filter ---

TEST(ControlFilter, ThreeGrabsThreeFramesAndTheStopRoutine) {
  auto control = Tvt_ControlFilter::create();
  int stops = 0;
  control->SetupImageByImage([&] { ++stops; });
  Chain chain(MediaType::rgb24(64, 48, 400'000), 64 * 48 * 3, control);
  ASSERT_EQ(chain.connectOut, S_OK);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  const auto frame = rgbFrame(64, 48, 0, 0, 0);
  for (int grab = 0; grab < 3; ++grab) {
    control->PassOne();
    for (int i = 0; i < 4; ++i) ASSERT_EQ(chain.source->push(frame, 400'000 * (grab * 4 + i)), S_OK);
  }
  chain.graph->Stop();
  const auto got = chain.sink->received();
  ASSERT_EQ(got.size(), 3u);
  for (int64_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(got[static_cast<size_t>(i)].mediaTime);
    EXPECT_EQ(*got[static_cast<size_t>(i)].mediaTime, (std::pair<int64_t, int64_t>{i, i + 1}));
    EXPECT_TRUE(got[static_cast<size_t>(i)].sync);
    EXPECT_TRUE(got[static_cast<size_t>(i)].discontinuity);
  }
  EXPECT_EQ(stops, 1);
  chain.graph->Stop();  // already stopped: the routine does not run again
  EXPECT_EQ(stops, 1);
}

TEST(ControlFilter, NoGrabNoFrameButTheRoutineRuns) {
  auto control = Tvt_ControlFilter::create();
  int stops = 0;
  control->SetupImageByImage([&] { ++stops; });
  Chain chain(MediaType::rgb24(64, 48, 400'000), 64 * 48 * 3, control);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(chain.source->push(rgbFrame(64, 48, 0, 0, 0)), S_OK);
  chain.graph->Stop();
  EXPECT_TRUE(chain.sink->received().empty());
  EXPECT_EQ(stops, 1);
}

// --- WAV writer ---

uint32_t le32(const QByteArray& b, int at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}

struct WavRecording {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<FeedSource> source;
  std::shared_ptr<Tvt_WaveDest> wav = Tvt_WaveDest::create();
  std::shared_ptr<IBaseFilter> writer = FileWriter::create();
  HRESULT connected = E_FAIL;

  WavRecording(const QString& path, int32_t bufferSize) {
    source = std::make_shared<FeedSource>(MediaType::pcm(44100, 2, 16), bufferSize);
    graph->AddFilter(source, QStringLiteral("source"));
    graph->AddFilter(wav, QStringLiteral("wav"));
    graph->AddFilter(writer, QStringLiteral("writer"));
    interfaceOf<IFileSinkFilter>(writer)->SetFileName(path, nullptr);
    connected = graph->ConnectDirect(source->outPin(), pinOf(*wav, 0), nullptr);
    if (connected == S_OK) {
      std::shared_ptr<IPin> writerIn;
      std::shared_ptr<IEnumPins> pins;
      writer->EnumPins(pins);
      pins->Next(1, &writerIn, nullptr);
      connected = graph->ConnectDirect(pinOf(*wav, 1), writerIn, nullptr);
    }
  }
};

TEST(WaveDestFilter, MillionBytesGiveAValidWaveFile) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("tone.wav"));
  WavRecording rec(path, 4000);
  ASSERT_EQ(rec.connected, S_OK);
  ASSERT_EQ(rec.graph->Run(), S_OK);
  std::vector<uint8_t> block(4000);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  for (int i = 0; i < 250; ++i) ASSERT_EQ(rec.source->push(block, int64_t{i} * 226'757), S_OK);
  ASSERT_EQ(rec.graph->Stop(), S_OK);
  EXPECT_EQ(rec.wav->LastHeaderResult(), S_OK);

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  ASSERT_EQ(bytes.size(), 1'000'046);
  EXPECT_EQ(bytes.left(4), QByteArray("RIFF"));
  EXPECT_EQ(le32(bytes, 4), 1'000'038u);
  EXPECT_EQ(le32(bytes, 16), 18u);
  EXPECT_EQ(le32(bytes, 42), 1'000'000u);
  EXPECT_EQ(std::memcmp(bytes.constData() + 46 + 4000 * 17, block.data(), block.size()), 0);

  const auto probed = vistrel::testing::probeMedia(path);
  ASSERT_TRUE(probed.opened);
  ASSERT_EQ(probed.streams.size(), 1u);
  EXPECT_EQ(probed.streams[0].sampleRate, 44100);
  EXPECT_EQ(probed.streams[0].channels, 2);
  EXPECT_EQ(probed.streams[0].bytes, 1'000'000);
  EXPECT_NEAR(probed.durationSeconds, 1'000'000.0 / (44100 * 4), 0.01);
}

TEST(WaveDestFilter, EmptyRecordingIs46Bytes) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("empty.wav"));
  WavRecording rec(path, 4000);
  ASSERT_EQ(rec.connected, S_OK);
  ASSERT_EQ(rec.graph->Run(), S_OK);
  ASSERT_EQ(rec.graph->Stop(), S_OK);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  ASSERT_EQ(bytes.size(), 46);
  EXPECT_EQ(le32(bytes, 4), 38u);
  EXPECT_EQ(le32(bytes, 42), 0u);
}

TEST(WaveDestFilter, RefusedSampleKeepsItsOffsetForTheNext) {
  auto wav = Tvt_WaveDest::create();
  Chain chain(MediaType::pcm(48000, 1, 16), 100, wav);
  ASSERT_EQ(chain.connectIn, S_OK);
  ASSERT_EQ(chain.connectOut, S_OK);
  const MediaType out = chain.sink->in()->currentMediaType();
  EXPECT_EQ(out.majortype, MEDIATYPE_Stream);
  EXPECT_EQ(out.subtype, MEDIASUBTYPE_WAVE);
  ASSERT_EQ(chain.graph->Run(), S_OK);
  ASSERT_EQ(chain.source->push(std::vector<uint8_t>(100, 1)), S_OK);
  chain.sink->refuseNext(S_FALSE);
  chain.source->push(std::vector<uint8_t>(60, 2));
  ASSERT_EQ(chain.source->push(std::vector<uint8_t>(30, 3)), S_OK);
  chain.graph->Stop();
  // No stream interface downstream: the header could not be written, and says so.
  EXPECT_NE(wav->LastHeaderResult(), S_OK);
  const auto got = chain.sink->received();
  ASSERT_EQ(got.size(), 2u);
  ASSERT_TRUE(got[0].time && got[1].time);
  EXPECT_EQ(*got[0].time, (std::pair<REFERENCE_TIME, REFERENCE_TIME>{46, 146}));
  EXPECT_EQ(*got[1].time, (std::pair<REFERENCE_TIME, REFERENCE_TIME>{146, 176}));
  EXPECT_EQ(wav->processing().DataBytes(), 130u);
}

TEST(WaveDestFilter, RefusesTypesWithoutAWaveFormat) {
  MediaType video = MediaType::rgb24(64, 48, 400'000);
  MediaType shortWave = MediaType::pcm(48000, 2, 16);
  shortWave.format.resize(8);
  for (const MediaType& t : {video, shortWave}) {
    Chain chain(t, 1 << 16, Tvt_WaveDest::create());
    EXPECT_NE(chain.connectIn, S_OK);
  }
}

TEST(WaveDestFilter, ToneMicrophoneRecordingOpensWithItsDuration) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("mic.wav"));
  auto graph = FilterGraph::create();
  auto mic = std::make_shared<platform::devices::ToneMicrophone>(QStringLiteral("Tone"));
  auto wav = Tvt_WaveDest::create();
  auto writer = FileWriter::create();
  graph->AddFilter(mic, QStringLiteral("mic"));
  graph->AddFilter(wav, QStringLiteral("wav"));
  graph->AddFilter(writer, QStringLiteral("writer"));
  interfaceOf<IFileSinkFilter>(writer)->SetFileName(path, nullptr);
  ASSERT_EQ(graph->ConnectDirect(pinOf(*mic, 0), pinOf(*wav, 0), nullptr), S_OK);
  std::shared_ptr<IPin> writerIn;
  std::shared_ptr<IEnumPins> pins;
  writer->EnumPins(pins);
  pins->Next(1, &writerIn, nullptr);
  ASSERT_EQ(graph->ConnectDirect(pinOf(*wav, 1), writerIn, nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  // Let some blocks arrive; what is checked is the file, not how long this took.
  for (int i = 0; i < 300 && QFileInfo(path).size() < 46 + 10 * 3528; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(graph->Stop(), S_OK);

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  ASSERT_GT(bytes.size(), 46);
  const uint32_t data = le32(bytes, 42);
  EXPECT_EQ(data, static_cast<uint32_t>(bytes.size() - 46));
  EXPECT_EQ(le32(bytes, 4), static_cast<uint32_t>(bytes.size() - 8));
  const auto probed = vistrel::testing::probeMedia(path);
  ASSERT_TRUE(probed.opened);
  ASSERT_EQ(probed.streams.size(), 1u);
  EXPECT_EQ(probed.streams[0].type, AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(probed.streams[0].codec, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(probed.streams[0].sampleRate, 44100);
  EXPECT_EQ(probed.streams[0].bytes, static_cast<int64_t>(data));
  EXPECT_NEAR(probed.durationSeconds, data / (44100.0 * 4), 0.01);
}

// --- Registration ---

TEST(ProgramFilters, CreatedByClassIdWithTheirNames) {
  auto mapper = FilterMapper::instance();
  RegisterProgramFilters(*mapper);
  struct Case {
    GUID clsid;
    const char* name;
  };
  for (const Case& c :
       {Case{CLSID_vt_Resizer, "Orbano Resizer"}, Case{CLSID_vt_SceneDetect, "Orbano vt_SceneDetect"},
        Case{CLSID_WavDest, "WavDest filter"}, Case{CLSID_vt_DVHeader, "Orbano vt_DVHeader"},
        Case{CLSID_vt_ControlFilter, "Orbano vt_ControlFilter"}}) {
    std::shared_ptr<IBaseFilter> filter;
    ASSERT_EQ(mapper->CreateInstance(c.clsid, filter), S_OK) << c.name;
    GUID clsid;
    filter->GetClassID(clsid);
    EXPECT_EQ(clsid, c.clsid);
    FILTER_INFO info;
    filter->QueryFilterInfo(info);
    EXPECT_EQ(info.achName, QString::fromUtf8(c.name));
  }
}

}  // namespace
}  // namespace vistrel::filters
