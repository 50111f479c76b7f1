// GCC 12 misreads make_shared of a capture pin (enable_shared_from_this through a virtual base)
// as an access past the control block; the warning points into <memory>.
#pragma GCC diagnostic ignored "-Warray-bounds"
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
#include <QtEndian>
#include <csignal>

#include <sys/resource.h>

#include "actions/SuperAction.h"
#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "app/OptionsFrame.h"
#include "app/Plaque.h"
#include "app/RecordingState.h"
#include "app/RecordingWatch.h"
#include "app/SessionFiles.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/devices/virtual/DvTapeFile.h"
#include "platform/devices/virtual/TestPattern.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/devices/virtual/VirtualDvCamera.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/FilterMoniker.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IMediaControl.h"
#include "platform/media/MemAllocator.h"
#include "platform/shell/Trash.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/CaptureFormats.h"
#include "settings/Parameters.h"
#include "settings/SavePreferences.h"
#include "sources/Sources.h"
#include "sources/VideoCaptureDevice.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"
#include "support/WaitFor.h"

using vistrel::testing::waitFor;
using namespace vistrel::app;
using vistrel::platform::devices::VirtualDevices;
using vistrel::platform::ui::Answer;
using vistrel::platform::ui::ScriptedMessageBoxes;

namespace {

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
    QStringList offered;
    for (int i = 0; i < box->count(); ++i) offered << box->itemText(i);
    ASSERT_GE(index, 0) << name << " among " << offered.join(QStringLiteral(", ")).toStdString();
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
  EXPECT_FALSE(form->optionsFrame()->cbConfirmerVideo->isChecked());
  pump(300);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_GT(QFileInfo(name).size(), 3);
  // The old file went to the trash.
  EXPECT_TRUE(
      QFileInfo::exists(vistrel::platform::shell::trashFolder() + "/files/" + QFileInfo(name).fileName()));

  // The next file of the same name is overwritten without a question.
  scripted().clearAsked();
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatCapture);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_TRUE(scripted().asked().empty());

  // And the choice is saved: the settings read back have the confirmation off.
  namespace s = vistrel::settings;
  const auto mode = s::currentStoreMode();
  s::setCurrentStoreMode(s::spPortable);  // "none" saves nothing
  // The save takes the store mode from the options panel.
  form->optionsFrame()->rgPrefs->setItemIndex(s::spPortable);
  form->SauverPrefs();
  auto& confirm = form->params().Boolean(QStringLiteral("Confirmer Video")).Value;
  confirm = 1;
  form->params().LoadAll();
  s::setCurrentStoreMode(mode);
  EXPECT_EQ(confirm, 0);
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

// The test camera's frame counters in a raw AVI file (bottom-up RGB24, 720 x 576).
std::vector<int64_t> frameCounters(const QString& path) {
  std::vector<int64_t> numbers;
  for (const auto& frame : vistrel::testing::probeVideoFrames(path)) {
    if (frame.size() < size_t(720 * 576 * 3)) return {};
    numbers.push_back(vistrel::platform::devices::readFrameCounter(frame.data(), 720, 576));
  }
  return numbers;
}

// The camera at 720 x 576 (25 frames a second), whose frames an "avi natif" file keeps raw.
void choosePal(TCaptureForm& form) {
  const auto pal = vistrel::platform::media::MediaType::rgb24(720, 576, vistrel::platform::media::UNITS / 25);
  auto& dm = form.dm();
  for (size_t i = 0; i < dm.CaptureFormats().size(); ++i)
    if (dm.CaptureFormats()[i] == pal) dm.FormatIndex = static_cast<int>(i) + 1;
  ASSERT_GT(dm.FormatIndex, 0);
  ASSERT_TRUE(dm.Connect(*dm.CurrentVideoSource()));
  dm.Run();
}

TEST_F(RecordingTest, TheCaptureFreezeOfAnAviLeavesThePausedStretchOutAndKeepsTheSoundInStep) {
  choosePal(*form);
  chooseFormat("avi natif");
  const QString name = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  pump(1500);
  form->setFreezeCapture(true);
  pump(2000);
  form->setFreezeCapture(false);
  pump(1500);
  form->runAction(QStringLiteral("saCapturerBascule"));
  const auto counters = frameCounters(name);
  ASSERT_GT(counters.size(), 40u);
  // One jump over the pause (two seconds, 50 frames); elsewhere the frames follow each other
  // (a loaded machine may make the camera skip a few).
  int pauses = 0;
  int64_t skipped = 0;
  for (size_t i = 1; i < counters.size(); ++i) {
    ASSERT_GT(counters[i], counters[i - 1]) << i;  // none twice
    const bool pause = counters[i] - counters[i - 1] > 30;
    pauses += pause;
    if (!pause) skipped += counters[i] - counters[i - 1] - 1;
  }
  EXPECT_EQ(pauses, 1);
  const auto probed = vistrel::testing::probeMedia(name);
  ASSERT_TRUE(probed.opened);
  const vistrel::testing::ProbedStream *v = nullptr, *a = nullptr;
  for (const auto& st : probed.streams) (st.type == AVMEDIA_TYPE_VIDEO ? v : a) = &st;
  ASSERT_TRUE(v && a);
  // The pause is not kept as empty frames: the file's length is its frames' and the slots of
  // the few the camera skipped.
  constexpr double frame = 0.04;
  EXPECT_LT(v->durationSeconds, double(v->packets + skipped + 10) * frame);
  const double sound = double(a->bytes) / (4.0 * a->sampleRate);
  // And the sound goes on where the frames go on: in step, within a frame, all along the file.
  const auto drift = vistrel::testing::probeSoundDrift(name, frame, std::min(sound, v->durationSeconds));
  EXPECT_GT(drift.frames, 40);
  EXPECT_LE(std::abs(drift.worst), frame + 0.001) << "at " << drift.at << " s";
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

TEST_F(DvRecordingTest, TheTimerShowsTheTapePositionOfTheCamcorderInEveryState) {
  std::vector<std::pair<QString, QString>> shown;
  form->ShowTapePosition = [&](vistrel::sources::TavFlux& source, const QString& timeCode,
                               const QString& date) {
    EXPECT_EQ(&source, static_cast<vistrel::sources::TavFlux*>(form->currentVideo()));
    shown.emplace_back(timeCode, date);
  };
  ASSERT_TRUE(waitFor([&] { return shown.size() >= 2; }));
  // Hours without their leading zero, then minutes, seconds and frames on two digits.
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{1,2}:\\d\\d:\\d\\d:\\d\\d$"))
                  .match(shown.back().first)
                  .hasMatch())
      << shown.back().first.toStdString();
  // The tape was recorded on 25 December 2005 (the break jumps an hour later).
  EXPECT_TRUE(shown.back().second.contains(QStringLiteral("2005"))) << shown.back().second.toStdString();
  chooseFormat("dv type 2 natif");
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  const size_t before = shown.size();
  ASSERT_TRUE(waitFor([&] { return shown.size() >= before + 2; }));
  form->runAction(QStringLiteral("saCapturerBascule"));
}

TEST_F(DvRecordingTest, DivXAtHalfSizeRecordsHalfFramesAndShowsTheDescriptionAgain) {
  form->optionsFrame()->cbDVDemiSiDivX->setChecked(true);
  chooseFormat("divx");
  QLabel* description = form->sourcesFrame()->LabVideo;
  const QString name = form->videoFileName();
  // The connection's description names the stream's format; the reconnections at half size and
  // back give the size and rate alone, of the raw DV stream.
  ASSERT_TRUE(description->text().startsWith(QStringLiteral("dvsd - "))) << description->text().toStdString();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  EXPECT_EQ(description->text(), QStringLiteral("720x576 - 25.00 fps"));
  description->clear();
  pump(800);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(description->text(), QStringLiteral("720x576 - 25.00 fps"));
  const auto probed = vistrel::testing::probeMedia(name);
  ASSERT_TRUE(probed.opened);
  bool half = false;
  for (const auto& st : probed.streams) half = half || (st.type == AVMEDIA_TYPE_VIDEO && st.height == 288);
  EXPECT_TRUE(half);
}

TEST_F(RecordingTest, ThePlateFollowsTheStatesAndTheFreezeHatchesIt) {
  Tplaque plaque;
  form->setPlaque(&plaque);
  chooseFormat("Wav");
  EXPECT_EQ(plaque.shapeColour(), QColor(Qt::black));
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  EXPECT_EQ(plaque.shapeColour(), QColor(255, 0, 0));
  form->setFreezeCapture(true);
  EXPECT_EQ(plaque.shapeStyle(), Qt::DiagCrossPattern);
  EXPECT_EQ(plaque.plateColour(), form->palette().color(QPalette::Button));
  EXPECT_EQ(form->pictureFrame()->palette().brush(QPalette::Window).style(), Qt::DiagCrossPattern);
  form->setFreezeCapture(false);
  EXPECT_EQ(plaque.shapeStyle(), Qt::SolidPattern);
  EXPECT_EQ(plaque.plateColour(), QColor(Qt::black));
  EXPECT_EQ(form->pictureFrame()->palette().brush(QPalette::Window).style(), Qt::SolidPattern);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(plaque.shapeColour(), QColor(Qt::black));
  form->setPlaque(nullptr);
}

// A deck whose tape breaks six seconds in, so that the break falls inside a recording started
// soon after the preview.
class DvSceneTest : public RecordingTest {
 protected:
  QByteArray deviceLines() const override { return "dvcam Camescope ; vcr ; break=150+3600\n"; }
};

TEST_F(DvSceneTest, TheSceneRecordsNumberTheFramesOfTheFile) {
  form->params().Boolean(QStringLiteral("scn")).Value = 1;
  chooseFormat("dv type 2 natif");
  const QString name = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  // Until the camcorder's time code is well past the break.
  ASSERT_TRUE(waitFor([&] {
    auto* dv =
        dynamic_cast<vistrel::platform::devices::VirtualDvCamera*>(form->dm().VideoCaptureFilter.get());
    return dv && dv->tapePosition() > 175;
  }));
  form->runAction(QStringLiteral("saCapturerBascule"));
  // The file's frame where the tape's second scene begins.
  const auto frames = vistrel::testing::probeVideoFrames(name);
  int64_t breakAt = -1;
  for (size_t i = 0; i < frames.size() && breakAt < 0; ++i) {
    vistrel::platform::media::dv::TimeCode t;
    ASSERT_TRUE(vistrel::platform::devices::readTimeCodePack(frames[i],
                                                             vistrel::platform::media::dv::System::Pal, t));
    if (t.seconds == 6 && t.frames == 0) breakAt = int64_t(i);
  }
  ASSERT_GT(breakAt, 0) << "the recording began after the break";
  QFile f(SceneFileName(name));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray d = f.readAll();
  const int L = uint8_t(d.at(24));
  auto i32 = [&](int at) { return qFromLittleEndian<int32_t>(d.constData() + at); };
  const int count = qFromLittleEndian<uint16_t>(d.constData() + 33 + L);
  ASSERT_EQ(count, 2);  // the break, and the stop
  // The detector counts from 0 the frames it saw since the graph started, as the file numbers
  // its frames; the scene file adds 1. The first record, written at the break, carries the
  // frame where the second scene begins.
  const int first = 65 + L;
  EXPECT_EQ(i32(first), breakAt + 1);
  EXPECT_EQ(i32(first + 11 + L + 8), breakAt + 1);
  // The second, at the stop: the scene from the break to the last frame the detector saw. That
  // frame may be one the stop caught on its way to the file: a frame more than the file holds.
  const int second = first + 4 + 7 + L + 8 + 4;
  ASSERT_EQ(d.size(), second + 35);
  const int64_t inFile = int64_t(frames.size()) - breakAt;
  for (int at : {9, 23, 31}) EXPECT_EQ(i32(second + at), breakAt + 1) << at;
  for (int at : {13, 27}) {
    EXPECT_GE(i32(second + at), inFile) << at;
    EXPECT_LE(i32(second + at), inFile + 1) << at;
  }
}

// Three cuts of each kind of writer: the engine's AVI writer, the DV device's own type 1 chain
// (removed and built again) and the engine's stream writer of a native MPEG recording.
class CutRecordingTest : public RecordingTest {
 protected:
  QByteArray deviceLines() const override {
    return "camera Camera A\nmicrophone Micro\ndvcam Camescope ; camera\nmpegcard Carte MPEG\n";
  }
  // Records with three cuts; the four files, with their sizes when each was finished.
  std::vector<std::pair<QString, qint64>> recordWithThreeCuts() {
    std::vector<std::pair<QString, qint64>> files;
    form->runAction(QStringLiteral("saCapturerBascule"));
    EXPECT_EQ(form->etat(), etatCapture);
    for (int i = 0; i < 4; ++i) {
      const QString name = form->videoFileName();
      pump(700);
      form->runAction(QString::fromLatin1(i < 3 ? "acCouper" : "saCapturerBascule"));
      files.emplace_back(name, QFileInfo(name).size());
    }
    EXPECT_EQ(form->etat(), etatPreview);
    return files;
  }
};

TEST_F(CutRecordingTest, NoFrameTwiceAndEachFileKeptAsItWasFinished) {
  struct Case {
    const char* video;
    const char* format;
  };
  for (const Case c : {Case{"Camera A", "avi natif"}, Case{"DV Source - Video", "dv type 1 natif"},
                       Case{"Carte MPEG", "flux mpeg2 natif"}}) {
    SCOPED_TRACE(c.format);
    QComboBox* videos = form->sourcesFrame()->cboxvideo;
    QStringList listed;
    for (int i = 0; i < videos->count(); ++i) listed << videos->itemText(i);
    ASSERT_GE(videos->findText(QString::fromUtf8(c.video)), 0)
        << listed.join(QStringLiteral(", ")).toStdString();
    videos->setCurrentIndex(videos->findText(QString::fromUtf8(c.video)));
    emit videos->activated(videos->currentIndex());
    ASSERT_TRUE(form->currentVideo() && form->currentVideo()->SourceName == QString::fromUtf8(c.video));
    if (c.format == std::string("avi natif")) choosePal(*form);
    chooseFormat(c.format);
    const int before = form->sessionFiles().Count();
    const auto files = recordWithThreeCuts();
    ASSERT_EQ(form->sessionFiles().Count(), before + 4);
    std::vector<int64_t> previousCodes;
    for (const auto& [name, size] : files) {
      SCOPED_TRACE(name.toStdString());
      // A cut never writes into a finished file again.
      EXPECT_EQ(QFileInfo(name).size(), size);
      const auto frames = vistrel::testing::probeVideoFrames(name);
      ASSERT_GT(frames.size(), 5u);
      if (c.format == std::string("avi natif")) {
        // Each run of the camera counts its frames from 0: every file starts at its first frame
        // and holds each frame once, in order (a loaded machine may make the camera skip some).
        const auto counters = frameCounters(name);
        ASSERT_EQ(counters.size(), frames.size());
        EXPECT_LT(counters.front(), 5);
        for (size_t i = 1; i < counters.size(); ++i) EXPECT_GT(counters[i], counters[i - 1]) << i;
      } else if (c.format == std::string("dv type 1 natif")) {
        // The camcorder's time code runs on across the cuts: no frame of a file is in another.
        std::vector<int64_t> codes;
        for (const auto& f : frames) {
          vistrel::platform::media::dv::TimeCode t;
          ASSERT_TRUE(
              vistrel::platform::devices::readTimeCodePack(f, vistrel::platform::media::dv::System::Pal, t));
          codes.push_back(((int64_t(t.hours) * 60 + t.minutes) * 60 + t.seconds) * 25 + t.frames);
        }
        if (!previousCodes.empty()) {
          EXPECT_GT(codes.front(), previousCodes.back());
        }
        for (size_t i = 1; i < codes.size(); ++i) EXPECT_GT(codes[i], codes[i - 1]) << i;
        previousCodes = codes;
      }
    }
  }
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
  struct Case {
    const char* format;
    rlim_t limit;  // a second or two of the format's bytes
    bool video;
  };
  for (const Case c :
       {Case{"avi natif", 6 << 20, true}, Case{"dv type 2 (recomp)", 6 << 20, true},
        Case{"Wmv", 96 << 10, true}, Case{"Wav", 256 << 10, false}, Case{"mp3", 24 << 10, false}}) {
    SCOPED_TRACE(c.format);
    chooseFormat(c.format);
    const QString name = recordInto(root.file(QStringLiteral("full")));
    scripted().clearAsked();
    {
      const FileSizeLimit limit(c.limit);
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
    EXPECT_LE(QFileInfo(name).size(), qint64(c.limit));
    // What was written plays: its frames, or its sound.
    const auto probed = vistrel::testing::probeMedia(name);
    ASSERT_TRUE(probed.opened);
    if (c.video) {
      EXPECT_TRUE(hasVideoFrames(name, 3));
    } else {
      ASSERT_EQ(probed.streams.size(), 1u);
      EXPECT_GT(probed.streams[0].packets, 3);
    }
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

// A capture filter offering one picture wider than MPEG-4 can code, and delivering nothing.
class WideCapture : public vistrel::platform::media::BaseFilter {
  class Pin : public vistrel::platform::media::BaseOutputPin,
              public vistrel::platform::media::IAMStreamConfig {
   public:
    explicit Pin(BaseFilter* f)
        : BaseOutputPin(f, QStringLiteral("Capture"), vistrel::platform::media::PIN_CATEGORY_CAPTURE) {}
    vistrel::platform::media::HRESULT CheckMediaType(const vistrel::platform::media::MediaType& t) override {
      return t == type() ? vistrel::platform::media::S_OK : vistrel::platform::media::VFW_E_TYPE_NOT_ACCEPTED;
    }
    vistrel::platform::media::HRESULT GetMediaType(int pos, vistrel::platform::media::MediaType& t) override {
      if (pos < 0) return vistrel::platform::media::E_INVALIDARG;
      if (pos > 0) return vistrel::platform::media::VFW_S_NO_MORE_ITEMS;
      t = type();
      return vistrel::platform::media::S_OK;
    }
    vistrel::platform::media::HRESULT DecideBufferSize(
        vistrel::platform::media::MemAllocator& a,
        vistrel::platform::media::ALLOCATOR_PROPERTIES& req) override {
      vistrel::platform::media::ALLOCATOR_PROPERTIES want = req, got;
      want.cBuffers = 2;
      want.cbBuffer = 8200 * 16 * 3;
      return a.SetProperties(want, got);
    }
    vistrel::platform::media::HRESULT SetFormat(const vistrel::platform::media::MediaType&) override {
      return vistrel::platform::media::S_OK;
    }
    vistrel::platform::media::HRESULT GetFormat(vistrel::platform::media::MediaType& t) override {
      t = type();
      return vistrel::platform::media::S_OK;
    }
    vistrel::platform::media::HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& size) override {
      count = 1;
      size = sizeof(vistrel::platform::media::VIDEO_STREAM_CONFIG_CAPS);
      return vistrel::platform::media::S_OK;
    }
    vistrel::platform::media::HRESULT GetStreamCaps(int32_t index, vistrel::platform::media::MediaType& t,
                                                    std::vector<uint8_t>& caps) override {
      if (index != 0) return vistrel::platform::media::E_INVALIDARG;
      t = type();
      caps.assign(sizeof(vistrel::platform::media::VIDEO_STREAM_CONFIG_CAPS), 0);
      return vistrel::platform::media::S_OK;
    }

   private:
    static vistrel::platform::media::MediaType type() {
      return vistrel::platform::media::MediaType::rgb24(8200, 16, vistrel::platform::media::UNITS / 25);
    }
  };

 public:
  WideCapture()
      : BaseFilter(vistrel::platform::media::makeGuid("{7E57CA57-0000-4000-8000-00000000A001}"),
                   QStringLiteral("Wide")) {
    addPin(makePin(this));
  }

 private:
  static std::shared_ptr<vistrel::platform::media::BasePin> makePin(BaseFilter* f) {
    return std::make_shared<Pin>(f);
  }
};

TEST_F(RecordingFaultTest, ACompressorThatRefusesThePictureSizeIsSaidAndThePreviewGoesOn) {
  using namespace vistrel::platform::media;
  auto moniker = std::make_shared<FilterMoniker>(
      QStringLiteral("@test:wide"), QStringLiteral("Wide"),
      makeGuid("{7E57CA57-0000-4000-8000-00000000A001}"),
      [] { return std::static_pointer_cast<IBaseFilter>(std::make_shared<WideCapture>()); });
  vistrel::sources::TVideoCaptureDevice device(form->dm().Engine(), moniker, QStringLiteral("Wide"), 1);
  ASSERT_TRUE(device.Ready);
  vistrel::sources::TVideoSource wide(&device, 1);
  chooseFormat("divx");
  ASSERT_TRUE(form->dm().Connect(wide));
  form->dm().Run();
  const QString name = form->videoFileName();
  scripted().clearAsked();
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatPreview);
  EXPECT_FALSE(form->action(QStringLiteral("saCapturerBascule"))->isChecked());
  EXPECT_EQ(lastMessage(), ChainRefusedText(QStringLiteral("divx")));
  EXPECT_TRUE(previewRuns(*form));
  EXPECT_EQ(form->sessionFiles().Count(), 0);
  form->dm().Stop();
  form->dm().Disconnect(wide, true);
}

TEST_F(RecordingFaultTest, AStalledMicrophoneStopsASoundRecordingWithAMessage) {
  for (const char* format : {"Wav", "mp3"}) {
    SCOPED_TRACE(format);
    chooseFormat(format);
    const QString name = recordInto(root.file(QStringLiteral("stall")));
    auto mic =
        std::dynamic_pointer_cast<vistrel::platform::devices::ToneMicrophone>(form->dm().AudioCaptureFilter);
    ASSERT_TRUE(mic);
    scripted().clearAsked();
    form->runAction(QStringLiteral("saCapturerBascule"));
    ASSERT_EQ(form->etat(), etatCapture);
    pump(1000);
    mic->setStalled(true);
    ASSERT_TRUE(waitFor([&] { return form->etat() == etatPreview; }, 3 * TRecordingWatch::kStallMs + 5000));
    mic->setStalled(false);
    EXPECT_TRUE(lastMessage().startsWith(QString::fromUtf8("Le périphérique audio ne fournit plus de son")))
        << lastMessage().toStdString();
    EXPECT_TRUE(previewRuns(*form));
    EXPECT_EQ(form->sessionFiles().Item(form->sessionFiles().Count() - 1).Path, name);
    const auto probed = vistrel::testing::probeMedia(name);
    ASSERT_TRUE(probed.opened);
    EXPECT_GT(probed.durationSeconds, 0.5);
  }
}

}  // namespace
