#include "platform/wmf/WmProfileManager.h"

#include <gtest/gtest.h>

#include <QStringList>

using namespace vistrel::platform;
using namespace vistrel::platform::wmf;
using media::MEDIATYPE_Audio;
using media::MEDIATYPE_Video;
using media::S_OK;

namespace {

std::shared_ptr<IWMProfileManager> manager() {
  std::shared_ptr<IWMProfileManager> m;
  EXPECT_EQ(WMCreateProfileManager(m), S_OK);
  return m;
}

bool hasStream(IWMProfile& p, const GUID& type) {
  uint32_t count = 0;
  p.GetStreamCount(count);
  for (uint32_t i = 0; i < count; ++i) {
    std::shared_ptr<IWMStreamConfig> s;
    GUID t;
    if (p.GetStream(i, s) == S_OK && s->GetStreamType(t) == S_OK && t == type) return true;
  }
  return false;
}

QStringList systemNames(IWMProfileManager& m, WMT_VERSION v) {
  EXPECT_EQ(m.SetSystemProfileVersion(v), S_OK);
  uint32_t count = 0;
  m.GetSystemProfileCount(count);
  QStringList names;
  for (uint32_t i = 0; i < count; ++i) {
    std::shared_ptr<IWMProfile> p;
    EXPECT_EQ(m.LoadSystemProfile(i, p), S_OK);
    names << p->name();
  }
  return names;
}

TEST(WmProfileManager, StartsAtVersion8) {
  auto m = manager();
  WMT_VERSION v{};
  m->GetSystemProfileVersion(v);
  EXPECT_EQ(v, WMT_VER_8_0);
  EXPECT_EQ(uint32_t(WMT_VER_4_0), 0x00040000u);
  EXPECT_EQ(uint32_t(WMT_VER_7_0), 0x00070000u);
}

TEST(WmProfileManager, SystemProfilesOfEachVersionComeInAFixedOrder) {
  auto m = manager();
  const QStringList v4 = systemNames(*m, WMT_VER_4_0);
  const QStringList v8 = systemNames(*m, WMT_VER_8_0);
  const QStringList v7 = systemNames(*m, WMT_VER_7_0);
  EXPECT_EQ(v4.size(), 8);
  EXPECT_EQ(v7.size(), 8);
  EXPECT_EQ(v8.size(), 11);
  EXPECT_EQ(v8.value(5), QStringLiteral("Vidéo pour réseau local (768 Kbit/s)"));
  EXPECT_EQ(v7.value(0), QStringLiteral("Vidéo pour modems (28,8 Kbit/s)"));
  // Switching back and forth gives the same lists again.
  EXPECT_EQ(systemNames(*m, WMT_VER_4_0), v4);
  EXPECT_EQ(systemNames(*m, WMT_VER_8_0), v8);
}

TEST(WmProfileManager, EveryProfileNamedVideoHasAVideoStreamAndAudioOnesHaveNone) {
  auto m = manager();
  for (WMT_VERSION v : {WMT_VER_4_0, WMT_VER_7_0, WMT_VER_8_0}) {
    m->SetSystemProfileVersion(v);
    uint32_t count = 0;
    m->GetSystemProfileCount(count);
    for (uint32_t i = 0; i < count; ++i) {
      std::shared_ptr<IWMProfile> p;
      ASSERT_EQ(m->LoadSystemProfile(i, p), S_OK);
      const QString name = p->name();
      SCOPED_TRACE(name.toStdString());
      WMT_VERSION pv{};
      p->GetVersion(pv);
      EXPECT_EQ(pv, v);
      EXPECT_EQ(hasStream(*p, MEDIATYPE_Video), name.startsWith(QStringLiteral("Vidéo")));
      EXPECT_TRUE(name.contains(QStringLiteral("Kbit/s)")));
      // Stream numbers are 1..count and contiguous.
      uint32_t streams = 0;
      p->GetStreamCount(streams);
      for (uint16_t n = 1; n <= streams; ++n) {
        std::shared_ptr<IWMStreamConfig> s;
        EXPECT_EQ(p->GetStreamByNumber(n, s), S_OK);
      }
    }
  }
}

TEST(WmProfileManager, PresetsLoadWhateverVersionWasSetLast) {
  auto m = manager();
  const GUID presets[] = {WMProfile_Preset_High, WMProfile_Preset_Medium, WMProfile_Preset_Low,
                          WMProfile_Preset_Internet};
  EXPECT_EQ(presets[0].toString(), QStringLiteral("{0B89164A-5490-4686-9E37-5A80884E5146}"));
  EXPECT_EQ(presets[3].toString(), QStringLiteral("{A2E300B4-C2D4-4FC0-B5DD-ECBD948DC0DF}"));
  for (WMT_VERSION v : {WMT_VER_4_0, WMT_VER_7_0, WMT_VER_8_0}) {
    m->SetSystemProfileVersion(v);
    for (const GUID& id : presets) {
      std::shared_ptr<IWMProfile> p;
      ASSERT_EQ(m->LoadProfileByID(id, p), S_OK);
      EXPECT_TRUE(hasStream(*p, MEDIATYPE_Video));
      EXPECT_TRUE(hasStream(*p, MEDIATYPE_Audio));
      GUID loaded;
      p->GetProfileID(loaded);
      EXPECT_EQ(loaded, id);
    }
  }
  std::shared_ptr<IWMProfile> none;
  EXPECT_EQ(m->LoadProfileByID(media::makeGuid("{00000000-1111-2222-3333-444444444444}"), none),
            NS_E_NOT_FOUND);
  EXPECT_FALSE(none);
}

TEST(WmProfileManager, SystemProfilesAlsoLoadByTheirIdentifier) {
  auto m = manager();
  m->SetSystemProfileVersion(WMT_VER_7_0);
  std::shared_ptr<IWMProfile> p;
  ASSERT_EQ(m->LoadSystemProfile(3, p), S_OK);
  GUID id;
  p->GetProfileID(id);
  m->SetSystemProfileVersion(WMT_VER_4_0);
  std::shared_ptr<IWMProfile> again;
  ASSERT_EQ(m->LoadProfileByID(id, again), S_OK);
  EXPECT_EQ(again->name(), p->name());
}

TEST(WmProfileManager, RemovingAudioStreamsFromTheTopLeavesTheVideo) {
  auto m = manager();
  std::shared_ptr<IWMProfile> p;
  ASSERT_EQ(m->LoadProfileByID(WMProfile_Preset_High, p), S_OK);
  uint32_t count = 0;
  p->GetStreamCount(count);
  ASSERT_EQ(count, 2u);
  for (uint16_t n = static_cast<uint16_t>(count); n >= 1; --n) {
    std::shared_ptr<IWMStreamConfig> s;
    GUID type;
    if (p->GetStreamByNumber(n, s) == S_OK && s->GetStreamType(type) == S_OK && type == MEDIATYPE_Audio) {
      EXPECT_EQ(p->RemoveStreamByNumber(n), S_OK);
    }
  }
  p->GetStreamCount(count);
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(hasStream(*p, MEDIATYPE_Video));
  EXPECT_FALSE(hasStream(*p, MEDIATYPE_Audio));
  EXPECT_EQ(p->RemoveStreamByNumber(1), NS_E_NOT_FOUND);  // the audio was number 1
  EXPECT_EQ(p->RemoveStreamByNumber(2), S_OK);            // the video keeps its number
  EXPECT_EQ(p->RemoveStreamByNumber(2), NS_E_NOT_FOUND);
}

TEST(WmProfileManager, LoadedProfilesAreIndependentCopies) {
  auto m = manager();
  std::shared_ptr<IWMProfile> a, b;
  m->LoadSystemProfile(5, a);
  a->RemoveStreamByNumber(1);
  a->SetName(QStringLiteral("changed"));
  m->LoadSystemProfile(5, b);
  uint32_t count = 0;
  b->GetStreamCount(count);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(b->name(), QStringLiteral("Vidéo pour réseau local (768 Kbit/s)"));
}

TEST(WmProfileManager, GetNameFollowsTheBufferProtocol) {
  auto m = manager();
  std::shared_ptr<IWMProfile> p;
  m->LoadSystemProfile(5, p);
  uint32_t length = 0;
  ASSERT_EQ(p->GetName(nullptr, length), S_OK);
  EXPECT_EQ(length, uint32_t(QStringLiteral("Vidéo pour réseau local (768 Kbit/s)").size() + 1));
  char16_t small[4];
  uint32_t smallLength = 4;
  EXPECT_EQ(p->GetName(small, smallLength), ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(smallLength, length);
  char16_t buffer[1024];
  uint32_t size = 1024;
  ASSERT_EQ(p->GetName(buffer, size), S_OK);
  EXPECT_EQ(QString::fromUtf16(buffer), QStringLiteral("Vidéo pour réseau local (768 Kbit/s)"));
}

TEST(WmProfileManager, BadRequestsAreRefusedAndChangeNothing) {
  auto m = manager();
  m->SetSystemProfileVersion(WMT_VER_7_0);
  EXPECT_EQ(m->SetSystemProfileVersion(WMT_VER_9_0), media::E_INVALIDARG);
  EXPECT_EQ(m->SetSystemProfileVersion(static_cast<WMT_VERSION>(0x00050000)), media::E_INVALIDARG);
  WMT_VERSION v{};
  m->GetSystemProfileVersion(v);
  EXPECT_EQ(v, WMT_VER_7_0);
  uint32_t count = 0;
  m->GetSystemProfileCount(count);
  std::shared_ptr<IWMProfile> p;
  EXPECT_EQ(m->LoadSystemProfile(count, p), media::E_INVALIDARG);
  EXPECT_FALSE(p);
  ASSERT_EQ(m->LoadSystemProfile(0, p), S_OK);
  std::shared_ptr<IWMStreamConfig> s;
  EXPECT_EQ(p->GetStream(99, s), media::E_INVALIDARG);
  EXPECT_EQ(p->GetStreamByNumber(0, s), NS_E_NOT_FOUND);
}

TEST(WmProfileManager, NewStreamsAreNumberedAfterTheHighest) {
  auto m = manager();
  std::shared_ptr<IWMProfile> p;
  ASSERT_EQ(m->CreateEmptyProfile(WMT_VER_8_0, p), S_OK);
  std::shared_ptr<IWMStreamConfig> s;
  ASSERT_EQ(p->CreateNewStream(MEDIATYPE_Video, s), S_OK);
  uint16_t n = 0;
  s->GetStreamNumber(n);
  EXPECT_EQ(n, 1);
  ASSERT_EQ(p->AddStream(s), S_OK);
  EXPECT_EQ(p->AddStream(s), NS_E_INVALID_STREAM);  // number 1 is taken
  std::shared_ptr<IWMStreamConfig> t;
  ASSERT_EQ(p->CreateNewStream(MEDIATYPE_Audio, t), S_OK);
  t->GetStreamNumber(n);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(t->SetMediaType(media::MediaType::rgb24(16, 16, 400000)), media::E_INVALIDARG);
}

}  // namespace
