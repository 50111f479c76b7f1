#include "platform/media/avi/AviWriter.h"

#include <gtest/gtest.h>

#include <QFile>

#include "support/MediaProbe.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media::avi;
using vistrel::testing::probeMedia;

namespace {

QByteArray le(uint32_t v, int n) {
  QByteArray b;
  for (int i = 0; i < n; ++i) b.append(static_cast<char>(v >> (8 * i)));
  return b;
}

QByteArray bitmapInfo(int width, int height, uint32_t compression, int bits, uint32_t sizeImage) {
  return le(40, 4) + le(static_cast<uint32_t>(width), 4) + le(static_cast<uint32_t>(height), 4) + le(1, 2) +
         le(static_cast<uint32_t>(bits), 2) + le(compression, 4) + le(sizeImage, 4) + QByteArray(16, '\0');
}

QByteArray pcmFormat(int channels, int rate) {
  return le(1, 2) + le(static_cast<uint32_t>(channels), 2) + le(static_cast<uint32_t>(rate), 4) +
         le(static_cast<uint32_t>(rate * channels * 2), 4) + le(static_cast<uint32_t>(channels * 2), 2) +
         le(16, 2) + le(0, 2);
}

// Raw RGB frames and PCM: players decode them, so the test checks the whole file as read back.
struct TwoStreams {
  AviWriter writer;
  int video = -1, audio = -1;
  static constexpr int kWidth = 64, kHeight = 48, kFrameBytes = kWidth * kHeight * 3;
  TwoStreams() {
    video = writer.addStream(
        {StreamKind::Video, 0, 1, 25, 0, bitmapInfo(kWidth, kHeight, 0, 24, kFrameBytes), kWidth, kHeight});
    audio = writer.addStream({StreamKind::Audio, 0, 4, 192000, 4, pcmFormat(2, 48000), 0, 0});
  }
  // One second: 25 frames, each followed by its 40 ms of sound.
  bool writeSeconds(int seconds) {
    const QByteArray frame(kFrameBytes, '\x40');
    const QByteArray sound(1920 * 4, '\0');
    for (int i = 0; i < 25 * seconds; ++i)
      if (!writer.writeChunk(video, frame.constData(), kFrameBytes) ||
          !writer.writeChunk(audio, sound.constData(), static_cast<uint32_t>(sound.size())))
        return false;
    return true;
  }
};

TEST(AviWriter, AVideoAndSoundFileReadsBackWhole) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("clip.avi"));
  TwoStreams file;
  ASSERT_TRUE(file.writer.open(path));
  ASSERT_TRUE(file.writeSeconds(4));
  ASSERT_TRUE(file.writer.close());
  EXPECT_EQ(file.writer.riffCount(), 1);
  const auto probed = probeMedia(path);
  ASSERT_TRUE(probed.opened);
  EXPECT_EQ(probed.format, QStringLiteral("avi"));
  ASSERT_EQ(probed.streams.size(), 2u);
  EXPECT_EQ(probed.streams[0].codec, AV_CODEC_ID_RAWVIDEO);
  EXPECT_EQ(probed.streams[0].width, 64);
  EXPECT_EQ(probed.streams[0].packets, 100);
  EXPECT_EQ(probed.streams[1].codec, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(probed.streams[1].sampleRate, 48000);
  EXPECT_EQ(probed.streams[1].bytes, 100 * 1920 * 4);
  EXPECT_NEAR(probed.durationSeconds, 4.0, 0.05);
}

TEST(AviWriter, TheFrameRateFieldsSitWhereTheImageByImageRewriteExpectsThem) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("rate.avi"));
  TwoStreams file;
  ASSERT_TRUE(file.writer.open(path));
  ASSERT_TRUE(file.writeSeconds(1));
  ASSERT_TRUE(file.writer.close());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  const qsizetype strh = bytes.indexOf("strh") + 8;  // the chunk's data
  ASSERT_GT(strh, 8);
  EXPECT_EQ(bytes.mid(strh, 4), QByteArray("vids"));
  EXPECT_EQ(bytes.mid(strh + 20, 4), le(1, 4));   // dwScale
  EXPECT_EQ(bytes.mid(strh + 24, 4), le(25, 4));  // dwRate
  EXPECT_EQ(bytes.mid(strh + 32, 4), le(25, 4));  // dwLength
}

TEST(AviWriter, PastTheRiffLimitTheFileBecomesOpenDml) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("long.avi"));
  TwoStreams file;
  ASSERT_TRUE(file.writer.open(path, 1 << 20));  // 1 MiB RIFFs: the same layout as 1 GiB ones
  ASSERT_TRUE(file.writeSeconds(8));
  ASSERT_TRUE(file.writer.close());
  EXPECT_GE(file.writer.riffCount(), 3);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  EXPECT_TRUE(bytes.contains("AVIX"));
  EXPECT_TRUE(bytes.contains("ix00"));
  EXPECT_TRUE(bytes.contains("ix01"));
  const auto probed = probeMedia(path);
  ASSERT_TRUE(probed.opened);
  EXPECT_EQ(probed.streams[0].packets, 200);
  EXPECT_EQ(probed.streams[1].bytes, 200 * 1920 * 4);
  EXPECT_NEAR(probed.durationSeconds, 8.0, 0.05);
}

TEST(AviWriter, AFailedWriteLeavesAReadableFile) {
  // /dev/full refuses every write: the writer fails at once, reports it, and closes cleanly.
  AviWriter writer;
  writer.addStream({StreamKind::Video, 0, 1, 25, 0, bitmapInfo(8, 8, 0, 24, 192), 8, 8});
  EXPECT_FALSE(writer.open(QStringLiteral("/dev/full")));
  EXPECT_FALSE(writer.errorText().isEmpty());
  EXPECT_FALSE(writer.isOpen());

  AviWriter none;
  vistrel::testing::TempRoot root;
  EXPECT_FALSE(none.open(root.file(QStringLiteral("x.avi"))));  // no stream
  EXPECT_FALSE(none.open(root.file(QStringLiteral("missing/folder/x.avi"))));
}

}  // namespace
