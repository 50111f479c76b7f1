#include "platform/media/filters/MpegMux.h"

#include <gtest/gtest.h>

#include "platform/media/FilterMapper.h"
#include "platform/media/encoders/Encoders_fixture.h"
#include "platform/media/filters/FfmpegEncoders.h"
#include "platform/media/filters/FileWriter.h"
#include "platform/media/filters/Mpeg1AudioEncoder.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using vistrel::testing::pinOf;
using vistrel::testing::PushSource;

namespace {

MediaType mpegVideoType(bool mpeg2, int w, int h) {
  VIDEOINFOHEADER2 vih;
  vih.rcSource = {0, 0, w, h};
  vih.rcTarget = vih.rcSource;
  vih.AvgTimePerFrame = 400000;
  vih.dwBitRate = 2'000'000;
  vih.bmiHeader.biWidth = w;
  vih.bmiHeader.biHeight = h;
  MediaType t(MEDIATYPE_Video, mpeg2 ? MEDIASUBTYPE_MPEG2_VIDEO : MEDIASUBTYPE_MPEG1Payload,
              mpeg2 ? FORMAT_MPEG2Video : FORMAT_MPEGVideo);
  if (mpeg2) {
    t.setFormat(vih);
  } else {
    VIDEOINFOHEADER v;
    v.rcSource = vih.rcSource;
    v.rcTarget = vih.rcTarget;
    v.AvgTimePerFrame = vih.AvgTimePerFrame;
    v.dwBitRate = vih.dwBitRate;
    v.bmiHeader = vih.bmiHeader;
    t.setFormat(v);
  }
  t.bFixedSizeSamples = false;
  t.bTemporalCompression = true;
  return t;
}

// Coded pictures, in decoding order, as a capture card would deliver them.
std::vector<EncodedPacket> codedPictures(bool mpeg2, int w, int h, int count, int bFrames) {
  VideoEncoder enc;
  VideoEncoderSettings s;
  s.codec = mpeg2 ? VideoCodec::Mpeg2 : VideoCodec::Mpeg1;
  s.width = w;
  s.height = h;
  s.bitrate = 2'000'000;
  s.keyInterval = 12;
  s.maxBFrames = bFrames;
  EXPECT_EQ(enc.open(s, MediaType::rgb24(w, h, 400000)), S_OK);
  std::vector<EncodedPacket> out;
  for (int i = 0; i < count; ++i) {
    auto f = vistrel::testing::rgbFrame(w, h, i);
    enc.encode(f.data(), static_cast<int32_t>(f.size()), i, out);
  }
  enc.flush(out);
  return out;
}

// The filter of class `clsid` among those the mapper gives for a search, bound.
std::shared_ptr<IBaseFilter> match(const RegPinType& in, const RegPinType& out, const GUID& clsid) {
  std::shared_ptr<IEnumMoniker> found;
  FilterMapper::instance()->EnumMatchingFilters(found, 0, true, 0, true, {in}, nullptr, nullptr, false, true,
                                                {out}, nullptr, nullptr);
  if (!found) return nullptr;
  for (const auto& m : found->all()) {
    QVariant id;
    m->Read(QStringLiteral("CLSID"), id);
    if (id.toString() != clsid.toString()) continue;
    std::shared_ptr<IBaseFilter> f;
    m->BindToObject(f);
    return f;
  }
  return nullptr;
}

struct MuxCase {
  bool mpeg2;
  const char* videoCodec;
  int bFrames;
};

class MpegMuxing : public ::testing::TestWithParam<MuxCase> {};

// The chain the "flux mpeg" formats build: video straight into the multiplexer found for its
// type, PCM through the MPEG audio encoder found for it, the byte stream into a File Writer.
TEST_P(MpegMuxing, WritesAStreamWithMp2AudioThatPlays) {
  vistrel::testing::TempRoot root;
  vistrel::testing::registerFilters();
  const bool mpeg2 = GetParam().mpeg2;
  const QString file = root.file(mpeg2 ? "capture.mpg" : "capture.mpg1");
  const MediaType videoType = mpegVideoType(mpeg2, 352, 288);
  auto graph = FilterGraph::create();
  auto video = PushSource::create(videoType);
  auto audio = PushSource::create(MediaType::pcm(48000, 2, 16));
  auto writer = FileWriter::create();
  interfaceOf<IFileSinkFilter>(writer)->SetFileName(file, nullptr);
  auto encoder = match({MEDIATYPE_Audio, GUID_NULL}, {MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload},
                       CLSID_Mpeg1AudioEncoder);
  auto mux = match({videoType.majortype, videoType.subtype}, {MEDIATYPE_Stream, GUID_NULL},
                   mpeg2 ? CLSID_MpegProgramMux : CLSID_MpegSystemMux);
  ASSERT_TRUE(encoder && mux);
  // The other multiplexer does not take this video, and the MP3 encoder is no MPEG payload encoder.
  EXPECT_FALSE(match({videoType.majortype, videoType.subtype}, {MEDIATYPE_Stream, GUID_NULL},
                     mpeg2 ? CLSID_MpegSystemMux : CLSID_MpegProgramMux));
  EXPECT_FALSE(match({MEDIATYPE_Audio, GUID_NULL}, {MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload},
                     makeGuid("{B8D27088-FF5F-4B7C-98DC-0E91A1696286}")));
  for (auto& [f, name] : std::vector<std::pair<std::shared_ptr<IBaseFilter>, const char*>>{
           {video, "video"}, {audio, "audio"}, {writer, "writer"}, {encoder, "audioenc"}, {mux, "muxer"}})
    graph->AddFilter(f, QString::fromLatin1(name));

  ASSERT_EQ(vistrel::testing::pinCount(mux), 2);  // output, video
  ASSERT_EQ(graph->ConnectDirect(video->output(), pinOf(mux, 1), nullptr), S_OK);
  ASSERT_EQ(vistrel::testing::pinCount(mux), 3);  // the audio input appeared
  ASSERT_EQ(graph->ConnectDirect(pinOf(mux, 0), pinOf(writer, 0), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(audio->output(), pinOf(encoder, 0), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinOf(encoder, 1), pinOf(mux, 2), nullptr), S_OK);

  auto pictures = codedPictures(mpeg2, 352, 288, 50, GetParam().bFrames);
  ASSERT_EQ(pictures.size(), 50u);
  ASSERT_EQ(graph->Run(), S_OK);
  double phase = 0;
  for (size_t i = 0; i < pictures.size(); ++i) {
    const REFERENCE_TIME t = static_cast<REFERENCE_TIME>(i) * 400000;
    video->push(pictures[i].data.data(), static_cast<int32_t>(pictures[i].data.size()), t, t + 400000);
    auto block = vistrel::testing::toneBlock(1920, 48000, 2, phase);
    audio->push(block.data(), static_cast<int32_t>(block.size()), t, t + 400000);
  }
  ASSERT_EQ(graph->Stop(), S_OK);

  auto info = vistrel::testing::probeFile(file, "mpeg");
  ASSERT_TRUE(info.opened);
  const auto* v = info.first(true);
  const auto* a = info.first(false);
  ASSERT_TRUE(v && a);
  EXPECT_EQ(v->codec, QString::fromLatin1(GetParam().videoCodec));
  EXPECT_EQ(v->width, 352);
  EXPECT_EQ(v->height, 288);
  EXPECT_EQ(v->decodedFrames, 50);
  EXPECT_NEAR(v->duration, 2.0, 0.1);
  EXPECT_EQ(a->codec, QStringLiteral("mp2"));
  EXPECT_EQ(a->sampleRate, 48000);
  EXPECT_EQ(a->channels, 2);
  EXPECT_NEAR(a->duration, 2.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MpegMuxing,
                         ::testing::Values(MuxCase{true, "mpeg2video", 0}, MuxCase{true, "mpeg2video", 2},
                                           MuxCase{false, "mpeg1video", 0}, MuxCase{false, "mpeg1video", 2}));

TEST(MpegMux, AudioInputComesWithTheVideoAndGoesWithIt) {
  vistrel::testing::TempRoot root;
  auto graph = FilterGraph::create();
  auto mux = MpegMux::createProgram();
  auto video = PushSource::create(mpegVideoType(true, 720, 576));
  graph->AddFilter(mux, QStringLiteral("muxer"));
  graph->AddFilter(video, QStringLiteral("video"));
  auto output = pinOf(mux, 0);
  PIN_DIRECTION d;
  output->QueryDirection(d);
  EXPECT_EQ(d, PINDIR_OUTPUT);
  std::shared_ptr<IEnumMediaTypes> types;
  output->EnumMediaTypes(types);
  ASSERT_EQ(types->all().size(), 1u);
  EXPECT_EQ(types->all()[0].majortype, MEDIATYPE_Stream);
  ASSERT_EQ(graph->ConnectDirect(video->output(), pinOf(mux, 1), nullptr), S_OK);
  auto audioPin = pinOf(mux, 2);
  ASSERT_TRUE(audioPin);
  EXPECT_NE(audioPin->QueryAccept(MediaType::pcm(48000, 2, 16)), S_OK);  // MPEG audio only
  video->output()->Disconnect();
  pinOf(mux, 1)->Disconnect();
  EXPECT_EQ(vistrel::testing::pinCount(mux), 2);
}

TEST(MpegMux, EachMultiplexerTakesOnlyItsVideo) {
  auto program = MpegMux::createProgram();
  auto system = MpegMux::createSystem();
  EXPECT_EQ(pinOf(program, 1)->QueryAccept(mpegVideoType(true, 720, 576)), S_OK);
  EXPECT_NE(pinOf(program, 1)->QueryAccept(mpegVideoType(false, 352, 288)), S_OK);
  EXPECT_EQ(pinOf(system, 1)->QueryAccept(mpegVideoType(false, 352, 288)), S_OK);
  EXPECT_NE(pinOf(system, 1)->QueryAccept(mpegVideoType(true, 720, 576)), S_OK);
  EXPECT_NE(pinOf(system, 1)->QueryAccept(MediaType::rgb24(352, 288, 400000)), S_OK);
}

TEST(MpegMux, RunsWithoutAWriterAndStopsTwice) {
  vistrel::testing::TempRoot root;
  auto graph = FilterGraph::create();
  auto mux = MpegMux::createSystem();
  auto video = PushSource::create(mpegVideoType(false, 352, 288));
  graph->AddFilter(mux, QStringLiteral("muxer"));
  graph->AddFilter(video, QStringLiteral("video"));
  ASSERT_EQ(graph->ConnectDirect(video->output(), pinOf(mux, 1), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  const uint8_t garbage[] = {0, 0, 1, 0xB3, 0xFF, 0xFF};
  EXPECT_EQ(video->push(garbage, sizeof garbage, 0, 400000), S_OK);
  EXPECT_EQ(graph->Stop(), S_OK);
  EXPECT_EQ(graph->Stop(), S_OK);
}

TEST(Mpeg1AudioEncoder, RefusesPcmLayerTwoCannotCarry) {
  auto enc = Mpeg1AudioEncoder::create();
  EXPECT_EQ(pinOf(enc, 0)->QueryAccept(MediaType::pcm(48000, 2, 16)), S_OK);
  EXPECT_EQ(pinOf(enc, 0)->QueryAccept(MediaType::pcm(22050, 1, 16)), S_OK);
  EXPECT_NE(pinOf(enc, 0)->QueryAccept(MediaType::pcm(11025, 2, 16)), S_OK);
  EXPECT_NE(pinOf(enc, 0)->QueryAccept(MediaType::pcm(48000, 6, 16)), S_OK);
  EXPECT_EQ(Mpeg1AudioEncoder::bitrateFor(48000, 2), 224);
  EXPECT_EQ(Mpeg1AudioEncoder::bitrateFor(24000, 1), 64);
}

}  // namespace
