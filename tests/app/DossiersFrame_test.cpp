#include "app/DossiersFrame.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QRegularExpression>

#include "app/CaptureForm.h"
#include "app/SourcesFrame.h"
#include "platform/Environment.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/Parameters.h"
#include "settings/SavePreferences.h"
#include "support/TempRoot.h"

using namespace vistrel::app;
namespace ui = vistrel::platform::ui;

namespace {

class DossiersFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes = static_cast<ui::ScriptedMessageBoxes*>(
        ui::setMessageBoxService(std::make_unique<ui::ScriptedMessageBoxes>()));
    form = std::make_unique<TCaptureForm>();
    form->show();  // loads the settings and composes both names
    f = form->dossiersFrame();
  }
  void TearDown() override {
    form.reset();
    TPathEdit::chooser() = saved;
    ui::setMessageBoxService(nullptr);
  }
  QString videoLabel() const { return f->LabelVideo->text(); }

  vistrel::testing::TempRoot root;
  TPathEdit::Chooser saved = TPathEdit::chooser();
  ui::ScriptedMessageBoxes* boxes = nullptr;
  std::unique_ptr<TCaptureForm> form;
  TDossiersFrame* f = nullptr;
};

TEST_F(DossiersFrameTest, TheFieldsComeFromTheSettingsAndTheLabelsShowTheNames) {
  auto& p = form->params();
  EXPECT_EQ(f->VideoDirEdit->text(), p.String(QStringLiteral("Video Directory")).Value);
  EXPECT_EQ(f->VideoRacineEdit->text(), QStringLiteral("Video"));
  EXPECT_TRUE(f->cbVideoDate->isChecked());
  EXPECT_FALSE(f->cbImageDate->isChecked());
  // Defaults: the date in video names, none in image names, counters from 0.
  EXPECT_TRUE(videoLabel().contains(QRegularExpression(QStringLiteral("^Video_\\d{6}_\\d{6}_0\\.avi$"))))
      << videoLabel().toStdString();
  EXPECT_EQ(f->LabelImage->text(), QStringLiteral("Image_00000.bmp"));
  EXPECT_EQ(form->sourcesFrame()->LabelVideo->text(), videoLabel());
  EXPECT_EQ(form->videoFileName(),
            vistrel::platform::withTrailingSlash(f->VideoDirEdit->text()) + videoLabel());
  EXPECT_FALSE(form->videoDrive().isEmpty());  // the mount point of the videos' folder
}

TEST_F(DossiersFrameTest, ChangingAPartRecomposesTheSameNumber) {
  f->cbVideoDate->click();
  EXPECT_EQ(videoLabel(), QStringLiteral("Video_0.avi"));
  f->VideoRacineEdit->setText(QStringLiteral("Clip"));
  emit f->VideoRacineEdit->editingFinished();
  EXPECT_EQ(videoLabel(), QStringLiteral("Clip_0.avi"));
  emit f->VideoRacineEdit->editingFinished();  // leaving the field twice keeps the number
  EXPECT_EQ(videoLabel(), QStringLiteral("Clip_0.avi"));
  // Clip_0 is the pending name; each new one takes the next number.
  EXPECT_EQ(form->NomVideo().section('/', -1), QStringLiteral("Clip_1.avi"));
  EXPECT_EQ(form->NomVideo().section('/', -1), QStringLiteral("Clip_2.avi"));

  f->ImageRacineEdit->setText(QStringLiteral("Pic"));
  emit f->ImageRacineEdit->editingFinished();
  EXPECT_EQ(f->LabelImage->text(), QStringLiteral("Pic_00000.bmp"));
}

TEST_F(DossiersFrameTest, ANewVideoFolderIsStoredAndUsed) {
  const QString folder = root.file(QStringLiteral("clips"));
  f->cbVideoDate->click();
  f->VideoDirEdit->setText(folder);  // no "/" at its end: one is added
  EXPECT_EQ(form->params().String(QStringLiteral("Video Directory")).Value, folder);
  EXPECT_EQ(form->videoFileName(), folder + QStringLiteral("/Video_0.avi"));
  f->VideoDirEdit->setText(QString());  // an empty folder is the root of the file system
  EXPECT_EQ(form->videoFileName(), QStringLiteral("/Video_0.avi"));
  EXPECT_EQ(form->videoDrive(), QStringLiteral("/"));

  f->ImageDirEdit->setText(folder + QLatin1Char('/'));
  EXPECT_EQ(form->imageFileName(), folder + QStringLiteral("/Image_00000.bmp"));
  EXPECT_EQ(form->params().String(QStringLiteral("Image Directory")).Value, folder + QLatin1Char('/'));
}

TEST_F(DossiersFrameTest, TheSettingsKeepTheFieldsAtSave) {
  f->VideoRacineEdit->setText(QStringLiteral("Mariage"));
  f->cbImageDate->setChecked(true);
  f->feKronel->setText(QStringLiteral("/opt/kronel/kronel"));
  const auto mode = vistrel::settings::currentStoreMode();
  vistrel::settings::setCurrentStoreMode(vistrel::settings::spPortable);  // "none" saves nothing
  form->SauverPrefs();
  vistrel::settings::setCurrentStoreMode(mode);
  auto& p = form->params();
  EXPECT_EQ(p.String(QStringLiteral("Video Racine")).Value, QStringLiteral("Mariage"));
  EXPECT_EQ(p.Boolean(QStringLiteral("Image date")).Value, 1);
  EXPECT_EQ(p.String(QStringLiteral("Kronel")).Value, QStringLiteral("/opt/kronel/kronel"));
}

TEST_F(DossiersFrameTest, AnotherPluginFolderAsksForARestartOnce) {
  const QString chosen = root.file(QStringLiteral("modules"));
  QDir().mkpath(chosen);
  TPathEdit::chooser() = [&](QWidget*, TPathEdit::Kind kind, const QString&) {
    EXPECT_EQ(kind, TPathEdit::Kind::Folder);
    return chosen;
  };
  f->PlugInDirEdit->browse();
  ASSERT_EQ(boxes->asked().size(), 1u);
  EXPECT_EQ(boxes->asked()[0].text,
            QStringLiteral("Les plugs-in trouvés dans le dossier ") + chosen +
                QStringLiteral("/\r\nne seront activés qu'au prochain lancement de "
                               "Vistrel\r\n\r\nVous devriez le relancer maintenant."));
  EXPECT_EQ(form->params().String(QStringLiteral("Plugins Dir")).Value, chosen + QLatin1Char('/'));
  f->PlugInDirEdit->browse();  // the same folder again: nothing to say
  EXPECT_EQ(boxes->asked().size(), 1u);
  TPathEdit::chooser() = [](QWidget*, TPathEdit::Kind, const QString&) { return QString(); };
  f->PlugInDirEdit->browse();  // cancelled
  EXPECT_EQ(boxes->asked().size(), 1u);
}

TEST_F(DossiersFrameTest, TheLabelsLeadToTheirPanels) {
  emit f->LabelVideo->clicked();
  EXPECT_EQ(form->shownPanel(), 0);
  emit f->LabelImage->clicked();
  EXPECT_EQ(form->shownPanel(), 3);
  emit form->sourcesFrame()->LabelVideo->clicked();
  EXPECT_EQ(form->shownPanel(), 1);
}

}  // namespace
