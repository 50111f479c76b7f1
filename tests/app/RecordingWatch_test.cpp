// The recording watch: a file whose folder vanished is noticed and its content put back, a video
// device that stops delivering is noticed, and file names are tried before a recording starts.
#include "app/RecordingWatch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>

#include "support/TempRoot.h"

using vistrel::app::ProbeFileCreation;
using vistrel::app::TRecordingWatch;
using Fault = TRecordingWatch::Fault;

namespace {

TEST(RecordingWatch, AFileIsGoneOnlyAfterItWasSeen) {
  vistrel::testing::TempRoot root;
  const QString file = root.file(QStringLiteral("late.avi"));
  TRecordingWatch watch;
  watch.Begin(file, true, 0);
  // A writer that creates its file late is not a lost file.
  EXPECT_EQ(watch.Check(300, std::nullopt), Fault::None);
  root.write(QStringLiteral("late.avi"), "RIFF");
  EXPECT_EQ(watch.Check(600, std::nullopt), Fault::None);
  QFile::remove(file);
  EXPECT_EQ(watch.Check(900, std::nullopt), Fault::FileGone);
  watch.End();
  EXPECT_EQ(watch.Check(1200, std::nullopt), Fault::None);
}

TEST(RecordingWatch, RecordingsWithoutAFileAreNotWatchedForIt) {
  TRecordingWatch watch;
  watch.Begin(QStringLiteral("/nonexistent/x.avi"), false, 0);
  EXPECT_EQ(watch.Check(300, std::nullopt), Fault::None);
}

TEST(RecordingWatch, AStallIsFramesStandingStillForTheLimit) {
  TRecordingWatch watch;
  watch.Begin(QString(), false, 1000);
  const int64_t limit = TRecordingWatch::kStallMs;
  struct Step {
    int64_t at;
    std::optional<int64_t> frames;
    Fault expected;
  };
  const Step steps[] = {
      {1000, 0, Fault::None},
      // No frame from the start: stalled once the limit has passed since the start.
      {1000 + limit - 1, 0, Fault::None},
      {1000 + limit + 200, 5, Fault::None},  // frames came: the count moved
      {1000 + 2 * limit + 199, 5, Fault::None},
      {1000 + 2 * limit + 200, 5, Fault::Stalled},
      // Dropped frames count as delivered ones: the device is alive.
      {1000 + 2 * limit + 300, 6, Fault::None},
      // Without a counter nothing can be said.
      {1000 + 10 * limit, std::nullopt, Fault::None},
  };
  for (const Step& s : steps) EXPECT_EQ(watch.Check(s.at, s.frames), s.expected) << s.at;
  // A new file (a cut) starts the count again.
  watch.Begin(QString(), false, 1000 + 20 * limit);
  EXPECT_EQ(watch.Check(1000 + 20 * limit + 1, 6), Fault::None);
}

TEST(RecordingWatch, TheVanishedFileIsPutBackWithWhatTheWriterWroteUntilItsClose) {
  vistrel::testing::TempRoot root;
  const QString folder = root.file(QStringLiteral("videos/day"));
  QDir().mkpath(folder);
  const QString file = folder + QStringLiteral("/take.avi");
  // The writer's descriptor.
  const int fd = ::open(file.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_TRUNC, 0666);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "RIFF....", 8), 8);
  TRecordingWatch watch;
  watch.Begin(file, true, 0);
  EXPECT_EQ(watch.Check(300, std::nullopt), Fault::None);
  ASSERT_TRUE(QDir(root.file(QStringLiteral("videos"))).removeRecursively());
  EXPECT_EQ(watch.Check(600, std::nullopt), Fault::FileGone);
  ASSERT_TRUE(watch.HoldVanishedFile());
  watch.End();
  // The writer finishes its file after the hold: headers patched, tail written.
  ASSERT_EQ(::pwrite(fd, "1234", 4, 4), 4);
  ASSERT_EQ(::write(fd, "movi", 4), 4);
  ::close(fd);
  QString why;
  ASSERT_TRUE(watch.RestoreVanishedFile(why)) << why.toStdString();
  QFile back(file);
  ASSERT_TRUE(back.open(QIODevice::ReadOnly));
  EXPECT_EQ(back.readAll(), QByteArray("RIFF1234movi"));
}

TEST(RecordingWatch, NothingToHoldOrRestoreWhenTheFileWasNeverOpen) {
  vistrel::testing::TempRoot root;
  TRecordingWatch watch;
  watch.Begin(root.file(QStringLiteral("never.avi")), true, 0);
  EXPECT_FALSE(watch.HoldVanishedFile());
  QString why;
  EXPECT_FALSE(watch.RestoreVanishedFile(why));
  EXPECT_FALSE(why.isEmpty());
  EXPECT_FALSE(QFile::exists(root.file(QStringLiteral("never.avi"))));
}

TEST(RecordingWatch, RestoringNeverOverwritesAFileThatTookTheName) {
  vistrel::testing::TempRoot root;
  const QString file = root.file(QStringLiteral("d/take.avi"));
  QDir().mkpath(root.file(QStringLiteral("d")));
  const int fd = ::open(file.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_TRUNC, 0666);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "old", 3), 3);
  TRecordingWatch watch;
  watch.Begin(file, true, 0);
  QFile::remove(file);
  ASSERT_TRUE(watch.HoldVanishedFile());
  ::close(fd);
  root.write(QStringLiteral("d/take.avi"), "new");
  QString why;
  EXPECT_FALSE(watch.RestoreVanishedFile(why));
  EXPECT_EQ(root.read(QStringLiteral("d/take.avi")), "new");
}

TEST(RecordingWatch, FileNamesAreTriedBeforeARecording) {
  vistrel::testing::TempRoot root;
  struct Case {
    QString name;
    bool accepted;
    int error;
  };
  root.write(QStringLiteral("there.avi"), "x");
  const Case cases[] = {
      {root.file(QStringLiteral("fine.avi")), true, 0},
      {root.file(QString(300, QLatin1Char('n')) + QStringLiteral(".avi")), false, ENAMETOOLONG},
      {root.file(QStringLiteral("missing/fine.avi")), false, ENOENT},
      // Still there when the trash refused it: the writer overwrites it.
      {root.file(QStringLiteral("there.avi")), true, EEXIST},
  };
  for (const Case& c : cases) {
    int error = 0;
    EXPECT_EQ(ProbeFileCreation(c.name, error), c.accepted) << c.name.toStdString();
    if (!c.accepted || c.error) {
      EXPECT_EQ(error, c.error) << c.name.toStdString();
    }
  }
  // The try leaves nothing behind, and keeps what was there.
  EXPECT_FALSE(QFile::exists(root.file(QStringLiteral("fine.avi"))));
  EXPECT_EQ(root.read(QStringLiteral("there.avi")), "x");
}

}  // namespace
