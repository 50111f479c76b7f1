#include "settings/ParameterStore.h"

#include <gtest/gtest.h>

#include <QFile>

#include "platform/registry/Registry.h"
#include "settings/IniDocument.h"
#include "settings/PreferencesMan.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsTestSupport.h"
#include "support/TempRoot.h"

namespace vistrel::settings {
namespace {

namespace reg = platform::registry;

const QString kHeader = QStringLiteral("[\\Software\\Orbano\\Vistrel]");

class ParameterStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { setSettingsLocale(QLocale(QLocale::German, QLocale::Germany)); }
  void TearDown() override { setSettingsLocale(std::nullopt); }

  void writeFile(const QStringList& lines) const { writeBytes(encodeIniLines(lines)); }
  void writeBytes(const QByteArray& bytes) const {
    QFile f(parameterIniFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  QByteArray fileBytes() const {
    QFile f(parameterIniFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QStringList fileLines() const { return decodeIniLines(fileBytes()); }

  testing::TempRoot root_;
};

QByteArray utf16(const char* text) {
  QByteArray out;
  for (QChar c : QString::fromUtf8(text)) out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
  return out;
}

TEST_F(ParameterStoreTest, AnEmptyFileReceivingVolumeHoldsTheHeaderAndTheKey) {
  writeBytes(QByteArray());
  { TWritePreferences(kStorePath, spPortable).WriteInteger(QStringLiteral("Volume"), 5000); }
  const QByteArray expected =
      QByteArray("\xFF\xFE", 2) + utf16("[\\Software\\Orbano\\Vistrel]\r\nVolume=5000\r\n");
  EXPECT_EQ(fileBytes(), expected);

  { TWritePreferences(kStorePath, spPortable).WriteInteger(QStringLiteral("Volume"), 7); }
  EXPECT_EQ(fileLines(), (QStringList{kHeader, QStringLiteral("Volume=7")}));
}

TEST_F(ParameterStoreTest, AMissingFileIsCreatedOnRelease) {
  ASSERT_FALSE(QFile::exists(parameterIniFile()));
  TWritePreferences writer(kStorePath, spPortable);
  writer.WriteInteger(QStringLiteral("Volume"), 5000);
  EXPECT_FALSE(QFile::exists(parameterIniFile()));  // nothing is written before the commit
  EXPECT_TRUE(writer.Release());
  EXPECT_EQ(fileLines(), (QStringList{kHeader, QStringLiteral("Volume=5000")}));
}

struct InsertCase {
  const char* name;
  QStringList before;
  QString key;
  QString value;
  QStringList after;
};

class InsertTest : public ParameterStoreTest, public ::testing::WithParamInterface<InsertCase> {};

TEST_P(InsertTest, PlacesTheLine) {
  const InsertCase& c = GetParam();
  writeFile(c.before);
  { TWritePreferences(kStorePath, spPortable).WriteString(c.key, c.value); }
  EXPECT_EQ(fileLines(), c.after) << c.name;
}

const QString V = QStringLiteral("Volume");

INSTANTIATE_TEST_SUITE_P(
    Table, InsertTest,
    ::testing::Values(InsertCase{"new key goes before the next header, after its empty line",
                                 {kHeader, "Volume=1", "", "[]", "Version=x"},
                                 "Notifier",
                                 "1",
                                 {kHeader, "Volume=1", "", "Notifier=1", "[]", "Version=x"}},
                      InsertCase{"header as last line: appended",
                                 {"[]", "Version=x", kHeader},
                                 "Notifier",
                                 "1",
                                 {"[]", "Version=x", kHeader, "Notifier=1"}},
                      InsertCase{"no section yet: header without empty line, then the key",
                                 {"[]", "Version=x"},
                                 "Notifier",
                                 "1",
                                 {"[]", "Version=x", kHeader, "Notifier=1"}},
                      InsertCase{"existing key replaced in place",
                                 {kHeader, "Volume=1", "Notifier=0"},
                                 V,
                                 "9",
                                 {kHeader, "Volume=9", "Notifier=0"}},
                      InsertCase{"a header with blanks around it is the section",
                                 {"  " + kHeader + "\t", "Volume=1"},
                                 "Notifier",
                                 "1",
                                 {"  " + kHeader + "\t", "Volume=1", "Notifier=1"}},
                      InsertCase{"case counts: volume is another key",
                                 {kHeader, "volume=1"},
                                 V,
                                 "2",
                                 {kHeader, "volume=1", "Volume=2"}},
                      InsertCase{"a leading blank makes another key",
                                 {kHeader, " Volume=1"},
                                 V,
                                 "2",
                                 {kHeader, " Volume=1", "Volume=2"}},
                      InsertCase{"keys outside the section are not the entry",
                                 {"Volume=1", "[other]", "Volume=1", kHeader},
                                 V,
                                 "2",
                                 {"Volume=1", "[other]", "Volume=1", kHeader, "Volume=2"}},
                      InsertCase{"duplicate sections: the first entry is replaced, in whichever copy",
                                 {kHeader, "A=1", "[]", kHeader, "Volume=1", "Volume=3"},
                                 V,
                                 "2",
                                 {kHeader, "A=1", "[]", kHeader, "Volume=2", "Volume=3"}},
                      InsertCase{"duplicate sections: a new key goes to the first copy",
                                 {kHeader, "A=1", "[]", kHeader, "B=1"},
                                 V,
                                 "2",
                                 {kHeader, "A=1", "Volume=2", "[]", kHeader, "B=1"}},
                      InsertCase{"a line holding only the key name is no entry",
                                 {kHeader, "Volume"},
                                 V,
                                 "2",
                                 {kHeader, "Volume", "Volume=2"}},
                      InsertCase{"empty string written as the marker",
                                 {kHeader},
                                 "Audio Type",
                                 "",
                                 {kHeader, QStringLiteral("Audio Type=#@vide\u00A7#")}},
                      InsertCase{"line breaks in a value stay on its line",
                                 {kHeader},
                                 "Sources Exclues",
                                 "cam 1\r\ncam 2\r\n",
                                 {kHeader,
                                  "Sources Exclues=cam 1" + kLineBreakMarker + "cam 2" + kLineBreakMarker}}));

enum class Kind { Boolean, Integer, Real, String };

struct ReadCase {
  const char* name;
  QString line;  // placed in the section; empty for none
  Kind kind;
  QString key;
  QString defaultText;  // default value, as text
  QString expected;     // value read, as text
};

class ReadTest : public ParameterStoreTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadTest, ReadsTheValue) {
  const ReadCase& c = GetParam();
  QStringList lines = {QStringLiteral("Volume=1"), QStringLiteral("[]"), QStringLiteral("Notifier=0"),
                       kHeader};
  if (!c.line.isEmpty()) lines.append(c.line);
  lines.append(QStringLiteral("[next]"));
  writeFile(lines);
  TReadPreferences r(kStorePath, spPortable);
  QString got;
  switch (c.kind) {
    case Kind::Boolean: got = r.ReadBoolean(c.key, c.defaultText == "1") ? "1" : "0"; break;
    case Kind::Integer: got = QString::number(r.ReadInteger(c.key, c.defaultText.toInt())); break;
    case Kind::Real: got = QString::number(r.ReadReal(c.key, c.defaultText.toDouble())); break;
    case Kind::String: got = r.ReadString(c.key, c.defaultText); break;
  }
  EXPECT_EQ(got, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadTest,
    ::testing::Values(
        ReadCase{"empty boolean is true", "Notifier=", Kind::Boolean, "Notifier", "0", "1"},
        ReadCase{"0 is false", "Notifier=0", Kind::Boolean, "Notifier", "1", "0"},
        ReadCase{"0 with blanks is false", "Notifier= 0 ", Kind::Boolean, "Notifier", "1", "0"},
        ReadCase{"other text is true", "Notifier=non", Kind::Boolean, "Notifier", "0", "1"},
        ReadCase{"missing boolean: default", "", Kind::Boolean, "Notifier", "1", "1"},
        ReadCase{"missing boolean: default false", "", Kind::Boolean, "Notifier", "0", "0"},
        ReadCase{"integer", "Volume= 42 ", Kind::Integer, "Volume", "5000", "42"},
        ReadCase{"no number is 0, not the default", "Volume=abc", Kind::Integer, "Volume", "5000", "0"},
        ReadCase{"empty integer is 0", "Volume=", Kind::Integer, "Volume", "5000", "0"},
        ReadCase{"out of range is 0", "Volume=4294967296", Kind::Integer, "Volume", "5", "0"},
        ReadCase{"missing integer: default", "", Kind::Integer, "Volume", "5000", "5000"},
        ReadCase{"lower-case name not found", "volume=3", Kind::Integer, "Volume", "5000", "5000"},
        ReadCase{"leading blank not found", " Volume=3", Kind::Integer, "Volume", "5000", "5000"},
        ReadCase{"real under a comma locale", "Framerate=12,5", Kind::Real, "Framerate", "18", "12.5"},
        ReadCase{"point under a comma locale is 0", "Framerate=12.5", Kind::Real, "Framerate", "18", "0"},
        ReadCase{"missing real: default", "", Kind::Real, "Framerate", "18", "18"},
        ReadCase{"string untrimmed", "Source video= cam ", Kind::String, "Source video", "N/A", " cam "},
        ReadCase{"a value may hold =", "Source video=a=b", Kind::String, "Source video", "N/A", "a=b"},
        ReadCase{"empty string stays empty", "Source video=", Kind::String, "Source video", "N/A", ""},
        ReadCase{"the marker reads as empty", QStringLiteral("Video Racine=#@vide\u00A7#"), Kind::String,
                 "Video Racine", "Video", ""},
        ReadCase{"the line break marker reads as CR LF", "Sources Exclues=a" + kLineBreakMarker + "b",
                 Kind::String, "Sources Exclues", "", "a\r\nb"},
        ReadCase{"missing string: default", "", Kind::String, "Source video", "N/A", "N/A"}));

TEST_F(ParameterStoreTest, ARealWrittenUnderACommaReadsAsZeroUnderAPoint) {
  { TWritePreferences(kStorePath, spPortable).WriteReal(QStringLiteral("Framerate"), 0.5); }
  EXPECT_EQ(fileLines().last(), QStringLiteral("Framerate=0,5"));
  setSettingsLocale(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(TReadPreferences(kStorePath, spPortable).ReadReal(QStringLiteral("Framerate"), 18.0), 0.0);
}

TEST_F(ParameterStoreTest, ReaderNeedsTheFileInIniMode) {
  EXPECT_THROW(TReadPreferences(kStorePath, spPortable), std::runtime_error);
  EXPECT_FALSE(QFile::exists(parameterIniFile()));
}

TEST_F(ParameterStoreTest, NoneModeKeepsNothing) {
  writeFile({kHeader, QStringLiteral("Volume=1")});
  TReadPreferences r(kStorePath, spNone);
  EXPECT_EQ(r.ReadInteger(QStringLiteral("Volume"), 5000), 5000);
  { TWritePreferences(kStorePath, spNone).WriteInteger(QStringLiteral("Volume"), 3); }
  EXPECT_EQ(fileLines(), (QStringList{kHeader, QStringLiteral("Volume=1")}));
  EXPECT_FALSE(reg::keyExists(reg::Hive::CurrentUser, kStorePath));
}

TincrustRec sampleRecord() {
  TincrustRec r;
  r.Incrust1 = QStringLiteral("Vacances %d");
  r.Incrust2 = QStringLiteral("ligne 2");
  r.FormatDate1 = QStringLiteral("dd/mm/yyyy");
  r.FormatDate2 = QStringLiteral("hh:nn");
  r.DecalageHoraire = -0.125;  // exact in 15 digits, so it reads back equal
  r.FontRec.FontName = QStringLiteral("Liberation Sans");
  r.FontRec.FontSize = 30;
  r.FontRec.FontColor = 0x00FF00;
  r.FontRec.FontBold = 1;
  r.FontRec.FontStrikeOut = 1;
  r.Autofontsize = 0;
  r.BorderSize = 3;
  r.WhatIncrust = 3;
  r.Alignement = 1;
  r.BorderColor = 0x123456;
  r.Xpos = 100;
  r.Ypos = 200;
  return r;
}

class RecordTest : public ParameterStoreTest, public ::testing::WithParamInterface<TSavePreferences> {};

TEST_P(RecordTest, RoundTrips) {
  const TincrustRec r = sampleRecord();
  { TWritePreferences(kStorePath, GetParam()).WriteIncrustRec(QStringLiteral("IncrustRec"), r); }
  EXPECT_EQ(TReadPreferences(kStorePath, GetParam())
                .ReadIncrustRec(QStringLiteral("IncrustRec"), defaultIncrustRec()),
            r);
}

TEST_P(RecordTest, AnEmptyStringFieldSurvivesRepeatedSaves) {
  TincrustRec r = defaultIncrustRec();
  r.FormatDate1.clear();
  for (int save = 0; save < 3; ++save) {
    { TWritePreferences(kStorePath, GetParam()).WriteIncrustRec(QStringLiteral("IncrustRec"), r); }
    EXPECT_EQ(TReadPreferences(kStorePath, GetParam())
                  .ReadIncrustRec(QStringLiteral("IncrustRec"), defaultIncrustRec())
                  .FormatDate1,
              QString())
        << "after save " << save + 1;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, RecordTest, ::testing::Values(spRegistre, spPortable));

TEST_F(ParameterStoreTest, RecordKeysInTheIniFile) {
  { TWritePreferences(kStorePath, spPortable).WriteIncrustRec(QStringLiteral("IncrustRec"), sampleRecord()); }
  const QStringList expected = {kHeader,
                                "IncrustRec\\Incrust1=Vacances %d",
                                "IncrustRec\\Incrust2=ligne 2",
                                "IncrustRec\\FormatDate1=dd/mm/yyyy",
                                "IncrustRec\\FormatDate2=hh:nn",
                                "IncrustRec\\Decalage Horaire=-0,125",
                                "IncrustRec\\FontRec\\FontName=Liberation Sans",
                                "IncrustRec\\FontRec\\FontSize=30",
                                "IncrustRec\\FontRec\\FontColor=65280",
                                "IncrustRec\\FontRec\\FontBold=1",
                                "IncrustRec\\FontRec\\FontItalic=0",
                                "IncrustRec\\FontRec\\FontUnderline=0",
                                "IncrustRec\\FontRec\\FontStrikeOut=1",
                                "IncrustRec\\Autofontsize=0",
                                "IncrustRec\\BorderSize=3",
                                "IncrustRec\\What Incrust=3",
                                "IncrustRec\\Alignement=1",
                                "IncrustRec\\BorderColor=1193046",
                                "IncrustRec\\Xpos=100",
                                "IncrustRec\\Ypos=200"};
  EXPECT_EQ(fileLines(), expected);
}

TEST_F(ParameterStoreTest, RecordBytesKeepTheLow8Bits) {
  writeFile({kHeader, "IncrustRec\\What Incrust=300", "IncrustRec\\Alignement=-1"});
  const TincrustRec r = TReadPreferences(kStorePath, spPortable)
                            .ReadIncrustRec(QStringLiteral("IncrustRec"), defaultIncrustRec());
  EXPECT_EQ(r.WhatIncrust, 44);
  EXPECT_EQ(r.Alignement, 255);
  EXPECT_EQ(r.FormatDate1, QStringLiteral("ddddd"));  // missing fields take the default's
}

TEST_F(ParameterStoreTest, RegistryRecordWithoutItsSubkeysGivesTheDefaults) {
  TincrustRec d = sampleRecord();
  EXPECT_EQ(TReadPreferences(kStorePath, spRegistre).ReadIncrustRec(QStringLiteral("IncrustRec"), d), d);
  const QString record = kStorePath + QStringLiteral("\\IncrustRec");
  ASSERT_TRUE(reg::createKey(reg::Hive::CurrentUser, record));
  ASSERT_TRUE(reg::setValue(reg::Hive::CurrentUser, record, QStringLiteral("Xpos"), reg::dwordValue(5)));
  const TincrustRec r =
      TReadPreferences(kStorePath, spRegistre).ReadIncrustRec(QStringLiteral("IncrustRec"), d);
  EXPECT_EQ(r.Xpos, 5);
  EXPECT_EQ(r.Ypos, d.Ypos);
  EXPECT_EQ(r.FontRec, d.FontRec);
}

TEST_F(ParameterStoreTest, RegistryLayout) {
  {
    TWritePreferences w(kStorePath, spRegistre);
    w.WriteInteger(QStringLiteral("Volume"), -3);
    w.WriteBoolean(QStringLiteral("Notifier"), true);
    w.WriteReal(QStringLiteral("Framerate"), 0.5);
    w.WriteString(QStringLiteral("Source video"), QStringLiteral("cam"));
    w.WriteString(QStringLiteral("Audio Type"), QString());
    w.WriteIncrustRec(QStringLiteral("IncrustRec"), defaultIncrustRec());
  }
  const auto value = [](const QString& path, const char* name) {
    return reg::queryValue(reg::Hive::CurrentUser, path, QString::fromLatin1(name)).value_or(reg::Value{});
  };
  EXPECT_EQ(value(kStorePath, "Volume"), (reg::Value{reg::REG_DWORD, QByteArray("\xFD\xFF\xFF\xFF", 4)}));
  EXPECT_EQ(value(kStorePath, "Notifier"), (reg::Value{reg::REG_DWORD, QByteArray("\x01\0\0\0", 4)}));
  EXPECT_EQ(value(kStorePath, "Framerate"),
            (reg::Value{reg::REG_BINARY, QByteArray("\0\0\0\0\0\0\xE0\x3F", 8)}));
  EXPECT_EQ(value(kStorePath, "Source video"), (reg::Value{reg::REG_SZ, QByteArray("c\0a\0m\0\0\0", 8)}));
  EXPECT_EQ(value(kStorePath, "Audio Type"), reg::stringValue(kEmptyMarker));
  const QString record = kStorePath + QStringLiteral("\\IncrustRec");
  EXPECT_EQ(value(record, "Incrust1"), (reg::Value{reg::REG_SZ, QByteArray("\0\0", 2)}));
  EXPECT_EQ(value(record, "Ypos"), reg::dwordValue(914));
  EXPECT_EQ(value(record + QStringLiteral("\\FontRec"), "FontName"),
            reg::stringValue(QStringLiteral("Arial")));
  EXPECT_EQ(reg::subkeyNames(reg::Hive::CurrentUser, kStorePath), QStringList{QStringLiteral("IncrustRec")});
}

struct RegistryReadCase {
  const char* name;
  reg::Value stored;
  Kind kind;
  QString expected;
};

class RegistryReadTest : public ParameterStoreTest, public ::testing::WithParamInterface<RegistryReadCase> {};

TEST_P(RegistryReadTest, ValuesOfTheWrongShapeGiveTheDefault) {
  const RegistryReadCase& c = GetParam();
  ASSERT_TRUE(reg::createKey(reg::Hive::CurrentUser, kStorePath));
  ASSERT_TRUE(reg::setValue(reg::Hive::CurrentUser, kStorePath, QStringLiteral("v"), c.stored));
  TReadPreferences r(kStorePath, spRegistre);
  QString got;
  switch (c.kind) {
    case Kind::Boolean: got = r.ReadBoolean(QStringLiteral("V"), false) ? "1" : "0"; break;
    case Kind::Integer: got = QString::number(r.ReadInteger(QStringLiteral("V"), 77)); break;
    case Kind::Real: got = QString::number(r.ReadReal(QStringLiteral("V"), 1.5)); break;
    case Kind::String: got = r.ReadString(QStringLiteral("V"), QStringLiteral("def")); break;
  }
  EXPECT_EQ(got, c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegistryReadTest,
    ::testing::Values(
        RegistryReadCase{"dword integer", reg::dwordValue(5), Kind::Integer, "5"},
        RegistryReadCase{"string is no integer", reg::stringValue("5"), Kind::Integer, "77"},
        RegistryReadCase{"short dword", {reg::REG_DWORD, QByteArray("\1\0", 2)}, Kind::Integer, "77"},
        RegistryReadCase{"non-zero dword is true", reg::dwordValue(7), Kind::Boolean, "1"},
        RegistryReadCase{"zero dword is false", reg::dwordValue(0), Kind::Boolean, "0"},
        RegistryReadCase{
            "binary is no boolean", {reg::REG_BINARY, QByteArray("\1\0\0\0", 4)}, Kind::Boolean, "0"},
        RegistryReadCase{
            "4-byte binary is no real", {reg::REG_BINARY, QByteArray("\0\0\0\0", 4)}, Kind::Real, "1.5"},
        RegistryReadCase{"dword is no real", reg::dwordValue(1), Kind::Real, "1.5"},
        RegistryReadCase{"standard string", reg::stringValue("abc", 2), Kind::String, "abc"},
        RegistryReadCase{"component string, one byte short", reg::stringValue("abc", 1), Kind::String, "abc"},
        RegistryReadCase{"expandable string read as stored",
                         reg::stringValue("%HOME%", 2, reg::REG_EXPAND_SZ), Kind::String, "%HOME%"},
        RegistryReadCase{"dword is no string", reg::dwordValue(1), Kind::String, "def"},
        RegistryReadCase{"marker is empty", reg::stringValue(QStringLiteral("#@vide\u00A7#")), Kind::String,
                         ""}));

TEST_F(ParameterStoreTest, BothStringByteCountsReadBackWholeThroughBothFamilies) {
  const QString text = QStringLiteral("Périphérique vidéo");
  { TWritePreferences(kStorePath, spRegistre).WriteString(QStringLiteral("Standard"), text); }
  {
    TRegPreferencesMan component(QStringLiteral("Software\\Orbano\\Vistrel"), true);
    ASSERT_TRUE(component.WriteString(QStringLiteral("Component"), text));
  }
  const auto size = [](const char* name) {
    return reg::queryValue(reg::Hive::CurrentUser, kStorePath, QString::fromLatin1(name))->data.size();
  };
  EXPECT_EQ(size("Standard"), 2 * text.size() + 2);
  EXPECT_EQ(size("Component"), 2 * text.size() + 1);

  TReadPreferences r(kStorePath, spRegistre);
  EXPECT_EQ(r.ReadString(QStringLiteral("Standard"), {}), text);
  EXPECT_EQ(r.ReadString(QStringLiteral("Component"), {}), text);
  TRegPreferencesMan component(QStringLiteral("Software\\Orbano\\Vistrel"), false);
  QString a, b;
  ASSERT_TRUE(component.ReadString(QStringLiteral("Standard"), a));
  ASSERT_TRUE(component.ReadString(QStringLiteral("Component"), b));
  EXPECT_EQ(a, text);
  EXPECT_EQ(b, text);
}

}  // namespace
}  // namespace vistrel::settings
