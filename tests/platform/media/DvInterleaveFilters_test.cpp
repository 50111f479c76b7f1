#include <gtest/gtest.h>

#include <cmath>

#include "platform/media/AviLayout.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IDVEnc.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/TestFilters.h"
#include "platform/media/dv/DvAudio.h"
#include "platform/media/dv/DvCodec.h"
#include "platform/media/filters/AviMux.h"
#include "platform/media/filters/DvInfo.h"
#include "platform/media/filters/DvMuxer.h"
#include "platform/media/filters/DvSplitter.h"
#include "platform/media/filters/DvVideoEncoder.h"
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
    // The DV Video Encoder's type: it carries the frames' information block.
    const MediaType dvsd = DvVideoEncoder::dvType(dv::System::Pal);
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

    // The stream headers: type 1 is one "iavs" stream whose strf is the 32-byte information
    // block; type 2 a "vids" stream (the bitmap header and the block) and an "auds" one. The
    // block announces the 12-bit 32 kHz sound and the frames' video packs.
    const auto layout = vistrel::testing::readAviLayout(path);
    ASSERT_TRUE(layout.valid);
    ASSERT_EQ(layout.streams.size(), type2 ? 2u : 1u);
    EXPECT_EQ(layout.streams[0].fccType, type2 ? "vids" : "iavs");
    EXPECT_EQ(layout.streams[0].fccHandler, "dvsd");
    const QByteArray strf = layout.streams[0].strf;
    ASSERT_EQ(strf.size(), type2 ? 72 : 32);
    if (type2) {
      uint32_t sizeImage = 0;  // the splitter's video type: one frame's bytes
      std::memcpy(&sizeImage, strf.constData() + 20, 4);
      EXPECT_EQ(sizeImage, dv::kPalFrameBytes);
    }
    DVINFO info;
    std::memcpy(&info, strf.constData() + (type2 ? 40 : 0), sizeof info);
    EXPECT_EQ(info.dwDVAAuxSrc >> 27 & 7, 2u);  // 32 kHz
    EXPECT_EQ(info.dwDVAAuxSrc >> 24 & 7, 1u);  // 12-bit
    EXPECT_EQ(info.dwDVAAuxSrc1, 0xFFFFFFFFu);
    EXPECT_EQ(info.dwDVVAuxSrc, dvInfoOfFrame(frame, dv::System::Pal).dwDVVAuxSrc);
    EXPECT_EQ(info.dwDVVAuxCtl, dvInfoOfFrame(frame, dv::System::Pal).dwDVVAuxCtl);
    if (type2) {
      EXPECT_EQ(layout.streams[1].fccType, "auds");
      EXPECT_EQ(layout.streams[1].strf.size(), 18);
    }
  }
}

std::shared_ptr<IBaseFilter> asFilter(const std::shared_ptr<BaseFilter>& f) {
  return std::static_pointer_cast<IBaseFilter>(f);
}

// Pictures whose sound has not come when the graph stops still go out, the rest of their
// sound silent: the muxer drops none.
TEST(DvInterleaveFilters, TheMuxerSendsTheFramesStillWaitingForSoundWhenTheGraphStops) {
  auto graph = FilterGraph::create();
  MediaType dvsd = MediaType::video(MEDIASUBTYPE_dvsd, 720, 576, 24, makeFourcc('d', 'v', 's', 'd'), 400000);
  auto video =
      std::make_shared<PushSource>(std::vector<MediaType>{dvsd}, static_cast<int32_t>(dv::kPalFrameBytes));
  auto audio = std::make_shared<PushSource>(std::vector<MediaType>{MediaType::pcm(48000, 2, 16)}, 1920 * 4);
  auto muxer = DvMuxer::create();
  auto sink = std::make_shared<RecordingSink>();
  for (auto [f, n] : {std::pair{asFilter(video), "v"}, std::pair{asFilter(audio), "a"},
                      std::pair{muxer, "mux"}, std::pair{asFilter(sink), "sink"}})
    graph->AddFilter(f, QString::fromLatin1(n));
  auto mp = pinsOf(muxer);
  ASSERT_EQ(graph->ConnectDirect(video->outPin(), mp[0], nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(audio->outPin(), mp[1], nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(mp[2], sink->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  const auto frame = dvFrame();
  const std::vector<uint8_t> sound(1920 * 4, 0x11);
  for (int i = 0; i < 10; ++i) {
    ASSERT_EQ(video->push(frame, i * 400000), S_OK);
    if (i < 4) {  // the sound lags, then stops
      ASSERT_EQ(audio->push(sound, i * 400000), S_OK);
    }
  }
  EXPECT_EQ(sink->received().size(), 4u);  // the others wait for their sound
  ASSERT_EQ(graph->Stop(), S_OK);
  const auto frames = sink->received();
  ASSERT_EQ(frames.size(), 10u);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i].start, static_cast<REFERENCE_TIME>(i) * 400000);
    dv::AudioFormat format;
    std::vector<int16_t> back;
    ASSERT_TRUE(dv::readFrameAudio(frames[i].bytes, dv::System::Pal, format, back));
    EXPECT_EQ(back[100], i < 4 ? 0x1111 : 0) << i;
  }
}

// Consumer camcorders' four-channel mode: two 12-bit stereo pairs at 32 kHz. The information
// block announces both, the splitter offers two sound outputs, and each delivers its own pair.
TEST(DvInterleaveFilters, TheSplitterDeliversBothPairsOfFourChannelSound) {
  auto graph = FilterGraph::create();
  std::vector<uint8_t> frame = dvFrame();
  const int samples = dv::samplesInFrame(dv::System::Pal, 32000, 0);
  std::vector<int16_t> first(static_cast<size_t>(samples) * 2), second(first.size());
  for (size_t n = 0; n < first.size(); ++n) {
    first[n] = static_cast<int16_t>(4000 * std::sin(static_cast<double>(n) * 0.02));
    second[n] = static_cast<int16_t>(-300 - static_cast<int>(n % 200));
  }
  ASSERT_TRUE(dv::writeFrameAudio(frame, dv::System::Pal, {32000, 12}, first, second));
  MediaType iavs(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
  const DVINFO info = dvInfoOfFrame(frame, dv::System::Pal);
  ASSERT_NE(info.dwDVAAuxSrc1, 0xFFFFFFFFu);
  iavs.setFormat(info);
  iavs.lSampleSize = dv::kPalFrameBytes;
  auto source =
      std::make_shared<PushSource>(std::vector<MediaType>{iavs}, static_cast<int32_t>(dv::kPalFrameBytes));
  auto splitter = DvSplitter::create();
  auto pictures = std::make_shared<RecordingSink>();
  auto pair1 = std::make_shared<RecordingSink>();
  auto pair2 = std::make_shared<RecordingSink>();
  for (auto [f, n] :
       {std::pair{asFilter(source), "src"}, std::pair{splitter, "split"}, std::pair{asFilter(pictures), "v"},
        std::pair{asFilter(pair1), "a1"}, std::pair{asFilter(pair2), "a2"}})
    graph->AddFilter(f, QString::fromLatin1(n));
  ASSERT_EQ(graph->ConnectDirect(source->outPin(), pinsOf(splitter)[0], nullptr), S_OK);
  auto sp = pinsOf(splitter);
  ASSERT_EQ(sp.size(), 4u);  // input, video, two sound streams
  ASSERT_EQ(graph->ConnectDirect(sp[1], pictures->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(sp[2], pair1->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(sp[3], pair2->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(source->push(frame, i * 400000), S_OK);
  ASSERT_EQ(graph->Stop(), S_OK);
  EXPECT_EQ(pictures->received().size(), 3u);
  for (auto [sink, sent] : {std::pair{pair1.get(), &first}, std::pair{pair2.get(), &second}}) {
    const auto received = sink->received();
    ASSERT_EQ(received.size(), 3u);
    ASSERT_EQ(received[2].bytes.size(), sent->size() * 2);
    for (size_t n = 0; n < sent->size(); ++n) {
      int16_t v;
      std::memcpy(&v, received[2].bytes.data() + 2 * n, 2);
      ASSERT_NEAR(v, (*sent)[n], 32) << n;  // within the 12-bit companding step
    }
  }
}

}  // namespace
