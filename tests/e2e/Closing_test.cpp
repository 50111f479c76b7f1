// Closing the program from outside: the session's signals close the main window as its close box
// would, so that a recording is finished and the settings are saved; a second signal ends the
// program at once.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "app/AviFrameRate.h"
#include "e2e/ProgramRun.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

using namespace vistrel::testing;

namespace {

QProcessEnvironment envWith(std::initializer_list<std::pair<QString, QString>> values) {
  QProcessEnvironment env;
  for (const auto& [k, v] : values) env.insert(k, v);
  return env;
}

void usePortableMode(const TempRoot& root) { root.write(QStringLiteral("program/Vistrel.ini"), "\xFF\xFE"); }

QString readIni(const TempRoot& root) {
  const QByteArray bytes = root.read(QStringLiteral("program/Vistrel.ini"));
  if (!bytes.startsWith("\xFF\xFE")) return {};
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
}

// The one file the program recorded into the videos folder.
QString recordedFile(const TempRoot& root) {
  const QDir videos(root.file(QStringLiteral("home/Videos")));
  const QStringList files = videos.entryList(QDir::Files);
  return files.size() == 1 ? videos.filePath(files.first()) : QString();
}

TEST(Closing, EachSessionSignalClosesTheWindowAndSavesTheSettings) {
  for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(number);
    TempRoot root;
    usePortableMode(root);
    RunningVistrel program(root.path(), {});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(program.waitForOutput(QStringLiteral("Exit AppEventsIdle")))
        << program.output().toStdString();
    program.signal(number);
    ASSERT_TRUE(program.waitForEnd());
    EXPECT_TRUE(program.normalExit());
    EXPECT_EQ(program.exitCode(), 0);
    const QString& trace = program.output();
    const qsizetype close = trace.indexOf(QStringLiteral("Enter FormCloseQuery"));
    EXPECT_GT(close, 0) << trace.toStdString();
    EXPECT_GT(trace.indexOf(QStringLiteral("Exit FormDestroy")), close);
    const QString ini = readIni(root);
    EXPECT_TRUE(ini.contains(QString::fromUtf8("\r\nDernière Sauvegarde="))) << ini.left(300).toStdString();
    EXPECT_TRUE(ini.contains(QStringLiteral("\r\nSignature=Vistrel 6.2.0 fr de Orbano\r\n")));
  }
}

TEST(Closing, ACloseTheExitDialogRefusesKeepsTheProgramAndASecondSignalEndsItAtOnce) {
  TempRoot root;  // no store chosen yet: the exit dialog asks, and is closed by its frame
  RunningVistrel program(root.path(), {}, envWith({{"VISTREL_ANSWERS", "fermer"}}));
  ASSERT_TRUE(program.started());
  ASSERT_TRUE(program.waitForOutput(QStringLiteral("Exit AppEventsIdle"))) << program.output().toStdString();
  program.signal(SIGINT);
  ASSERT_TRUE(program.waitForOutput(QStringLiteral("Close refused"))) << program.output().toStdString();
  EXPECT_TRUE(program.output().contains(
      QString::fromUtf8("dialog: Enregistrement des préférences de Vistrel | fermer")));
  EXPECT_TRUE(program.running());
  program.signal(SIGHUP);
  ASSERT_TRUE(program.waitForEnd());
  EXPECT_TRUE(program.normalExit());
  EXPECT_EQ(program.exitCode(), 128 + SIGTERM);
  // Ended where it stood: no second close, nothing destroyed, nothing saved.
  EXPECT_EQ(program.output().count(QStringLiteral("Enter FormCloseQuery")), 1);
  EXPECT_FALSE(program.output().contains(QStringLiteral("Exit FormDestroy")));
  EXPECT_FALSE(QFileInfo::exists(root.file(QStringLiteral("program/Vistrel.ini"))));
}

class RecordingClosedBySignal : public ::testing::Test {
 protected:
  void SetUp() override {
    usePortableMode(root);
    root.write(QStringLiteral("devices.txt"), "camera Test Camera\nmicrophone Test Micro\n");
  }
  // Starts the program recording in `format` with the commands `more` after the start.
  std::unique_ptr<RunningVistrel> startRecording(const QString& format, const QStringList& more = {}) {
    QStringList arguments = {QStringLiteral("/format_capture=") + format, QStringLiteral("/c")};
    arguments += more;
    auto program = std::make_unique<RunningVistrel>(
        root.path(), arguments,
        envWith(
            {{"VISTREL_DEVICES", root.file(QStringLiteral("devices.txt"))}, {"VISTREL_ANSWERS", "oui,oui"}}));
    return program;
  }
  // Sends SIGTERM once the file has grown past `bytes`; true when the program then ended well.
  bool endWithSignalAfter(RunningVistrel& program, qint64 bytes) {
    if (!program.waitForOutput(QStringLiteral("Exit AppEventsIdle"))) return false;
    QElapsedTimer t;
    t.start();
    while (QFileInfo(recordedFile(root)).size() < bytes) {
      if (t.elapsed() > 30000 || !program.running()) return false;
      program.waitForOutput(QStringLiteral("never printed"), 100);
    }
    program.signal(SIGTERM);
    return program.waitForEnd() && program.normalExit() && program.exitCode() == 0;
  }

  TempRoot root;
};

TEST_F(RecordingClosedBySignal, TheFileIsFinishedPlayableAndTheSettingsSaved) {
  auto program = startRecording(QStringLiteral("dv type 2 (recomp)"));
  ASSERT_TRUE(program->started());
  ASSERT_TRUE(endWithSignalAfter(*program, 3'000'000)) << program->output().toStdString();
  const QString file = recordedFile(root);
  ASSERT_TRUE(file.endsWith(QStringLiteral(".avi"))) << file.toStdString();
  const ProbedFile probed = probeMedia(file);
  ASSERT_TRUE(probed.opened);
  ASSERT_EQ(probed.streams.size(), 2u);
  int video = 0, audio = 0;
  for (const ProbedStream& s : probed.streams) {
    if (s.type == AVMEDIA_TYPE_VIDEO) {
      ++video;
      EXPECT_EQ(s.codec, AV_CODEC_ID_DVVIDEO);
      EXPECT_GT(s.packets, 10);
    } else if (s.type == AVMEDIA_TYPE_AUDIO) {
      ++audio;
      EXPECT_GT(s.packets, 0);
    }
  }
  EXPECT_EQ(video, 1);
  EXPECT_EQ(audio, 1);
  EXPECT_GT(probed.durationSeconds, 0.4);
  const QString ini = readIni(root);
  EXPECT_TRUE(ini.contains(QStringLiteral("\r\nCapture Format=6\r\n"))) << ini.toStdString();
  EXPECT_TRUE(ini.contains(QString::fromUtf8("\r\nDernière Sauvegarde=")));
}

TEST_F(RecordingClosedBySignal, AnImageByImageFileGetsItsFrameRate) {
  // Grabs: each lets one frame of the video into the file (requests close together may make one).
  auto program = startRecording(QStringLiteral("Image/Image"), {QStringLiteral("/g"), QStringLiteral("/g")});
  ASSERT_TRUE(program->started());
  // The file holds at least one DV frame (144 000 bytes) when the signal comes.
  ASSERT_TRUE(endWithSignalAfter(*program, 144'000)) << program->output().toStdString();
  const QString file = recordedFile(root);
  ASSERT_FALSE(file.isEmpty());
  const ProbedFile probed = probeMedia(file);
  ASSERT_TRUE(probed.opened);
  ASSERT_FALSE(probed.streams.empty());
  EXPECT_EQ(probed.streams.front().type, AVMEDIA_TYPE_VIDEO);
  EXPECT_GE(probed.streams.front().packets, 1);
  // The frame rate of "Framerate" (18.0 by default) in the video stream's header.
  const auto header = vistrel::app::FindAviVideoHeader(file);
  ASSERT_TRUE(header.has_value());
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  ASSERT_TRUE(f.seek(header->scaleOffset));
  const QByteArray fields = f.read(8);
  ASSERT_EQ(fields.size(), 8);
  const auto u32 = [&](int at) {
    return uint32_t(uint8_t(fields[at])) | uint32_t(uint8_t(fields[at + 1])) << 8 |
           uint32_t(uint8_t(fields[at + 2])) << 16 | uint32_t(uint8_t(fields[at + 3])) << 24;
  };
  EXPECT_EQ(u32(0), 55556u);    // dwScale
  EXPECT_EQ(u32(4), 1000000u);  // dwRate
}

}  // namespace
