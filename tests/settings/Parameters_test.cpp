#include "settings/Parameters.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <random>

#include "platform/Environment.h"
#include "platform/registry/Registry.h"
#include "settings/IniDocument.h"
#include "settings/ParameterStore.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsTestSupport.h"
#include "support/TempRoot.h"

namespace vistrel::settings {
namespace {

namespace reg = platform::registry;

const QString kSignature = QStringLiteral("Vistrel 6.2.0 fr de Orbano");
const QString kHeader = QStringLiteral("[\\Software\\Orbano\\Vistrel]");
const QDateTime kSaveTime(QDate(2026, 12, 1), QTime(9, 5, 3));

class ParameterListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setSettingsLocale(QLocale(QLocale::German, QLocale::Germany));
    setSettingsClock([this] { return now_; });
    SetPortableSaveFolder(QString());
    setCurrentStoreMode(spNone);
  }
  void TearDown() override {
    setSettingsLocale(std::nullopt);
    setSettingsClock(nullptr);
    SetPortableSaveFolder(QString());
    setCurrentStoreMode(spNone);
  }

  void writeBytes(const QByteArray& bytes) const {
    QFile f(parameterIniFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  void writeFile(const QStringList& lines) const { writeBytes(encodeIniLines(lines)); }
  QByteArray fileBytes() const {
    QFile f(parameterIniFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QStringList fileLines() const { return decodeIniLines(fileBytes()); }

  // The hand-written fixture with the root folder filled in, encoded byte by byte.
  QByteArray fixtureBytes(const char* name) const {
    QFile f(QStringLiteral(VISTREL_TEST_SOURCE_DIR "/fixtures/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("@ROOT@"), root_.path());
    QByteArray out("\xFF\xFE", 2);
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
      for (QChar c : line + QStringLiteral("\r\n"))
        out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    }
    return out;
  }

  QDateTime now_ = kSaveTime;
  testing::TempRoot root_;
};

TEST_F(ParameterListTest, FirstStartGivesEveryDefault) {
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(currentStoreMode(), spNone);
  ASSERT_EQ(list.Count(), 74u);
  EXPECT_EQ(list.At(0).Key(), QStringLiteral("Volume"));
  EXPECT_EQ(list.At(73).Key(), QStringLiteral("Freeze Capture"));
  EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, 5000);
  EXPECT_EQ(list.Real(QStringLiteral("Framerate")).Value, 18.0);
  EXPECT_EQ(list.Integer(QStringLiteral("Video Input Select")).Value, -1);
  EXPECT_EQ(list.Enum(QStringLiteral("Capture Format")).Value, 10);
  EXPECT_EQ(list.Enum(QStringLiteral("FrequenceDV")).Value, 3);
  EXPECT_EQ(list.IncrustRec(QStringLiteral("IncrustRec")).Value, defaultIncrustRec());
  EXPECT_EQ(list.String(QStringLiteral("Sound Card Entry")).Value, QStringLiteral("Line In"));
  // The folder defaults follow the user's shell folders.
  EXPECT_EQ(list.String(QStringLiteral("Video Directory")).Value,
            platform::withTrailingSlash(platform::userFolder(platform::UserFolder::Videos)));
  EXPECT_EQ(list.String(QStringLiteral("Image Directory")).Value,
            platform::withTrailingSlash(platform::userFolder(platform::UserFolder::Pictures)));
  EXPECT_EQ(list.String(QStringLiteral("Plugins Dir")).Value, platform::programFolder());
  EXPECT_EQ(list.String(QStringLiteral("Kronel")).Value, QString());
  EXPECT_FALSE(QFile::exists(parameterIniFile()));
}

TEST_F(ParameterListTest, ParametersHaveTheirClasses) {
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_NO_THROW(list.Get<TframeNumberParameter>(QStringLiteral("Panneau actif")));
  EXPECT_NO_THROW(list.Get<TAspectRatioParameter>(QStringLiteral("Aspect ratio")));
  EXPECT_NO_THROW(list.Get<TAspectRatioParameter>(QStringLiteral("Ratio DivX")));
  EXPECT_NO_THROW(list.Get<TWhenIncrustParameter>(QStringLiteral("When Incrust")));
  EXPECT_NO_THROW(list.Get<TFormatCaptureParameter>(QStringLiteral("Capture Format")));
  EXPECT_NO_THROW(list.Get<TstandardDVParameter>(QStringLiteral("Standard DV")));
  EXPECT_NO_THROW(list.Get<TFrequenceDVParameter>(QStringLiteral("FrequenceDV")));
  EXPECT_NO_THROW(list.Get<TRatioDVParameter>(QStringLiteral("RatioDV")));
  EXPECT_NO_THROW(list.Get<TRaccourcisSortParameter>(QStringLiteral("Raccourcis Sort")));
  EXPECT_NO_THROW(list.Boolean(QStringLiteral("Décalage avancé")));
  EXPECT_NO_THROW(list.Real(QStringLiteral("Décalage horaire")));
  EXPECT_THROW(list.Integer(QStringLiteral("Notifier")), std::out_of_range);
  EXPECT_THROW(list.Integer(QStringLiteral("volume")), std::out_of_range);
  EXPECT_EQ(list.Find(QStringLiteral("nothing")), nullptr);
}

TEST_F(ParameterListTest, CreatingTwiceKeepsOneOfEachParameter) {
  TparameterList list(kSignature);
  list.CreateSettings();
  list.CreateSettings();
  EXPECT_EQ(list.Count(), 74u);
}

void setSampleValues(TparameterList& list) {
  list.Real(QStringLiteral("Framerate")).Value = 29.97;
  list.Real(QStringLiteral("Décalage horaire")).Value = 0.5;
  list.IncrustRec(QStringLiteral("IncrustRec")).Value.DecalageHoraire = -1.0 / 24;
  list.String(QStringLiteral("Sources Exclues")).Value = QStringLiteral("cam 1\r\ncam 2\r\n");
}

struct LocaleCase {
  QLocale locale;
  const char* fixture;
};

class SavedFileTest : public ParameterListTest, public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(SavedFileTest, MatchesTheHandWrittenFileByteForByte) {
  setSettingsLocale(GetParam().locale);
  writeBytes(QByteArray());  // an empty ini file selects the portable mode
  TparameterList list(kSignature);
  list.CreateSettings();
  ASSERT_EQ(currentStoreMode(), spPortable);
  setSampleValues(list);
  ASSERT_TRUE(list.SaveAll());
  const QByteArray expected = fixtureBytes(GetParam().fixture);
  const QByteArray actual = fileBytes();
  EXPECT_EQ(actual.size(), expected.size());
  if (actual != expected) {
    const QStringList a = decodeIniLines(actual), e = decodeIniLines(expected);
    for (qsizetype i = 0; i < std::max(a.size(), e.size()); ++i)
      EXPECT_EQ(a.value(i), e.value(i)) << "line " << i + 1;
  }
  EXPECT_TRUE(actual == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, SavedFileTest,
    ::testing::Values(LocaleCase{QLocale(QLocale::German, QLocale::Germany), "saved-comma.ini.txt"},
                      LocaleCase{QLocale(QLocale::English, QLocale::UnitedStates), "saved-point.ini.txt"}));

TEST_F(ParameterListTest, SavedValuesLoadBackInIniMode) {
  writeBytes(QByteArray());
  {
    TparameterList list(kSignature);
    list.CreateSettings();
    setSampleValues(list);
    list.Integer(QStringLiteral("Volume")).Value = 1234;
    list.Boolean(QStringLiteral("Notifier")).Value = 0;
    list.String(QStringLiteral("Audio Type")).Value = QString();
    list.Enum(QStringLiteral("Capture Format")).Value = 7;
    ASSERT_TRUE(list.SaveAll());
  }
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, 1234);
  EXPECT_EQ(list.Boolean(QStringLiteral("Notifier")).Value, 0);
  EXPECT_EQ(list.Real(QStringLiteral("Framerate")).Value, 29.97);
  EXPECT_EQ(list.Enum(QStringLiteral("Capture Format")).Value, 7);
  EXPECT_EQ(list.String(QStringLiteral("Sources Exclues")).Value, QStringLiteral("cam 1\r\ncam 2\r\n"));
  EXPECT_EQ(list.String(QStringLiteral("Audio Type")).Value, QString());
}

TEST_F(ParameterListTest, SavingTwiceKeepsTheOrderAndDatesTheSecondSave) {
  writeBytes(QByteArray());
  TparameterList list(kSignature);
  list.CreateSettings();
  ASSERT_TRUE(list.SaveAll());
  const QStringList first = fileLines();
  now_ = QDateTime(QDate(2027, 1, 2), QTime(23, 59, 58));
  list.Integer(QStringLiteral("Volume")).Value = 1;
  ASSERT_TRUE(list.SaveAll());
  const QStringList second = fileLines();
  ASSERT_EQ(second.size(), first.size());
  EXPECT_EQ(second[2], QStringLiteral("DerniereSauvegarde=02.01.2027 23:59:58"));
  EXPECT_EQ(second[4], QStringLiteral("Volume=1"));
  for (qsizetype i = 0; i < first.size(); ++i) {
    if (i != 2 && i != 4) {
      EXPECT_EQ(second[i], first[i]) << i;
    }
  }
}

TEST_F(ParameterListTest, TheParameterSectionFollowsTheComponentsSectionsUntouched) {
  writeFile({"[]", "Version=Vistrel de Orbano", "", "[FormSave]", "Left=1"});
  TparameterList list(kSignature);
  list.CreateSettings();
  ASSERT_TRUE(list.SaveAll());
  const QStringList lines = fileLines();
  ASSERT_GT(lines.size(), 6);
  EXPECT_EQ(lines.mid(0, 6),
            (QStringList{"[]", "Version=Vistrel de Orbano", "", "[FormSave]", "Left=1", kHeader}));
  EXPECT_EQ(lines[6], QStringLiteral("Signature=") + kSignature);
}

struct StoredCase {
  const char* name;
  QString line;
  QString key;
  QString expected;  // current value after loading, as text
};

class StoredValueTest : public ParameterListTest, public ::testing::WithParamInterface<StoredCase> {};

QString valueText(TparameterList& list, const QString& key) {
  TParameter* p = list.Find(key);
  if (auto* i = dynamic_cast<TIntegerParameter*>(p)) return QString::number(i->Value);
  if (auto* e = dynamic_cast<TEnumParameter*>(p)) return QString::number(e->Value);
  if (auto* b = dynamic_cast<TBooleanParameter*>(p)) return QString::number(b->Value);
  if (auto* r = dynamic_cast<TRealParameter*>(p)) return QString::number(r->Value);
  if (auto* s = dynamic_cast<TWideStringParameter*>(p)) return s->Value;
  return QStringLiteral("?");
}

TEST_P(StoredValueTest, Loads) {
  const StoredCase& c = GetParam();
  writeFile({kHeader, c.line});
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(valueText(list, c.key), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, StoredValueTest,
    ::testing::Values(
        StoredCase{"an empty string loads as its default", "Sound Card Entry=", "Sound Card Entry",
                   "Line In"},
        StoredCase{"the marker loads as the default", QStringLiteral("Video Racine=#@vide\u00A7#"),
                   "Video Racine", "Video"},
        StoredCase{"an enumerated 300 loads as 44", "Capture Format=300", "Capture Format", "44"},
        StoredCase{"an enumerated -1 loads as 255", "Panneau actif=-1", "Panneau actif", "255"},
        StoredCase{"an empty boolean loads as true", "Fullscreen On=", "Fullscreen On", "1"},
        StoredCase{"a malformed integer loads as 0", "Volume=abc", "Volume", "0"},
        StoredCase{"a missing integer keeps its default", "Other=1", "Volume", "5000"},
        StoredCase{"a point real under a comma locale loads as 0", "Framerate=25.5", "Framerate", "0"},
        StoredCase{"a comma real loads", "Framerate=25,5", "Framerate", "25.5"},
        StoredCase{"a real beyond range loads as 0", "Framerate=1E999", "Framerate", "0"}));

TEST_F(ParameterListTest, RegistryModeRoundTripAndDetection) {
  {
    TparameterList list(kSignature);
    list.CreateSettings();
    setCurrentStoreMode(spRegistre);
    setSampleValues(list);
    list.Integer(QStringLiteral("Volume")).Value = 77;
    list.String(QStringLiteral("Audio Type")).Value = QString();
    ASSERT_TRUE(list.SaveAll());
  }
  EXPECT_EQ(reg::queryValue(reg::Hive::CurrentUser, kStorePath, QStringLiteral("ExeName")),
            reg::stringValue(platform::programFile()));
  EXPECT_EQ(reg::queryValue(reg::Hive::CurrentUser, kStorePath, QStringLiteral("DerniereSauvegarde")),
            reg::stringValue(QStringLiteral("01.12.2026 09:05:03")));
  setCurrentStoreMode(spNone);
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(currentStoreMode(), spRegistre);
  EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, 77);
  EXPECT_EQ(list.Real(QStringLiteral("Framerate")).Value, 29.97);
  EXPECT_EQ(list.IncrustRec(QStringLiteral("IncrustRec")).Value.DecalageHoraire, -1.0 / 24);  // 8 exact bytes
  EXPECT_EQ(list.String(QStringLiteral("Sources Exclues")).Value, QStringLiteral("cam 1\r\ncam 2\r\n"));
  EXPECT_EQ(list.String(QStringLiteral("Audio Type")).Value, QString());
}

TEST_F(ParameterListTest, SavingInNoneModeWritesNothing) {
  TparameterList list(kSignature);
  list.CreateSettings();
  ASSERT_EQ(currentStoreMode(), spNone);
  EXPECT_TRUE(list.SaveAll());
  EXPECT_FALSE(QFile::exists(parameterIniFile()));
  EXPECT_FALSE(reg::keyExists(reg::Hive::CurrentUser, kStorePath));
}

struct ModeCase {
  const char* name;
  bool iniFile;
  std::optional<QString> exeName;  // registry "ExeName"; @EXE@ is the running program
  TSavePreferences expected;
};

class DecideStoreModeTest : public ParameterListTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(DecideStoreModeTest, Decides) {
  const ModeCase& c = GetParam();
  if (c.iniFile) writeBytes(QByteArray());
  if (c.exeName) {
    QString exe = *c.exeName;
    exe.replace(QStringLiteral("@EXE@"), platform::programFile());
    exe.replace(QStringLiteral("@UPPER@"), platform::programFile().toUpper());
    ASSERT_TRUE(reg::createKey(reg::Hive::CurrentUser, kStorePath));
    ASSERT_TRUE(
        reg::setValue(reg::Hive::CurrentUser, kStorePath, QStringLiteral("ExeName"), reg::stringValue(exe)));
  }
  EXPECT_EQ(DecideStoreMode(), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecideStoreModeTest,
    ::testing::Values(ModeCase{"nothing stored", false, std::nullopt, spNone},
                      ModeCase{"ini file", true, std::nullopt, spPortable},
                      ModeCase{"ini file wins over the registry", true, QStringLiteral("@EXE@"), spPortable},
                      ModeCase{"registry of this program", false, QStringLiteral("@EXE@"), spRegistre},
                      ModeCase{"case does not count", false, QStringLiteral("@UPPER@"), spRegistre},
                      ModeCase{"saved by a copy elsewhere", false, QStringLiteral("/elsewhere/vistrel"),
                               spNone},
                      ModeCase{"empty ExeName", false, QString(), spNone}));

struct RebaseCase {
  const char* value;
  const char* prefix;
  const char* current;
  const char* expected;
};

class RebaseFolderTest : public ::testing::TestWithParam<RebaseCase> {};

TEST_P(RebaseFolderTest, Rebases) {
  const RebaseCase& c = GetParam();
  EXPECT_EQ(
      RebaseFolder(QString::fromUtf8(c.value), QString::fromUtf8(c.prefix), QString::fromUtf8(c.current)),
      QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, RebaseFolderTest,
    ::testing::Values(
        RebaseCase{"/media/a/Vistrel/Videos/", "/media/a/Vistrel/", "/media/b/V/", "/media/b/V/Videos/"},
        RebaseCase{"/media/a/Vistrel/kronel/Kronel", "/media/a/Vistrel/", "/media/b/V/",
                   "/media/b/V/kronel/Kronel"},
        RebaseCase{"/MEDIA/A/vistrel/Videos/", "/media/a/Vistrel/", "/media/b/V/", "/media/b/V/Videos/"},
        RebaseCase{"/media/a/Vistrel/", "/media/a/Vistrel", "/media/b/V/", "/media/b/V/"},
        RebaseCase{"/media/a/Vistrel2/Videos/", "/media/a/Vistrel/", "/media/b/V/",
                   "/media/a/Vistrel2/Videos/"},
        RebaseCase{"/home/u/Videos/", "/media/a/Vistrel/", "/media/b/V/", "/home/u/Videos/"},
        RebaseCase{"/media/a/Vistrel/Videos/", "", "/media/b/V/", "/media/a/Vistrel/Videos/"},
        RebaseCase{"", "/media/a/", "/media/b/", ""},
        RebaseCase{"/media/a/Videos/", "/media/a/", "", "/media/a/Videos/"},
        // A file directly in the prefix: its folder part is the prefix itself.
        RebaseCase{"/media/a/Kronel", "/media/a/", "/media/b/", "/media/b/Kronel"}));

TEST_F(ParameterListTest, APortableCopyMovedElsewhereFindsItsFolders) {
  const QString old = QStringLiteral("/media/oldstick/Vistrel/");
  writeFile({kHeader, "Video Directory=" + old + "Videos/", "Image Directory=" + old + "Images/",
             "Plugins Dir=" + old, "Kronel=" + old + "Kronel/kronel", "Video Racine=" + old + "x"});
  SetPortableSaveFolder(old);
  TparameterList list(kSignature);
  list.CreateSettings();
  const QString now = platform::programFolder();
  EXPECT_EQ(list.String(QStringLiteral("Video Directory")).Value, now + "Videos/");
  EXPECT_EQ(list.String(QStringLiteral("Image Directory")).Value, now + "Images/");
  EXPECT_EQ(list.String(QStringLiteral("Plugins Dir")).Value, now);
  EXPECT_EQ(list.String(QStringLiteral("Kronel")).Value, now + "Kronel/kronel");
  EXPECT_EQ(list.String(QStringLiteral("Video Racine")).Value, old + "x");  // not a folder setting

  TparameterList explicitPrefix(kSignature);
  explicitPrefix.CreateSettings(QStringLiteral("/elsewhere/"));
  EXPECT_EQ(explicitPrefix.String(QStringLiteral("Video Directory")).Value, old + "Videos/");
}

TEST(ChooseFolderDefault, FallsBackToPersonalThenTheRoot) {
  EXPECT_EQ(ChooseFolderDefault(QStringLiteral("/h/Videos"), QStringLiteral("/h/Documents")),
            QStringLiteral("/h/Videos/"));
  EXPECT_EQ(ChooseFolderDefault(QString(), QStringLiteral("/h/Documents")), QStringLiteral("/h/Documents/"));
  EXPECT_EQ(ChooseFolderDefault(QString(), QString()), QStringLiteral("/"));
}

TEST_F(ParameterListTest, KronelDefaultComesFromTheCompanionsKey) {
  const QString key = QStringLiteral("\\Software\\Orbano\\Kronel");
  ASSERT_TRUE(reg::createKey(reg::Hive::CurrentUser, key));
  ASSERT_TRUE(reg::setValue(reg::Hive::CurrentUser, key, QStringLiteral("ExeName"),
                            reg::stringValue(QStringLiteral("/opt/kronel/kronel"))));
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(list.String(QStringLiteral("Kronel")).Value, QStringLiteral("/opt/kronel/kronel"));
}

// ---------------------------------------------------------------------------------------------
// Damaged files

QByteArray utf16le(const QString& text) {
  QByteArray out("\xFF\xFE", 2);
  for (QChar c : text) out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
  return out;
}

struct DamagedCase {
  const char* name;
  QByteArray bytes;
  int volume;  // "Volume" after loading
};

class DamagedFileTest : public ParameterListTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedFileTest, LoadsAndIsRewrittenCorrectly) {
  const DamagedCase& c = GetParam();
  writeBytes(c.bytes);
  {
    TparameterList list(kSignature);
    list.CreateSettings();
    ASSERT_EQ(currentStoreMode(), spPortable) << c.name;
    EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, c.volume) << c.name;
    EXPECT_EQ(list.String(QStringLiteral("Sound Card Entry")).Value, QStringLiteral("Line In")) << c.name;
    list.Integer(QStringLiteral("Volume")).Value = 4321;
    list.String(QStringLiteral("Video Racine")).Value = QStringLiteral("Film");
    ASSERT_TRUE(list.SaveAll()) << c.name;
  }
  EXPECT_TRUE(fileBytes().startsWith("\xFF\xFE")) << c.name;
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, 4321) << c.name;
  EXPECT_EQ(list.String(QStringLiteral("Video Racine")).Value, QStringLiteral("Film")) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedFileTest,
    ::testing::Values(
        DamagedCase{"lone mark", QByteArray("\xFF\xFE", 2), 5000},
        DamagedCase{"truncated in a character",
                    utf16le(QStringLiteral("[\\Software\\Orbano\\Vistrel]\r\nVolume=12\r\nNotif")).chopped(1),
                    12},
        DamagedCase{"truncated in the header", utf16le(QStringLiteral("[\\Software\\Orb")), 5000},
        DamagedCase{
            "odd bytes",
            QByteArray("\x01\x02\xFF\x80\x00\x1B\r[\\Software\\Orbano\\Vistrel]\nVolume=13\n\xFE", 45), 13},
        DamagedCase{"lines without =",
                    QByteArray("[\\Software\\Orbano\\Vistrel]\nnonsense\n\nVolume\nVolume=14\n"), 14},
        DamagedCase{
            "duplicate sections and keys",
            QByteArray(
                "[\\Software\\Orbano\\Vistrel]\nVolume=15\nVolume=16\n[]\n[\\Software\\Orbano\\Vistrel]\n"
                "Volume=17\n"),
            15},
        DamagedCase{"big-endian file", QByteArray("\xFE\xFF\0[\0]\0\n\0V\0o\0l\0u\0m\0e\0=\0\x31", 24), 5000},
        DamagedCase{"UTF-8 with mark",
                    QByteArray("\xEF\xBB\xBF[\\Software\\Orbano\\Vistrel]\r\nVolume=18\r\n"), 18}));

TEST_F(ParameterListTest, FiftyMegabytesOfGarbageLoadAndAreRewritten) {
  QByteArray garbage(50 * 1024 * 1024, Qt::Uninitialized);
  std::mt19937 random(1234);
  auto* p = reinterpret_cast<uint32_t*>(garbage.data());
  for (qsizetype i = 0; i < garbage.size() / 4; ++i) p[i] = random();
  garbage.replace(0, 2, "ab");  // no byte-order mark by chance
  writeBytes(garbage);
  {
    TparameterList list(kSignature);
    list.CreateSettings();
    ASSERT_EQ(currentStoreMode(), spPortable);
    EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, 5000);
    list.Integer(QStringLiteral("Volume")).Value = 99;
    ASSERT_TRUE(list.SaveAll());
  }
  const QStringList lines = fileLines();
  EXPECT_GT(lines.size(), 100000);
  EXPECT_EQ(lines.count(kHeader), 1);
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, 99);
}

TEST_F(ParameterListTest, AnUnreadableIniFileGivesDefaultsAndIsLeftAlone) {
  ASSERT_TRUE(QDir().mkpath(parameterIniFile()));  // a folder where the file should be
  TparameterList list(kSignature);
  list.CreateSettings();
  EXPECT_EQ(currentStoreMode(), spPortable);
  EXPECT_EQ(list.Integer(QStringLiteral("Volume")).Value, 5000);
  EXPECT_FALSE(list.SaveAll());
  EXPECT_TRUE(QFileInfo(parameterIniFile()).isDir());
}

}  // namespace
}  // namespace vistrel::settings
