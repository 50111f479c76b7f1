#include "app/SceneFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "support/TempRoot.h"

namespace vistrel::app {
namespace {

QByteArray bytes(std::initializer_list<int> values) {
  QByteArray out;
  for (int v : values) out.append(static_cast<char>(v));
  return out;
}

QByteArray le32(int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  return bytes({int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF), int(u >> 24)});
}

// The header written by hand from the layout, with its count.
QByteArray expectedHeader(const QByteArray& path, uint16_t count) {
  QByteArray h = bytes({0x63, 0x26, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x03, 0x00, 0x0A, 0x00});
  h += "SourceTape";
  h += char(path.size() & 0xFF);
  h += path;
  h += QByteArray(8, '\0');
  h += bytes({count & 0xFF, count >> 8});
  h += bytes({0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00});
  h += "ClipP";
  h += QByteArray(3, '\0');
  h += bytes({0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00});
  h += "Scene";
  h += QByteArray(5, '\0');
  return h;
}

QByteArray expectedFirst(const QByteArray& path, int32_t current) {
  QByteArray r = le32(current + 1);
  r += bytes({0x00, 0x00, 0x00, 0x00, 0x01, 0x80});
  r += char(path.size() & 0xFF);
  r += path;
  r += QByteArray(8, '\0');
  r += le32(current + 1);
  return r;
}

QByteArray expectedFollowing(int32_t first, int32_t current) {
  QByteArray r = bytes({0x03, 0x80, 0xF0, 0x00, 0x00, 0x00, 0x05, 0x80, 0x00});
  r += le32(first + 1);
  r += le32(current - first + 1);
  r += bytes({0x00, 0x00, 0x00, 0x00, 0x07, 0x00});
  r += le32(first + 1);
  r += le32(current - first + 1);
  r += le32(first + 1);
  return r;
}

QByteArray readAll(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
  return f.readAll();
}

TEST(SceneFile, HeaderOnlyWhileOpenAndCountPatchedAtClose) {
  testing::TempRoot root;
  const QString path = root.file("clip.scn");
  TSceneFile scn;
  ASSERT_TRUE(scn.Open(path));
  EXPECT_TRUE(scn.IsOpen());
  const QByteArray p = path.toUtf8();
  EXPECT_EQ(readAll(path), expectedHeader(p, 0));
  scn.Close();
  EXPECT_FALSE(scn.IsOpen());
  EXPECT_EQ(readAll(path), expectedHeader(p, 0));
}

TEST(SceneFile, RecordsByteForByte) {
  testing::TempRoot root;
  const QString path = root.file("tape.scn");
  TSceneFile scn;
  ASSERT_TRUE(scn.Open(path));
  // As the detector reports them: each scene start with the frame at which the next began.
  scn.Scene(0, 249);
  scn.Scene(250, 999);
  scn.Scene(1000, 1000);
  scn.Close();
  const QByteArray p = path.toUtf8();
  const QByteArray expected = expectedHeader(p, 3) + expectedFirst(p, 249) + expectedFollowing(250, 999) +
                              expectedFollowing(1000, 1000);
  EXPECT_EQ(readAll(path), expected);
  EXPECT_EQ(expectedFollowing(250, 999).size(), 35);
}

TEST(SceneFile, OneSceneFromTheDetectorStopGivesCountOne) {
  testing::TempRoot root;
  const QString path = root.file("one.scn");
  TSceneFile scn;
  ASSERT_TRUE(scn.Open(path));
  filters::TFrameRecord start, current;
  start.FrameNumber = 0;
  current.FrameNumber = 74;
  scn.Routine()(start, current);
  scn.Close();
  const QByteArray p = path.toUtf8();
  EXPECT_EQ(readAll(path), expectedHeader(p, 1) + expectedFirst(p, 74));
}

TEST(SceneFile, SceneBeyondTheLimitIsNotWritten) {
  testing::TempRoot root;
  const QString path = root.file("many.scn");
  TSceneFile scn;
  ASSERT_TRUE(scn.Open(path));
  for (int32_t i = 0; i < TSceneFile::kMaxScenes + 5; ++i) scn.Scene(i * 10, i * 10 + 9);
  EXPECT_EQ(scn.Count(), 32768);
  scn.Close();
  const QByteArray p = path.toUtf8();
  const QByteArray data = readAll(path);
  const qsizetype headerSize = expectedHeader(p, 0).size();
  const qsizetype firstSize = expectedFirst(p, 0).size();
  ASSERT_EQ(data.size(), headerSize + firstSize + 32767 * 35);
  EXPECT_EQ(data.mid(33 + p.size(), 2), bytes({0x00, 0x80}));
  // The last record written is the 32 768th scene's.
  EXPECT_EQ(data.right(35), expectedFollowing(32767 * 10, 32767 * 10 + 9));
}

TEST(SceneFile, LongPathWritesLengthModulo256AndWholePath) {
  testing::TempRoot root;
  // 300 bytes in all, in nested folders so that no name exceeds the file system's limit.
  QString folder = root.path();
  while (folder.size() < 300 - 60) folder += "/" + QString(40, QChar('d'));
  ASSERT_TRUE(QDir().mkpath(folder));
  QString path = folder + "/";
  path += QString(300 - path.size() - 4, QChar('n')) + ".scn";
  ASSERT_EQ(path.size(), 300);

  TSceneFile scn;
  ASSERT_TRUE(scn.Open(path));
  scn.Scene(0, 9);
  scn.Scene(10, 19);
  scn.Close();
  const QByteArray p = path.toUtf8();
  const QByteArray data = readAll(path);
  EXPECT_EQ(static_cast<uint8_t>(data.at(24)), 44);
  EXPECT_EQ(data.mid(25, 300), p);
  // The count sits after the whole path, so the path stays intact.
  EXPECT_EQ(data.mid(25 + 300 + 8, 2), bytes({0x02, 0x00}));
  EXPECT_EQ(data, expectedHeader(p, 2) + expectedFirst(p, 9) + expectedFollowing(10, 19));
}

TEST(SceneFile, ReopeningReplacesTheFileAndRestartsTheCount) {
  testing::TempRoot root;
  const QString path = root.file("again.scn");
  TSceneFile scn;
  ASSERT_TRUE(scn.Open(path));
  scn.Scene(0, 5);
  scn.Scene(6, 9);
  scn.Close();
  ASSERT_TRUE(scn.Open(path));
  EXPECT_EQ(scn.Count(), 0);
  scn.Scene(0, 3);
  scn.Close();
  const QByteArray p = path.toUtf8();
  EXPECT_EQ(readAll(path), expectedHeader(p, 1) + expectedFirst(p, 3));
}

TEST(SceneFile, UnwritableFolderFailsAndLaterCallsWriteNothing) {
  testing::TempRoot root;
  const QString path = root.file("missing/folder/clip.scn");
  TSceneFile scn;
  EXPECT_FALSE(scn.Open(path));
  EXPECT_FALSE(scn.IsOpen());
  scn.Scene(0, 10);
  scn.Close();
  EXPECT_FALSE(QFileInfo::exists(path));
  EXPECT_EQ(scn.Count(), 0);
}

TEST(SceneFile, NonAsciiPathIsWrittenAsUtf8) {
  testing::TempRoot root;
  const QString path = root.file(QString::fromUtf8("séance été.scn"));
  TSceneFile scn;
  ASSERT_TRUE(scn.Open(path));
  scn.Close();
  const QByteArray p = path.toUtf8();
  EXPECT_GT(p.size(), path.size());
  EXPECT_EQ(readAll(path), expectedHeader(p, 0));
}

}  // namespace
}  // namespace vistrel::app
