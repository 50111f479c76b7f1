#include "platform/devices/virtual/VirtualMpegCard.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/devices/virtual/FrameSink.h"
#include "platform/devices/virtual/PushSource.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/MpegGuids.h"
#include "platform/media/MpegVideoInfo.h"
#include "platform/media/filters/MpegVideoDecoder.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

#include <QFile>

using namespace vistrel::platform::devices;
using namespace vistrel::platform::media;

namespace {

std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

// Decodes the pictures with libavcodec, one per sample, as a player would; the count of
// pictures that came out whole.
int decodeAll(const std::vector<uint8_t>& sequenceHeader,
              const std::vector<vistrel::testing::SinkSample>& samples, int& width, int& height) {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->extradata = static_cast<uint8_t*>(av_mallocz(sequenceHeader.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  std::memcpy(ctx->extradata, sequenceHeader.data(), sequenceHeader.size());
  ctx->extradata_size = static_cast<int>(sequenceHeader.size());
  avcodec_open2(ctx, codec, nullptr);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int decoded = 0;
  auto drain = [&] {
    while (avcodec_receive_frame(ctx, frame) == 0) {
      if (!frame->decode_error_flags) ++decoded;
      width = frame->width;
      height = frame->height;
      av_frame_unref(frame);
    }
  };
  for (const auto& s : samples) {
    std::vector<uint8_t> padded(s.bytes);
    padded.resize(s.bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    pkt->data = padded.data();
    pkt->size = static_cast<int>(s.bytes.size());
    if (avcodec_send_packet(ctx, pkt) == 0) drain();
  }
  avcodec_send_packet(ctx, nullptr);
  drain();
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&ctx);
  return decoded;
}

TEST(VirtualMpegCard, AnnouncesMpeg2VideoWithItsSequenceHeaderAndAspect) {
  struct Case {
    QStringList options;
    uint32_t x, y;
  };
  for (const Case& c : {Case{{}, 4, 3}, Case{{QStringLiteral("aspect=0:0")}, 0, 0},
                        Case{{QStringLiteral("aspect=16:9")}, 16, 9}}) {
    const MpegCardSettings settings = mpegCardSettings(c.options);
    ASSERT_TRUE(settings.error.isEmpty());
    auto card = std::make_shared<VirtualMpegCard>(QStringLiteral("MPEG"), settings);
    auto pins = pinsOf(card);
    ASSERT_EQ(pins.size(), 1u);
    std::shared_ptr<IEnumMediaTypes> types;
    pins[0]->EnumMediaTypes(types);
    ASSERT_EQ(types->all().size(), 1u);
    const MediaType& t = types->all()[0];
    EXPECT_EQ(t.subtype, MEDIASUBTYPE_MPEG2_VIDEO);
    EXPECT_EQ(t.formattype, FORMAT_MPEG2Video);
    EXPECT_TRUE(t.bTemporalCompression);
    auto v2 = t.videoInfo2();
    ASSERT_TRUE(v2);
    EXPECT_EQ(v2->dwPictAspectRatioX, c.x);
    EXPECT_EQ(v2->dwPictAspectRatioY, c.y);
    EXPECT_EQ(v2->bmiHeader.biWidth, 720);
    EXPECT_EQ(v2->bmiHeader.biHeight, 576);
    const auto header = mpegSequenceHeader(t);
    ASSERT_GE(header.size(), 12u);
    EXPECT_EQ(header[3], 0xB3);
  }
  for (const char* bad : {"aspect=4", "aspect=0:3", "aspect=a:b", "size=big"})
    EXPECT_FALSE(mpegCardSettings({QString::fromUtf8(bad)}).error.isEmpty()) << bad;
}

TEST(VirtualMpegCard, ItsPicturesDecodeWithLibavcodec) {
  auto graph = FilterGraph::create();
  auto card = std::make_shared<VirtualMpegCard>(QStringLiteral("MPEG"), MpegCardSettings{});
  auto sink = std::make_shared<vistrel::testing::FrameSink>();
  graph->AddFilter(card, QStringLiteral("MPEG"));
  graph->AddFilter(sink, QStringLiteral("Sink"));
  ASSERT_EQ(graph->ConnectDirect(pinsOf(card)[0], pinsOf(sink)[0], nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  ASSERT_TRUE(sink->waitFor(14));
  graph->Stop();
  auto samples = sink->samples();
  for (size_t i = 1; i < samples.size(); ++i) EXPECT_GT(samples[i].start, samples[i - 1].start);
  int width = 0, height = 0;
  EXPECT_EQ(decodeAll(mpegSequenceHeader(card->mediaType()), samples, width, height),
            static_cast<int>(samples.size()));
  EXPECT_EQ(width, 720);
  EXPECT_EQ(height, 576);
  // A key picture, with its sequence header, every 12.
  EXPECT_EQ(findSequenceHeader(samples[0].bytes), mpegSequenceHeader(card->mediaType()));
  EXPECT_FALSE(findSequenceHeader(samples[12].bytes).empty());
  EXPECT_TRUE(findSequenceHeader(samples[5].bytes).empty());
}

TEST(VirtualMpegCard, ThePreviewDecodesToRgb24ThroughTheMapper) {
  auto graph = FilterGraph::create();
  auto card = std::make_shared<VirtualMpegCard>(QStringLiteral("MPEG"), MpegCardSettings{0, 0, {}});
  auto sink = std::make_shared<vistrel::testing::FrameSink>(MEDIASUBTYPE_RGB24);
  graph->AddFilter(card, QStringLiteral("MPEG"));
  graph->AddFilter(sink, QStringLiteral("Sink"));
  ASSERT_EQ(graph->Connect(pinsOf(card)[0], pinsOf(sink)[0]), S_OK);
  bool decoderInserted = false;
  for (auto& f : graph->filters()) {
    GUID clsid;
    f->GetClassID(clsid);
    decoderInserted = decoderInserted || clsid == CLSID_Mpeg2VideoDecoder;
  }
  EXPECT_TRUE(decoderInserted);
  ASSERT_EQ(graph->Run(), S_OK);
  ASSERT_TRUE(sink->waitFor(4));
  graph->Stop();
  for (const auto& s : sink->samples()) EXPECT_EQ(s.bytes.size(), 720u * 3 * 576);
}

TEST(MpegVideoDecoder, EachDecoderTakesItsOwnKindOfVideo) {
  auto card = std::make_shared<VirtualMpegCard>(QStringLiteral("MPEG"), MpegCardSettings{});
  MpegVideoDecoder mpeg2(true), mpeg1(false);
  EXPECT_EQ(mpeg2.CheckInputType(card->mediaType()), S_OK);
  EXPECT_EQ(mpeg1.CheckInputType(card->mediaType()), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(mpeg2.CheckInputType(MediaType::rgb24(720, 576, 400000)), VFW_E_TYPE_NOT_ACCEPTED);
  MPEG1VIDEOINFO info;
  info.hdr.bmiHeader.biWidth = 352;
  info.hdr.bmiHeader.biHeight = 288;
  MediaType mpeg1Type(MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Payload, FORMAT_MPEGVideo);
  mpeg1Type.format = mpegVideoBlock(info, {});
  EXPECT_EQ(mpeg1.CheckInputType(mpeg1Type), S_OK);
  mpeg1Type.format.resize(40);  // a block too short for its header
  EXPECT_EQ(mpeg1.CheckInputType(mpeg1Type), VFW_E_TYPE_NOT_ACCEPTED);
}

TEST(MpegVideoDecoder, PicturesCutInPiecesAndDamageInBetween) {
  // Twelve pictures from the card, as one byte stream.
  auto graph = FilterGraph::create();
  auto card = std::make_shared<VirtualMpegCard>(QStringLiteral("MPEG"), MpegCardSettings{});
  auto grab = std::make_shared<vistrel::testing::FrameSink>();
  graph->AddFilter(card, QStringLiteral("MPEG"));
  graph->AddFilter(grab, QStringLiteral("Grab"));
  ASSERT_EQ(graph->ConnectDirect(pinsOf(card)[0], pinsOf(grab)[0], nullptr), S_OK);
  graph->Run();
  ASSERT_TRUE(grab->waitFor(12));
  graph->Stop();
  std::vector<std::vector<uint8_t>> pictures;
  for (const auto& s : grab->samples()) pictures.push_back(s.bytes);
  pictures.resize(12);

  // Fed to the decoder in pieces of 1000 bytes, with a run of junk after the sixth picture.
  auto graph2 = FilterGraph::create();
  const MediaType mpeg2 = card->mediaType();
  card.reset();
  auto source = vistrel::testing::makePushSource(mpeg2);
  auto decoder = std::make_shared<MpegVideoDecoder>(true);
  auto out = std::make_shared<vistrel::testing::FrameSink>(MEDIASUBTYPE_RGB24);
  graph2->AddFilter(source, QStringLiteral("Source"));
  graph2->AddFilter(decoder, QStringLiteral("Decoder"));
  graph2->AddFilter(out, QStringLiteral("Out"));
  ASSERT_EQ(graph2->ConnectDirect(pinsOf(source)[0], pinsOf(decoder)[0], nullptr), S_OK);
  ASSERT_EQ(graph2->ConnectDirect(pinsOf(decoder)[1], pinsOf(out)[0], nullptr), S_OK);
  ASSERT_EQ(graph2->Run(), S_OK);
  for (size_t p = 0; p < pictures.size(); ++p) {
    const auto& bytes = pictures[p];
    for (size_t at = 0; at < bytes.size(); at += 1000) {
      std::vector<uint8_t> piece(
          bytes.begin() + static_cast<std::ptrdiff_t>(at),
          bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + 1000)));
      ASSERT_TRUE(SUCCEEDED(source->push(piece, at == 0 ? static_cast<int64_t>(p) * 400000 : -1)));
    }
    if (p == 5) {
      ASSERT_TRUE(SUCCEEDED(source->push(std::vector<uint8_t>(3000, 0x5A), -1)));
    }
  }
  // A picture is complete when the next one starts, and the decoder holds one back: all but the
  // last two come out, less the damaged one.
  ASSERT_TRUE(out->waitFor(9));
  graph2->Stop();
  auto frames = out->samples();
  EXPECT_EQ(frames.size(), 9u);
  EXPECT_LE(decoder->framesDropped(), 1);
  for (const auto& f : frames) EXPECT_EQ(f.bytes.size(), 720u * 3 * 576);
  EXPECT_EQ(frames[0].start, 0);
  EXPECT_EQ(frames[2].start, 800000);  // each picture keeps its own time
}

TEST(VirtualMpegEncoder, OnlyAByteStreamThatPlayersRead) {
  vistrel::testing::TempRoot root;
  auto graph = FilterGraph::create();
  auto encoder = std::make_shared<VirtualMpegEncoder>(QStringLiteral("Encoder"));
  auto pins = pinsOf(encoder);
  ASSERT_EQ(pins.size(), 1u);
  std::shared_ptr<IEnumMediaTypes> types;
  pins[0]->EnumMediaTypes(types);
  ASSERT_EQ(types->all().size(), 1u);
  EXPECT_EQ(types->all()[0].majortype, MEDIATYPE_Stream);
  auto sink = std::make_shared<vistrel::testing::FrameSink>();
  graph->AddFilter(encoder, QStringLiteral("Encoder"));
  graph->AddFilter(sink, QStringLiteral("Sink"));
  ASSERT_EQ(graph->ConnectDirect(pins[0], pinsOf(sink)[0], nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  ASSERT_TRUE(sink->waitFor(10));
  graph->Stop();
  QByteArray file;
  for (const auto& s : sink->samples()) {
    EXPECT_EQ(s.start, file.size());  // each piece at its byte offset
    file.append(reinterpret_cast<const char*>(s.bytes.data()), static_cast<qsizetype>(s.bytes.size()));
  }
  root.write(QStringLiteral("encoder.mpg"), file);
  auto probed = vistrel::testing::probeMedia(root.file(QStringLiteral("encoder.mpg")));
  ASSERT_TRUE(probed.opened);
  ASSERT_EQ(probed.streams.size(), 1u);
  EXPECT_EQ(probed.streams[0].codec, AV_CODEC_ID_MPEG2VIDEO);
  EXPECT_GE(probed.streams[0].packets, 9);
}

// Real MPEG-1 pictures (libavcodec's MPEG-1 encoder, 352 x 288: light above, dark below) reach
// an RGB24 renderer through intelligent connect, which finds the registered MPEG-1 decoder; the
// pictures come out bottom-up at the coded size with their light and dark halves.
TEST(MpegVideoDecoder, RealMpeg1PicturesDecodeThroughTheRegisteredDecoder) {
  constexpr int kWidth = 352, kHeight = 288, kPictures = 6;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  ASSERT_TRUE(codec);
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  ctx->width = kWidth;
  ctx->height = kHeight;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = AVRational{1, 25};
  ctx->framerate = AVRational{25, 1};
  ctx->gop_size = 1;  // every picture intra
  ctx->max_b_frames = 0;
  ctx->bit_rate = 2000000;
  ASSERT_EQ(avcodec_open2(ctx, codec, nullptr), 0);
  AVFrame* picture = av_frame_alloc();
  picture->format = ctx->pix_fmt;
  picture->width = kWidth;
  picture->height = kHeight;
  ASSERT_EQ(av_frame_get_buffer(picture, 0), 0);
  for (int y = 0; y < kHeight; ++y)
    std::memset(picture->data[0] + y * picture->linesize[0], y < kHeight / 2 ? 200 : 60, kWidth);
  for (int plane = 1; plane < 3; ++plane)
    for (int y = 0; y < kHeight / 2; ++y)
      std::memset(picture->data[plane] + y * picture->linesize[plane], 128, kWidth / 2);
  std::vector<std::vector<uint8_t>> coded;
  AVPacket* packet = av_packet_alloc();
  for (int i = 0; i <= kPictures; ++i) {
    if (i < kPictures) {
      picture->pts = i;
      ASSERT_EQ(avcodec_send_frame(ctx, picture), 0);
    } else {
      avcodec_send_frame(ctx, nullptr);
    }
    while (avcodec_receive_packet(ctx, packet) == 0) {
      coded.emplace_back(packet->data, packet->data + packet->size);
      av_packet_unref(packet);
    }
  }
  av_packet_free(&packet);
  av_frame_free(&picture);
  avcodec_free_context(&ctx);
  ASSERT_EQ(coded.size(), static_cast<size_t>(kPictures));
  // The sequence header opens the first picture's bytes, up to its first extension or GOP.
  std::vector<uint8_t> sequenceHeader(coded[0].begin(), coded[0].begin() + 12);
  ASSERT_EQ(sequenceHeader[3], 0xB3);

  MPEG1VIDEOINFO info;
  info.hdr.AvgTimePerFrame = 400000;
  info.hdr.bmiHeader.biWidth = kWidth;
  info.hdr.bmiHeader.biHeight = kHeight;
  MediaType type(MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Payload, FORMAT_MPEGVideo);
  type.format = mpegVideoBlock(info, sequenceHeader);
  auto graph = FilterGraph::create();
  auto source = vistrel::testing::makePushSource(type);
  auto sink = std::make_shared<vistrel::testing::FrameSink>(MEDIASUBTYPE_RGB24);
  graph->AddFilter(source, QStringLiteral("Source"));
  graph->AddFilter(sink, QStringLiteral("Sink"));
  ASSERT_EQ(graph->Connect(pinsOf(source)[0], pinsOf(sink)[0]), S_OK);
  bool mpeg1Decoder = false;
  for (auto& f : graph->filters()) {
    GUID clsid;
    f->GetClassID(clsid);
    mpeg1Decoder = mpeg1Decoder || clsid == CLSID_Mpeg1VideoDecoder;
  }
  EXPECT_TRUE(mpeg1Decoder);
  ASSERT_EQ(graph->Run(), S_OK);
  for (int i = 0; i < kPictures; ++i)
    ASSERT_TRUE(SUCCEEDED(source->push(coded[static_cast<size_t>(i)], int64_t{i} * 400000)));
  ASSERT_TRUE(sink->waitFor(kPictures - 2));  // the last pictures wait for the next start code
  graph->Stop();
  const auto frames = sink->samples();
  ASSERT_GE(frames.size(), static_cast<size_t>(kPictures - 2));
  for (const auto& f : frames) {
    ASSERT_EQ(f.bytes.size(), size_t{kWidth} * 3 * kHeight);
    // Bottom-up: the first rows are the dark bottom, the last the light top (BT.601 levels).
    const uint8_t bottom = f.bytes[static_cast<size_t>((10 * kWidth + kWidth / 2) * 3 + 1)];
    const uint8_t top = f.bytes[static_cast<size_t>(((kHeight - 10) * kWidth + kWidth / 2) * 3 + 1)];
    EXPECT_NEAR(bottom, (60 - 16) * 255 / 219, 8);
    EXPECT_NEAR(top, (200 - 16) * 255 / 219, 8);
  }
  EXPECT_EQ(frames[1].start, 400000);
}

}  // namespace
