// Damaged DV frames reaching the DV Video Decoder and the DV Splitter in a running graph: what
// cannot be decoded or taken apart is dropped and counted, the rest goes through (concealed where
// libavcodec can), and the frames after them flow as before.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "platform/media/FilterGraph.h"
#include "platform/media/IDVEnc.h"
#include "platform/media/TestFilters.h"
#include "platform/media/dv/DvCodec.h"
#include "platform/media/dv/DvInterleave.h"
#include "platform/media/filters/DvSplitter.h"
#include "platform/media/filters/DvVideoDecoder.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {

std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

// A PAL frame of a flat grey picture with a 48 kHz tone in its audio blocks.
std::vector<uint8_t> goodFrame() {
  std::vector<uint8_t> picture(720 * 3 * 576, 0x70);
  dv::DvEncoder encoder;
  EXPECT_TRUE(encoder.open(dv::System::Pal));
  std::vector<uint8_t> video(dv::kPalFrameBytes);
  EXPECT_TRUE(encoder.encode({picture.data(), 720, 576, 2160}, video));
  std::vector<int16_t> sound(1920 * 2);
  for (size_t i = 0; i < sound.size(); ++i)
    sound[i] = static_cast<int16_t>(5000 * std::sin(0.05 * double(i / 2)));
  dv::DvMuxer muxer;
  EXPECT_TRUE(muxer.open(dv::System::Pal, 48000));
  EXPECT_TRUE(muxer.addAudio(sound));
  EXPECT_TRUE(muxer.addVideo(video));
  auto frames = muxer.takeFrames();
  EXPECT_EQ(frames.size(), 1u);
  return frames.empty() ? video : frames.front();
}

struct Damaged {
  const char* what;
  std::vector<uint8_t> bytes;
  bool mustDrop;  // never decodable; the others may be concealed or dropped
};

std::vector<Damaged> damagedFrames(const std::vector<uint8_t>& good) {
  std::mt19937 random(11);
  std::vector<Damaged> out;
  out.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.begin() + 70000), true});
  out.push_back({"empty", {}, true});
  out.push_back({"one DIF sequence", std::vector<uint8_t>(good.begin(), good.begin() + 12000), true});
  auto longer = good;
  longer.resize(good.size() + 600, 0);
  out.push_back({"longer than a frame", longer, false});
  auto noise = good;
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  out.push_back({"noise", noise, false});
  auto blocks = good;
  for (size_t i = 0; i < 300; ++i) {  // random video and audio blocks overwritten
    const size_t block = random() % (blocks.size() / 80);
    for (size_t k = 3; k < 80; ++k) blocks[block * 80 + k] = static_cast<uint8_t>(random());
  }
  out.push_back({"corrupt blocks", blocks, false});
  auto header = good;
  std::fill(header.begin(), header.begin() + 6 * 80, 0);  // header, subcode and VAUX blocks gone
  out.push_back({"no header", header, false});
  auto packs = good;
  for (size_t s = 0; s < 12; ++s)  // AAUX packs claiming every rate, size and quantization
    for (size_t b = 0; b < 9; ++b) {
      uint8_t* pack = packs.data() + s * 12000 + (6 + 16 * b) * 80 + 3;
      pack[0] = 0x50;
      for (int k = 1; k < 5; ++k) pack[k] = static_cast<uint8_t>(random());
    }
  out.push_back({"lying sound packs", packs, false});
  return out;
}

TEST(DvBadInput, TheDecoderDropsWhatDoesNotDecodeAndGoesOn) {
  auto graph = FilterGraph::create();
  MediaType dvsd = MediaType::video(MEDIASUBTYPE_dvsd, 720, 576, 24, makeFourcc('d', 'v', 's', 'd'), 400000);
  auto source = std::make_shared<PushSource>(std::vector<MediaType>{dvsd}, 150000);
  auto decoder = std::make_shared<DvVideoDecoder>();
  auto sink = std::make_shared<RecordingSink>();
  graph->AddFilter(source, QStringLiteral("source"));
  graph->AddFilter(decoder, QStringLiteral("decoder"));
  graph->AddFilter(sink, QStringLiteral("sink"));
  ASSERT_EQ(graph->ConnectDirect(source->outPin(), pinsOf(decoder)[0], nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinsOf(decoder)[1], sink->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  const auto good = goodFrame();
  const auto damaged = damagedFrames(good);
  REFERENCE_TIME t = 0;
  ASSERT_EQ(source->push(good, t), S_OK);
  int64_t mustDrop = 0;
  for (const Damaged& d : damaged) {
    t += 400000;
    EXPECT_TRUE(SUCCEEDED(source->push(d.bytes, t))) << d.what;  // the stream is not stopped
    mustDrop += d.mustDrop;
  }
  t += 400000;
  ASSERT_EQ(source->push(good, t), S_OK);
  ASSERT_EQ(graph->Stop(), S_OK);

  const auto received = sink->received();
  const auto pushed = static_cast<int64_t>(damaged.size() + 2);
  EXPECT_GE(decoder->framesDropped(), mustDrop);
  EXPECT_EQ(static_cast<int64_t>(received.size()) + decoder->framesDropped(), pushed);
  ASSERT_GE(received.size(), 2u);
  // The good frames on both sides come through whole, with their times.
  EXPECT_EQ(received.front().start, 0);
  EXPECT_EQ(received.back().start, t);
  EXPECT_EQ(received.back().bytes, received.front().bytes);
  EXPECT_EQ(received.back().bytes.size(), 720u * 3 * 576);
}

TEST(DvBadInput, TheSplitterDropsWhatCannotBeTakenApartAndGoesOn) {
  auto graph = FilterGraph::create();
  MediaType iavs(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
  DVINFO info;
  info.dwDVAAuxSrc = 0;  // 48 kHz, one stereo stream
  info.dwDVAAuxSrc1 = 0xFFFFFFFF;
  iavs.setFormat(info);
  iavs.lSampleSize = dv::kPalFrameBytes;
  auto source = std::make_shared<PushSource>(std::vector<MediaType>{iavs}, 150000);
  auto splitter = std::make_shared<DvSplitter>();
  auto videoSink = std::make_shared<RecordingSink>();
  auto audioSink = std::make_shared<RecordingSink>();
  graph->AddFilter(source, QStringLiteral("source"));
  graph->AddFilter(splitter, QStringLiteral("splitter"));
  graph->AddFilter(videoSink, QStringLiteral("video"));
  graph->AddFilter(audioSink, QStringLiteral("audio"));
  ASSERT_EQ(graph->ConnectDirect(source->outPin(), pinsOf(splitter)[0], nullptr), S_OK);
  auto outputs = pinsOf(splitter);
  ASSERT_EQ(outputs.size(), 3u);
  ASSERT_EQ(graph->ConnectDirect(outputs[1], videoSink->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(outputs[2], audioSink->inPin(), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  const auto good = goodFrame();
  const auto damaged = damagedFrames(good);
  REFERENCE_TIME t = 0;
  ASSERT_EQ(source->push(good, t), S_OK);
  int64_t mustDrop = 0;
  for (const Damaged& d : damaged) {
    t += 400000;
    EXPECT_TRUE(SUCCEEDED(source->push(d.bytes, t))) << d.what;
    mustDrop += d.mustDrop;
  }
  t += 400000;
  ASSERT_EQ(source->push(good, t), S_OK);
  ASSERT_EQ(graph->Stop(), S_OK);

  const auto pictures = videoSink->received();
  const auto sounds = audioSink->received();
  const auto pushed = static_cast<int64_t>(damaged.size() + 2);
  EXPECT_GE(splitter->framesDropped(), mustDrop + 1);  // "longer than a frame" is no DV frame either
  EXPECT_EQ(static_cast<int64_t>(pictures.size()) + splitter->framesDropped(), pushed);
  ASSERT_GE(pictures.size(), 2u);
  EXPECT_EQ(pictures.front().bytes, good);
  EXPECT_EQ(pictures.back().bytes, good);
  EXPECT_EQ(pictures.back().start, t);
  // The good frames' sound comes out whole; no piece is larger than the stream's buffers.
  ASSERT_GE(sounds.size(), 2u);
  EXPECT_EQ(sounds.front().bytes.size(), 1920u * 4);
  EXPECT_EQ(sounds.back().bytes, sounds.front().bytes);
  EXPECT_EQ(sounds.back().start, t);
}

}  // namespace
