#include "app/SourcesFrame.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QMenu>

#include "actions/SuperAction.h"
#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "engine/Tdm.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/VideoWidget.h"
#include "settings/CaptureFormats.h"
#include "settings/Parameters.h"
#include "settings/SavePreferences.h"
#include "sources/Sources.h"
#include "support/TempRoot.h"
#include "support/WaitFor.h"

using vistrel::testing::waitFor;
using namespace vistrel::app;
using vistrel::platform::devices::VirtualDevices;
namespace s = vistrel::settings;

namespace {

const QByteArray kTwoCamerasAndAMicrophone =
    "camera Camera A\n"
    "camera Camera B\n"
    "microphone Micro\n";

// Waits (processing events) until `done` or a generous limit; never asserts on speed.
QStringList items(const QComboBox* box) {
  QStringList list;
  for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
  return list;
}

class SourcesFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vistrel::platform::ui::setMessageBoxService(
        std::make_unique<vistrel::platform::ui::ScriptedMessageBoxes>());
  }
  void TearDown() override {
    form.reset();
    qputenv("VISTREL_DEVICES", "none");
    VirtualDevices::instance().rescan();
    vistrel::platform::ui::setMessageBoxService(nullptr);
  }
  void devices(const QByteArray& lines) {
    root.write(QStringLiteral("devices.txt"), lines);
    qputenv("VISTREL_DEVICES", root.file(QStringLiteral("devices.txt")).toLocal8Bit());
    VirtualDevices::instance().rescan();
  }
  // Shows the window; `before` runs after the settings are loaded and before the deferred start.
  void start(const std::function<void(s::TparameterList&)>& before = {}) {
    form = std::make_unique<TCaptureForm>();
    form->show();
    if (before) before(form->params());
    ASSERT_TRUE(waitFor([&] { return form->deferredStartDone(); }));
    f = form->sourcesFrame();
  }
  QString videoName() const { return form->currentVideo() ? form->currentVideo()->SourceName : QString(); }
  QString audioName() const { return form->currentAudio() ? form->currentAudio()->SourceName : QString(); }
  void choose(QComboBox* box, const QString& text) {
    box->setCurrentIndex(box->findText(text));
    emit box->activated(box->currentIndex());
  }

  vistrel::testing::TempRoot root;
  std::unique_ptr<TCaptureForm> form;
  TSourcesFrame* f = nullptr;
};

TEST_F(SourcesFrameTest, TheFirstSourcesAreConnectedAtStartAndThePictureMoves) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  EXPECT_EQ(items(f->cboxvideo), (QStringList{"Camera A", "Camera B", kAucunFluxVideo}));
  EXPECT_EQ(items(f->cboxAudio), (QStringList{"Micro", kAucunFluxAudio}));
  EXPECT_EQ(videoName(), QStringLiteral("Camera A"));  // "Source video" named nothing listed
  EXPECT_EQ(audioName(), QStringLiteral("Micro"));
  EXPECT_FALSE(f->LabVideo->text().isEmpty());
  EXPECT_TRUE(f->LabAudio->text().endsWith(QStringLiteral(" canaux")));
  EXPECT_FALSE(form->noVideoPanel()->isVisible());
  // A camera and a microphone: the formats every source allows, then the sound-only ones.
  const QStringList formats = items(f->cbFormatCapture);
  for (const char* name : {"dv type 2 (recomp)", "Wmv", "Image/Image", "Wav"})
    EXPECT_TRUE(formats.contains(QString::fromUtf8(name))) << name;
  EXPECT_FALSE(formats.contains(QStringLiteral("dv type 1 natif")));  // no native format
  EXPECT_EQ(form->params().Enum(QStringLiteral("Capture Format")).Value,
            s::StrToFormatCapture(f->cbFormatCapture->currentText()));
  // Every device seen joins the exclusion list, checked.
  ASSERT_EQ(form->sourcesExclues()->count(), 3);
  EXPECT_EQ(form->sourcesExclues()->item(0)->checkState(), Qt::Checked);

  vistrel::platform::ui::VideoWidget* widget = form->videoRendererWidget();
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(widget->geometry(), form->videoWindow()->geometry());
  ASSERT_TRUE(waitFor([&] { return widget->frameSlot()->framesPresented() >= 3; }));
}

TEST_F(SourcesFrameTest, ChoosingInTheListsConnectsAndDisconnects) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  choose(f->cboxvideo, QStringLiteral("Camera B"));
  EXPECT_EQ(videoName(), QStringLiteral("Camera B"));
  EXPECT_EQ(form->params().String(QStringLiteral("Want video source")).Value, QStringLiteral("Camera B"));
  EXPECT_EQ(form->params().String(QStringLiteral("Source video")).Value, QStringLiteral("Camera B"));

  choose(f->cboxvideo, kAucunFluxVideo);
  EXPECT_EQ(form->currentVideo(), nullptr);
  EXPECT_EQ(form->params().String(QStringLiteral("Source video")).Value, kAucunFluxVideo);
  EXPECT_FALSE(form->noVideoPanel()->isHidden());
  EXPECT_FALSE(form->action(QStringLiteral("saGrab"))->isEnabled());
  EXPECT_FALSE(items(f->cbFormatCapture).contains(QStringLiteral("Wmv")));  // sound only now

  choose(f->cboxAudio, kAucunFluxAudio);
  EXPECT_EQ(form->currentAudio(), nullptr);
  EXPECT_FALSE(f->gbFormat->isVisibleTo(f));  // nothing to record
  EXPECT_FALSE(form->volumeSlider()->isVisibleTo(form.get()));

  choose(f->cboxvideo, QStringLiteral("Camera A"));
  EXPECT_EQ(videoName(), QStringLiteral("Camera A"));
  EXPECT_TRUE(form->action(QStringLiteral("saGrab"))->isEnabled());
}

TEST_F(SourcesFrameTest, ARememberedSourceThatIsGoneFallsBackToTheFirst) {
  devices(kTwoCamerasAndAMicrophone);
  start([](s::TparameterList& p) {
    p.String(QStringLiteral("Source video")).Value = QStringLiteral("Camera B");
    p.String(QStringLiteral("Source Audio")).Value = QStringLiteral("Unplugged micro");
  });
  EXPECT_EQ(videoName(), QStringLiteral("Camera B"));
  EXPECT_EQ(audioName(), QStringLiteral("Micro"));
}

TEST_F(SourcesFrameTest, TheExclusionListKeepsDevicesOutAndSurvivesDamage) {
  devices(kTwoCamerasAndAMicrophone);
  QString damaged = QStringLiteral("Camera A\r\n\r\n");
  damaged += QChar(0x0001) + QStringLiteral("\x7f garbage") + QChar(0xfffe) + QStringLiteral("\r\n");
  damaged += QString(5000, QLatin1Char('x')) + QStringLiteral("\nCamera A\n");
  start([&](s::TparameterList& p) { p.String(QStringLiteral("Sources Exclues")).Value = damaged; });
  EXPECT_EQ(items(f->cboxvideo), (QStringList{"Camera B", kAucunFluxVideo}));
  EXPECT_EQ(videoName(), QStringLiteral("Camera B"));
  QListWidget* list = form->sourcesExclues();
  ASSERT_EQ(list->count(), 3);  // the one kept from the setting, then the two devices seen
  EXPECT_EQ(list->item(0)->text(), QStringLiteral("Camera A"));
  EXPECT_EQ(list->item(0)->checkState(), Qt::Unchecked);

  // Checking it again brings it back at once.
  list->item(0)->setCheckState(Qt::Checked);
  EXPECT_EQ(items(f->cboxvideo), (QStringList{"Camera B", "Camera A", kAucunFluxVideo}));
  list->item(1)->setCheckState(Qt::Unchecked);  // leave Camera B out
  const auto mode = s::currentStoreMode();
  s::setCurrentStoreMode(s::spPortable);  // "none" saves nothing
  form->SauverPrefs();
  s::setCurrentStoreMode(mode);
  EXPECT_EQ(form->params().String(QStringLiteral("Sources Exclues")).Value, QStringLiteral("Camera B\r\n"));
}

TEST_F(SourcesFrameTest, UnpluggingTheCurrentCameraConnectsTheFirstRemaining) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  ASSERT_EQ(videoName(), QStringLiteral("Camera A"));
  devices("camera Camera B\nmicrophone Micro\n");
  ASSERT_TRUE(waitFor([&] { return videoName() == QStringLiteral("Camera B"); }));
  EXPECT_EQ(items(f->cboxvideo), (QStringList{"Camera B", kAucunFluxVideo}));
  EXPECT_EQ(audioName(), QStringLiteral("Micro"));
  // Plugging one in keeps the connected sources by name.
  devices("camera Camera B\ncamera Camera C\nmicrophone Micro\n");
  ASSERT_TRUE(waitFor([&] { return items(f->cboxvideo).contains(QStringLiteral("Camera C")); }));
  EXPECT_EQ(videoName(), QStringLiteral("Camera B"));
}

TEST_F(SourcesFrameTest, TheFormatDecidesTheExtensionAndWhatThePreviewMayDo) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  ASSERT_TRUE(form->params().Boolean(QStringLiteral("Preview Locked")).Value);
  choose(f->cbFormatCapture, QStringLiteral("Image/Image"));
  EXPECT_TRUE(f->leFramerate->isVisibleTo(f));
  EXPECT_EQ(form->currentAudio(), nullptr);  // locked: a picture-by-picture video has no sound
  EXPECT_EQ(form->params().String(QStringLiteral("Want Format capture")).Value,
            QStringLiteral("Image/Image"));
  choose(f->cboxAudio, QStringLiteral("Micro"));  // a sound source again: the format falls back
  EXPECT_NE(form->params().Enum(QStringLiteral("Capture Format")).Value, s::fcImageImage);

  choose(f->cbFormatCapture, QStringLiteral("Wav"));
  EXPECT_TRUE(form->videoFileName().endsWith(QStringLiteral(".wav")));
  EXPECT_TRUE(f->LabelVideo->text().endsWith(QStringLiteral(".wav")));
  EXPECT_EQ(form->currentVideo(), nullptr);  // locked with "Wav": the video goes
  EXPECT_FALSE(form->processingAllowed());

  form->runAction(QStringLiteral("taLock"));  // unlocked
  EXPECT_FALSE(form->params().Boolean(QStringLiteral("Preview Locked")).Value);
  choose(f->cboxvideo, QStringLiteral("Camera A"));
  EXPECT_TRUE(form->processingAllowed());
  for (const char* ratio : {"saRatioNormal", "saRatio4x3", "saRatio16x9", "saRatioNatif"})
    EXPECT_TRUE(form->action(QString::fromLatin1(ratio))->isEnabled()) << ratio;
}

TEST_F(SourcesFrameTest, TheLockRulesOfEachFormat) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  struct Case {
    uint8_t format;
    bool processing;
    std::vector<const char*> enabledRatios;
  };
  const Case cases[] = {
      {s::fcDV2Recomp, true, {"saRatio4x3", "saRatio16x9"}},
      {s::fcWmv, true, {"saRatio4x3"}},
      {s::fcImageImage, true, {"saRatioNormal", "saRatio4x3", "saRatio16x9", "saRatioNatif"}},
      {s::fcDivx, true, {"saRatioNormal", "saRatio4x3", "saRatio16x9", "saRatioNatif"}},
      {s::fcAviNatif, false, {"saRatioNormal"}},
      {s::fcDV2Natif, false, {"saRatioNormal"}},
  };
  for (const Case& c : cases) {
    form->params().Enum(QStringLiteral("Capture Format")).Value = c.format;
    form->VerrouillerPreview(true);
    SCOPED_TRACE(s::FormatCaptureToStr(c.format).toStdString());
    EXPECT_EQ(form->processingAllowed(), c.processing);
    for (const char* ratio : {"saRatioNormal", "saRatio4x3", "saRatio16x9", "saRatioNatif"}) {
      const bool expected = std::find_if(c.enabledRatios.begin(), c.enabledRatios.end(), [&](const char* r) {
                              return std::string(r) == ratio;
                            }) != c.enabledRatios.end();
      EXPECT_EQ(form->action(QString::fromLatin1(ratio))->isEnabled(), expected) << ratio;
    }
    EXPECT_EQ(form->action(QStringLiteral("taIncruster"))->isEnabled(), c.processing);
  }
  // "Wmv" shows 4:3; "dv type 2 (recomp)" in a 4:3 area too.
  form->params().Enum(QStringLiteral("Capture Format")).Value = s::fcWmv;
  form->VerrouillerPreview(true);
  EXPECT_EQ(form->params().Enum(QStringLiteral("Aspect ratio")).Value, 1);
}

TEST_F(SourcesFrameTest, OverlayFlipsAndSliders) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  form->runAction(QStringLiteral("taLock"));  // free preview: processing allowed with a video
  ASSERT_TRUE(form->processingAllowed());
  form->runAction(QStringLiteral("taIncruster"));
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Want Incrust")).Value, 1);
  EXPECT_TRUE(form->overlayApplied());
  form->runAction(QStringLiteral("acVertFlip"));
  EXPECT_EQ(form->params().Boolean(QStringLiteral("Want vert Flip")).Value, 1);
  EXPECT_TRUE(form->vflipApplied());
  form->runAction(QStringLiteral("acHorzFlip"));
  form->runAction(QStringLiteral("acHorzFlip"));
  EXPECT_FALSE(form->hflipApplied());

  form->runAction(QStringLiteral("acSliders"));
  EXPECT_TRUE(form->ySlider()->isVisibleTo(form.get()));
  EXPECT_EQ(form->action(QStringLiteral("acSliders"))->Caption(),
            QStringLiteral("Masquer les curseurs de l'incrustation"));
  auto& rec = form->params().IncrustRec(QStringLiteral("IncrustRec")).Value;
  rec.Alignement = 3;
  form->ySlider()->setValue(101);
  form->ySlider()->setValue(100);
  EXPECT_EQ(rec.Ypos, 830);
  form->xSlider()->setValue(500);
  EXPECT_EQ(rec.Xpos, 500);
  EXPECT_EQ(rec.Alignement, 1);  // centred in the picture becomes centred on the anchor
  form->runAction(QStringLiteral("acSliders"));
  EXPECT_FALSE(form->ySlider()->isVisibleTo(form.get()));

  form->setActiverSuperposition(false);
  EXPECT_FALSE(form->action(QStringLiteral("taIncruster"))->isVisible());
  form->setActiverSuperposition(true);
  EXPECT_TRUE(form->action(QStringLiteral("taIncruster"))->isVisible());
}

TEST_F(SourcesFrameTest, TheKeypadVolumeStopsAtTheEnds) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  form->volumeSlider()->setValue(9500);
  form->runAction(QStringLiteral("acIncVolume"));
  form->runAction(QStringLiteral("acIncVolume"));
  EXPECT_EQ(form->volumeSlider()->value(), 10000);
  EXPECT_EQ(form->params().Integer(QStringLiteral("Volume")).Value, 10000);
}

TEST_F(SourcesFrameTest, CommandsChooseSourcesAndFormats) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  vistrel::actions::ActionArgs = QStringList{QStringLiteral("Camera B")};
  form->action(QStringLiteral("saSourceVideo"))->ExecuteHandler()(nullptr);
  EXPECT_EQ(videoName(), QStringLiteral("Camera B"));
  vistrel::actions::ActionArgs = QStringList{QStringLiteral("Wav")};
  form->action(QStringLiteral("saFormatCapture"))->ExecuteHandler()(nullptr);
  EXPECT_EQ(form->params().Enum(QStringLiteral("Capture Format")).Value, s::fcWav);
  // The preparation hands the current text over, for macro recording.
  vistrel::actions::ActionArgs.clear();
  form->action(QStringLiteral("saSourceAudio"))->Onprepare(nullptr);
  EXPECT_EQ(vistrel::actions::ActionArgs, QStringList{QStringLiteral("Micro")});
}

TEST_F(SourcesFrameTest, TheSettingsMenusAreNeverEmpty) {
  devices(kTwoCamerasAndAMicrophone);
  start();
  form->AudioSettingsMenuPopup();
  ASSERT_FALSE(form->audioSettingsMenu()->actions().isEmpty());
  form->VideoSettingsMenuPopup();
  ASSERT_FALSE(form->videoSettingsMenu()->actions().isEmpty());
}

TEST_F(SourcesFrameTest, NoDeviceAtAllShowsTheNoVideoPicture) {
  start();
  EXPECT_EQ(items(f->cboxvideo), QStringList{kAucunFluxVideo});
  EXPECT_EQ(form->currentVideo(), nullptr);
  EXPECT_EQ(form->currentAudio(), nullptr);
  EXPECT_FALSE(form->noVideoPanel()->isHidden());
  EXPECT_FALSE(f->gbFormat->isVisibleTo(f));
}

}  // namespace

namespace {

TEST_F(SourcesFrameTest, AnUnusableDeckIsNotListedAndTheNextCameraIsConnected) {
  root.write(QStringLiteral("not-dv.bin"), QByteArray(5000, 'x'));
  devices("dvcam Bad Deck; file=" + root.file(QStringLiteral("not-dv.bin")).toUtf8() +
          "\ncamera Camera B\nmicrophone Micro\n");
  start();
  EXPECT_FALSE(items(f->cboxvideo).contains(QStringLiteral("Bad Deck")));
  EXPECT_EQ(videoName(), QStringLiteral("Camera B"));
  EXPECT_TRUE(form->failedSources().isEmpty());  // refused when listed, so never tried
}

}  // namespace
