// Recording from the main window with virtual devices: start, stop, cut, the overwrite question
// and what the session list receives.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <csignal>

#include <sys/resource.h>

#include "actions/SuperAction.h"
#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "app/RecordingState.h"
#include "app/RecordingWatch.h"
#include "app/SessionFiles.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/media/IMediaControl.h"
#include "platform/shell/Trash.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/CaptureFormats.h"
#include "settings/Parameters.h"
#include "sources/Sources.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

using namespace vistrel::app;
using vistrel::platform::devices::VirtualDevices;
using vistrel::platform::ui::Answer;
using vistrel::platform::ui::ScriptedMessageBoxes;

namespace {

template <class F>
bool waitFor(F done, int limitMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

void pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class RecordingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    answers = vistrel::platform::ui::setMessageBoxService(std::make_unique<ScriptedMessageBoxes>());
    root.write(QStringLiteral("devices.txt"), deviceLines());
    qputenv("VISTREL_DEVICES", root.file(QStringLiteral("devices.txt")).toLocal8Bit());
    VirtualDevices::instance().rescan();
    form = std::make_unique<TCaptureForm>();
    form->show();
    ASSERT_TRUE(waitFor([&] { return form->deferredStartDone(); }));
    ASSERT_TRUE(form->currentAudio() || form->currentVideo());
  }
  virtual QByteArray deviceLines() const { return "camera Camera A\nmicrophone Micro\n"; }
  void TearDown() override {
    form.reset();
    qputenv("VISTREL_DEVICES", "none");
    VirtualDevices::instance().rescan();
    vistrel::platform::ui::setMessageBoxService(nullptr);
  }
  void chooseFormat(const char* name) {
    QComboBox* box = form->sourcesFrame()->cbFormatCapture;
    const int index = box->findText(QString::fromUtf8(name));
    ASSERT_GE(index, 0) << name;
    box->setCurrentIndex(index);
    emit box->activated(index);
    ASSERT_EQ(form->params().Enum(QStringLiteral("Capture Format")).Value,
              vistrel::settings::StrToFormatCapture(QString::fromUtf8(name)));
    // The preview state: the capture toggle is enabled for a connected sound source too.
    form->setinterfacepreview();
    ASSERT_TRUE(form->action(QStringLiteral("saCapturerBascule"))->isEnabled());
  }
  ScriptedMessageBoxes& scripted() { return *static_cast<ScriptedMessageBoxes*>(answers); }

  vistrel::testing::TempRoot root;
  vistrel::platform::ui::MessageBoxService* answers = nullptr;
  std::unique_ptr<TCaptureForm> form;
};

TEST_F(RecordingTest, StartAndStopWriteOneFileAndOneSessionItem) {
  chooseFormat("Wav");
  const QString name = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  EXPECT_EQ(form->recordingFileName(), name);
  pump(1500);
  EXPECT_TRUE(form->statusBar()->panel(2).text.startsWith(QString::fromUtf8("durée 0:00 :0")));
  EXPECT_EQ(form->statusBar()->panel(3).text, "Audio Wav");
  EXPECT_EQ(form->statusBar()->panel(1).text, "Aud: Mic=>Wav");
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatPreview);
  ASSERT_EQ(form->sessionFiles().Count(), 1);
  EXPECT_EQ(form->sessionFiles().Item(0).Path, name);
  EXPECT_EQ(form->sessionFiles().Item(0).CaptureFormat, "Wav");
  EXPECT_NE(form->videoFileName(), name);
  const auto probed = vistrel::testing::probeMedia(name);
  ASSERT_TRUE(probed.opened);
  EXPECT_GT(probed.durationSeconds, 0.5);
}

TEST_F(RecordingTest, ThreeCutsGiveFourFilesWithConsecutiveCounters) {
  chooseFormat("Wav");
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  for (int i = 0; i < 3; ++i) {
    pump(500);
    form->runAction(QStringLiteral("acCouper"));
    EXPECT_EQ(form->etat(), etatCapture);
  }
  pump(500);
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->sessionFiles().Count(), 4);
  int previous = -1;
  const QRegularExpression counter(QStringLiteral("(\\d+)\\.wav$"));
  for (int i = 0; i < 4; ++i) {
    const QString path = form->sessionFiles().Item(i).Path;
    const auto m = counter.match(path);
    ASSERT_TRUE(m.hasMatch()) << path.toStdString();
    if (previous >= 0) {
      EXPECT_EQ(m.captured(1).toInt(), previous + 1);
    }
    previous = m.captured(1).toInt();
    // Every file is complete on its own: the cut retargets the writer, nothing is overwritten.
    const auto probed = vistrel::testing::probeMedia(path);
    EXPECT_TRUE(probed.opened) << path.toStdString();
    EXPECT_GT(probed.durationSeconds, 0.2) << path.toStdString();
  }
}

TEST_F(RecordingTest, OverwriteQuestionNoRefusesAndAllSwitchesTheConfirmationOff) {
  chooseFormat("Wav");
  const QString name = form->videoFileName();
  QDir().mkpath(QFileInfo(name).absolutePath());
  {
    QFile old(name);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
  }
  ASSERT_TRUE(QFileInfo::exists(name));

  scripted().addAnswers({Answer::No});
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatPreview);
  ASSERT_EQ(scripted().asked().size(), 1u);
  EXPECT_EQ(scripted().asked()[0].text, OverwriteQuestion(name));
  EXPECT_EQ(QFileInfo(name).size(), 3);

  scripted().addAnswers({Answer::All});
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatCapture);
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Confirmer Video")).Value, 0);
  pump(300);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_GT(QFileInfo(name).size(), 3);
  // The old file went to the trash.
  EXPECT_TRUE(
      QFileInfo::exists(vistrel::platform::shell::trashFolder() + "/files/" + QFileInfo(name).fileName()));
}

TEST_F(RecordingTest, TheCaptureFreezeLeavesThePausedStretchOut) {
  chooseFormat("Wav");
  const QString name = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  pump(1000);
  form->setFreezeCapture(true);
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Freeze Capture")).Value, 1);
  pump(2000);
  form->setFreezeCapture(false);
  pump(1000);
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->sessionFiles().Count(), 1);
  const auto probed = vistrel::testing::probeMedia(name);
  ASSERT_TRUE(probed.opened);
  // About two seconds recorded out of four: the file holds no sound of the pause.
  EXPECT_GT(probed.durationSeconds, 1.3);
  EXPECT_LT(probed.durationSeconds, 3.0);
}

// A DV camcorder whose tape has a recording break: its scenes go to a scene file beside the video.
class DvRecordingTest : public RecordingTest {
 protected:
  QByteArray deviceLines() const override { return "dvcam Camescope ; vcr ; break=25+3600\n"; }
};

TEST_F(DvRecordingTest, ScnOnWritesTheScenesOfTheTape) {
  form->params().Boolean(QStringLiteral("scn")).Value = 1;
  chooseFormat("dv type 2 natif");
  const QString name = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  EXPECT_TRUE(form->sceneFile().IsOpen());
  pump(2500);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_FALSE(form->sceneFile().IsOpen());
  const QString scn = SceneFileName(name);
  QFile f(scn);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << scn.toStdString();
  const QByteArray d = f.readAll();
  const QByteArray path = scn.toUtf8();
  ASSERT_GT(d.size(), 65 + path.size());
  EXPECT_EQ(d.mid(14, 10), "SourceTape");
  EXPECT_EQ(d.mid(25, path.size()), path);
  // The break and the stop: at least two scenes, each record after the first 35 bytes.
  const int count = uint8_t(d.at(33 + path.size())) | (uint8_t(d.at(34 + path.size())) << 8);
  EXPECT_GE(count, 2);
  const int firstRecord = 4 + 7 + path.size() + 8 + 4;
  EXPECT_EQ(d.size(), 65 + path.size() + firstRecord + (count - 1) * 35);
}

class TwoCamerasRecordingTest : public RecordingTest {
 protected:
  QByteArray deviceLines() const override { return "camera Camera A\ncamera Camera B\nmicrophone Micro\n"; }
};

TEST_F(TwoCamerasRecordingTest, UnpluggingTheCameraStopsTheRecordingAndConnectsTheOther) {
  ASSERT_EQ(form->currentVideo()->SourceName, "Camera A");
  chooseFormat("dv type 2 (recomp)");
  const QString name = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  pump(1500);
  root.write(QStringLiteral("devices.txt"), "camera Camera B\nmicrophone Micro\n");
  VirtualDevices::instance().rescan();
  ASSERT_TRUE(waitFor([&] { return form->etat() == etatPreview; }));
  ASSERT_TRUE(
      waitFor([&] { return form->currentVideo() && form->currentVideo()->SourceName == "Camera B"; }));
  ASSERT_EQ(form->sessionFiles().Count(), 1);
  EXPECT_EQ(form->sessionFiles().Item(0).Path, name);
  const auto probed = vistrel::testing::probeMedia(name);
  ASSERT_TRUE(probed.opened);
  bool video = false;
  for (const auto& st : probed.streams) video = video || (st.type == AVMEDIA_TYPE_VIDEO && st.packets > 5);
  EXPECT_TRUE(video);
}

// ---- Faults during a recording -----------------------------------------------------------------

bool previewRuns(TCaptureForm& form) {
  vistrel::platform::media::OAFilterState state = vistrel::platform::media::State_Stopped;
  form.dm().Graph()->GetState(0, state);
  return state == vistrel::platform::media::State_Running;
}

bool hasVideoFrames(const QString& path, int atLeast) {
  const auto probed = vistrel::testing::probeMedia(path);
  if (!probed.opened) return false;
  for (const auto& st : probed.streams)
    if (st.type == AVMEDIA_TYPE_VIDEO && st.packets >= atLeast) return true;
  return false;
}

class RecordingFaultTest : public RecordingTest {
 protected:
  // The next recordings go into `folder` (created).
  QString recordInto(const QString& folder) {
    QDir().mkpath(folder);
    form->dossiersFrame()->VideoDirEdit->setText(folder);
    return form->NomVideo();
  }
  QString lastMessage() { return scripted().asked().empty() ? QString() : scripted().asked().back().text; }
};

TEST_F(RecordingFaultTest, AFileNameTheFileSystemRefusesIsSaidAndNothingStarts) {
  chooseFormat("avi natif");
  recordInto(root.file(QStringLiteral("videos")));
  form->dossiersFrame()->VideoRacineEdit->setText(QString(300, QLatin1Char('n')));
  const QString name = form->NomVideo();
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatPreview);
  EXPECT_FALSE(form->action(QStringLiteral("saCapturerBascule"))->isChecked());
  EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Impossible de créer le fichier ") + name));
  EXPECT_TRUE(lastMessage().contains(QStringLiteral("trop long")));
  EXPECT_EQ(form->sessionFiles().Count(), 0);
  EXPECT_TRUE(previewRuns(*form));
  // A name that fits afterwards records as usual.
  form->dossiersFrame()->VideoRacineEdit->setText(QStringLiteral("court"));
  const QString good = form->NomVideo();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  pump(500);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_TRUE(hasVideoFrames(good, 2));
}

// Writes past `bytes` fail with EFBIG instead of killing the process, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit old_{};
  void (*previous_)(int) = nullptr;
};

TEST_F(RecordingFaultTest, AFullDiskStopsTheRecordingWithAMessageAndLeavesAPlayableFile) {
  for (const char* format : {"avi natif", "dv type 2 (recomp)"}) {
    SCOPED_TRACE(format);
    chooseFormat(format);
    const QString name = recordInto(root.file(QStringLiteral("full")));
    scripted().clearAsked();
    {
      const FileSizeLimit limit(6 * 1024 * 1024);
      form->runAction(QStringLiteral("saCapturerBascule"));
      ASSERT_EQ(form->etat(), etatCapture);
      ASSERT_TRUE(waitFor([&] { return form->etat() == etatPreview; }));
    }
    EXPECT_TRUE(lastMessage().startsWith(
        QStringLiteral("La capture a été arrêtée : erreur d'écriture du fichier ") + name))
        << lastMessage().toStdString();
    EXPECT_FALSE(form->action(QStringLiteral("saCapturerBascule"))->isChecked());
    EXPECT_TRUE(previewRuns(*form));
    ASSERT_GE(form->sessionFiles().Count(), 1);
    EXPECT_EQ(form->sessionFiles().Item(form->sessionFiles().Count() - 1).Path, name);
    EXPECT_LE(QFileInfo(name).size(), 6 * 1024 * 1024);
    EXPECT_TRUE(hasVideoFrames(name, 3));
  }
}

TEST_F(RecordingFaultTest, AFolderRemovedDuringTheRecordingStopsItAndTheFileIsPutBack) {
  chooseFormat("avi natif");
  const QString folder = root.file(QStringLiteral("gone"));
  const QString name = recordInto(folder);
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  pump(1200);
  ASSERT_TRUE(QDir(folder).removeRecursively());
  ASSERT_TRUE(waitFor([&] { return form->etat() == etatPreview; }));
  EXPECT_TRUE(lastMessage().startsWith(QStringLiteral("Le fichier ") + name + QStringLiteral(" a disparu")));
  EXPECT_TRUE(lastMessage().endsWith(QStringLiteral("a été recréé."))) << lastMessage().toStdString();
  EXPECT_TRUE(previewRuns(*form));
  ASSERT_EQ(form->sessionFiles().Count(), 1);
  EXPECT_EQ(form->sessionFiles().Item(0).Path, name);
  // Complete: the writer's close (headers, index) reached the copy.
  EXPECT_TRUE(hasVideoFrames(name, 10));
  const auto probed = vistrel::testing::probeMedia(name);
  EXPECT_GT(probed.durationSeconds, 0.8);
}

TEST_F(RecordingFaultTest, AStalledCameraStopsTheRecordingWithAMessage) {
  chooseFormat("avi natif");
  const QString name = recordInto(root.file(QStringLiteral("stall")));
  auto camera =
      std::dynamic_pointer_cast<vistrel::platform::devices::VirtualCamera>(form->dm().VideoCaptureFilter);
  ASSERT_TRUE(camera);
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  pump(1000);
  camera->setStalled(true);
  ASSERT_TRUE(waitFor([&] { return form->etat() == etatPreview; }, 3 * TRecordingWatch::kStallMs + 5000));
  camera->setStalled(false);
  EXPECT_TRUE(lastMessage().startsWith(QString::fromUtf8("Le périphérique vidéo ne fournit plus d'images")))
      << lastMessage().toStdString();
  EXPECT_TRUE(previewRuns(*form));
  ASSERT_EQ(form->sessionFiles().Count(), 1);
  EXPECT_TRUE(hasVideoFrames(name, 10));
}

}  // namespace
