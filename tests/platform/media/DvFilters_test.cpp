#include <gtest/gtest.h>

#include <QFile>

#include <cmath>
#include <random>

#include "platform/media/AviLayout.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/TestFilters.h"
#include "platform/media/dv/DvCodec.h"
#include "platform/media/filters/AviMux.h"
#include "platform/media/filters/DvInfo.h"
#include "platform/media/filters/DvVideoDecoder.h"
#include "platform/media/filters/DvVideoEncoder.h"
#include "platform/media/filters/FileWriter.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {

// A smooth bottom-up BGR picture: DV keeps it within a few levels.
std::vector<uint8_t> gradient(int width, int height, int shift = 0) {
  const int stride = static_cast<int>(dibRowBytes(width, 24));
  std::vector<uint8_t> p(static_cast<size_t>(stride * height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* px = &p[static_cast<size_t>(y * stride + x * 3)];
      px[0] = static_cast<uint8_t>((x + shift) * 255 / width);
      px[1] = static_cast<uint8_t>(y * 255 / height);
      px[2] = 128;
    }
  return p;
}

double meanDifference(const std::vector<uint8_t>& a, const uint8_t* b, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / double(n);
}

int bcd(uint8_t b, uint8_t tensMask) { return ((b >> 4) & tensMask) * 10 + (b & 0xF); }

TEST(DvCodec, APictureSurvivesEncodingAndDecodingInBothSystems) {
  for (dv::System system : {dv::System::Pal, dv::System::Ntsc}) {
    const int height = system == dv::System::Pal ? 576 : 480;
    const auto picture = gradient(720, height);
    dv::DvEncoder encoder;
    ASSERT_TRUE(encoder.open(system)) << encoder.errorText().toStdString();
    std::vector<uint8_t> frame(dv::frameBytes(system));
    ASSERT_TRUE(encoder.encode({picture.data(), 720, height, 720 * 3}, frame));
    EXPECT_EQ(frame[3] & 0x80, system == dv::System::Pal ? 0x80 : 0x00);  // the header's 50/60 flag
    dv::DvDecoder decoder;
    std::vector<uint8_t> back(picture.size());
    ASSERT_TRUE(decoder.decode(frame, back.data(), 720, height, 720 * 3));
    EXPECT_LT(meanDifference(picture, back.data(), picture.size()), 6.0);
    // Half size: every other row and column of the same picture.
    std::vector<uint8_t> half(static_cast<size_t>(360 * 3 * height / 2));
    ASSERT_TRUE(decoder.decode(frame, half.data(), 360, height / 2, 360 * 3));
    EXPECT_NEAR(half[static_cast<size_t>((height / 4) * 1080 + 180 * 3)],
                picture[static_cast<size_t>((height / 2) * 2160 + 360 * 3)], 12);
  }
}

TEST(DvCodec, PicturesOfAnotherSizeAreScaled) {
  const auto small = gradient(320, 240);
  dv::DvEncoder encoder;
  ASSERT_TRUE(encoder.open(dv::System::Pal));
  std::vector<uint8_t> frame(dv::kPalFrameBytes);
  EXPECT_TRUE(encoder.encode({small.data(), 320, 240, 320 * 3}, frame));
  EXPECT_FALSE(encoder.encode({small.data(), 320, 240, 100}, frame));  // a stride shorter than a row
  std::vector<uint8_t> tooSmall(1000);
  EXPECT_FALSE(encoder.encode({small.data(), 320, 240, 320 * 3}, tooSmall));
}

TEST(DvCodec, BrokenFramesAreRefusedWithoutHarm) {
  dv::DvDecoder decoder;
  std::vector<uint8_t> out(720 * 576 * 3, 7);
  std::vector<uint8_t> truncated(70000, 0);
  EXPECT_FALSE(decoder.decode(truncated, out.data(), 720, 576, 2160));
  EXPECT_EQ(out[0], 7);
  std::mt19937 random(5);
  std::vector<uint8_t> noise(dv::kPalFrameBytes);
  for (int i = 0; i < 20; ++i) {
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    decoder.decode(noise, out.data(), 720, 576, 2160);  // garbage decodes to garbage, never a crash
  }
  EXPECT_FALSE(decoder.decode({}, out.data(), 720, 576, 2160));
}

// Every slot of every sequence gets the pack: the six SSYB slots of both subcode blocks the time
// code, the four date and time slots of each VAUX block the recording date; the display mode
// goes into the encoder's source control packs too, with the code the frame's application ID
// calls for (7 on consumer PAL, 2 on the encoder's NTSC frames).
TEST(DvFrame, PacksAreWrittenIntoEverySlotOfEverySequence) {
  for (dv::System system : {dv::System::Pal, dv::System::Ntsc}) {
    SCOPED_TRACE(system == dv::System::Pal ? "PAL" : "NTSC");
    const int height = system == dv::System::Pal ? 576 : 480;
    const auto picture = gradient(720, height);
    dv::DvEncoder encoder;
    ASSERT_TRUE(encoder.open(system));
    std::vector<uint8_t> frame(dv::frameBytes(system));
    ASSERT_TRUE(encoder.encode({picture.data(), 720, height, 720 * 3}, frame));
    dv::writeTimeCode(frame, system, {1, 12, 35, 14});
    dv::writeRecordingDateTime(frame, system, {2005, 12, 25, 21, 45, 30});
    dv::writeAspect(frame, system, true);
    const int wideMode = system == dv::System::Pal ? 7 : 2;
    for (int s = 0; s < dv::sequences(system); ++s) {
      const uint8_t* q = frame.data() + s * dv::kSequenceBytes;
      for (size_t at : dv::kSubcodePackSlots) {
        SCOPED_TRACE(testing::Message() << "sequence " << s << " subcode slot " << at);
        ASSERT_EQ(q[at], 0x13);
        EXPECT_EQ(bcd(q[at + 4], 0x3), 1);
        EXPECT_EQ(bcd(q[at + 3], 0x7), 12);
        EXPECT_EQ(bcd(q[at + 2], 0x7), 35);
        EXPECT_EQ(bcd(q[at + 1], 0x3), 14);
      }
      for (size_t at : dv::kDatePackSlots) {
        SCOPED_TRACE(testing::Message() << "sequence " << s << " VAUX slot " << at);
        ASSERT_EQ(q[at], 0x62);
        EXPECT_EQ(bcd(q[at + 2], 0x3), 25);
        EXPECT_EQ(bcd(q[at + 3], 0x1), 12);
        EXPECT_EQ(bcd(q[at + 4], 0xF), 5);
        ASSERT_EQ(q[at + 5], 0x63);
        EXPECT_EQ(bcd(q[at + 9], 0x3), 21);
        EXPECT_EQ(bcd(q[at + 8], 0x7), 45);
        EXPECT_EQ(bcd(q[at + 7], 0x7), 30);
      }
      EXPECT_EQ(q[453], 0x61);
      EXPECT_EQ(q[455] & 7, wideMode);
      for (const size_t at : {size_t{248}, size_t{328}, size_t{408}}) {
        ASSERT_EQ(q[at], 0x61);  // the encoder's, kept with its field flags
        EXPECT_EQ(q[at + 2] & 7, wideMode);
      }
    }
    dv::clearRecordingDateTime(frame, system);
    for (int s = 0; s < dv::sequences(system); ++s)
      for (size_t at : dv::kDatePackSlots)
        EXPECT_EQ(frame[s * dv::kSequenceBytes + at], 0xFF) << s << " " << at;
  }
  std::vector<uint8_t> shortFrame(1000, 0xFF);
  dv::writeTimeCode(shortFrame, dv::System::Pal, {});
  EXPECT_EQ(shortFrame[110], 0xFF);
}

std::shared_ptr<IPin> pinAt(const std::shared_ptr<IBaseFilter>& f, int i) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all().at(static_cast<size_t>(i));
}

TEST(DvFilters, EncoderAndDecoderInAGraph) {
  auto graph = FilterGraph::create();
  const int frameBytes = 720 * 3 * 576;
  auto source =
      std::make_shared<PushSource>(std::vector<MediaType>{MediaType::rgb24(720, 576, 400000)}, frameBytes);
  auto encoder = DvVideoEncoder::create();
  auto decoder = DvVideoDecoder::create();
  auto sink = std::make_shared<RecordingSink>();
  graph->AddFilter(source, "source");
  graph->AddFilter(encoder, "encoder");
  graph->AddFilter(decoder, "decoder");
  graph->AddFilter(sink, "sink");
  ASSERT_EQ(interfaceOf<IIPDVDec>(decoder)->put_IPDisplay(DVRESOLUTION_HALF), S_OK);
  ASSERT_EQ(graph->ConnectDirect(source->outPin(), pinAt(encoder, 0), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinAt(encoder, 1), pinAt(decoder, 0), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinAt(decoder, 1), sink->inPin(), nullptr), S_OK);
  MediaType out;
  pinAt(decoder, 1)->ConnectionMediaType(out);
  EXPECT_EQ(out.bitmapHeader()->biWidth, 360);
  EXPECT_EQ(out.bitmapHeader()->biHeight, 288);
  ASSERT_EQ(graph->Run(), S_OK);
  const auto picture = gradient(720, 576);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(source->push(picture, i * 400000), S_OK);
  ASSERT_EQ(graph->Stop(), S_OK);
  const auto received = sink->received();
  ASSERT_EQ(received.size(), 5u);
  EXPECT_EQ(received[4].bytes.size(), 360u * 3 * 288);
  EXPECT_TRUE(received[4].hasTime);
  EXPECT_EQ(received[4].start, 4 * 400000);
}

uint32_t le32(const QByteArray& b, qsizetype at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

QByteArray bytesOf(const DVINFO& info) {
  return QByteArray(reinterpret_cast<const char*>(&info), sizeof info);
}

// The encoder's NTSC frames recorded as type 2: libavformat reads them as DV, and the video
// stream's strf is the bitmap header (one frame's bytes as its image size) followed by the DV
// information block of the frames themselves, the one the encoder reports; a block given to
// put_IFormatResolution is the one written instead.
TEST(DvFilters, ADvType2FileReadsBackAsDvWithItsInformationBlock) {
  DVINFO given;
  given.dwDVAAuxSrc = 0xD0C0C0C0;  // a sound stream the caller means to add
  given.dwDVAAuxCtl = 0xFFA0CF03;
  given.dwDVAAuxSrc1 = given.dwDVAAuxCtl1 = 0xFFFFFFFF;
  given.dwDVVAuxSrc = 0xFF00FFFF;
  given.dwDVVAuxCtl = 0xFFFCC803;
  for (const bool withGivenBlock : {false, true}) {
    SCOPED_TRACE(withGivenBlock ? "block given" : "the frames' block");
    vistrel::testing::TempRoot root;
    const QString path = root.file(QStringLiteral("dv2.avi"));
    auto graph = FilterGraph::create();
    auto source = std::make_shared<PushSource>(std::vector<MediaType>{MediaType::rgb24(720, 480, 333667)},
                                               720 * 3 * 480);
    auto encoder = DvVideoEncoder::create();
    auto settings = interfaceOf<IDVEnc>(encoder);
    ASSERT_EQ(settings->put_IFormatResolution(DVENCODERVIDEOFORMAT_NTSC, DVENCODERFORMAT_DVSD,
                                              DVENCODERRESOLUTION_720x480, withGivenBlock, &given),
              S_OK);
    EXPECT_EQ(settings->put_IFormatResolution(1234, DVENCODERFORMAT_DVSD, DVENCODERRESOLUTION_720x480, false,
                                              nullptr),
              E_INVALIDARG);
    EXPECT_EQ(settings->put_IFormatResolution(DVENCODERVIDEOFORMAT_NTSC, DVENCODERFORMAT_DVSD,
                                              DVENCODERRESOLUTION_720x480, true, nullptr),
              E_POINTER);
    DVINFO reported;
    int videoFormat = 0;
    ASSERT_EQ(settings->get_IFormatResolution(&videoFormat, nullptr, nullptr, true, &reported), S_OK);
    EXPECT_EQ(videoFormat, DVENCODERVIDEOFORMAT_NTSC);
    auto mux = AviMux::create();
    auto writer = FileWriter::create();
    interfaceOf<IFileSinkFilter>(writer)->SetFileName(path, nullptr);
    for (auto [f, n] : {std::pair{std::static_pointer_cast<IBaseFilter>(source), "s"},
                        std::pair{encoder, "e"}, std::pair{mux, "m"}, std::pair{writer, "w"}})
      graph->AddFilter(f, QString::fromLatin1(n));
    ASSERT_EQ(graph->ConnectDirect(source->outPin(), pinAt(encoder, 0), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(pinAt(encoder, 1), pinAt(mux, 1), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(pinAt(mux, 0), pinAt(writer, 0), nullptr), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    const auto picture = gradient(720, 480);
    for (int i = 0; i < 30; ++i) ASSERT_EQ(source->push(picture, i * 333667), S_OK);
    ASSERT_EQ(graph->Stop(), S_OK);
    const auto probed = vistrel::testing::probeMedia(path);
    ASSERT_TRUE(probed.opened);
    ASSERT_EQ(probed.streams.size(), 1u);
    EXPECT_EQ(probed.streams[0].codec, AV_CODEC_ID_DVVIDEO);
    EXPECT_EQ(probed.streams[0].height, 480);
    EXPECT_EQ(probed.streams[0].packets, 30);
    EXPECT_EQ(probed.streams[0].bytes, 30 * 120000);

    const auto layout = vistrel::testing::readAviLayout(path);
    ASSERT_TRUE(layout.valid);
    ASSERT_EQ(layout.streams.size(), 1u);
    EXPECT_EQ(layout.streams[0].fccType, "vids");
    EXPECT_EQ(layout.streams[0].fccHandler, "dvsd");
    const QByteArray strf = layout.streams[0].strf;
    ASSERT_EQ(strf.size(), 40 + 32);
    EXPECT_EQ(le32(strf, 16), makeFourcc('d', 'v', 's', 'd'));
    EXPECT_EQ(le32(strf, 20), 120000u);  // biSizeImage: one NTSC frame
    EXPECT_EQ(strf.mid(40), bytesOf(reported));
    if (withGivenBlock) {
      EXPECT_EQ(strf.mid(40), bytesOf(given));
    } else {
      // The frames' own packs: the first frame of the file says the same.
      QFile file(path);
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      const qsizetype chunk = bytes.indexOf("00dc", bytes.indexOf("movi"));
      ASSERT_GT(chunk, 0);
      const auto* first = reinterpret_cast<const uint8_t*>(bytes.constData() + chunk + 8);
      EXPECT_EQ(strf.mid(40),
                bytesOf(dvInfoOfFrame(std::span<const uint8_t>(first, 120000), dv::System::Ntsc)));
      EXPECT_EQ(reported.dwDVAAuxSrc, 0xFFFFFFFFu);  // no sound in the encoder's frames
      EXPECT_NE(reported.dwDVVAuxSrc, 0xFFFFFFFFu);
      EXPECT_EQ(reported.dwDVVAuxSrc >> 16 & 0x20, 0u);  // the 50/60 flag: 60 fields
      EXPECT_NE(reported.dwDVVAuxCtl, 0xFFFFFFFFu);
    }
  }
}

}  // namespace
