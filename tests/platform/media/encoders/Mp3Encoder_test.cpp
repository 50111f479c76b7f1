#include "platform/media/filters/Mp3Encoder.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>

#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/encoders/Encoders_fixture.h"
#include "platform/media/filters/FileWriter.h"
#include "platform/media/filters/MpegAudioFormats.h"
#include "platform/registry/Registry.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::media;
using vistrel::testing::pinOf;
using vistrel::testing::PushSource;

namespace {

const QString kKey = QString::fromLatin1(kLameRegistryKey);

void setBitrate(uint32_t kbps) {
  ASSERT_TRUE(registry::createKey(registry::Hive::CurrentUser, kKey));
  ASSERT_TRUE(registry::setValue(registry::Hive::CurrentUser, kKey, QStringLiteral("Bitrate"),
                                 registry::dwordValue(kbps)));
}

// The encoder found as the options panel finds it: by class id in the filters category.
std::shared_ptr<IBaseFilter> bindEncoder() {
  vistrel::testing::registerFilters();
  for (auto& m : SystemDeviceEnum::create()->monikers(CLSID_LegacyAmFilterCategory)) {
    QVariant clsid;
    m->Read(QStringLiteral("CLSID"), clsid);
    if (clsid.toString() == QStringLiteral("{B8D27088-FF5F-4B7C-98DC-0E91A1696286}")) {
      std::shared_ptr<IBaseFilter> f;
      m->BindToObject(f);
      return f;
    }
  }
  return nullptr;
}

struct Mp3Graph {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<PushSource> source;
  std::shared_ptr<IBaseFilter> encoder = bindEncoder();
  std::shared_ptr<IBaseFilter> writer = FileWriter::create();

  HRESULT build(const QString& file, uint32_t rate, uint16_t channels,
                const MediaType* outputType = nullptr) {
    source = PushSource::create(MediaType::pcm(rate, channels, 16));
    graph->AddFilter(source, QStringLiteral("audio"));
    graph->AddFilter(encoder, QStringLiteral("mp3"));
    graph->AddFilter(writer, QStringLiteral("FileWriter"));
    interfaceOf<IFileSinkFilter>(writer)->SetFileName(file, nullptr);
    HRESULT hr = graph->ConnectDirect(source->output(), pinOf(encoder, 0), nullptr);
    if (FAILED(hr)) return hr;
    return pinOf(encoder, 1)->Connect(pinOf(writer, 0), outputType);
  }
  void record(int seconds, uint32_t rate, int channels) {
    ASSERT_EQ(graph->Run(), S_OK);
    double phase = 0;
    const int block = static_cast<int>(rate / 25);
    for (int i = 0; i < seconds * 25; ++i) {
      auto b = vistrel::testing::toneBlock(block, static_cast<int>(rate), channels, phase);
      source->push(b.data(), static_cast<int32_t>(b.size()), i * 400000LL, (i + 1) * 400000LL);
    }
    ASSERT_EQ(graph->Stop(), S_OK);
  }
};

TEST(Mp3Encoder, IsRegisteredByClassWithItsLibraryAndSettingsKey) {
  vistrel::testing::TempRoot root;
  ASSERT_TRUE(bindEncoder());
  auto path = registry::queryValue(
      registry::Hive::ClassesRoot,
      QStringLiteral("\\CLSID\\{B8D27088-FF5F-4B7C-98DC-0E91A1696286}\\InprocServer32"), QString());
  ASSERT_TRUE(path);
  const QString library = registry::decodeString(path->data);
  EXPECT_TRUE(QFileInfo(library).isFile()) << library.toStdString();
  EXPECT_TRUE(library.contains(QStringLiteral("mp3lame")));
  // The options panel opens the key without creating it: it must exist, with a bit rate.
  auto bitrate = registry::queryValue(registry::Hive::CurrentUser, kKey, QStringLiteral("Bitrate"));
  ASSERT_TRUE(bitrate);
  EXPECT_EQ(registry::decodeDword(*bitrate), 128u);
  std::vector<GUID> pages;
  ASSERT_EQ(interfaceOf<ISpecifyPropertyPages>(bindEncoder())->GetPages(pages), S_OK);
  EXPECT_EQ(pages.size(), 1u);
}

struct BitrateCase {
  uint32_t registry;
  uint32_t rate;
  int expected;
};

class Mp3Bitrate : public ::testing::TestWithParam<BitrateCase> {};

TEST_P(Mp3Bitrate, StreamIsWrittenAtTheRegistrysRateOrTheNearestValidOne) {
  vistrel::testing::TempRoot root;
  const QString file = root.file("audio.mp3");
  Mp3Graph g;
  setBitrate(GetParam().registry);
  ASSERT_EQ(g.build(file, GetParam().rate, 2), S_OK);
  MediaType out;
  pinOf(g.encoder, 1)->ConnectionMediaType(out);
  EXPECT_EQ(out.subtype, MEDIASUBTYPE_MP3);
  EXPECT_EQ(out.waveFormat()->nAvgBytesPerSec, uint32_t(GetParam().expected * 125));
  g.record(3, GetParam().rate, 2);

  auto info = vistrel::testing::probeFile(file, "mp3");
  ASSERT_TRUE(info.opened);
  const auto* a = info.first(false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->codec, QStringLiteral("mp3"));
  EXPECT_EQ(a->bitrate, GetParam().expected * 1000);
  EXPECT_EQ(a->sampleRate, int(GetParam().rate));
  EXPECT_EQ(a->channels, 2);
  EXPECT_NEAR(a->duration, 3.0, 0.1);  // the codec's tail is flushed at stop
  EXPECT_GT(a->decodedFrames, 0);
}

INSTANTIATE_TEST_SUITE_P(Registry, Mp3Bitrate,
                         ::testing::Values(BitrateCase{96, 44100, 96}, BitrateCase{88, 44100, 80},
                                           BitrateCase{500, 48000, 320}, BitrateCase{8, 32000, 32},
                                           BitrateCase{192, 22050, 160}, BitrateCase{0, 44100, 32}));

TEST(Mp3Encoder, NearestRateTable) {
  EXPECT_EQ(nearestMp3Bitrate(88, 44100), 80);  // a tie goes to the lower rate
  EXPECT_EQ(nearestMp3Bitrate(100, 44100), 96);
  EXPECT_EQ(nearestMp3Bitrate(130, 44100), 128);
  EXPECT_EQ(nearestMp3Bitrate(1000, 22050), 160);
  EXPECT_EQ(nearestMp3Bitrate(8, 11025), 8);
  EXPECT_EQ(nearestMp3Bitrate(-5, 48000), 32);
}

TEST(Mp3Encoder, OffersTheMpegPayloadFormWhenAskedForIt) {
  vistrel::testing::TempRoot root;
  Mp3Graph g;
  // The WAV writer's request: only the major type and the subtype.
  const MediaType partial(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload);
  ASSERT_EQ(g.build(root.file("x.wav"), 44100, 2, &partial), S_OK);
  MediaType out;
  pinOf(g.encoder, 1)->ConnectionMediaType(out);
  EXPECT_EQ(out.subtype, MEDIASUBTYPE_MPEG1AudioPayload);
  ASSERT_EQ(out.format.size(), sizeof(MPEG1WAVEFORMAT));
  MPEG1WAVEFORMAT f;
  std::memcpy(&f, out.format.data(), sizeof f);
  EXPECT_EQ(f.wfx.wFormatTag, WAVE_FORMAT_MPEG);
  EXPECT_EQ(f.fwHeadLayer, ACM_MPEG_LAYER3);
  EXPECT_EQ(f.dwHeadBitrate, 128000u);
}

TEST(Mp3Encoder, RefusesPcmItCannotEncode) {
  vistrel::testing::TempRoot root;
  auto encoder = bindEncoder();
  auto in = pinOf(encoder, 0);
  EXPECT_EQ(in->QueryAccept(MediaType::pcm(44100, 2, 16)), S_OK);
  EXPECT_EQ(in->QueryAccept(MediaType::pcm(88200, 2, 16)), S_FALSE);
  EXPECT_EQ(in->QueryAccept(MediaType::pcm(44100, 6, 16)), S_FALSE);
  EXPECT_EQ(in->QueryAccept(MediaType::pcm(44100, 2, 8)), S_FALSE);
  MediaType shortBlock = MediaType::pcm(44100, 2, 16);
  shortBlock.format.resize(10);
  EXPECT_EQ(in->QueryAccept(shortBlock), S_FALSE);
}

TEST(Mp3Encoder, PropertyPageSetsModeAndOutputRate) {
  vistrel::testing::TempRoot root;
  auto encoder = bindEncoder();
  auto pages = interfaceOf<ISpecifyPropertyPages>(encoder);
  std::unique_ptr<PropertyPage> page(pages->CreatePage(PROPPAGE_LameMp3Encoder, nullptr));
  ASSERT_TRUE(page);
  EXPECT_FALSE(pages->CreatePage(GUID_NULL, nullptr));
  page->findChild<QComboBox*>(QStringLiteral("mode"))->setCurrentIndex(3);
  auto* rate = page->findChild<QComboBox*>(QStringLiteral("sampleRate"));
  rate->setCurrentIndex(rate->findData(32000));
  ASSERT_EQ(page->apply(), S_OK);

  const QString file = root.file("mono.mp3");
  Mp3Graph g;
  ASSERT_EQ(g.build(file, 44100, 2), S_OK);
  g.record(2, 44100, 2);
  auto info = vistrel::testing::probeFile(file, "mp3");
  const auto* a = info.first(false);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->channels, 1);
  EXPECT_EQ(a->sampleRate, 32000);
  EXPECT_NEAR(a->duration, 2.0, 0.1);
}

TEST(MpegAudioFramer, SplitsWholeFramesAndSkipsGarbage) {
  LameEncoder lame;
  ASSERT_EQ(lame.open(44100, 2, 128), S_OK);
  std::vector<uint8_t> bytes;
  double phase = 0;
  auto pcm = vistrel::testing::toneBlock(44100, 44100, 2, phase);
  ASSERT_EQ(lame.encode(reinterpret_cast<const int16_t*>(pcm.data()), 44100, bytes), S_OK);
  ASSERT_EQ(lame.flush(bytes), S_OK);
  MpegAudioFramer framer;
  const uint8_t junk[] = {0xFF, 0x00, 0x12, 0xFF, 0xFF};
  framer.append(junk, sizeof junk);
  framer.append(bytes.data(), bytes.size() / 2);
  framer.append(bytes.data() + bytes.size() / 2, bytes.size() - bytes.size() / 2);
  std::vector<uint8_t> frame;
  MpegAudioHeader h;
  int frames = 0;
  size_t total = 0;
  while (framer.next(frame, h)) {
    EXPECT_EQ(static_cast<size_t>(h.length), frame.size());
    EXPECT_EQ(h.samples, 1152);
    EXPECT_EQ(h.bitrateKbps, 128);
    ++frames;
    total += frame.size();
  }
  EXPECT_EQ(total, bytes.size());
  EXPECT_GE(frames * 1152, 44100);
}

}  // namespace
