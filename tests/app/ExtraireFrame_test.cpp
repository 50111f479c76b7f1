// Grabbing from the main window with the virtual camera: pictures saved as BMP and JPEG under
// the image name, the overwrite question, the intervalometer and its countdown, and
// image-by-image recording with its frame rate rewritten.
#include "app/ExtraireFrame.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>
#include <QtEndian>

#include "actions/SuperAction.h"
#include "app/AviFrameRate.h"
#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "app/GrabPicture.h"
#include "app/SessionFiles.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "filters/Tvt_ControlFilter.h"
#include "filters/Tvt_Superposer.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/PostedMessages.h"
#include "settings/CaptureFormats.h"
#include "settings/Parameters.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"
#include "support/WaitFor.h"

extern "C" {
#include <libavformat/avformat.h>
}

using vistrel::testing::waitFor;
using namespace vistrel::app;
using vistrel::platform::devices::VirtualDevices;
using vistrel::platform::ui::Answer;
using vistrel::platform::ui::ScriptedMessageBoxes;

namespace {

void flushEvents() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class GrabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    answers = vistrel::platform::ui::setMessageBoxService(std::make_unique<ScriptedMessageBoxes>());
    root.write(QStringLiteral("devices.txt"), "camera Camera A\n");
    qputenv("VISTREL_DEVICES", root.file(QStringLiteral("devices.txt")).toLocal8Bit());
    VirtualDevices::instance().rescan();
    form = std::make_unique<TCaptureForm>();
    form->setBeepPlayer([this](const QByteArray& wav) { beeps.push_back(wav); });
    form->show();
    ASSERT_TRUE(waitFor([&] { return form->deferredStartDone(); }));
    ASSERT_NE(form->currentVideo(), nullptr);
    QDir(root.path()).mkpath(QStringLiteral("images"));
    form->dossiersFrame()->ImageDirEdit->setText(root.file(QStringLiteral("images")));
    form->params().Enum(QStringLiteral("Aspect ratio")).Value = 3;  // native: the picture keeps its size
  }
  void TearDown() override {
    form.reset();
    qputenv("VISTREL_DEVICES", "none");
    VirtualDevices::instance().rescan();
    vistrel::platform::ui::setMessageBoxService(nullptr);
  }
  ScriptedMessageBoxes& scripted() { return *static_cast<ScriptedMessageBoxes*>(answers); }
  TExtraireFrame& panel() { return *form->extraireFrame(); }
  QSize videoSize() {
    const auto& info = form->dm().Engine().VideoInfo;
    return {info.VideoWidth, info.VideoHeight};
  }
  // One grab by hand, saved under the name it had.
  QString grabOnce() {
    const QString name = form->imageFileName();
    const int items = form->sessionFiles().Count();
    form->runAction(QStringLiteral("saGrab"));
    EXPECT_TRUE(waitFor([&] { return form->sessionFiles().Count() > items; })) << name.toStdString();
    return name;
  }
  void chooseFormat(const char* name) {
    QComboBox* box = form->sourcesFrame()->cbFormatCapture;
    const int index = box->findText(QString::fromUtf8(name));
    ASSERT_GE(index, 0) << name;
    box->setCurrentIndex(index);
    emit box->activated(index);
    form->setinterfacepreview();
  }

  vistrel::testing::TempRoot root;
  vistrel::platform::ui::MessageBoxService* answers = nullptr;
  std::unique_ptr<TCaptureForm> form;
  std::vector<QByteArray> beeps;
};

TEST_F(GrabTest, TheGrabPanelIsOneOfTheNinePanels) {
  EXPECT_EQ(form->panel(3), form->extraireFrame());
  EXPECT_EQ(panel().objectName(), "TExtraireFrame");
  EXPECT_EQ(panel().Caption->text(), "Extraire des images (F5)");
  EXPECT_EQ(panel().RxSwitch1->toolTip(), QString::fromUtf8("Basculer l'intervallomètre."));
  EXPECT_EQ(panel().RxSpinEdit7->maximum(), 999999);
  EXPECT_EQ(panel().RxSpinEdit7->value(), 10);
  ASSERT_EQ(panel().cbUnites->count(), 4);
  EXPECT_EQ(panel().cbUnites->itemText(1), "frames");
  EXPECT_EQ(panel().cbBeeps->text(), "Bips");
  EXPECT_EQ(panel().destlabel->text(), QFileInfo(form->imageFileName()).fileName());
  EXPECT_TRUE(panel().RxSwitch1->isEnabled());
}

TEST_F(GrabTest, AGrabIsSavedAsABitmapOfTheVideoSize) {
  form->AfficherPanneau(0);
  const QString name = grabOnce();
  EXPECT_EQ(form->shownPanel(), 3);  // the grab shows its panel
  ASSERT_TRUE(QFileInfo::exists(name));
  EXPECT_EQ(QImageReader(name).format(), "bmp");
  const QImage saved(name);
  EXPECT_EQ(saved.size(), videoSize());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB888),
            form->savedPicture().convertToFormat(QImage::Format_RGB888));
  const TDataFichier& item = form->sessionFiles().Item(form->sessionFiles().Count() - 1);
  EXPECT_EQ(item.Path, name);
  EXPECT_EQ(item.CapturedFrames, 1);
  EXPECT_EQ(item.DroppedFrames, -1);
  EXPECT_EQ(item.VideoSource, form->sourcesFrame()->cboxvideo->currentText());
  // The next name follows, and the panel shows it and the thumbnail.
  EXPECT_NE(form->imageFileName(), name);
  EXPECT_EQ(panel().destlabel->text(), QFileInfo(form->imageFileName()).fileName());
  EXPECT_TRUE(panel().Bevel3->isVisibleTo(&panel()));
  EXPECT_EQ(panel().Image->geometry(), ThumbnailBounds(saved.size()));
  EXPECT_EQ(panel().Image->geometry().bottom() + 1, 163);
}

TEST_F(GrabTest, JpegOptionGivesAJpegNameAndFileWithTheAspect) {
  form->params().Enum(QStringLiteral("Aspect ratio")).Value = 2;  // 16:9
  form->params().Integer(QStringLiteral("Qualité jpeg")).Value = 90;
  const QString bmpName = form->imageFileName();
  form->runAction(QStringLiteral("acJpgOption"));
  EXPECT_EQ(form->params().Integer(QStringLiteral("Extension des images")).Value, 1);
  // The same number with the new extension.
  EXPECT_EQ(form->imageFileName(), bmpName.left(bmpName.size() - 4) + ".jpg");
  EXPECT_TRUE(form->statusBar()->panel(0).text.startsWith("JPG - "));
  const QString name = grabOnce();
  ASSERT_TRUE(name.endsWith(".jpg"));
  EXPECT_EQ(QImageReader(name).format(), "jpeg");
  const QImage saved(name);
  const QSize video = videoSize();
  EXPECT_EQ(saved.size(), QSize(video.width(), video.width() * 9 / 16));
  form->runAction(QStringLiteral("acBmpOption"));
  EXPECT_TRUE(form->imageFileName().endsWith(".bmp"));
  EXPECT_TRUE(form->statusBar()->panel(0).text.startsWith("BMP - "));
}

TEST_F(GrabTest, RefusingToOverwriteKeepsTheFileAndTheName) {
  const QString name = form->imageFileName();
  root.write(QStringLiteral("images/") + QFileInfo(name).fileName(), "old picture");
  scripted().addAnswers({Answer::No});
  form->runAction(QStringLiteral("saGrab"));
  ASSERT_TRUE(waitFor([&] { return !scripted().asked().empty(); }));
  const auto& q = scripted().asked().front();
  EXPECT_EQ(q.text, QStringLiteral("L'image ") + QFileInfo(name).fileName() +
                        QString::fromUtf8(" existe déjà. Voulez-vous la remplacer?\r\nSi vous cliquez sur "
                                          "\"Tous\", alors plus aucune confirmation ne sera demandée"));
  EXPECT_EQ(q.buttons, vistrel::platform::ui::Buttons::YesNoAll);
  EXPECT_EQ(q.kind, vistrel::platform::ui::MessageKind::Warning);
  EXPECT_EQ(fileBytes(name), "old picture");
  EXPECT_EQ(form->imageFileName(), name);
  EXPECT_EQ(form->sessionFiles().Count(), 0);

  // "Tous": written, the old file in the trash, and no more questions.
  scripted().addAnswers({Answer::All});
  grabOnce();
  EXPECT_EQ(QImageReader(name).format(), "bmp");
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Confirmer Image")).Value, 0);
  root.write(QStringLiteral("images/") + QFileInfo(form->imageFileName()).fileName(), "another");
  const QString third = grabOnce();
  EXPECT_EQ(scripted().asked().size(), 2u);
  EXPECT_EQ(QImageReader(third).format(), "bmp");
}

TEST_F(GrabTest, APictureThatCannotBeWrittenIsSaidAndFreesItsSlot) {
  form->dossiersFrame()->ImageDirEdit->setText(root.file(QStringLiteral("gone")));
  const QString name = form->imageFileName();
  form->runAction(QStringLiteral("saGrab"));
  ASSERT_TRUE(waitFor([&] { return !scripted().asked().empty(); }));
  EXPECT_EQ(scripted().asked().front().kind, vistrel::platform::ui::MessageKind::Error);
  EXPECT_TRUE(scripted().asked().front().text.contains(name));
  EXPECT_FALSE(QFileInfo::exists(name));
  EXPECT_EQ(form->sessionFiles().Count(), 0);
  EXPECT_EQ(form->imageFileName(), name);  // the next grab tries the same name
  auto& ring = form->dm().Superposer->processing().GrabRing();
  for (int s = 0; s < vistrel::filters::OverlayGrabRing::kSlots; ++s) EXPECT_FALSE(ring.Busy(s)) << s;
}

TEST_F(GrabTest, IntervalZeroGrabsEveryFrameAsFarAsSlotsAllow) {
  // While the window does not look, every frame is grabbed until the twenty slots are busy.
  auto& ring = form->dm().Superposer->processing().GrabRing();
  form->params().Boolean(QStringLiteral("Internal Deinterlacer")).Value = 0;
  panel().RxSpinEdit7->setValue(0);
  panel().RxSwitch1->click();
  ASSERT_TRUE(panel().RxSwitch1->isChecked());
  auto busy = [&] {
    int n = 0;
    for (int s = 0; s < vistrel::filters::OverlayGrabRing::kSlots; ++s) n += ring.Busy(s) ? 1 : 0;
    return n;
  };
  QElapsedTimer t;
  t.start();
  while (busy() < 20 && t.elapsed() < 20000) QThread::msleep(10);
  ASSERT_EQ(busy(), 20);
  panel().RxSwitch1->click();  // no grab can start before a slot is free
  ASSERT_TRUE(waitFor([&] { return busy() == 0; }));
  flushEvents();
  EXPECT_EQ(form->sessionFiles().Count(), 20);
  EXPECT_EQ(QDir(root.file(QStringLiteral("images"))).entryList(QDir::Files).size(), 20);
}

TEST_F(GrabTest, TheIntervalometerGrabsAtOnceAndCountsDown) {
  panel().RxSpinEdit7->setValue(2);
  EXPECT_EQ(form->params().Integer(QStringLiteral("Valeur Intervallomètre")).Value, 2);
  form->runAction(QStringLiteral("saIntervallo"));
  EXPECT_TRUE(panel().RxSwitch1->isChecked());
  EXPECT_FALSE(panel().RxSpinEdit7->isEnabled());
  EXPECT_FALSE(panel().cbUnites->isEnabled());
  EXPECT_TRUE(panel().chronoLab->isVisibleTo(&panel()));
  EXPECT_EQ(form->statusBar()->panel(0).text, "BMP - toutes les 2 secondes");
  EXPECT_TRUE(form->dm().Superposer->processing().IntervalometerOn());
  ASSERT_TRUE(waitFor([&] { return form->sessionFiles().Count() >= 1; }));  // the first frame
  ASSERT_TRUE(waitFor([&] { return panel().chronoLab->text() == "1"; }));
  form->runAction(QStringLiteral("saIntervallo"));
  EXPECT_FALSE(panel().RxSwitch1->isChecked());
  EXPECT_TRUE(panel().RxSpinEdit7->isEnabled());
  EXPECT_TRUE(panel().cbUnites->isEnabled());
  EXPECT_FALSE(form->dm().Superposer->processing().IntervalometerOn());
  EXPECT_EQ(form->statusBar()->panel(0).text, "BMP - Intervallo OFF");
}

TEST_F(GrabTest, CountdownShowsTheSecondsAndBeepsTheLastFour) {
  panel().cbBeeps->click();
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Beeps")).Value, 1);
  for (int s : {6, 5, 4, 3, 2, 1, 0})
    vistrel::platform::ui::postMessage(form->handle(), vistrel::platform::ui::WM_USER + 2, s, 0);
  flushEvents();
  EXPECT_EQ(panel().chronoLab->text(), "0");
  ASSERT_EQ(beeps.size(), 5u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(beeps[i], BeepWave(1)) << i;
  EXPECT_EQ(beeps[4], BeepWave(0));

  beeps.clear();
  panel().cbBeeps->click();
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Beeps")).Value, 0);
  for (int s : {3, 0})
    vistrel::platform::ui::postMessage(form->handle(), vistrel::platform::ui::WM_USER + 2, s, 0);
  flushEvents();
  EXPECT_EQ(panel().chronoLab->text(), "0");
  EXPECT_TRUE(beeps.empty());
}

TEST_F(GrabTest, LosingTheVideoRestartsTheIntervalometerAndDisablesItsSwitch) {
  panel().cbUnites->setCurrentIndex(kFrames);
  EXPECT_EQ(form->params().Integer(QStringLiteral("Unités Intervallomètre")).Value, kFrames);
  panel().RxSwitch1->click();
  ASSERT_TRUE(panel().RxSwitch1->isChecked());
  form->SansVideo();
  EXPECT_TRUE(panel().RxSwitch1->isChecked());
  EXPECT_FALSE(panel().RxSwitch1->isEnabled());
  EXPECT_TRUE(form->dm().Superposer->processing().IntervalometerOn());
  // The Pause key does nothing while the switch is disabled.
  form->runAction(QStringLiteral("saIntervallo"));
  EXPECT_TRUE(panel().RxSwitch1->isChecked());
  form->AvecVideo();
  EXPECT_TRUE(panel().RxSwitch1->isEnabled());
  panel().RxSwitch1->click();
  EXPECT_FALSE(form->dm().Superposer->processing().IntervalometerOn());
}

TEST_F(GrabTest, ImageByImageRecordsOneFramePerGrabAtTheChosenRate) {
  chooseFormat("Image/Image");
  form->params().Real(QStringLiteral("Framerate")).Value = 18.0;
  const QString video = form->videoFileName();
  const QString image = form->imageFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  EXPECT_TRUE(form->modeImageParImage());
  EXPECT_EQ(panel().destlabel->text(), QString::fromUtf8("Capture Image/Image dans Vidéo"));
  EXPECT_EQ(form->dossiersFrame()->LabelImage->text(), QString::fromUtf8("Capture Image/Image dans Vidéo"));
  auto& gate = form->dm().ControlFilter->processing();
  for (int i = 1; i <= 3; ++i) {
    form->runAction(QStringLiteral("saGrab"));
    ASSERT_TRUE(waitFor([&] { return form->imageByImageCount() == i; }));
    ASSERT_TRUE(waitFor([&] { return !gate.IsOpen(); }));  // the frame went through
  }
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatPreview);
  EXPECT_FALSE(form->modeImageParImage());
  EXPECT_EQ(form->imageFileName(), image);  // no picture file was written
  EXPECT_FALSE(QFileInfo::exists(image));
  EXPECT_EQ(panel().destlabel->text(), QFileInfo(image).fileName());

  const auto header = FindAviVideoHeader(video);
  ASSERT_TRUE(header);
  const QByteArray bytes = fileBytes(video);
  EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + header->scaleOffset), 55'556u);
  EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + header->scaleOffset + 4), 1'000'000u);
  const auto probed = vistrel::testing::probeMedia(video);
  ASSERT_TRUE(probed.opened);
  const vistrel::testing::ProbedStream* v = nullptr;
  for (const auto& s : probed.streams)
    if (s.type == AVMEDIA_TYPE_VIDEO) v = &s;
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->packets, 3);
  AVFormatContext* context = nullptr;
  ASSERT_EQ(avformat_open_input(&context, video.toUtf8().constData(), nullptr, nullptr), 0);
  ASSERT_GE(avformat_find_stream_info(context, nullptr), 0);
  const int index = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  ASSERT_GE(index, 0);
  const AVStream* stream = context->streams[index];
  EXPECT_EQ(stream->time_base.num * 1'000'000LL, stream->time_base.den * 55'556LL);
  EXPECT_NEAR(av_q2d(stream->r_frame_rate), 18.0, 0.01);
  avformat_close_input(&context);
}

TEST_F(GrabTest, TheFrameRateFieldTakesADecimalCommaAndResetsAWrongValue) {
  QLineEdit* field = form->sourcesFrame()->leFramerate;
  auto& rate = form->params().Real(QStringLiteral("Framerate")).Value;
  field->setText(QStringLiteral("12,5"));
  emit field->editingFinished();
  EXPECT_DOUBLE_EQ(rate, 12.5);
  EXPECT_TRUE(scripted().asked().empty());
  for (const char* wrong : {"12.5", "douze", "0"}) {
    scripted().clearAsked();
    rate = 25.0;
    field->setText(QString::fromLatin1(wrong));
    emit field->editingFinished();
    EXPECT_EQ(field->text(), "18,0") << wrong;
    EXPECT_DOUBLE_EQ(rate, 18.0) << wrong;
    ASSERT_EQ(scripted().asked().size(), 1u) << wrong;
    EXPECT_EQ(scripted().asked().front().text,
              QString::fromUtf8(
                  "La valeur de \"images/seconde\" n'est pas correcte\r\nEntrez une valeur décimale - "
                  "avec virgule comme séparateur"));
  }
}

TEST_F(GrabTest, AnImageByImageRecordingWithoutGrabsLeavesNoFile) {
  chooseFormat("Image/Image");
  const QString video = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  flushEvents();
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatPreview);
  EXPECT_FALSE(QFileInfo::exists(video));
  for (int i = 0; i < form->sessionFiles().Count(); ++i) EXPECT_NE(form->sessionFiles().Item(i).Path, video);
}

}  // namespace

namespace {

TEST_F(GrabTest, ACutFinishesTheImageByImageFileAndTheNextStartsFromNoGrab) {
  chooseFormat("Image/Image");
  form->params().Real(QStringLiteral("Framerate")).Value = 25.0;
  const QString first = form->videoFileName();
  form->runAction(QStringLiteral("saCapturerBascule"));
  ASSERT_EQ(form->etat(), etatCapture);
  auto& gate = form->dm().ControlFilter->processing();
  form->runAction(QStringLiteral("saGrab"));
  ASSERT_TRUE(waitFor([&] { return form->imageByImageCount() == 1; }));
  ASSERT_TRUE(waitFor([&] { return !gate.IsOpen(); }));
  form->runAction(QStringLiteral("acCouper"));
  EXPECT_EQ(form->etat(), etatCapture);
  EXPECT_EQ(form->imageByImageCount(), 0);
  const QString cut = form->videoFileName();
  EXPECT_NE(cut, first);
  form->runAction(QStringLiteral("saCapturerBascule"));
  EXPECT_EQ(form->etat(), etatPreview);
  const auto header = FindAviVideoHeader(first);
  ASSERT_TRUE(header);
  const QByteArray bytes = fileBytes(first);
  EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + header->scaleOffset), 40'000u);
  EXPECT_FALSE(QFileInfo::exists(cut));  // the part after the cut had no grab
  ASSERT_EQ(form->sessionFiles().Count(), 1);
  EXPECT_EQ(form->sessionFiles().Item(0).Path, first);
}

}  // namespace
