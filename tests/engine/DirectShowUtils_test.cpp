#include "engine/DirectShowUtils.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "platform/media/filters/DvVideoEncoder.h"
#include "platform/shell/SoundPlayer.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using namespace vistrel::engine;

namespace {

TEST(MediaTypesEqual, ComparesTypesFormatTypeSizeAndBytes) {
  const MediaType base = MediaType::rgb24(320, 240, UNITS / 25);
  MediaType otherSub = base;
  otherSub.subtype = MEDIASUBTYPE_RGB32;
  MediaType otherFormatType = base;
  otherFormatType.formattype = FORMAT_VideoInfo2;
  MediaType shorter = base;
  shorter.format.pop_back();
  MediaType otherBytes = MediaType::rgb24(320, 240, UNITS / 30);
  MediaType flagsDiffer = base;  // flags and sample size are not compared
  flagsDiffer.bTemporalCompression = true;
  flagsDiffer.lSampleSize = 7;
  const MediaType noBlockA(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_None);
  const MediaType noBlockB(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_None);

  const struct {
    const MediaType& a;
    const MediaType& b;
    bool equal;
  } cases[] = {
      {base, base, true},         {base, otherSub, false},   {base, otherFormatType, false},
      {base, shorter, false},     {base, otherBytes, false}, {base, flagsDiffer, true},
      {noBlockA, noBlockB, true}, {noBlockA, base, false},
  };
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(MediaTypesEqual(cases[i].a, cases[i].b), cases[i].equal) << "case " << i;
}

TEST(FourCCText, PrintableCodesOnly) {
  const struct {
    uint32_t code;
    const char* text;
  } cases[] = {
      {makeFourcc('d', 'v', 's', 'd'), "dvsd"},
      {makeFourcc('Y', 'U', 'Y', '2'), "YUY2"},
      {0, ""},
      {3, ""},                                // BI_BITFIELDS
      {makeFourcc('a', 'b', 'c', 0x1F), ""},  // whole value below 0x20000000
      {makeFourcc(0x1F, 'b', 'c', 'd'), ""},
      {makeFourcc('a', 'b', 0x10, 'd'), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FourCCText(c.code), QString::fromLatin1(c.text)) << c.code;
}

TEST(BindComponents, ByFriendlyNameAndClassIdInACategory) {
  FilterComponent slot(QStringLiteral("slot"));
  EXPECT_TRUE(BindByFriendlyName(slot, CLSID_VideoCompressorCategory, QStringLiteral("DV Video Encoder")));
  GUID clsid;
  ASSERT_NE(slot.filter(), nullptr);
  slot.filter()->GetClassID(clsid);
  EXPECT_EQ(clsid, CLSID_DVVideoEnc);

  FilterComponent other(QStringLiteral("other"));
  EXPECT_TRUE(BindByClassId(other, CLSID_VideoCompressorCategory, CLSID_DVVideoEnc));
  EXPECT_NE(other.filter(), nullptr);

  FilterComponent none(QStringLiteral("none"));
  EXPECT_FALSE(BindByFriendlyName(none, CLSID_VideoCompressorCategory, QStringLiteral("dv video encoder")));
  EXPECT_FALSE(BindByClassId(none, CLSID_VideoInputDeviceCategory, CLSID_DVVideoEnc));
  EXPECT_EQ(none.filter(), nullptr);

  // Binding takes the component out of the graph it was in.
  auto graph = FilterGraph::create();
  ASSERT_EQ(slot.setGraph(graph), S_OK);
  EXPECT_TRUE(BindByClassId(slot, CLSID_VideoCompressorCategory, CLSID_DVVideoEnc));
  EXPECT_TRUE(graph->filters().empty());
}

TEST(VideoCompressorNames, ListsTheCategory) {
  const QStringList names = VideoCompressorNames();
  EXPECT_TRUE(names.contains(QStringLiteral("DV Video Encoder")));
  EXPECT_EQ(names.size(), names.filter(QRegularExpression(QStringLiteral(".+"))).size());
}

TEST(DiskSpaceOf, UsedIsTotalMinusFree) {
  vistrel::testing::TempRoot root;
  const TDiskSpace space = DiskSpaceOf(root.path());
  EXPECT_GT(space.Total, 0);
  EXPECT_EQ(space.Used + space.Free, space.Total);
  const TDiskSpace nothing = DiskSpaceOf(QString());
  EXPECT_EQ(nothing.Total, 0);
  EXPECT_EQ(nothing.Used, 0);
  EXPECT_EQ(nothing.Free, 0);
}

TEST(Beeps, TwoShortPcmSounds) {
  const struct {
    int which;
    int samples;
  } cases[] = {{0, 649}, {1, 635}};
  for (const auto& c : cases) {
    const auto sound = vistrel::platform::shell::parseWav(BeepWave(c.which));
    ASSERT_TRUE(sound) << c.which;
    EXPECT_EQ(sound->channels, 1);
    EXPECT_EQ(sound->bitsPerSample, 8);
    EXPECT_EQ(sound->sampleRate, 11025);
    EXPECT_EQ(sound->samples.size(), c.samples);
  }
  EXPECT_NE(BeepWave(0), BeepWave(1));
  // Playing is silent and harmless without a sound output (virtual devices).
  PlayBeep0();
  PlayBeep1();
  vistrel::platform::shell::SoundPlayer::shared().stop();
}

}  // namespace
