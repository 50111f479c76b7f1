#include "app/CaptureForm.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QSignalSpy>

#include "app/Plaque.h"
#include "platform/Environment.h"
#include "platform/registry/Registry.h"
#include "settings/Parameters.h"
#include "support/TempRoot.h"

using namespace vistrel::app;
using vistrel::settings::TparameterList;

namespace {

class CaptureFormTest : public ::testing::Test {
 protected:
  vistrel::testing::TempRoot root;
};

const QString kLayers =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers");

TEST_F(CaptureFormTest, TheDisplayScalingValueLivesAsLongAsTheWindow) {
  using namespace vistrel::platform::registry;
  {
    TCaptureForm form;
    const auto value = queryValue(Hive::CurrentUser, kLayers, vistrel::platform::programFile());
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(decodeString(value->data), QStringLiteral("~ GDIDPISCALING DPIUNAWARE"));
  }
  EXPECT_FALSE(queryValue(Hive::CurrentUser, kLayers, vistrel::platform::programFile()).has_value());
}

TEST_F(CaptureFormTest, FirstShowLoadsTheSettingsAndTheDeferredStartRunsOnce) {
  TCaptureForm form;
  QSignalSpy finished(&form, &TCaptureForm::deferredStartFinished);
  form.show();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Vistrel 6.2.0 fr de Orbano"));
  EXPECT_FALSE(form.deferredStartDone());
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(form.deferredStartDone());
  form.AppEventsIdle();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(form.params().Integer(QStringLiteral("Volume")).Value, 5000);
  EXPECT_EQ(form.volumeSlider()->value(), 5000);
  EXPECT_EQ(form.shownPanel(), 0);  // "Panneau actif" defaults to the sources panel
}

TEST_F(CaptureFormTest, PanelsAreShownOneAtATimeAndWrapAround) {
  TCaptureForm form;
  form.show();
  for (int n = 0; n < TCaptureForm::kPanelCount; ++n) {
    form.AfficherPanneau(n);
    for (int other = 0; other < TCaptureForm::kPanelCount; ++other)
      EXPECT_EQ(form.panel(other)->isVisible(), other == n) << n << " " << other;
    EXPECT_EQ(form.params().Enum(QStringLiteral("Panneau actif")).Value, n);
  }
  form.NextPanneau();  // from the about panel to the sources panel
  EXPECT_EQ(form.shownPanel(), 0);
  form.AfficherPanneau(9);  // above 8: ignored
  EXPECT_EQ(form.shownPanel(), 0);
}

TEST_F(CaptureFormTest, TheLayoutFollowsThePreviewSide) {
  TCaptureForm form;
  form.show();
  EXPECT_EQ(form.previewArea()->geometry(), QRect(8, 40, 416, 304));
  EXPECT_EQ(form.panel(0)->x(), 416);
  form.BasculerPanneau();
  EXPECT_EQ(form.previewArea()->x(), 274);
  EXPECT_EQ(form.panel(0)->x(), 0);
  EXPECT_EQ(form.params().Boolean(QStringLiteral("EcranGauche")).Value, 0);
  form.BasculerPanneau();
  EXPECT_EQ(form.previewArea()->x(), 8);
}

TEST_F(CaptureFormTest, TheAspectPlacesThePicture) {
  TCaptureForm form;
  form.show();
  // The deferred start finds no device; the stream below is set by hand afterwards.
  while (!form.deferredStartDone()) QCoreApplication::processEvents();
  ASSERT_EQ(form.noVideoPanel()->geometry(), QRect(16, 16, 384, 272));  // Panel1 less 32
  form.params().Enum(QStringLiteral("Aspect ratio")).Value = 2;         // 16x9
  form.setConnectedVideo(720, 576, 0, 0, false);
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(16, 44, 384, 216));
  EXPECT_EQ(form.pictureFrame()->geometry(), QRect(4, 32, 408, 240));
  form.params().Enum(QStringLiteral("Aspect ratio")).Value = 3;  // native: width : height
  form.DimensionnerWithRatio();
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(38, 16, 340, 272));
  // A DV source in "normal" is 4:3 until its scene detector reports a wide-screen picture.
  form.params().Enum(QStringLiteral("Aspect ratio")).Value = 0;
  form.setConnectedVideo(720, 576, 0, 0, true);
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(27, 16, 362, 272));
  vistrel::platform::ui::postMessage(form.handle(), vistrel::platform::ui::WM_USER + 3, 1, 1);
  QCoreApplication::sendPostedEvents(&form);
  EXPECT_EQ(form.videoWindow()->geometry(), QRect(16, 44, 384, 216));
}

TEST_F(CaptureFormTest, ThePlateForwardsKeysToTheMainWindow) {
  struct KeyCounter : QWidget {
    int presses = 0, releases = 0, lastKey = 0;
    void keyPressEvent(QKeyEvent* e) override { ++presses, lastKey = e->key(); }
    void keyReleaseEvent(QKeyEvent*) override { ++releases; }
  } target;
  Tplaque plaque(&target);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_F5, Qt::NoModifier);
  QCoreApplication::sendEvent(&plaque, &press);
  QCoreApplication::sendEvent(&plaque, &release);
  EXPECT_EQ(target.presses, 1);
  EXPECT_EQ(target.releases, 1);
  EXPECT_EQ(target.lastKey, Qt::Key_F5);
  plaque.show();
  plaque.close();  // closing only hides it
  EXPECT_FALSE(plaque.isVisible());
}

}  // namespace
