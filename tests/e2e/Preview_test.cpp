// The live preview as the program assembles it (main window, engine, plate), looked at through
// screenshots of the window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include "app/CaptureForm.h"
#include "app/Plaque.h"
#include "engine/Tdm.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/ui/VideoWidget.h"
#include "settings/Parameters.h"
#include "sources/Sources.h"
#include "support/TempRoot.h"
#include "support/WaitFor.h"

using vistrel::testing::waitFor;
using namespace vistrel;

namespace {

// Distinct colours in a picture, sampled on a grid.
int colours(const QImage& picture) {
  QList<QRgb> seen;
  for (int y = 2; y < picture.height(); y += 7)
    for (int x = 2; x < picture.width(); x += 7)
      if (!seen.contains(picture.pixel(x, y))) seen << picture.pixel(x, y);
  return static_cast<int>(seen.size());
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root.write(QStringLiteral("devices.txt"), "camera Test Camera\nmicrophone Test Micro\n");
    qputenv("VISTREL_DEVICES", root.file(QStringLiteral("devices.txt")).toLocal8Bit());
    platform::devices::VirtualDevices::instance().rescan();
    form = std::make_unique<app::TCaptureForm>();
    dm = std::make_unique<engine::Tdm>();
    form->setDm(dm.get());
    plaque = std::make_unique<app::Tplaque>(form.get());
    form->setPlaque(plaque.get());
  }
  void TearDown() override {
    plaque.reset();
    form.reset();
    dm.reset();
    qputenv("VISTREL_DEVICES", "none");
    platform::devices::VirtualDevices::instance().rescan();
  }

  vistrel::testing::TempRoot root;
  std::unique_ptr<app::TCaptureForm> form;
  std::unique_ptr<engine::Tdm> dm;
  std::unique_ptr<app::Tplaque> plaque;
};

TEST_F(PreviewTest, AMovingPictureAtTheAspectChosen) {
  form->show();
  form->params().Enum(QStringLiteral("Aspect ratio")).Value = 2;  // 16:9
  ASSERT_TRUE(waitFor([&] { return form->deferredStartDone(); }));
  ASSERT_NE(form->currentVideo(), nullptr);
  // The camera's 720 x 576 format, chosen as the remembered format index would, then reconnected.
  const auto& formats = dm->CaptureFormats();
  for (size_t i = 0; i < formats.size(); ++i)
    if (formats[i].videoInfo() && formats[i].videoInfo()->bmiHeader.biWidth == 720 &&
        formats[i].videoInfo()->bmiHeader.biHeight == 576)
      dm->FormatIndex = static_cast<int>(i) + 1;
  ASSERT_GT(dm->FormatIndex, 0);
  form->ActualiserVideoBtnClick();
  EXPECT_EQ(dm->Engine().VideoInfo.VideoWidth, 720);
  EXPECT_EQ(dm->Engine().VideoInfo.VideoHeight, 576);
  form->runAction(QStringLiteral("taLock"));  // a free preview keeps the aspect asked for
  form->runAction(QStringLiteral("saRatio16x9"));

  platform::ui::VideoWidget* video = form->videoRendererWidget();
  ASSERT_NE(video, nullptr);
  // 384 x 272 area: 16:9 gives 384 x 216, centred vertically.
  EXPECT_EQ(video->geometry(), QRect(16, 44, 384, 216));
  EXPECT_EQ(video->parentWidget(), form->previewArea());
  const auto presented = [&] { return video->frameSlot()->framesPresented(); };
  ASSERT_TRUE(waitFor([&] { return presented() >= 2; }));
  const QRect onWindow(video->mapTo(form.get(), QPoint(0, 0)), video->size());
  const QImage first = form->grab().toImage().copy(onWindow);
  const int64_t seen = presented();
  ASSERT_TRUE(waitFor([&] { return presented() >= seen + 5; }));
  QCoreApplication::processEvents();
  const QImage later = form->grab().toImage().copy(onWindow);
  EXPECT_GT(colours(first), 4);  // a picture, not a flat colour
  EXPECT_NE(first, later);       // and it moves
  if (!qEnvironmentVariableIsEmpty("VISTREL_SCREENSHOT"))
    form->grab().save(qEnvironmentVariable("VISTREL_SCREENSHOT"));

  // Native: 720:576 = 5:4 in 384 x 272 is 340 x 272.
  form->runAction(QStringLiteral("saRatioNatif"));
  EXPECT_EQ(video->geometry(), QRect(38, 16, 340, 272));
}

TEST_F(PreviewTest, FullScreenPutsThePictureOnThePlateAndBack) {
  form->show();
  ASSERT_TRUE(waitFor([&] { return form->deferredStartDone(); }));
  platform::ui::VideoWidget* video = form->videoRendererWidget();
  ASSERT_NE(video, nullptr);
  form->runAction(QStringLiteral("tafullscreen"));
  ASSERT_TRUE(plaque->isVisible());
  EXPECT_EQ(video->parentWidget(), plaque.get());
  form->runAction(QStringLiteral("tafullscreen"));
  EXPECT_FALSE(plaque->isVisible());
  EXPECT_EQ(video->parentWidget(), form->previewArea());
  EXPECT_EQ(video->geometry(), form->videoWindow()->geometry());
}

}  // namespace
