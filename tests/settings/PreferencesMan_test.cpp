#include "settings/PreferencesMan.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cstring>

#include "platform/registry/Registry.h"
#include "settings/IniDocument.h"
#include "settings/SettingsContext.h"
#include "settings/SettingsTestSupport.h"
#include "support/TempRoot.h"

namespace vistrel::settings {
namespace {

namespace reg = platform::registry;

const QString kKey = QStringLiteral("Software\\Orbano\\Vistrel");

class ComponentIniTest : public ::testing::Test {
 protected:
  void TearDown() override { setSettingsLocale(std::nullopt); }
  QString file() const { return parameterIniFile(); }
  void writeFile(const QStringList& lines) const {
    QFile f(file());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(encodeIniLines(lines));
  }
  QStringList fileLines() const {
    QFile f(file());
    return f.open(QIODevice::ReadOnly) ? decodeIniLines(f.readAll()) : QStringList();
  }
  testing::TempRoot root_;
};

TEST_F(ComponentIniTest, ANewFileStartsWithTheRootSectionAndIsWrittenOnRelease) {
  {
    TIniPreferencesMan store(file(), true);
    EXPECT_TRUE(store.WriteString(QStringLiteral("Version"), QStringLiteral("Vistrel de Orbano")));
    EXPECT_TRUE(store.WriteBoolean(QStringLiteral("Flag"), true));
    EXPECT_TRUE(store.WriteInteger(QStringLiteral("Count"), -12));
    EXPECT_FALSE(QFile::exists(file()));
  }
  EXPECT_EQ(fileLines(), (QStringList{"[]", "Version=Vistrel de Orbano", "Flag=True", "Count=-12"}));
}

TEST_F(ComponentIniTest, AFileWithoutTheRootSectionGainsAnEmptyLineAndIt) {
  writeFile({"[\\Software\\Orbano\\Vistrel]", "Volume=1"});
  {
    TIniPreferencesMan store(file(), true);
    EXPECT_TRUE(store.WriteString(QStringLiteral("Version"), QStringLiteral("v")));
  }
  EXPECT_EQ(fileLines(), (QStringList{"[\\Software\\Orbano\\Vistrel]", "Volume=1", "", "[]", "Version=v"}));
}

TEST_F(ComponentIniTest, WithoutCreateAMissingRootLeavesNoSection) {
  writeFile({"[other]", "a=1"});
  TIniPreferencesMan store(file(), false);
  QString value;
  EXPECT_FALSE(store.ReadString(QStringLiteral("a"), value));
  EXPECT_FALSE(store.WriteString(QStringLiteral("a"), QStringLiteral("2")));
}

TEST_F(ComponentIniTest, OpeningAMissingSubsectionWithoutCreateStaysAtTheRoot) {
  writeFile({"[]", "Version=v"});
  TIniPreferencesMan store(file(), true);
  EXPECT_FALSE(store.OpenSection(QStringLiteral("FormSave"), false));
  EXPECT_EQ(store.CurrentPath(), QString());
  QString value;
  EXPECT_TRUE(store.ReadString(QStringLiteral("Version"), value));
  EXPECT_EQ(value, QStringLiteral("v"));
}

TEST_F(ComponentIniTest, SubsectionsAreSeparatedByAnEmptyLineAndNested) {
  {
    TIniPreferencesMan store(file(), true);
    ASSERT_TRUE(store.OpenSection(QStringLiteral("FormSave"), true));
    EXPECT_EQ(store.CurrentPath(), QStringLiteral("FormSave"));
    store.WriteInteger(QStringLiteral("Left"), 1);
    ASSERT_TRUE(store.OpenSection(QStringLiteral("Inner"), true));
    EXPECT_EQ(store.CurrentPath(), QStringLiteral("FormSave\\Inner"));
    store.WriteInteger(QStringLiteral("Deep"), 2);
    EXPECT_TRUE(store.CloseSection());
    store.WriteInteger(QStringLiteral("Top"), 3);  // back in FormSave: goes to the end of its body
    EXPECT_TRUE(store.CloseSection());
    EXPECT_EQ(store.CurrentPath(), QString());
    store.WriteString(QStringLiteral("Version"), QStringLiteral("v"));
    QStringList names;
    EXPECT_TRUE(store.ListSubsectionNames(names));
    EXPECT_EQ(names, (QStringList{"FormSave", "FormSave\\Inner"}));
    ASSERT_TRUE(store.OpenSection(QStringLiteral("formsave"), false));  // case does not count
    EXPECT_TRUE(store.ListSubsectionNames(names));
    EXPECT_EQ(names, QStringList{"Inner"});
    EXPECT_TRUE(store.ListValueNames(names));
    EXPECT_EQ(names, (QStringList{"Left", "Top"}));
  }
  EXPECT_EQ(fileLines(), (QStringList{"[]", "Version=v", "", "[FormSave]", "Left=1", "Top=3", "",
                                      "[FormSave\\Inner]", "Deep=2"}));
}

TEST_F(ComponentIniTest, TheRootsSubsectionsLeaveOutTheParameterSection) {
  writeFile({"[]", "a=1", "", "[\\Software\\Orbano\\Vistrel]", "Volume=1", "", "[FormSave]", "Left=1"});
  TIniPreferencesMan store(file(), true);
  QStringList names;
  ASSERT_TRUE(store.ListSubsectionNames(names));
  EXPECT_EQ(names, QStringList{"FormSave"});
}

TEST_F(ComponentIniTest, TheBodyEndsAtAnEmptyLineOrAHeader) {
  writeFile({"[]", "a=1", "", "b=2", "[x]", "c=3"});
  TIniPreferencesMan store(file(), true);
  QString value;
  EXPECT_TRUE(store.ReadString(QStringLiteral("a"), value));
  EXPECT_FALSE(store.ReadString(QStringLiteral("b"), value));
  EXPECT_FALSE(store.ReadString(QStringLiteral("c"), value));
  EXPECT_TRUE(store.WriteString(QStringLiteral("d"), QStringLiteral("4")));
  QStringList names;
  store.ListValueNames(names);
  EXPECT_EQ(names, (QStringList{"a", "d"}));
}

TEST_F(ComponentIniTest, NamesMatchWithoutCaseAndReplaceInPlace) {
  writeFile({"[]", "version=old", "Other=1"});
  {
    TIniPreferencesMan store(file(), true);
    QString value;
    EXPECT_TRUE(store.ReadString(QStringLiteral("Version"), value));
    EXPECT_EQ(value, QStringLiteral("old"));
    EXPECT_TRUE(store.WriteString(QStringLiteral("VERSION"), QStringLiteral("new=x")));
    EXPECT_TRUE(store.DeleteValue(QStringLiteral("other")));
    EXPECT_FALSE(store.DeleteValue(QStringLiteral("other")));
  }
  EXPECT_EQ(fileLines(), (QStringList{"[]", "VERSION=new=x"}));
}

enum class Kind { Boolean, Integer, Real };

struct TypedReadCase {
  const char* name;
  QString line;  // in the root section; empty for none
  Kind kind;
  bool found;
  QString value;  // the out value afterwards, as text ("unchanged" for the untouched start value)
};

QString readTyped(TPreferencesMan& store, Kind kind, bool& found) {
  switch (kind) {
    case Kind::Boolean: {
      bool v = true;
      bool start = v;
      found = store.ReadBoolean(QStringLiteral("V"), v);
      if (!found && v == start) {
        v = false;  // try the other start value: an untouched value keeps it
        found = store.ReadBoolean(QStringLiteral("V"), v);
        if (!found && !v) return QStringLiteral("unchanged");
      }
      return v ? QStringLiteral("1") : QStringLiteral("0");
    }
    case Kind::Integer: {
      int32_t v = 12345;
      found = store.ReadInteger(QStringLiteral("V"), v);
      return v == 12345 ? QStringLiteral("unchanged") : QString::number(v);
    }
    case Kind::Real: {
      double v = 123.5;
      found = store.ReadReal(QStringLiteral("V"), v);
      return v == 123.5 ? QStringLiteral("unchanged") : QString::number(v);
    }
  }
  return {};
}

class IniTypedReadTest : public ComponentIniTest, public ::testing::WithParamInterface<TypedReadCase> {};

TEST_P(IniTypedReadTest, Reads) {
  const TypedReadCase& c = GetParam();
  setSettingsLocale(QLocale(QLocale::French, QLocale::France));
  QStringList lines = {"[]"};
  if (!c.line.isEmpty()) lines.append(c.line);
  writeFile(lines);
  TIniPreferencesMan store(file(), true);
  bool found = false;
  const QString value = readTyped(store, c.kind, found);
  EXPECT_EQ(found, c.found) << c.name;
  EXPECT_EQ(value, c.value) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniTypedReadTest,
    ::testing::Values(TypedReadCase{"True", "v=True", Kind::Boolean, true, "1"},
                      TypedReadCase{"False", "v=False", Kind::Boolean, true, "0"},
                      TypedReadCase{"lower-case true is not found", "v=true", Kind::Boolean, false,
                                    "unchanged"},
                      TypedReadCase{"1 is no boolean here", "v=1", Kind::Boolean, false, "unchanged"},
                      TypedReadCase{"blank before True", "v= True", Kind::Boolean, false, "unchanged"},
                      TypedReadCase{"missing boolean", "", Kind::Boolean, false, "unchanged"},
                      TypedReadCase{"integer", "v=42", Kind::Integer, true, "42"},
                      TypedReadCase{"no number reads 0 and found", "v=abc", Kind::Integer, true, "0"},
                      TypedReadCase{"empty reads 0 and found", "v=", Kind::Integer, true, "0"},
                      TypedReadCase{"missing integer", "", Kind::Integer, false, "unchanged"},
                      TypedReadCase{"real", "v=0,5", Kind::Real, true, "0.5"},
                      TypedReadCase{"no number real", "v=x", Kind::Real, true, "0"},
                      TypedReadCase{"missing real is 0.0", "", Kind::Real, false, "0"}));

TEST_F(ComponentIniTest, RealsUseTheLocaleSeparator) {
  setSettingsLocale(QLocale(QLocale::French, QLocale::France));
  {
    TIniPreferencesMan store(file(), true);
    store.WriteReal(QStringLiteral("r"), 2.5);
  }
  EXPECT_EQ(fileLines(), (QStringList{"[]", "r=2,5"}));
}

TEST_F(ComponentIniTest, LineBreaksInAValueStayOnItsLine) {
  {
    TIniPreferencesMan store(file(), true);
    store.WriteString(QStringLiteral("script"), QStringLiteral("begin\r\nend"));
    store.WriteString(QStringLiteral("after"), QStringLiteral("1"));
  }
  TIniPreferencesMan store(file(), true);
  QString value;
  ASSERT_TRUE(store.ReadString(QStringLiteral("script"), value));
  EXPECT_EQ(value, QStringLiteral("begin\r\nend"));
  ASSERT_TRUE(store.ReadString(QStringLiteral("after"), value));
  EXPECT_EQ(value, QStringLiteral("1"));
}

struct DamagedCase {
  const char* name;
  QByteArray bytes;
  QString version;  // "Version" read at the root before writing
};

class ComponentDamagedFileTest : public ComponentIniTest,
                                 public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(ComponentDamagedFileTest, LoadsAndIsRewrittenCorrectly) {
  const DamagedCase& c = GetParam();
  {
    QFile f(file());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.bytes);
  }
  {
    TIniPreferencesMan store(file(), true);
    QString version;
    store.ReadString(QStringLiteral("Version"), version);
    EXPECT_EQ(version, c.version) << c.name;
    EXPECT_TRUE(store.WriteString(QStringLiteral("Version"), QStringLiteral("new"))) << c.name;
    ASSERT_TRUE(store.OpenSection(QStringLiteral("FormSave"), true));
    EXPECT_TRUE(store.WriteInteger(QStringLiteral("Left"), 5));
  }
  TIniPreferencesMan store(file(), false);
  QString version;
  EXPECT_TRUE(store.ReadString(QStringLiteral("Version"), version)) << c.name;
  EXPECT_EQ(version, QStringLiteral("new")) << c.name;
  ASSERT_TRUE(store.OpenSection(QStringLiteral("FormSave"), false)) << c.name;
  int32_t left = 0;
  EXPECT_TRUE(store.ReadInteger(QStringLiteral("Left"), left));
  EXPECT_EQ(left, 5);
}

QByteArray garbage(qsizetype size) {
  QByteArray out(size, Qt::Uninitialized);
  uint32_t x = 12345;
  for (char& c : out) {
    x = x * 1103515245u + 12345u;
    c = char(x >> 24);
  }
  out[0] = 'g';
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ComponentDamagedFileTest,
    ::testing::Values(
        DamagedCase{"empty file", QByteArray(), QString()},
        DamagedCase{"lone mark", QByteArray("\xFF\xFE", 2), QString()},
        DamagedCase{"truncated", QByteArray("\xFF\xFE[\0]\0\r\0\n\0V\0e\0r\0s\0i\0o\0n\0=\0v\0\r", 29), "v"},
        DamagedCase{"duplicate roots and keys", QByteArray("[]\nVersion=a\nversion=b\n[]\nVersion=c\n"), "a"},
        DamagedCase{"lines without =", QByteArray("[]\nnothing here\nVersion=d\n"), "d"},
        DamagedCase{"garbage", garbage(1 << 20), QString()}));

TEST(NonePreferencesMan, KeepsNothing) {
  TNonePreferencesMan store;
  QString s = QStringLiteral("x");
  bool b = true;
  int32_t i = 3;
  double r = 1.5;
  QStringList names = {QStringLiteral("keep")};
  EXPECT_FALSE(store.WriteString(QStringLiteral("a"), QStringLiteral("b")));
  EXPECT_FALSE(store.ReadString(QStringLiteral("a"), s));
  EXPECT_FALSE(store.ReadBoolean(QStringLiteral("a"), b));
  EXPECT_FALSE(store.ReadInteger(QStringLiteral("a"), i));
  EXPECT_FALSE(store.ReadReal(QStringLiteral("a"), r));
  EXPECT_FALSE(store.OpenSection(QStringLiteral("a"), true));
  EXPECT_FALSE(store.ListValueNames(names));
  EXPECT_EQ(s, QStringLiteral("x"));
  EXPECT_TRUE(b);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(r, 1.5);
  EXPECT_EQ(names, QStringList{QStringLiteral("keep")});
}

class ComponentRegistryTest : public ::testing::Test {
 protected:
  std::optional<reg::Value> raw(const QString& path, const char* name) const {
    return reg::queryValue(reg::Hive::CurrentUser, path, QString::fromLatin1(name));
  }
  testing::TempRoot root_;
};

TEST_F(ComponentRegistryTest, StringsHaveTheOddByteCount) {
  TRegPreferencesMan store(kKey, true);
  ASSERT_TRUE(store.WriteString(QStringLiteral("Version"), QStringLiteral("abc")));
  ASSERT_TRUE(store.WriteString(QStringLiteral("Empty"), QString()));
  EXPECT_EQ(raw(kKey, "Version"), (reg::Value{reg::REG_SZ, QByteArray("a\0b\0c\0\0", 7)}));
  EXPECT_EQ(raw(kKey, "Empty"), (reg::Value{reg::REG_SZ, QByteArray("\0", 1)}));
  QString value = QStringLiteral("x");
  ASSERT_TRUE(store.ReadString(QStringLiteral("empty"), value));
  EXPECT_EQ(value, QString());
  ASSERT_TRUE(store.ReadString(QStringLiteral("VERSION"), value));
  EXPECT_EQ(value, QStringLiteral("abc"));
}

struct RegistryCase {
  const char* name;
  reg::Value stored;
  Kind kind;
  bool found;
  QString value;
};

class RegistryTypedReadTest : public ComponentRegistryTest,
                              public ::testing::WithParamInterface<RegistryCase> {};

TEST_P(RegistryTypedReadTest, Reads) {
  const RegistryCase& c = GetParam();
  TRegPreferencesMan store(kKey, true);
  ASSERT_TRUE(reg::setValue(reg::Hive::CurrentUser, kKey, QStringLiteral("V"), c.stored));
  bool found = false;
  const QString value = readTyped(store, c.kind, found);
  EXPECT_EQ(found, c.found) << c.name;
  EXPECT_EQ(value, c.value) << c.name;
}

QByteArray realBytes(double v) {
  QByteArray b(8, '\0');
  std::memcpy(b.data(), &v, 8);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegistryTypedReadTest,
    ::testing::Values(
        RegistryCase{"boolean 1", reg::dwordValue(1), Kind::Boolean, true, "1"},
        RegistryCase{"boolean 0", reg::dwordValue(0), Kind::Boolean, true, "0"},
        RegistryCase{"boolean 2 is not found", reg::dwordValue(2), Kind::Boolean, false, "unchanged"},
        RegistryCase{"integer", reg::dwordValue(uint32_t(-5)), Kind::Integer, true, "-5"},
        RegistryCase{"integer of another type, 4 bytes",
                     {reg::REG_BINARY, QByteArray("\x07\0\0\0", 4)},
                     Kind::Integer,
                     true,
                     "7"},
        RegistryCase{"integer of 2 bytes is not found",
                     {reg::REG_DWORD, QByteArray("\x07\0", 2)},
                     Kind::Integer,
                     false,
                     "unchanged"},
        RegistryCase{"real", {reg::REG_BINARY, realBytes(0.25)}, Kind::Real, true, "0.25"},
        RegistryCase{"real of 4 bytes is not found", reg::dwordValue(1), Kind::Real, false, "unchanged"}));

TEST_F(ComponentRegistryTest, SectionsAreSubkeys) {
  TRegPreferencesMan store(kKey, true);
  EXPECT_FALSE(store.OpenSection(QStringLiteral("FormSave"), false));
  EXPECT_EQ(store.CurrentPath(), QString());
  ASSERT_TRUE(store.OpenSection(QStringLiteral("FormSave"), true));
  ASSERT_TRUE(store.WriteInteger(QStringLiteral("Left"), 10));
  ASSERT_TRUE(store.WriteInteger(QStringLiteral("Top"), 20));
  EXPECT_EQ(raw(kKey + QStringLiteral("\\FormSave"), "Left"), reg::dwordValue(10));
  QStringList names;
  ASSERT_TRUE(store.ListValueNames(names));
  EXPECT_EQ(names, (QStringList{"Left", "Top"}));
  EXPECT_TRUE(store.CloseSection());
  EXPECT_EQ(store.CurrentPath(), QString());
  ASSERT_TRUE(store.ListSubsectionNames(names));
  EXPECT_EQ(names, QStringList{"FormSave"});
  EXPECT_TRUE(store.WriteReal(QStringLiteral("r"), 0.5));
  EXPECT_EQ(raw(kKey, "r"), (reg::Value{reg::REG_BINARY, realBytes(0.5)}));
  EXPECT_TRUE(store.DeleteValue(QStringLiteral("R")));
  EXPECT_FALSE(raw(kKey, "r").has_value());
}

TEST_F(ComponentRegistryTest, WithoutCreateAMissingKeyKeepsNothing) {
  TRegPreferencesMan store(kKey, false);
  EXPECT_FALSE(store.WriteString(QStringLiteral("a"), QStringLiteral("b")));
  EXPECT_FALSE(reg::keyExists(reg::Hive::CurrentUser, kKey));
}

}  // namespace
}  // namespace vistrel::settings
