#include "settings/OrbanoPreferences.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <deque>

#include "platform/Environment.h"
#include "platform/registry/Registry.h"
#include "platform/ui/MessageBoxes.h"
#include "settings/IniDocument.h"
#include "settings/Parameters.h"
#include "settings/SavePrefsForm.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsTestSupport.h"
#include "support/TempRoot.h"

namespace vistrel::settings {
namespace {

namespace reg = platform::registry;

const QString kKey = QStringLiteral("Software\\Orbano\\Vistrel");
const QString kMaker = QStringLiteral("Software\\Orbano");
const QString kVersion = QStringLiteral("Vistrel 6.2.0 fr de Orbano");

enum class Answer { Normal, Portable, Aucun, Frame };

// Answers the save dialog when it shows, in order; a dialog nobody expected is closed by its
// frame and counted.
class DialogAnswerer : public QObject {
 public:
  DialogAnswerer() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] { poll(); });
    timer_.start();
  }
  void watch(TOrbanoPreferences* gp) { gp_ = gp; }
  void add(Answer a) { answers_.push_back(a); }
  int shown = 0;
  int unexpected = 0;
  QString caption;

 private:
  void poll() {
    if (!gp_ || !gp_->Dialog().isVisible()) return;
    TSavePrefsForm& d = gp_->Dialog();
    ++shown;
    caption = d.windowTitle();
    if (answers_.empty()) {
      ++unexpected;
      d.close();
      return;
    }
    const Answer a = answers_.front();
    answers_.pop_front();
    switch (a) {
      case Answer::Normal: QTest::mouseClick(d.NormalBtn, Qt::LeftButton); break;
      case Answer::Portable: QTest::mouseClick(d.PortableBtn, Qt::LeftButton); break;
      case Answer::Aucun: QTest::mouseClick(d.AucunBtn, Qt::LeftButton); break;
      case Answer::Frame: d.close(); break;
    }
  }
  QTimer timer_;
  QPointer<TOrbanoPreferences> gp_;
  std::deque<Answer> answers_;
};

// A main window in miniature: its own show and close handlers, the parameter list loaded at show
// and saved in OnSavePrefs, and a rectangle written through the component as the action lists do.
class Owner : public QWidget {
 public:
  explicit Owner(std::vector<std::string>& log) : list(kVersion), log_(log) {
    gp = new TOrbanoPreferences(this);
    gp->settitre(QStringLiteral("Vistrel"));
    gp->setversion(QStringLiteral("Vistrel de Orbano"));
    gp->OnChangeMode = [this](TSavePreferences m) {
      log_.push_back("change " + std::to_string(int(m)));
      setCurrentStoreMode(m);
    };
    gp->OnLoadPrefs = [this](TOrbanoPreferences& p) {
      log_.push_back("load");
      loadedRect = p.ReadRect(QStringLiteral("FormSave"), TRect{1, 2, 3, 4});
    };
    gp->OnSavePrefs = [this](TOrbanoPreferences& p) {
      log_.push_back("save");
      if (currentStoreMode() != spNone) list.SaveAll();
      p.WriteRect(QStringLiteral("FormSave"), TRect{10, 20, 30, 40});
    };
  }
  bool refuseClose = false;
  TparameterList list;
  TOrbanoPreferences* gp;
  TRect loadedRect;
  TSavePreferences modeAtShow = spNone;

 protected:
  void showEvent(QShowEvent*) override {
    log_.push_back("owner show");
    modeAtShow = gp->Mode();
    list.CreateSettings();
  }
  void closeEvent(QCloseEvent* e) override {
    log_.push_back("owner close");
    if (refuseClose) e->ignore();
  }

 private:
  std::vector<std::string>& log_;
};

class OrbanoPreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setSettingsLocale(QLocale(QLocale::French, QLocale::France));
    setSettingsClock([] { return QDateTime(QDate(2026, 12, 1), QTime(9, 5, 3)); });
    setCurrentStoreMode(spNone);
    SetPortableSaveFolder(QString());
  }
  void TearDown() override {
    setSettingsLocale(std::nullopt);
    setSettingsClock(nullptr);
    setCurrentStoreMode(spNone);
    SetPortableSaveFolder(QString());
  }
  QString iniFile() const { return platform::programFolder() + QStringLiteral("Vistrel.ini"); }
  void writeIni(const QStringList& lines) const {
    QFile f(iniFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(encodeIniLines(lines));
  }
  QStringList iniLines() const {
    QFile f(iniFile());
    return f.open(QIODevice::ReadOnly) ? decodeIniLines(f.readAll()) : QStringList();
  }
  static std::optional<reg::Value> value(const QString& key, const char* name) {
    return reg::queryValue(reg::Hive::CurrentUser, key, QString::fromUtf8(name));
  }
  static bool keyExists(const QString& key) { return reg::keyExists(reg::Hive::CurrentUser, key); }
  static void makeKey(const QString& key) { ASSERT_TRUE(reg::createKey(reg::Hive::CurrentUser, key)); }

  testing::TempRoot root_;
  std::vector<std::string> log_;
  DialogAnswerer answerer_;
};

using Log = std::vector<std::string>;

TEST_F(OrbanoPreferencesTest, FirstStartAsksAtExitAndNormalCreatesTheKeyAndDeletesTheIni) {
  {
    Owner owner(log_);
    answerer_.watch(owner.gp);
    owner.show();
    EXPECT_EQ(log_, (Log{"change 2", "owner show", "load"}));
    EXPECT_EQ(owner.gp->Mode(), spNone);
    EXPECT_EQ(owner.loadedRect, (TRect{1, 2, 3, 4}));

    // An ini file placed beside the program since the start changes nothing in mode none.
    writeIni({"[]", "Volume=3"});
    EXPECT_EQ(owner.gp->ReadInteger(QStringLiteral("Volume"), 42), 42);
    EXPECT_FALSE(owner.gp->WriteString(QStringLiteral("a"), QStringLiteral("b")));
    EXPECT_FALSE(owner.gp->WriteRect(QStringLiteral("FormSave"), TRect{}));

    log_.clear();
    answerer_.add(Answer::Normal);
    EXPECT_TRUE(owner.close());
    EXPECT_EQ(answerer_.shown, 1);
    EXPECT_EQ(answerer_.caption, QStringLiteral("Enregistrement des préférences de Vistrel"));
    EXPECT_EQ(log_, (Log{"owner close", "change 0", "save"}));
    EXPECT_EQ(owner.gp->Mode(), spRegistre);
    EXPECT_FALSE(owner.gp->Watching());
    EXPECT_FALSE(QFile::exists(iniFile()));
    EXPECT_EQ(value(kKey, "Version"), reg::stringValue(QStringLiteral("Vistrel de Orbano"), 1));
    EXPECT_EQ(value(kKey, "Dernière Sauvegarde"), reg::stringValue(QStringLiteral("01/12/2026 09:05:03"), 1));
    // The parameter list saved after the component: its standard-length ExeName stays.
    EXPECT_EQ(value(kKey, "ExeName"), reg::stringValue(platform::programFile(), 2));
    EXPECT_EQ(value(kKey, "Signature"), reg::stringValue(kVersion, 2));
    EXPECT_EQ(value(kKey + QStringLiteral("\\FormSave"), "Bottom"), reg::dwordValue(40));
  }
  // The next start finds the registry and asks nothing at exit.
  log_.clear();
  {
    Owner owner(log_);
    answerer_.watch(owner.gp);
    owner.show();
    EXPECT_EQ(owner.modeAtShow, spRegistre);
    EXPECT_EQ(currentStoreMode(), spRegistre);
    EXPECT_EQ(owner.loadedRect, (TRect{10, 20, 30, 40}));
    EXPECT_EQ(owner.gp->ReadString(QStringLiteral("version"), QString()),
              QStringLiteral("Vistrel de Orbano"));
    EXPECT_TRUE(owner.close());
  }
  EXPECT_EQ(answerer_.shown, 1);
  EXPECT_EQ(answerer_.unexpected, 0);
}

TEST_F(OrbanoPreferencesTest, AucunDeletesBothStoresAndTheNextStartAsksAgain) {
  {
    Owner owner(log_);
    answerer_.watch(owner.gp);
    owner.show();
    writeIni({"[]", "Version=x"});
    makeKey(kKey + QStringLiteral("\\FormSave"));
    log_.clear();
    answerer_.add(Answer::Aucun);
    EXPECT_TRUE(owner.close());
    EXPECT_EQ(log_, (Log{"owner close", "change 2"}));  // nothing saved
  }
  EXPECT_FALSE(QFile::exists(iniFile()));
  EXPECT_FALSE(keyExists(kKey));
  EXPECT_FALSE(keyExists(kMaker));
  {
    Owner owner(log_);
    answerer_.watch(owner.gp);
    owner.show();
    EXPECT_EQ(owner.gp->Mode(), spNone);
    answerer_.add(Answer::Aucun);
    EXPECT_TRUE(owner.close());
  }
  EXPECT_EQ(answerer_.shown, 2);
  EXPECT_FALSE(QFile::exists(iniFile()));
}

TEST_F(OrbanoPreferencesTest, ClosingTheDialogByItsFrameKeepsTheWindowOpen) {
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  log_.clear();
  answerer_.add(Answer::Frame);
  EXPECT_FALSE(owner.close());
  EXPECT_TRUE(owner.isVisible());
  EXPECT_TRUE(owner.gp->Watching());
  EXPECT_EQ(log_, (Log{"owner close"}));
  EXPECT_FALSE(keyExists(kKey));
  EXPECT_FALSE(QFile::exists(iniFile()));

  answerer_.add(Answer::Portable);
  EXPECT_TRUE(owner.close());
  EXPECT_EQ(answerer_.shown, 2);
  EXPECT_EQ(owner.gp->Mode(), spPortable);
}

struct StartCase {
  const char* name;
  bool kronel;  // the companion program's key under the maker key
};

class StartWithIniTest : public OrbanoPreferencesTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(StartWithIniTest, DeletesTheRegistryKeyAndTheEmptyMakerKey) {
  writeIni({"[]", "Version=old", "ExeName=/media/stick/Vistrel/vistrel"});
  makeKey(kKey + QStringLiteral("\\FormSave"));
  if (GetParam().kronel) makeKey(kMaker + QStringLiteral("\\Kronel"));
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  EXPECT_EQ(owner.modeAtShow, spPortable);
  EXPECT_EQ(owner.gp->SavedExeFolder(), QStringLiteral("/media/stick/Vistrel/"));
  EXPECT_EQ(PortableSaveFolder(), QStringLiteral("/media/stick/Vistrel/"));
  EXPECT_FALSE(keyExists(kKey));
  EXPECT_EQ(keyExists(kMaker), GetParam().kronel);
  EXPECT_EQ(owner.gp->ReadString(QStringLiteral("VERSION"), QString()), QStringLiteral("old"));
}

INSTANTIATE_TEST_SUITE_P(Table, StartWithIniTest,
                         ::testing::Values(StartCase{"alone", false}, StartCase{"beside Kronel", true}));

TEST_F(OrbanoPreferencesTest, SwitchingToPortableDeletesTheKeyAtOnceAndTheIniEndsWithBothFamilies) {
  {
    Owner owner(log_);
    answerer_.watch(owner.gp);
    makeKey(kKey);
    owner.show();
    ASSERT_EQ(owner.gp->Mode(), spRegistre);
    log_.clear();
    owner.gp->SetMode(spPortable);
    EXPECT_EQ(log_, (Log{"change 1"}));
    EXPECT_FALSE(keyExists(kKey));
    EXPECT_FALSE(keyExists(kMaker));
    EXPECT_TRUE(owner.gp->WriteBoolean(QStringLiteral("Macro"), true));
    owner.list.Integer(QStringLiteral("Volume")).Value = 1234;
    EXPECT_TRUE(owner.close());
    EXPECT_EQ(answerer_.shown, 0);
  }
  const QStringList lines = iniLines();
  const QString header = QStringLiteral("[\\Software\\Orbano\\Vistrel]");
  ASSERT_TRUE(lines.contains(header));
  const qsizetype h = lines.indexOf(header);
  EXPECT_EQ(lines.mid(0, 5),
            (QStringList{"[]", "Macro=True", "Version=Vistrel de Orbano",
                         "Dernière Sauvegarde=01/12/2026 09:05:03", "ExeName=" + platform::programFile()}));
  EXPECT_EQ(lines[h + 1], QStringLiteral("Signature=") + kVersion);
  EXPECT_TRUE(lines.contains(QStringLiteral("Volume=1234")));
  EXPECT_TRUE(lines.contains(QStringLiteral("[FormSave]")));
  EXPECT_TRUE(lines.contains(QStringLiteral("Bottom=40")));

  // Both families read their values back at the next start.
  log_.clear();
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  EXPECT_EQ(owner.gp->Mode(), spPortable);
  EXPECT_EQ(owner.list.Integer(QStringLiteral("Volume")).Value, 1234);
  EXPECT_TRUE(owner.gp->ReadBoolean(QStringLiteral("macro"), false));
  EXPECT_EQ(owner.loadedRect, (TRect{10, 20, 30, 40}));
}

TEST_F(OrbanoPreferencesTest, APortableCopyMovedElsewhereRebasesItsFolders) {
  writeIni({"[]", "ExeName=/media/old/Vistrel/vistrel", "", "[\\Software\\Orbano\\Vistrel]",
            "Video Directory=/media/old/Vistrel/Videos/"});
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  EXPECT_EQ(owner.list.String(QStringLiteral("Video Directory")).Value,
            platform::programFolder() + "Videos/");
}

TEST_F(OrbanoPreferencesTest, SettingTheModeInForceDoesNothing) {
  makeKey(kKey);
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  TPreferencesMan* before = &owner.gp->Store();
  log_.clear();
  writeIni({"[]"});
  owner.gp->SetMode(spRegistre);
  EXPECT_EQ(log_, Log{});
  EXPECT_EQ(&owner.gp->Store(), before);
  EXPECT_TRUE(QFile::exists(iniFile()));
}

TEST_F(OrbanoPreferencesTest, TheOwnersRefusalStillSavesAndEndsTheWatch) {
  makeKey(kKey);
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  owner.refuseClose = true;
  log_.clear();
  EXPECT_FALSE(owner.close());
  EXPECT_EQ(log_, (Log{"owner close", "save"}));
  EXPECT_FALSE(owner.gp->Watching());
  log_.clear();
  EXPECT_FALSE(owner.close());
  EXPECT_EQ(log_, Log{"owner close"});
}

struct RectCase {
  const char* name;
  QStringList section;  // lines of "[FormSave]"
  TRect expected;
};

class ReadRectTest : public OrbanoPreferencesTest, public ::testing::WithParamInterface<RectCase> {};

TEST_P(ReadRectTest, NeedsAllFourValues) {
  QStringList lines = {"[]", "Version=v", "", "[FormSave]"};
  lines += GetParam().section;
  writeIni(lines);
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  EXPECT_EQ(owner.gp->ReadRect(QStringLiteral("FormSave"), TRect{-1, -2, -3, -4}), GetParam().expected)
      << GetParam().name;
  EXPECT_EQ(owner.gp->ReadString(QStringLiteral("Version"), QString()),
            QStringLiteral("v"));  // back at the root
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadRectTest,
    ::testing::Values(
        RectCase{"all four", {"Left=1", "Top=2", "Right=3", "Bottom=4"}, TRect{1, 2, 3, 4}},
        RectCase{"any order and case", {"bottom=4", "RIGHT=3", "top=2", "left=1"}, TRect{1, 2, 3, 4}},
        RectCase{"three of four", {"Left=1", "Top=2", "Right=3"}, TRect{-1, -2, -3, -4}},
        RectCase{"no number reads 0", {"Left=x", "Top=2", "Right=3", "Bottom=4"}, TRect{0, 2, 3, 4}}));

TEST_F(OrbanoPreferencesTest, ReadRectOfAMissingSectionIsTheDefault) {
  writeIni({"[]"});
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  EXPECT_EQ(owner.gp->ReadRect(QStringLiteral("FormSave"), TRect{5, 6, 7, 8}), (TRect{5, 6, 7, 8}));
}

TEST_F(OrbanoPreferencesTest, TypedValuesRoundTripInTheRegistry) {
  makeKey(kKey);
  Owner owner(log_);
  answerer_.watch(owner.gp);
  owner.show();
  TOrbanoPreferences& gp = *owner.gp;
  EXPECT_TRUE(gp.WriteBoolean(QStringLiteral("b"), true));
  EXPECT_TRUE(gp.WriteInteger(QStringLiteral("i"), -7));
  EXPECT_TRUE(gp.WriteString(QStringLiteral("s"), QStringLiteral("texte")));
  EXPECT_TRUE(gp.WriteRect(QStringLiteral("FormSave"), TRect{1, 2, 3, 4}));
  EXPECT_TRUE(gp.ReadBoolean(QStringLiteral("B"), false));
  EXPECT_EQ(gp.ReadInteger(QStringLiteral("I"), 0), -7);
  EXPECT_EQ(gp.ReadString(QStringLiteral("S"), QString()), QStringLiteral("texte"));
  EXPECT_EQ(gp.ReadRect(QStringLiteral("formsave"), TRect{}), (TRect{1, 2, 3, 4}));
  EXPECT_EQ(gp.ReadInteger(QStringLiteral("missing"), 9), 9);
  EXPECT_EQ(value(kKey, "s"), reg::stringValue(QStringLiteral("texte"), 1));
  EXPECT_EQ(reg::valueNames(reg::Hive::CurrentUser, kKey + QStringLiteral("\\FormSave")),
            (QStringList{"Left", "Top", "Right", "Bottom"}));
}

TEST(SavePrefsForm, TextsAndButtons) {
  TSavePrefsForm form;
  EXPECT_EQ(form.NormalBtn->text(), QStringLiteral("Normal"));
  EXPECT_EQ(form.PortableBtn->text(), QStringLiteral("Portable"));
  EXPECT_EQ(form.AucunBtn->text(), QStringLiteral("Aucun"));
  EXPECT_EQ(form.NormalBtn->toolTip(), QStringLiteral("Enregistre les préférences dans le registre.\r\n"
                                                      "Si un fichier ini existait, il est supprimé."));
  EXPECT_EQ(form.PortableBtn->toolTip(), QStringLiteral("Enregistre les préférences dans un fichier ini.\r\n"
                                                        "Efface les valeurs contenues dans le registre."));
  EXPECT_EQ(form.AucunBtn->toolTip(),
            QStringLiteral("Quitte sans enregistrer les préférences.\r\n"
                           "Si elles existaient dans un fichier ini ou dans le registre,\r\n"
                           "elles sont effacées."));
  EXPECT_TRUE(form.LinkEdit1->isReadOnly());
  const QStringList lines = form.LinkEdit1->toPlainText().split('\n');
  EXPECT_EQ(
      lines,
      (QStringList{
          "", "Voulez-vous enregistrer vos préférences pour pouvoir les retrouver au prochain lancement?", "",
          "Cliquez sur votre choix:", "", "* soit pour les enregistrer dans le registre (mode normal).",
          "* soit pour les enregistrer dans un fichier ini (mode portable).",
          "* soit pour ne pas les enregistrer. Dans ce cas, elles seront perdues et les valeurs par "
          "défaut seront chargées lors du prochain lancement.",
          ""}));
  QTextDocument* doc = form.LinkEdit1->document();
  for (int i = 0; i < doc->blockCount(); ++i) {
    const QTextBlock block = doc->findBlockByNumber(i);
    const QTextCharFormat f = block.length() > 1 ? block.begin().fragment().charFormat() : block.charFormat();
    EXPECT_EQ(f.fontItalic(), i == 1 || i == 3) << i;
    EXPECT_EQ(f.fontPointSize(), 10) << i;
  }
  EXPECT_FALSE(form.ChoiceMade());
}

TEST(SavePrefsForm, EachButtonChoosesItsMode) {
  const std::pair<QPushButton * TSavePrefsForm::*, TSavePreferences> cases[] = {
      {&TSavePrefsForm::NormalBtn, spRegistre},
      {&TSavePrefsForm::PortableBtn, spPortable},
      {&TSavePrefsForm::AucunBtn, spNone}};
  for (const auto& [button, mode] : cases) {
    TSavePrefsForm form;
    form.show();
    QTest::mouseClick(form.*button, Qt::LeftButton);
    EXPECT_TRUE(form.ChoiceMade());
    EXPECT_EQ(form.ChosenMode(), mode);
    EXPECT_FALSE(form.isVisible());
  }
}

TEST(SavePrefsForm, AScriptedChoiceAnswersWithoutShowing) {
  using namespace vistrel::platform::ui;
  const std::pair<const char*, std::optional<TSavePreferences>> cases[] = {{"normal", spRegistre},
                                                                           {"Portable", spPortable},
                                                                           {" aucun ", spNone},
                                                                           {"fermer", std::nullopt},
                                                                           {"oui", std::nullopt}};
  for (const auto& [word, expected] : cases) {
    auto* scripted =
        static_cast<ScriptedMessageBoxes*>(setMessageBoxService(std::make_unique<ScriptedMessageBoxes>()));
    scripted->addWords(ScriptedMessageBoxes::parseWords(QString::fromUtf8(word)));
    TSavePrefsForm form;
    EXPECT_EQ(form.Choose(), expected) << word;
    EXPECT_FALSE(form.isVisible());
  }
  setMessageBoxService(nullptr);
  qunsetenv("VISTREL_ANSWERS");
  // Not scripted: the dialog shows; it is then closed by its frame.
  TSavePrefsForm form;
  QTimer::singleShot(0, &form, [&form] { form.close(); });
  EXPECT_EQ(form.Choose(), std::nullopt);
}

}  // namespace
}  // namespace vistrel::settings
