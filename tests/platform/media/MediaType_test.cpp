#include "platform/media/MediaType.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/media/MediaSample.h"
#include "platform/media/MemAllocator.h"

using namespace vistrel::platform::media;

TEST(Guid, PublicValuesKeepTheirFieldLayout) {
  struct Case {
    GUID guid;
    const char* text;
  } cases[] = {
      {MEDIATYPE_Video, "{73646976-0000-0010-8000-00AA00389B71}"},
      {MEDIATYPE_Interleaved, "{73766169-0000-0010-8000-00AA00389B71}"},
      {MEDIATYPE_Stream, "{E436EB83-524F-11CE-9F53-0020AF0BA770}"},
      {MEDIASUBTYPE_dvsd, "{64737664-0000-0010-8000-00AA00389B71}"},
      {MEDIASUBTYPE_RGB24, "{E436EB7D-524F-11CE-9F53-0020AF0BA770}"},
      {MEDIASUBTYPE_WAVE, "{E436EB8B-524F-11CE-9F53-0020AF0BA770}"},
      {FORMAT_VideoInfo, "{05589F80-C356-11CE-BF01-00AA0055595A}"},
      {FORMAT_WaveFormatEx, "{05589F81-C356-11CE-BF01-00AA0055595A}"},
      {MEDIASUBTYPE_MPEG1AudioPayload, "{00000050-0000-0010-8000-00AA00389B71}"},
      {IID_IPersist, "{0000010C-0000-0000-C000-000000000046}"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.guid.toString(), QString::fromLatin1(c.text));
    GUID parsed;
    ASSERT_TRUE(GUID::fromString(QString::fromLatin1(c.text).toLower(), parsed)) << c.text;
    EXPECT_EQ(parsed, c.guid);
  }
  GUID g;
  EXPECT_FALSE(GUID::fromString(QStringLiteral("{73646976-0000-0010-8000}"), g));
  EXPECT_FALSE(GUID::fromString(QStringLiteral("{7364697G-0000-0010-8000-00AA00389B71}"), g));
  EXPECT_TRUE(GUID_NULL.isNull());
}

TEST(MediaType, EqualityComparesFormatBytes) {
  MediaType a = MediaType::rgb24(320, 240, UNITS / 25);
  MediaType b = a;
  EXPECT_EQ(a, b);
  b.format[20] ^= 1;
  EXPECT_FALSE(a == b);
  MediaType c = a;
  c.format.clear();
  EXPECT_FALSE(a == c);
}

TEST(MediaType, PartialTypesMatchAsWildcards) {
  const MediaType mp3(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload);
  EXPECT_TRUE(mp3.isPartial());
  MediaType full = MediaType::pcm(44100, 2, 16);
  full.subtype = MEDIASUBTYPE_MPEG1AudioPayload;
  struct Case {
    MediaType pattern;
    bool matches;
  } cases[] = {
      {mp3, true},
      {MediaType(MEDIATYPE_Audio, GUID_NULL), true},
      {MediaType(MEDIATYPE_Video, GUID_NULL), false},
      {MediaType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM), false},
      {MediaType(GUID_NULL, GUID_NULL, FORMAT_WaveFormatEx), true},
      {MediaType(GUID_NULL, GUID_NULL, FORMAT_VideoInfo), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(full.matches(c.pattern), c.matches) << c.pattern.subtype.toString().toStdString();
}

TEST(MediaType, ShortFormatBlocksAreNeverRead) {
  MediaType v = MediaType::rgb24(640, 480, UNITS / 30);
  ASSERT_TRUE(v.videoInfo());
  EXPECT_EQ(v.videoInfo()->bmiHeader.biSizeImage, 640u * 480u * 3u);
  v.format.resize(60);  // shorter than its header says
  EXPECT_FALSE(v.videoInfo());
  EXPECT_FALSE(v.bitmapHeader());
  EXPECT_EQ(v.averageTimePerFrame(), 0);

  MediaType w = MediaType::pcm(48000, 2, 16);
  ASSERT_TRUE(w.waveFormat());
  EXPECT_EQ(w.cbFormat(), 18u);
  WAVEFORMATEX ext = *w.waveFormat();
  ext.cbSize = 4;  // claims 4 extra bytes that are not there
  w.setFormat(ext);
  EXPECT_FALSE(w.waveFormat());
}

TEST(MediaSample, PropertiesAreOptionalAndClearable) {
  auto s = MediaSample::create(100);
  REFERENCE_TIME a = 0, b = 0;
  EXPECT_EQ(s->GetTime(&a, &b), VFW_E_SAMPLE_TIME_NOT_SET);
  REFERENCE_TIME start = 10, stop = 20;
  s->SetTime(&start, &stop);
  EXPECT_EQ(s->GetTime(&a, &b), S_OK);
  EXPECT_EQ(a, 10);
  EXPECT_EQ(b, 20);
  s->SetTime(&start, nullptr);
  EXPECT_EQ(s->GetTime(&a, &b), VFW_S_NO_STOP_TIME);
  s->SetTime(nullptr, nullptr);
  EXPECT_EQ(s->GetTime(&a, &b), VFW_E_SAMPLE_TIME_NOT_SET);
  int64_t m0 = 5, m1 = 6;
  s->SetMediaTime(&m0, &m1);
  EXPECT_EQ(s->GetMediaTime(&m0, &m1), S_OK);
  s->SetMediaTime(nullptr, nullptr);
  EXPECT_EQ(s->GetMediaTime(&m0, &m1), VFW_E_SAMPLE_TIME_NOT_SET);
  EXPECT_EQ(s->IsSyncPoint(), S_FALSE);
  s->SetSyncPoint(true);
  EXPECT_EQ(s->IsSyncPoint(), S_OK);
}

TEST(MediaSample, LengthBeyondTheBufferIsRefused) {
  auto s = MediaSample::create(100);
  EXPECT_EQ(s->SetActualDataLength(100), S_OK);
  EXPECT_EQ(s->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(s->SetActualDataLength(-1), VFW_E_BUFFER_OVERFLOW);
  EXPECT_EQ(s->GetActualDataLength(), 100);
}

TEST(MediaSample, SharedBufferCopiesAreIndependent) {
  auto s = MediaSample::create(16);
  REFERENCE_TIME start = 1, stop = 2;
  s->SetTime(&start, &stop);
  EXPECT_FALSE(s->isBufferShared());
  auto branch = s->shareBuffer();
  EXPECT_EQ(branch->data(), s->data());
  EXPECT_TRUE(s->isBufferShared());
  branch->SetTime(nullptr, nullptr);
  EXPECT_EQ(s->GetTime(&start, &stop), S_OK);
}

TEST(MemAllocator, PoolRecyclesAndNeverBlocksWithNoWait) {
  MemAllocator a;
  ALLOCATOR_PROPERTIES want{2, 1000, 16, 0}, got;
  ASSERT_EQ(a.SetProperties(want, got), S_OK);
  EXPECT_EQ(got.cbBuffer, 1008);  // rounded to the alignment
  std::shared_ptr<MediaSample> s;
  EXPECT_EQ(a.GetBuffer(s), VFW_E_NOT_COMMITTED);
  ASSERT_EQ(a.Commit(), S_OK);
  EXPECT_EQ(a.SetProperties(want, got), VFW_E_WRONG_STATE);
  std::shared_ptr<MediaSample> s1, s2, s3;
  ASSERT_EQ(a.GetBuffer(s1), S_OK);
  ASSERT_EQ(a.GetBuffer(s2), S_OK);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(s1->data()) % 16, 0u);
  EXPECT_EQ(a.GetBuffer(s3, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
  auto keep = s1->shareBuffer();
  s1.reset();
  EXPECT_EQ(a.freeCount(), 0);  // a branch still holds the buffer
  keep.reset();
  EXPECT_EQ(a.freeCount(), 1);
  EXPECT_EQ(a.GetBuffer(s3, AM_GBF_NOWAIT), S_OK);
}

// Scalers and codecs read whole vector words past the end of a picture: every sample buffer,
// pooled or standalone, is followed by slack they may read (the address sanitizer build
// catches a buffer without it).
TEST(MemAllocator, EveryBufferIsFollowedBySlackThatMayBeRead) {
  MemAllocator a;
  ALLOCATOR_PROPERTIES got;
  ASSERT_EQ(a.SetProperties({1, 640 * 480 * 3, 16, 0}, got), S_OK);  // 225 pages exactly
  ASSERT_EQ(a.Commit(), S_OK);
  std::shared_ptr<MediaSample> pooled;
  ASSERT_EQ(a.GetBuffer(pooled), S_OK);
  for (const auto& s : {pooled, MediaSample::create(4096)}) {
    const volatile uint8_t* end = s->data() + s->GetSize();
    unsigned sum = 0;
    for (size_t i = 0; i < kSampleTailSlack; ++i) sum += end[i];
    EXPECT_GE(sum, 0u);
  }
}

TEST(MemAllocator, DecommitWakesAWaitingThread) {
  MemAllocator a;
  ALLOCATOR_PROPERTIES got;
  a.SetProperties({1, 64, 1, 0}, got);
  a.Commit();
  std::shared_ptr<MediaSample> held;
  a.GetBuffer(held);
  HRESULT waited = S_OK;
  std::thread t([&] {
    std::shared_ptr<MediaSample> s;
    waited = a.GetBuffer(s);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  a.Decommit();
  t.join();
  EXPECT_EQ(waited, VFW_E_NOT_COMMITTED);
  held.reset();  // a buffer coming back after decommit is freed, not pooled
  EXPECT_EQ(a.freeCount(), 0);
}
