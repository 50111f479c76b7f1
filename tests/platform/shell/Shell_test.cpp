#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "platform/Environment.h"
#include "platform/shell/DiskSpace.h"
#include "platform/shell/Library.h"
#include "platform/shell/SoundPlayer.h"
#include "platform/shell/SystemInfo.h"
#include "platform/shell/Trash.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::shell;

namespace {

QString readTrashInfo(const QString& name) {
  QFile f(trashFolder() + QStringLiteral("/info/") + name + QStringLiteral(".trashinfo"));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

TEST(Trash, AFileGoesToTheTrashWithItsOriginalPath) {
  vistrel::testing::TempRoot root;
  root.write(QStringLiteral("videos/capture 1.avi"), "frames");
  const QString original = root.file(QStringLiteral("videos/capture 1.avi"));
  QString error;
  ASSERT_TRUE(moveToTrash(original, &error)) << error.toStdString();
  EXPECT_TRUE(trashFolder().startsWith(root.path()));
  EXPECT_FALSE(QFileInfo::exists(original));
  QFile kept(trashFolder() + QStringLiteral("/files/capture 1.avi"));
  ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
  EXPECT_EQ(kept.readAll(), "frames");
  const QString info = readTrashInfo(QStringLiteral("capture 1.avi"));
  EXPECT_TRUE(info.startsWith(QStringLiteral("[Trash Info]\nPath=")));
  EXPECT_TRUE(
      info.contains(QStringLiteral("Path=") + QString::fromLatin1(QUrl::toPercentEncoding(original, "/"))));
  EXPECT_TRUE(info.contains(QStringLiteral("\nDeletionDate=20")));
}

TEST(Trash, NameClashesGetNumberedNames) {
  vistrel::testing::TempRoot root;
  for (int i = 0; i < 3; ++i) {
    root.write(QStringLiteral("a/clip.avi"), QByteArray::number(i));
    ASSERT_TRUE(moveToTrash(root.file(QStringLiteral("a/clip.avi"))));
  }
  root.write(QStringLiteral("a/noext"), "x");
  ASSERT_TRUE(moveToTrash(root.file(QStringLiteral("a/noext"))));
  root.write(QStringLiteral("a/noext"), "y");
  ASSERT_TRUE(moveToTrash(root.file(QStringLiteral("a/noext"))));
  QStringList files = QDir(trashFolder() + QStringLiteral("/files")).entryList(QDir::Files);
  files.sort();
  EXPECT_EQ(files, (QStringList{"clip.2.avi", "clip.3.avi", "clip.avi", "noext", "noext.2"}));
  EXPECT_FALSE(readTrashInfo(QStringLiteral("clip.3.avi")).isEmpty());
}

TEST(Trash, AMissingFileIsAnErrorAndLeavesNoInformation) {
  vistrel::testing::TempRoot root;
  QString error;
  EXPECT_FALSE(moveToTrash(root.file(QStringLiteral("absent.avi")), &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(QDir(trashFolder() + QStringLiteral("/info")).entryList(QDir::Files).isEmpty());
}

TEST(DiskSpace, MeasuresTheFileSystemOfAPath) {
  vistrel::testing::TempRoot root;
  const DiskSpace space = diskSpace(root.path());
  EXPECT_GT(space.totalMiB, 0);
  EXPECT_LE(space.freeMiB, space.totalMiB);
  // A file not written yet is measured on its folder.
  EXPECT_EQ(diskSpace(root.file(QStringLiteral("not/yet/there.avi"))).totalMiB, space.totalMiB);
  EXPECT_EQ(diskSpace(QString()).totalMiB, 0);
  EXPECT_EQ(mountPoint(QStringLiteral("/")), QStringLiteral("/"));
  const QString mount = mountPoint(root.path());
  EXPECT_TRUE(root.path().startsWith(mount));
  EXPECT_FALSE(mount.isEmpty());
}

TEST(ProcessorUsage, ComputesEachCoresBusyShareBetweenSamples) {
  vistrel::testing::TempRoot root;
  // user nice system idle iowait irq softirq steal
  root.write(QStringLiteral("stat"),
             "cpu  0 0 0 0 0 0 0 0\ncpu0 100 0 0 100 0 0 0 0\ncpu1 0 0 0 200 0 0 0 0\n");
  ProcessorUsageSampler sampler(root.file(QStringLiteral("stat")));
  EXPECT_EQ(sampler.sample(), (std::vector<int>{50, 0}));
  root.write(QStringLiteral("stat"), "cpu  0\ncpu0 175 0 0 125 0 0 0 0\ncpu1 50 0 50 300 100 0 0 0\n");
  EXPECT_EQ(sampler.sample(), (std::vector<int>{75, 33}));
  EXPECT_GE(processorCount(), 1);
  EXPECT_FALSE(ProcessorUsageSampler().sample().empty());  // the real kernel counters
}

TEST(SystemInfo, DescribesTheOperatingSystem) {
  const QString text = operatingSystemDescription();
  EXPECT_TRUE(text.contains(QStringLiteral("Linux"))) << text.toStdString();
}

QByteArray wav(int channels, int rate, int bits, const QByteArray& samples, uint16_t tag = 1) {
  auto le = [](uint32_t v, int n) {
    QByteArray b;
    for (int i = 0; i < n; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
  };
  QByteArray fmt = le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * channels * bits / 8, 4) +
                   le(channels * bits / 8, 2) + le(bits, 2);
  QByteArray body = "WAVE" + QByteArray("fmt ") + le(16, 4) + fmt + "LIST" + le(3, 4) + "abc" + '\0' +
                    "data" + le(samples.size(), 4) + samples;
  return "RIFF" + le(body.size(), 4) + body;
}

TEST(SoundPlayer, ReadsPcmWavesAndRefusesOthers) {
  const auto sound = parseWav(wav(2, 22050, 16, QByteArray(400, '\1')));
  ASSERT_TRUE(sound.has_value());
  EXPECT_EQ(sound->channels, 2);
  EXPECT_EQ(sound->sampleRate, 22050);
  EXPECT_EQ(sound->samples.size(), 400);  // found past an odd-sized chunk
  EXPECT_FALSE(parseWav(wav(2, 22050, 16, QByteArray(4, '\1'), 85)).has_value());  // compressed
  EXPECT_FALSE(parseWav(wav(2, 22050, 16, QByteArray(400, '\1')).left(100)).has_value());
  EXPECT_FALSE(parseWav(QByteArray("RIFF")).has_value());
  // With the virtual device set of the tests nothing is played, and nothing fails or blocks.
  SoundPlayer player;
  EXPECT_FALSE(player.play(wav(1, 8000, 8, QByteArray(8000, '\x80'))));
}

TEST(Library, LoadsSymbolsAndReportsErrors) {
  Library lib;
  EXPECT_FALSE(lib.load(QStringLiteral("/nonexistent/plugin.pvt")));
  EXPECT_FALSE(lib.errorText().isEmpty());
  ASSERT_TRUE(lib.load(QStringLiteral("libm.so.6"))) << lib.errorText().toStdString();
  auto cosine = reinterpret_cast<double (*)(double)>(lib.symbol("cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(lib.symbol("pi_no_such_entry"), nullptr);
  EXPECT_FALSE(lib.errorText().isEmpty());
}

TEST(Environment, TheRootHoldsEveryFolder) {
  vistrel::testing::TempRoot root;
  EXPECT_EQ(programFolder(), root.path() + QStringLiteral("/program/"));
  EXPECT_TRUE(programFile().startsWith(programFolder()));
  EXPECT_EQ(homeFolder(), root.path() + QStringLiteral("/home"));
  EXPECT_EQ(configFolder(), root.path() + QStringLiteral("/home/.config"));
  EXPECT_EQ(userFolder(UserFolder::Pictures), root.path() + QStringLiteral("/home/Pictures"));
  EXPECT_EQ(withTrailingSlash(QStringLiteral("/a")), QStringLiteral("/a/"));
  EXPECT_EQ(withTrailingSlash(QStringLiteral("/a/")), QStringLiteral("/a/"));
  EXPECT_EQ(withTrailingSlash(QString()), QString());
}

TEST(Environment, WithoutARootTheXdgUserFoldersAreRead) {
  vistrel::testing::TempRoot fake;  // stands in for a real home
  const QByteArray saved = qgetenv("VISTREL_ROOT");
  qunsetenv("VISTREL_ROOT");
  qputenv("HOME", fake.path().toLocal8Bit());
  qputenv("XDG_CONFIG_HOME", (fake.path() + "/cfg").toLocal8Bit());
  fake.write(QStringLiteral("cfg/user-dirs.dirs"), "# comment\nXDG_VIDEOS_DIR=\"$HOME/Mes vidéos\"\n");
  reloadEnvironment();
  const QString videos = userFolder(UserFolder::Videos);
  const QString pictures = userFolder(UserFolder::Pictures);
  qputenv("VISTREL_ROOT", saved);
  reloadEnvironment();
  EXPECT_EQ(videos, fake.path() + QStringLiteral("/Mes vidéos"));
  EXPECT_EQ(pictures, fake.path() + QStringLiteral("/Pictures"));
}

}  // namespace
