#include "app/OptionsFrame.h"

#include <gtest/gtest.h>

#include "app/CaptureForm.h"
#include "app/DossiersFrame.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/IBaseFilter.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/filters/Mp3Encoder.h"
#include "platform/media/filters/Mpeg4Compressor.h"
#include "platform/registry/Registry.h"
#include "platform/ui/MessageBoxes.h"
#include "platform/ui/PropertyFrame.h"
#include "platform/wmf/WmProfileManager.h"
#include "settings/Parameters.h"
#include "support/TempRoot.h"

using namespace vistrel;
using namespace vistrel::app;
namespace media = vistrel::platform::media;
namespace reg = vistrel::platform::registry;
namespace wmf = vistrel::platform::wmf;

namespace {

const QString kLameKey = QStringLiteral("\\Software\\GNU\\LAME MPEG Layer III Audio Encoder Filter");

class OptionsFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    media::registerSystemFilters(*media::FilterMapper::instance());
    params.CreateSettings();
    frame.SetParameters(&params);
    frame.SetEngine(&dm);
    frame.TextesOptions();
  }
  void TearDown() override {
    // Put back the encoders a test took away.
    for (auto& r : removed) media::FilterMapper::instance()->RegisterFilter(r);
  }
  void unregister(const media::GUID& clsid) {
    for (auto& r : media::FilterMapper::instance()->registrations())
      if (r.clsid == clsid) removed.push_back(r);
    media::FilterMapper::instance()->UnregisterFilter(clsid);
  }
  bool flag(const char* key) { return params.Boolean(QString::fromUtf8(key)).Value != 0; }
  void setFlag(const char* key, bool on) { params.Boolean(QString::fromUtf8(key)).Value = on ? 1 : 0; }
  QString boundName(media::FilterComponent& c) {
    media::FILTER_INFO info;
    if (!c.filter() || media::FAILED(c.filter()->QueryFilterInfo(info))) return {};
    return info.achName;
  }

  vistrel::testing::TempRoot root;
  settings::TparameterList params{QStringLiteral("test")};
  engine::Tdm dm;
  TOptionsFrame frame;
  std::vector<media::FilterRegistration> removed;
};

struct BoxCase {
  const char* key;
  QCheckBox* TOptionsFrame::*box;
};
const BoxCase kBoxes[] = {
    {"Confirmer Image", &TOptionsFrame::cbConfirmerImage},
    {"Confirmer Video", &TOptionsFrame::cbConfirmerVideo},
    {"Notifier", &TOptionsFrame::cbNotifier},
    {"Activer Superposition", &TOptionsFrame::cbActiverSuperposition},
    {"Mpeg2 Ratio Normal", &TOptionsFrame::cbMpeg2ratioNormal},
    {"Profil par défaut", &TOptionsFrame::cbDefaultProfile},
    {"Demi Taille", &TOptionsFrame::cbDemiTaille},
    {"Want Mp3", &TOptionsFrame::cbMp3},
    {"Internal Deinterlacer", &TOptionsFrame::cbDeInterlacer},
    {"Frequence DV native", &TOptionsFrame::cbfrequenceDVNative},
    {"Garder Format DV", &TOptionsFrame::cbGarderFormatDV},
    {"DV demi si DivX", &TOptionsFrame::cbDVDemiSiDivX},
    {"scn", &TOptionsFrame::cbScn},
};

TEST_F(OptionsFrameTest, BoxesFollowTheirParametersAndWriteThemAtOnce) {
  for (const auto& c : kBoxes) {
    for (bool on : {true, false}) {
      setFlag(c.key, on);
      frame.LoadFromParameters(settings::spRegistre);
      EXPECT_EQ((frame.*c.box)->isChecked(), on) << c.key;
    }
    (frame.*c.box)->click();  // the user checks it again
    EXPECT_TRUE(flag(c.key)) << c.key;
    setFlag(c.key, false);
    frame.SaveToParameters();  // saving copies the box's state
    EXPECT_TRUE(flag(c.key)) << c.key;
  }
}

TEST_F(OptionsFrameTest, ChoicesLoadAndSaveWithTheirCodes) {
  params.Integer(QStringLiteral("Qualité jpeg")).Value = 77;
  params.Integer(QStringLiteral("Extension des images")).Value = 1;
  params.Enum(QStringLiteral("Standard DV")).Value = 1;
  params.Enum(QStringLiteral("FrequenceDV")).Value = 2;
  params.Enum(QStringLiteral("RatioDV")).Value = 1;
  params.Enum(QStringLiteral("Ratio DivX")).Value = 3;
  params.Integer(QStringLiteral("Profile wmv")).Value = 2;
  params.String(QStringLiteral("No Datecode")).Value = QStringLiteral("--");
  frame.LoadFromParameters(settings::spPortable);
  EXPECT_EQ(frame.TrackBar1->value(), 77);
  EXPECT_EQ(frame.labQuality->text(), QStringLiteral("77"));
  EXPECT_EQ(frame.rgExtension->itemIndex(), 1);
  EXPECT_FALSE(frame.gbQuality->isHidden());
  EXPECT_EQ(frame.rgStandard->itemIndex(), 1);
  EXPECT_EQ(frame.rgFrequenceDV->itemIndex(), 1);  // code 2 is "44.100 Hz"
  EXPECT_EQ(frame.rgDVRatio->itemIndex(), 1);
  EXPECT_EQ(frame.rgRatioDivX->itemIndex(), 3);
  EXPECT_EQ(frame.rgProfiles->itemIndex(), 2);
  EXPECT_EQ(frame.leNoDatecode->text(), QStringLiteral("--"));
  EXPECT_EQ(frame.rgPrefs->itemIndex(), 1);

  frame.rgFrequenceDV->click(0);
  EXPECT_EQ(params.Enum(QStringLiteral("FrequenceDV")).Value, 1);
  frame.rgStandard->click(0);
  EXPECT_EQ(params.Enum(QStringLiteral("Standard DV")).Value, 0);
  frame.leNoDatecode->setText(QStringLiteral("N/D"));
  EXPECT_EQ(params.String(QStringLiteral("No Datecode")).Value, QStringLiteral("N/D"));
  frame.TrackBar1->setValue(12);
  EXPECT_EQ(frame.labQuality->text(), QStringLiteral("12"));
  frame.SaveToParameters();
  EXPECT_EQ(params.Integer(QStringLiteral("Qualité jpeg")).Value, 12);
}

TEST_F(OptionsFrameTest, TheNativeDvRateHasNoItemAndIsKept) {
  params.Enum(QStringLiteral("FrequenceDV")).Value = 0;
  frame.LoadFromParameters(settings::spRegistre);
  EXPECT_EQ(frame.rgFrequenceDV->itemIndex(), -1);
  frame.SaveToParameters();
  EXPECT_EQ(params.Enum(QStringLiteral("FrequenceDV")).Value, 0);
}

TEST_F(OptionsFrameTest, NotifierSuperpositionAndExtensionReachTheWindow) {
  std::vector<bool> notified, effects;
  std::vector<int> extensions;
  frame.OnNotifierChanged = [&](bool on) { notified.push_back(on); };
  frame.OnSuperpositionChanged = [&](bool on) { effects.push_back(on); };
  frame.OnExtensionChanged = [&](int e) { extensions.push_back(e); };
  setFlag("Notifier", true);
  frame.LoadFromParameters(settings::spRegistre);  // loading applies the routing as a click would
  EXPECT_EQ(notified, std::vector<bool>{true});
  EXPECT_EQ(effects.size(), 1u);
  frame.cbNotifier->click();
  EXPECT_EQ(notified.back(), false);
  EXPECT_FALSE(flag("Notifier"));
  frame.rgExtension->click(1);
  EXPECT_EQ(extensions, std::vector<int>{1});
  EXPECT_FALSE(frame.gbQuality->isHidden());
  EXPECT_EQ(params.Integer(QStringLiteral("Extension des images")).Value, 1);
  frame.rgExtension->click(0);
  EXPECT_TRUE(frame.gbQuality->isHidden());
}

TEST_F(OptionsFrameTest, OnlyAnotherStoreModeIsPassedOn) {
  std::vector<settings::TSavePreferences> chosen;
  frame.OnStoreModeChosen = [&](settings::TSavePreferences m) { chosen.push_back(m); };
  frame.LoadFromParameters(settings::spRegistre);
  frame.rgPrefs->click(0);
  EXPECT_TRUE(chosen.empty());
  frame.rgPrefs->click(2);
  EXPECT_EQ(chosen, std::vector{settings::spNone});
}

TEST_F(OptionsFrameTest, DefaultProfileBoxShowsOneGroup) {
  for (bool on : {true, false}) {
    setFlag("Profil par défaut", on);
    frame.LoadFromParameters(settings::spRegistre);
    EXPECT_EQ(frame.rgProfiles->isHidden(), !on);
    EXPECT_EQ(frame.gbProfiles->isHidden(), on);
  }
  frame.cbDefaultProfile->click();
  EXPECT_FALSE(frame.rgProfiles->isHidden());
  EXPECT_TRUE(frame.gbProfiles->isHidden());
}

TEST(ChooseDivx, ListsDivxAndXvidAndPicksTheEntry) {
  struct Case {
    QStringList compressors;
    QString favourite;
    QStringList names;
    int selected;
  };
  const Case cases[] = {
      {{"DivX Pro", "Xvid A", "XVID B"}, "", {"DivX Pro", "Xvid A", "XVID B"}, 2},  // last Xvid
      {{"DivX Pro", "Cinepak", "divx 6"}, "", {"DivX Pro", "divx 6"}, 0},           // no Xvid: first
      {{"DivX Pro", "Xvid A"}, "DivX Pro", {"DivX Pro", "Xvid A"}, 0},              // the favourite
      {{"DivX Pro", "Xvid A"}, "Removed codec", {"DivX Pro", "Xvid A"}, 1},         // gone: default
      {{"Cinepak", "MJPEG"}, "", {}, -1},
  };
  for (const auto& c : cases) {
    const TDivxChoice choice = ChooseDivx(c.compressors, c.favourite);
    EXPECT_EQ(choice.names, c.names) << c.compressors.join(',').toStdString();
    EXPECT_EQ(choice.selected, c.selected) << c.compressors.join(',').toStdString();
  }
}

TEST_F(OptionsFrameTest, PopulateFindsTheRegisteredEncoders) {
  params.String(QStringLiteral("Divx favori")).Value = QStringLiteral("mpeg-4 divx 5 (libavcodec)");
  frame.populate();
  ASSERT_TRUE(frame.DivxFound());
  ASSERT_TRUE(frame.Mp3Found());
  QStringList names;
  for (int i = 0; i < frame.cboxdivx->count(); ++i) names << frame.cboxdivx->itemText(i);
  EXPECT_TRUE(names.contains(QStringLiteral("MPEG-4 Xvid (libavcodec)")));
  EXPECT_TRUE(names.contains(QStringLiteral("MPEG-4 DivX 5 (libavcodec)")));
  // The favourite differs in case only: not an entry, so the Xvid default is chosen and bound.
  EXPECT_EQ(frame.cboxdivx->currentText(), QStringLiteral("MPEG-4 Xvid (libavcodec)"));
  EXPECT_EQ(boundName(dm.divx), QStringLiteral("MPEG-4 Xvid (libavcodec)"));
  EXPECT_EQ(dm.mp3.filter() != nullptr, true);
  EXPECT_TRUE(frame.pages->isTabVisible(2));
  EXPECT_TRUE(frame.MemoMp3->isHidden());
  EXPECT_FALSE(frame.cbMp3->isHidden());

  // Choosing the other encoder rebinds the engine's filter and becomes the favourite.
  frame.cboxdivx->setCurrentText(QStringLiteral("MPEG-4 DivX 5 (libavcodec)"));
  EXPECT_EQ(boundName(dm.divx), QStringLiteral("MPEG-4 DivX 5 (libavcodec)"));
  EXPECT_EQ(params.String(QStringLiteral("Divx favori")).Value, QStringLiteral("MPEG-4 DivX 5 (libavcodec)"));
  frame.SaveToParameters();
  EXPECT_EQ(params.String(QStringLiteral("Divx favori")).Value, QStringLiteral("MPEG-4 DivX 5 (libavcodec)"));
}

TEST_F(OptionsFrameTest, WithoutDivxEncodersThePageAndMp3ControlsHide) {
  unregister(media::CLSID_Mpeg4CompressorXvid);
  unregister(media::CLSID_Mpeg4CompressorDivx);
  frame.populate();
  EXPECT_FALSE(frame.DivxFound());
  EXPECT_TRUE(frame.Mp3Found());
  EXPECT_FALSE(frame.pages->isTabVisible(2));
  EXPECT_TRUE(frame.cbMp3->isHidden());
  EXPECT_TRUE(frame.cboxBitratemp3->isHidden());
  EXPECT_TRUE(frame.sbPropMp3->isHidden());
  EXPECT_TRUE(frame.MemoMp3->isHidden());
}

TEST_F(OptionsFrameTest, WithoutTheMp3EncoderTheNoteShows) {
  unregister(media::CLSID_LameMp3Encoder);
  frame.populate();
  EXPECT_FALSE(frame.Mp3Found());
  EXPECT_FALSE(frame.MemoMp3->isHidden());
  EXPECT_TRUE(frame.gbMp3->isHidden());
}

TEST_F(OptionsFrameTest, TheMp3PagesOpenInThePropertyFrameAndTheFilterGoesBack) {
  frame.populate();
  ASSERT_TRUE(frame.Mp3Found());
  int frames = 0;
  bool inGraphMeanwhile = false;
  vistrel::platform::ui::SetPropertyFrameRunner([&](const std::vector<media::PropertyPage*>& pages) {
    ++frames;
    inGraphMeanwhile = dm.mp3.inGraph();
    return !pages.empty();
  });
  frame.sbPropMp3->click();
  vistrel::platform::ui::SetPropertyFrameRunner({});
  EXPECT_EQ(frames, 1);
  EXPECT_TRUE(inGraphMeanwhile);
  EXPECT_FALSE(dm.mp3.inGraph());  // it was in no graph before
}

TEST_F(OptionsFrameTest, BitrateComesFromAndGoesToTheEncodersKey) {
  ASSERT_TRUE(reg::createKey(reg::Hive::CurrentUser, kLameKey));
  reg::setValue(reg::Hive::CurrentUser, kLameKey, QStringLiteral("Bitrate"), reg::dwordValue(192));
  frame.populate();
  EXPECT_EQ(frame.cboxBitratemp3->currentText(), QStringLiteral("192"));
  reg::setValue(reg::Hive::CurrentUser, kLameKey, QStringLiteral("Bitrate"), reg::dwordValue(88));
  frame.populate();
  EXPECT_EQ(frame.cboxBitratemp3->currentText(), QStringLiteral("192"));  // 88 is not listed

  const int at96 = frame.cboxBitratemp3->findText(QStringLiteral("96"));
  frame.cboxBitratemp3->setCurrentIndex(at96);
  emit frame.cboxBitratemp3->activated(at96);
  auto value = reg::queryValue(reg::Hive::CurrentUser, kLameKey, QStringLiteral("Bitrate"));
  ASSERT_TRUE(value);
  EXPECT_EQ(reg::decodeDword(*value), 96u);

  // Without the key nothing is created and the list falls back to 128.
  reg::deleteKey(reg::Hive::CurrentUser, kLameKey);
  emit frame.cboxBitratemp3->activated(at96);
  EXPECT_EQ(frame.cboxBitratemp3->currentText(), QStringLiteral("128"));
  EXPECT_FALSE(reg::keyExists(reg::Hive::CurrentUser, kLameKey));
}

QStringList namesOf(wmf::WMT_VERSION version) {
  QStringList names;
  for (const auto& p : wmf::systemProfiles(version)) names << QString::fromUtf8(p.name);
  return names;
}

QStringList entries(const QComboBox* box) {
  QStringList list;
  for (int i = 0; i < box->count(); ++i) list << box->itemText(i);
  return list;
}

TEST_F(OptionsFrameTest, ProfileListOfEachVersion) {
  std::shared_ptr<wmf::IWMProfileManager> manager;
  wmf::WMCreateProfileManager(manager);
  frame.SetProfileManager(manager);
  const std::pair<int, wmf::WMT_VERSION> versions[] = {
      {0, wmf::WMT_VER_4_0}, {1, wmf::WMT_VER_7_0}, {2, wmf::WMT_VER_8_0}};
  for (auto [item, version] : versions) {
    frame.rgversion->click(item);
    EXPECT_EQ(entries(frame.cboxMedia), namesOf(version)) << item;
    EXPECT_EQ(frame.cboxMedia->currentIndex(), 0);
  }
  EXPECT_FALSE(namesOf(wmf::WMT_VER_7_0).isEmpty());
}

TEST_F(OptionsFrameTest, FavouriteProfileSelection) {
  std::shared_ptr<wmf::IWMProfileManager> manager;
  wmf::WMCreateProfileManager(manager);
  frame.SetProfileManager(manager);
  frame.rgversion->setItemIndex(1);
  ASSERT_TRUE(frame.RemplirProfilsWmv());
  const QStringList names = namesOf(wmf::WMT_VER_7_0);
  ASSERT_GE(names.size(), 2);
  params.String(QStringLiteral("Profil wmv favori")).Value = names[1];
  frame.SelectFavouriteProfile();
  EXPECT_EQ(frame.cboxMedia->currentIndex(), 1);
  params.String(QStringLiteral("Profil wmv favori")).Value = QStringLiteral("No such profile");
  frame.SelectFavouriteProfile();
  EXPECT_EQ(frame.cboxMedia->currentIndex(), 0);
  frame.SaveToParameters();
  EXPECT_EQ(params.String(QStringLiteral("Profil wmv favori")).Value, names[0]);
  EXPECT_EQ(params.String(QStringLiteral("Profil Windows media")).Value, names[0]);
  EXPECT_EQ(params.Integer(QStringLiteral("Version wmv")).Value, 1);
}

TEST_F(OptionsFrameTest, WithoutTheWindowsMediaRuntimeTheListStaysEmpty) {
  frame.rgversion->setItemIndex(2);
  EXPECT_FALSE(frame.RemplirProfilsWmv());
  frame.SelectFavouriteProfile();
  EXPECT_EQ(frame.cboxMedia->count(), 0);
  EXPECT_EQ(frame.cboxMedia->currentIndex(), -1);
  EXPECT_EQ(frame.ProfilWmvChoisi(), nullptr);
}

TEST_F(OptionsFrameTest, TheChosenProfileIsTheListedOne) {
  std::shared_ptr<wmf::IWMProfileManager> manager;
  wmf::WMCreateProfileManager(manager);
  frame.SetProfileManager(manager);
  frame.rgversion->click(2);
  const QStringList names = namesOf(wmf::WMT_VER_8_0);
  ASSERT_GE(names.size(), 3);
  frame.cboxMedia->setCurrentIndex(2);
  frame.cbDefaultProfile->setChecked(true);
  EXPECT_EQ(frame.ProfilWmvChoisi(), nullptr);  // the preset of the radio group
  frame.cbDefaultProfile->setChecked(false);
  auto profile = frame.ProfilWmvChoisi();
  ASSERT_NE(profile, nullptr);
  EXPECT_EQ(profile->name(), names[2]);
}

TEST_F(OptionsFrameTest, FormatSettingsOpenTheirPage) {
  const std::pair<uint8_t, int> cases[] = {{7, 1}, {9, 2}, {12, 2}, {1, 4}, {11, 4}};
  for (auto [format, page] : cases) {
    frame.ShowFormatPage(format);
    EXPECT_EQ(frame.pages->currentIndex(), page) << int(format);
  }
}

}  // namespace

namespace {

class OptionsInWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vistrel::platform::ui::setMessageBoxService(
        std::make_unique<vistrel::platform::ui::ScriptedMessageBoxes>());
    form = std::make_unique<TCaptureForm>();
    form->show();
  }
  void TearDown() override {
    form.reset();
    vistrel::platform::ui::setMessageBoxService(nullptr);
  }
  vistrel::testing::TempRoot root;
  std::unique_ptr<TCaptureForm> form;
};

TEST_F(OptionsInWindowTest, IsPanelFiveAndFollowsTheSettings) {
  TOptionsFrame* f = form->optionsFrame();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(form->panel(5), f);
  EXPECT_EQ(f->rgExtension->items(), (QStringList{"bmp", "jpeg"}));
  EXPECT_EQ(f->cbConfirmerVideo->isChecked(),
            form->params().Boolean(QStringLiteral("Confirmer Video")).Value != 0);
  f->cbConfirmerVideo->click();
  EXPECT_EQ(f->cbConfirmerVideo->isChecked(),
            form->params().Boolean(QStringLiteral("Confirmer Video")).Value != 0);
  // Choosing jpeg keeps the next picture's number and changes its extension.
  f->rgExtension->click(1);
  EXPECT_FALSE(f->gbQuality->isHidden());
  EXPECT_TRUE(form->dossiersFrame()->LabelImage->text().endsWith(QStringLiteral("_00000.jpg")))
      << form->dossiersFrame()->LabelImage->text().toStdString();
}

TEST_F(OptionsInWindowTest, TheJpegCommandShowsInThePanel) {
  TOptionsFrame* f = form->optionsFrame();
  ASSERT_TRUE(form->runAction(QStringLiteral("acJpgOption")));
  EXPECT_EQ(f->rgExtension->itemIndex(), 1);
  EXPECT_FALSE(f->gbQuality->isHidden());
  ASSERT_TRUE(form->runAction(QStringLiteral("acBmpOption")));
  EXPECT_EQ(f->rgExtension->itemIndex(), 0);
  EXPECT_TRUE(f->gbQuality->isHidden());
}

TEST_F(OptionsInWindowTest, TheFormatSettingsButtonOpensThePage) {
  form->sourcesFrame()->sbFormatCapturesettings->click();
  EXPECT_EQ(form->params().Enum(QStringLiteral("Panneau actif")).Value, 5);
  EXPECT_FALSE(form->optionsFrame()->isHidden());
}

}  // namespace
