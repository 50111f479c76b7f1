#include <gtest/gtest.h>

#include <cmath>

#include "platform/media/FilterGraph.h"
#include "platform/media/IDVEnc.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/TestFilters.h"
#include "platform/media/dv/DvCodec.h"
#include "platform/media/filters/AviMux.h"
#include "platform/media/filters/DvMuxer.h"
#include "platform/media/filters/DvSplitter.h"
#include "platform/media/filters/FileWriter.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {

std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

std::vector<uint8_t> dvFrame() {
  std::vector<uint8_t> picture(720 * 3 * 576, 0x50);
  dv::DvEncoder encoder;
  EXPECT_TRUE(encoder.open(dv::System::Pal));
  std::vector<uint8_t> frame(dv::kPalFrameBytes);
  EXPECT_TRUE(encoder.encode({picture.data(), 720, 576, 2160}, frame));
  return frame;
}

TEST(DvInterleaveFilters, MuxedSoundComesOutOfTheSplitter) {
  auto graph = FilterGraph::create();
  MediaType dvsd = MediaType::video(MEDIASUBTYPE_dvsd, 720, 576, 24, makeFourcc('d', 'v', 's', 'd'), 400000);
  auto video =
      std::make_shared<PushSource>(std::vector<MediaType>{dvsd}, static_cast<int32_t>(dv::kPalFrameBytes));
  auto audio = std::make_shared<PushSource>(std::vector<MediaType>{MediaType::pcm(48000, 2, 16)}, 1920 * 4);
  auto muxer = DvMuxer::create();
  auto splitter = DvSplitter::create();
  auto videoSink = std::make_shared<RecordingSink>();
  auto audioSink = std::make_shared<RecordingSink>();
  for (auto [f, n] :
       {std::pair{std::static_pointer_cast<IBaseFilter>(video), "v"},
        std::pair{std::static_pointer_cast<IBaseFilter>(audio), "a"}, std::pair{muxer, "mux"},
        std::pair{splitter, "split"}, std::pair{std::static_pointer_cast<IBaseFilter>(videoSink), "vs"},
        std::pair{std::static_pointer_cast<IBaseFilter>(audioSink), "as"}})
    graph->AddFilter(f, QString::fromLatin1(n));
  auto mp = pinsOf(muxer);
  ASSERT_EQ(mp.size(), 3u);
  PIN_DIRECTION dir;
  mp[2]->QueryDirection(dir);
  EXPECT_EQ(dir, PINDIR_OUTPUT);  // inputs first, output last
  ASSERT_EQ(graph->ConnectDirect(video->outPin(), mp[0], nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(audio->outPin(), mp[1], nullptr), S_OK);
  ASSERT_EQ(pinsOf(splitter).size(), 1u);  // outputs appear when the input connects
  ASSERT_EQ(graph->ConnectDirect(mp[2], pinsOf(splitter)[0], nullptr), S_OK);
  auto sp = pinsOf(splitter);
  ASSERT_EQ(sp.size(), 3u);  // video and one stereo stream
  ASSERT_EQ(graph->ConnectDirect(sp[1], videoSink->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(sp[2], audioSink->inPin(), nullptr), S_OK);

  ASSERT_EQ(graph->Run(), S_OK);
  const auto frame = dvFrame();
  std::vector<uint8_t> sent;
  for (int i = 0; i < 8; ++i) {
    std::vector<uint8_t> sound(1920 * 4);
    for (int s = 0; s < 1920 * 2; ++s) {
      const auto v = static_cast<int16_t>(9000 * std::sin((i * 1920 * 2 + s) * 0.01));
      std::memcpy(&sound[static_cast<size_t>(s) * 2], &v, 2);
    }
    sent.insert(sent.end(), sound.begin(), sound.end());
    ASSERT_EQ(audio->push(sound, i * 400000), S_OK);
    ASSERT_EQ(video->push(frame, i * 400000), S_OK);
  }
  ASSERT_EQ(graph->Stop(), S_OK);
  const auto pictures = videoSink->received();
  const auto sounds = audioSink->received();
  ASSERT_GE(pictures.size(), 7u);
  EXPECT_EQ(pictures[0].bytes.size(), dv::kPalFrameBytes);
  EXPECT_EQ(pictures[1].start, 400000);
  std::vector<uint8_t> received;
  for (const auto& s : sounds) received.insert(received.end(), s.bytes.begin(), s.bytes.end());
  ASSERT_EQ(sounds.size(), pictures.size());
  EXPECT_TRUE(std::equal(received.begin(), received.end(), sent.begin()));

  // Disconnecting the input takes the outputs away.
  graph->Disconnect(mp[2]);
  graph->Disconnect(pinsOf(splitter)[0]);
  EXPECT_EQ(pinsOf(splitter).size(), 1u);
}

TEST(DvInterleaveFilters, TheInformationBlockAnnouncesTheSoundStreams) {
  MediaType type(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
  DVINFO info;
  info.dwDVAAuxSrc = 2u << 27;  // 32 kHz
  info.dwDVAAuxSrc1 = 2u << 27;
  type.setFormat(info);
  EXPECT_EQ(DvSplitter::announcedAudio(type), (std::vector<int>{32000, 32000}));
  info.dwDVAAuxSrc = 0;
  info.dwDVAAuxSrc1 = 0xFFFFFFFF;
  type.setFormat(info);
  EXPECT_EQ(DvSplitter::announcedAudio(type), (std::vector<int>{48000}));
  info.dwDVAAuxSrc = 0xFFFFFFFF;
  type.setFormat(info);
  EXPECT_TRUE(DvSplitter::announcedAudio(type).empty());
  EXPECT_EQ(DvSplitter::announcedAudio(MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd)),
            (std::vector<int>{48000}));
}

// 32 kHz sound written 12-bit by the muxer, recorded as type 1 (the interleaved frames) and as
// type 2 (split again into a video and a 16-bit sound stream): libavformat finds the rate and the
// whole length in both files.
TEST(DvInterleaveFilters, TwelveBitSoundRecordsAsType1AndType2) {
  vistrel::testing::TempRoot root;
  for (const bool type2 : {false, true}) {
    SCOPED_TRACE(type2 ? "type 2" : "type 1");
    const QString path = root.file(type2 ? QStringLiteral("type2.avi") : QStringLiteral("type1.avi"));
    auto graph = FilterGraph::create();
    MediaType dvsd =
        MediaType::video(MEDIASUBTYPE_dvsd, 720, 576, 24, makeFourcc('d', 'v', 's', 'd'), 400000);
    auto video =
        std::make_shared<PushSource>(std::vector<MediaType>{dvsd}, static_cast<int32_t>(dv::kPalFrameBytes));
    auto audio = std::make_shared<PushSource>(std::vector<MediaType>{MediaType::pcm(32000, 2, 16)}, 1280 * 4);
    auto muxer = std::make_shared<DvMuxer>();
    muxer->setAudioBits(12);
    auto splitter = DvSplitter::create();
    auto avi = AviMux::create();
    auto writer = FileWriter::create();
    interfaceOf<IFileSinkFilter>(writer)->SetFileName(path, nullptr);
    for (auto [f, n] : {std::pair{std::static_pointer_cast<IBaseFilter>(video), "v"},
                        std::pair{std::static_pointer_cast<IBaseFilter>(audio), "a"},
                        std::pair{std::static_pointer_cast<IBaseFilter>(muxer), "mux"},
                        std::pair{splitter, "split"}, std::pair{avi, "avi"}, std::pair{writer, "file"}})
      graph->AddFilter(f, QString::fromLatin1(n));
    auto mp = pinsOf(muxer);
    ASSERT_EQ(graph->ConnectDirect(video->outPin(), mp[0], nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(audio->outPin(), mp[1], nullptr), S_OK);
    if (type2) {
      ASSERT_EQ(graph->ConnectDirect(mp[2], pinsOf(splitter)[0], nullptr), S_OK);
      auto sp = pinsOf(splitter);
      ASSERT_EQ(sp.size(), 3u);  // the empty second pair is not announced
      ASSERT_EQ(graph->ConnectDirect(sp[1], pinsOf(avi)[1], nullptr), S_OK);
      ASSERT_EQ(graph->ConnectDirect(sp[2], pinsOf(avi)[2], nullptr), S_OK);
      MediaType pcm;
      ASSERT_EQ(sp[2]->ConnectionMediaType(pcm), S_OK);
      EXPECT_EQ(pcm.waveFormat()->nSamplesPerSec, 32000u);  // 16-bit samples at the tape's rate
      EXPECT_EQ(pcm.waveFormat()->wBitsPerSample, 16);
    } else {
      ASSERT_EQ(graph->ConnectDirect(mp[2], pinsOf(avi)[1], nullptr), S_OK);
    }
    ASSERT_EQ(graph->ConnectDirect(pinsOf(avi)[0], pinsOf(writer)[0], nullptr), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    const auto frame = dvFrame();
    constexpr int kFrames = 50;
    for (int i = 0; i < kFrames; ++i) {
      std::vector<uint8_t> sound(1280 * 4);
      for (int s = 0; s < 1280 * 2; ++s) {
        const auto v = static_cast<int16_t>(9000 * std::sin((i * 1280 * 2 + s) * 0.01));
        std::memcpy(&sound[static_cast<size_t>(s) * 2], &v, 2);
      }
      ASSERT_EQ(audio->push(sound, i * 400000), S_OK);
      ASSERT_EQ(video->push(frame, i * 400000), S_OK);
    }
    ASSERT_EQ(graph->Stop(), S_OK);
    const auto probed = vistrel::testing::probeMedia(path);
    ASSERT_TRUE(probed.opened);
    const vistrel::testing::ProbedStream* picture = nullptr;
    const vistrel::testing::ProbedStream* sound = nullptr;
    for (const auto& st : probed.streams) {
      if (st.type == AVMEDIA_TYPE_VIDEO && !picture) picture = &st;
      if (st.type == AVMEDIA_TYPE_AUDIO && !sound) sound = &st;
    }
    ASSERT_TRUE(picture && sound);
    EXPECT_EQ(picture->codec, AV_CODEC_ID_DVVIDEO);
    EXPECT_EQ(picture->height, 576);
    EXPECT_EQ(picture->packets, kFrames);
    EXPECT_EQ(sound->sampleRate, 32000);
    EXPECT_EQ(sound->channels, 2);
    EXPECT_EQ(sound->bytes, int64_t{kFrames} * 1280 * 4);
    EXPECT_NEAR(probed.durationSeconds, kFrames / 25.0, 0.05);
  }
}

}  // namespace
