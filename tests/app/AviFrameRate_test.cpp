#include "app/AviFrameRate.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

using namespace vistrel::app;

namespace {

QByteArray u32(uint32_t v) {
  QByteArray b(4, '\0');
  qToLittleEndian(v, b.data());
  return b;
}

QByteArray chunk(const char* id, const QByteArray& data) {
  QByteArray c = QByteArray(id, 4) + u32(static_cast<uint32_t>(data.size())) + data;
  if (data.size() % 2) c.append('\0');
  return c;
}

QByteArray list(const char* type, const QByteArray& content) {
  return chunk("LIST", QByteArray(type, 4) + content);
}

// A stream header of `type` with the multiplexer's scale and rate.
QByteArray strh(const char* type, uint32_t scale, uint32_t rate) {
  QByteArray d(56, '\0');
  d.replace(0, 4, QByteArray(type, 4));
  d.replace(4, 4, "dvsd");
  d.replace(20, 4, u32(scale));
  d.replace(24, 4, u32(rate));
  return chunk("strh", d);
}

QByteArray aviFile(const QByteArray& streams) {
  const QByteArray hdrl = list("hdrl", chunk("avih", QByteArray(56, '\1')) + streams);
  // An odd-sized junk chunk checks the padding; the movi list holds data that looks like headers.
  const QByteArray movi = list("movi", chunk("00dc", strh("vids", 7, 7)) + chunk("00dc", QByteArray(3, 'x')));
  return chunk("RIFF", QByteArray("AVI ") + hdrl + chunk("JUNK", QByteArray(5, '\0')) + movi +
                           chunk("idx1", QByteArray(32, '\0')));
}

uint32_t at(const QByteArray& bytes, int64_t offset) {
  return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

class AviFrameRateTest : public ::testing::Test {
 protected:
  QString write(const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("f%1.avi").arg(++n));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
  }
  QByteArray read(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  }
  QTemporaryDir dir;
  int n = 0;
};

TEST_F(AviFrameRateTest, EighteenFramesASecond) {
  const QByteArray before = aviFile(list("strl", strh("vids", 1, 25) + chunk("strf", QByteArray(40, '\0'))));
  const QString path = write(before);
  const auto header = FindAviVideoHeader(path);
  ASSERT_TRUE(header);
  // RIFF(12) LIST hdrl(12) avih(8 + 56) LIST strl(12) strh(8): the stream header's data.
  const int64_t data = 12 + 12 + 64 + 12 + 8;
  EXPECT_EQ(header->handlerOffset, data + 4);
  EXPECT_EQ(header->scaleOffset, data + 20);
  ASSERT_TRUE(RewriteAviFrameRate(path, 18.0));
  const QByteArray after = read(path);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(at(after, data + 20), 55'556u);
  EXPECT_EQ(at(after, data + 24), 1'000'000u);
  // Nothing else changed.
  QByteArray expected = before;
  expected.replace(data + 20, 8, u32(55'556) + u32(1'000'000));
  EXPECT_EQ(after, expected);
}

TEST_F(AviFrameRateTest, TheVideoStreamIsFoundAfterASoundStream) {
  const QByteArray streams = list("strl", strh("auds", 1, 48000) + chunk("strf", QByteArray(18, '\0'))) +
                             list("strl", strh("iavs", 1, 25));
  const QString path = write(aviFile(streams));
  ASSERT_TRUE(RewriteAviFrameRate(path, 12.5));
  const QByteArray after = read(path);
  const auto header = FindAviVideoHeader(path);
  ASSERT_TRUE(header);
  EXPECT_EQ(after.mid(header->scaleOffset - 20, 4), "iavs");
  EXPECT_EQ(at(after, header->scaleOffset), 80'000u);
  EXPECT_EQ(at(after, header->scaleOffset + 4), 1'000'000u);
  // The sound stream keeps its rate.
  EXPECT_EQ(at(after, 12 + 12 + 64 + 12 + 8 + 24), 48'000u);
}

TEST_F(AviFrameRateTest, WithoutAVideoStreamTheFileIsLeftAsItIs) {
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const Case cases[] = {
      {"sound only", aviFile(list("strl", strh("auds", 1, 44100)))},
      {"not RIFF", QByteArray("RIFX") + aviFile(list("strl", strh("vids", 1, 25))).mid(4)},
      {"truncated", aviFile(list("strl", strh("vids", 1, 25))).left(60)},
      {"empty", QByteArray()},
      {"header only in movi", chunk("RIFF", QByteArray("AVI ") + list("movi", strh("vids", 1, 25)))},
  };
  for (const Case& c : cases) {
    const QString path = write(c.bytes);
    EXPECT_FALSE(RewriteAviFrameRate(path, 18.0)) << c.name;
    EXPECT_EQ(read(path), c.bytes) << c.name;
  }
  EXPECT_FALSE(RewriteAviFrameRate(dir.filePath("missing.avi"), 18.0));
  EXPECT_FALSE(QFile::exists(dir.filePath("missing.avi")));
}

TEST_F(AviFrameRateTest, ARateThatIsNotPositiveChangesNothing) {
  const QByteArray before = aviFile(list("strl", strh("vids", 1, 25)));
  const QString path = write(before);
  for (double rate :
       {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    EXPECT_FALSE(RewriteAviFrameRate(path, rate)) << rate;
  EXPECT_EQ(read(path), before);
}

TEST_F(AviFrameRateTest, ALaterRiffChunkIsWalkedToo) {
  // OpenDML: the first RIFF holds only the movi data here; the header sits in the next one.
  const QByteArray first =
      chunk("RIFF", QByteArray("AVI ") + list("movi", chunk("00dc", QByteArray(9, 'a'))));
  const QByteArray second =
      chunk("RIFF", QByteArray("AVIX") + list("hdrl", list("strl", strh("vids", 1, 25))));
  const QString path = write(first + second);
  const auto header = FindAviVideoHeader(path);
  ASSERT_TRUE(header);
  EXPECT_GT(header->scaleOffset, first.size());
}

}  // namespace
