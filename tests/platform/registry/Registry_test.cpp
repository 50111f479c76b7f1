#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "platform/Environment.h"
#include "platform/registry/HiveFile.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::registry;

namespace {

const QString kKey = QStringLiteral("\\Software\\Orbano\\Vistrel");

QString hivePath() { return configFolder() + QStringLiteral("/vistrel/hkcu.hive"); }

class RegistryTest : public ::testing::Test {
 protected:
  vistrel::testing::TempRoot root;
};

TEST_F(RegistryTest, EveryTypeRoundTripsWithItsExactBytes) {
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey));
  struct Case {
    const char* name;
    Value value;
  };
  const Case cases[] = {
      {"standard string", stringValue(QStringLiteral("Caméra"), 2)},  // 2n+2
      {"short string", stringValue(QStringLiteral("Caméra"), 1)},     // 2n+1
      {"one byte string", stringValue(QString(), 1)},                 // the empty form of 2n+1
      {"expand", stringValue(QStringLiteral("$HOME/x"), 2, REG_EXPAND_SZ)},
      {"dword", dwordValue(0xDEADBEEF)},
      {"binary", Value{REG_BINARY, QByteArray::fromHex("000102ff7f80")}},
      {"empty binary", Value{REG_BINARY, QByteArray()}},
      {"", dwordValue(7)},  // the key's default value
  };
  for (const Case& c : cases)
    ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QString::fromUtf8(c.name), c.value));
  resetForTests();  // forget the cache: read back from the file
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto read = queryValue(Hive::CurrentUser, kKey, QString::fromUtf8(c.name));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->type, c.value.type);
    EXPECT_EQ(read->data, c.value.data);
  }
  EXPECT_EQ(queryValue(Hive::CurrentUser, kKey, QStringLiteral("short string"))->data.size(), 13);
  EXPECT_EQ(decodeString(queryValue(Hive::CurrentUser, kKey, QStringLiteral("short string"))->data),
            QStringLiteral("Caméra"));
}

TEST_F(RegistryTest, PathsAndNamesIgnoreCaseAndTheLeadingBackslash) {
  ASSERT_TRUE(createKey(Hive::CurrentUser, QStringLiteral("Software\\Orbano\\Vistrel")));
  ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QStringLiteral("Volume"), dwordValue(5)));
  EXPECT_TRUE(keyExists(Hive::CurrentUser, QStringLiteral("\\software\\ORBANO\\vistrel")));
  EXPECT_EQ(
      decodeDword(*queryValue(Hive::CurrentUser, QStringLiteral("SOFTWARE\\orbano\\VISTREL"), "volume")), 5u);
  // Replacing under another case keeps one value with the name it was created with.
  ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QStringLiteral("VOLUME"), dwordValue(6)));
  EXPECT_EQ(valueNames(Hive::CurrentUser, kKey), QStringList{QStringLiteral("Volume")});
  EXPECT_FALSE(keyExists(Hive::CurrentUser, QStringLiteral("Software\\Orbano\\Kronel")));
}

TEST_F(RegistryTest, SettingAValueNeedsAnExistingKey) {
  EXPECT_FALSE(setValue(Hive::CurrentUser, kKey, QStringLiteral("Volume"), dwordValue(1)));
  EXPECT_FALSE(keyExists(Hive::CurrentUser, kKey));
  EXPECT_FALSE(queryValue(Hive::CurrentUser, kKey, QStringLiteral("Volume")).has_value());
}

TEST_F(RegistryTest, DeleteKeyRemovesEverythingBelowIt) {
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey + QStringLiteral("\\IncrustRec\\FontRec")));
  ASSERT_TRUE(createKey(Hive::CurrentUser, QStringLiteral("Software\\Orbano\\Kronel")));
  setValue(Hive::CurrentUser, kKey + QStringLiteral("\\IncrustRec\\FontRec"), QStringLiteral("FontSize"),
           dwordValue(12));
  EXPECT_EQ(subkeyNames(Hive::CurrentUser, QStringLiteral("Software\\Orbano")),
            (QStringList{QStringLiteral("Kronel"), QStringLiteral("Vistrel")}));
  EXPECT_TRUE(deleteKey(Hive::CurrentUser, kKey));
  EXPECT_FALSE(keyExists(Hive::CurrentUser, kKey + QStringLiteral("\\IncrustRec\\FontRec")));
  EXPECT_FALSE(keyExists(Hive::CurrentUser, kKey));
  EXPECT_TRUE(keyExists(Hive::CurrentUser, QStringLiteral("Software\\Orbano\\Kronel")));
  EXPECT_FALSE(deleteKey(Hive::CurrentUser, kKey));
  // Recreating the key finds nothing of the old values.
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey + QStringLiteral("\\IncrustRec\\FontRec")));
  EXPECT_TRUE(valueNames(Hive::CurrentUser, kKey + QStringLiteral("\\IncrustRec\\FontRec")).isEmpty());
}

TEST_F(RegistryTest, DeleteValueAndEnumerationOrder) {
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey));
  for (const char* name : {"b", "a", "c"})
    setValue(Hive::CurrentUser, kKey, QString::fromUtf8(name), dwordValue(1));
  EXPECT_EQ(valueNames(Hive::CurrentUser, kKey), (QStringList{"b", "a", "c"}));
  EXPECT_TRUE(deleteValue(Hive::CurrentUser, kKey, QStringLiteral("A")));
  EXPECT_FALSE(deleteValue(Hive::CurrentUser, kKey, QStringLiteral("a")));
  EXPECT_EQ(valueNames(Hive::CurrentUser, kKey), (QStringList{"b", "c"}));
}

TEST_F(RegistryTest, LocalMachineAnswersTheMediaFrameworkVersionAndIsReadOnly) {
  const auto version =
      queryValue(Hive::LocalMachine, QStringLiteral("\\Software\\Microsoft\\DirectX"), "version");
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(version->type, REG_SZ);
  EXPECT_EQ(decodeString(version->data), QStringLiteral("4.09.00.0904"));
  EXPECT_FALSE(createKey(Hive::LocalMachine, QStringLiteral("Software\\Other")));
  EXPECT_FALSE(
      setValue(Hive::LocalMachine, QStringLiteral("Software\\Microsoft\\DirectX"), "version", dwordValue(1)));
}

TEST_F(RegistryTest, LocalMachineComesFromTheRootFileWhenThereIsOne) {
  root.write(QStringLiteral("hklm.ini"),
             "[Software\\Microsoft\\DirectX]\nversion=4.08.01.0881\n[Software\\Empty]\n");
  resetForTests();
  const auto version =
      queryValue(Hive::LocalMachine, QStringLiteral("Software\\Microsoft\\DirectX"), "VERSION");
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(decodeString(version->data), QStringLiteral("4.08.01.0881"));
  EXPECT_TRUE(keyExists(Hive::LocalMachine, QStringLiteral("Software\\Empty")));

  root.write(QStringLiteral("hklm.ini"), "[Software\\Other]\n");
  resetForTests();
  EXPECT_FALSE(keyExists(Hive::LocalMachine, QStringLiteral("Software\\Microsoft\\DirectX")));
}

TEST_F(RegistryTest, ShellFoldersAreTheUserFolders) {
  const QString key =
      QStringLiteral("\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  const std::pair<const char*, UserFolder> cases[] = {{"My Video", UserFolder::Videos},
                                                      {"My Pictures", UserFolder::Pictures},
                                                      {"Personal", UserFolder::Documents}};
  for (const auto& [name, folder] : cases) {
    const auto value = queryValue(Hive::CurrentUser, key, QString::fromUtf8(name));
    ASSERT_TRUE(value.has_value()) << name;
    EXPECT_EQ(decodeString(value->data), userFolder(folder));
    EXPECT_TRUE(userFolder(folder).startsWith(root.path()));
    EXPECT_TRUE(QDir(userFolder(folder)).exists());
  }
}

TEST_F(RegistryTest, ClassesRootIsAWritableHiveOfItsOwn) {
  ASSERT_TRUE(createKey(Hive::ClassesRoot, QStringLiteral("CLSID\\{1}")));
  EXPECT_FALSE(keyExists(Hive::CurrentUser, QStringLiteral("CLSID\\{1}")));
  resetForTests();
  EXPECT_TRUE(keyExists(Hive::ClassesRoot, QStringLiteral("clsid\\{1}")));
}

TEST_F(RegistryTest, ADamagedHiveIsKeptAsideAndAnEmptyOneUsed) {
  const QByteArray damaged[] = {
      "garbage\x01\x02",
      "VISTREL-HIVE 1\nK Software\nV a 4 0100",  // truncated: no END line
      "VISTREL-HIVE 1\nK Software\nEND 5\n",     // wrong record count
      "VISTREL-HIVE 1\nK Software\nV a 4 0g00\nEND 2\n",
      "",
  };
  for (const QByteArray& bytes : damaged) {
    SCOPED_TRACE(bytes.toStdString());
    for (const QString& f : QDir(configFolder() + "/vistrel").entryList({"hkcu.hive.corrupt-*"}))
      QFile::remove(configFolder() + "/vistrel/" + f);
    root.write(QDir(root.path()).relativeFilePath(hivePath()), bytes);
    resetForTests();
    EXPECT_FALSE(keyExists(Hive::CurrentUser, QStringLiteral("Software")));
    EXPECT_EQ(QDir(configFolder() + "/vistrel").entryList({"hkcu.hive.corrupt-*"}).size(), 1);
    // The hive works again after the damage.
    ASSERT_TRUE(createKey(Hive::CurrentUser, kKey));
    resetForTests();
    EXPECT_TRUE(keyExists(Hive::CurrentUser, kKey));
  }
}

TEST_F(RegistryTest, TwoProcessesWritingOneKeyKeepEachOthersValues) {
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey));
  constexpr int kValues = 60;
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      bool ok = true;
      for (int i = 0; i < kValues; ++i)
        ok = ok && setValue(Hive::CurrentUser, kKey, QStringLiteral("p%1-%2").arg(c).arg(i), dwordValue(i));
      ::_exit(ok ? 0 : 1);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  resetForTests();
  QFile file(hivePath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  RegistryTree tree;
  EXPECT_TRUE(parseHive(file.readAll(), tree));
  EXPECT_EQ(valueNames(Hive::CurrentUser, kKey).size(), 2 * kValues);
  EXPECT_EQ(decodeDword(*queryValue(Hive::CurrentUser, kKey, QStringLiteral("p1-59"))), 59u);
}

TEST_F(RegistryTest, AnotherProcessesChangeIsSeenWithoutRestart) {
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey));
  EXPECT_FALSE(queryValue(Hive::CurrentUser, kKey, QStringLiteral("Volume")).has_value());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(setValue(Hive::CurrentUser, kKey, QStringLiteral("Volume"), dwordValue(3)) ? 0 : 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(decodeDword(*queryValue(Hive::CurrentUser, kKey, QStringLiteral("Volume"))), 3u);
}

TEST_F(RegistryTest, ABatchWritesTheFileOnceAtItsEndAndAnotherProcessWaitsForIt) {
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey));
  ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QStringLiteral("Before"), dwordValue(1)));
  auto fileBytes = [] {
    QFile file(hivePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  };
  const QByteArray before = fileBytes();
  pid_t child = -1;
  {
    WriteBatch batch;
    {
      WriteBatch nested;  // a save inside a save still waits for the outer end
      ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QStringLiteral("Nested"), dwordValue(2)));
    }
    for (int i = 0; i < 50; ++i)
      ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QStringLiteral("v%1").arg(i), dwordValue(i)));
    EXPECT_EQ(decodeDword(*queryValue(Hive::CurrentUser, kKey, QStringLiteral("v49"))), 49u);
    EXPECT_EQ(fileBytes(), before);
    child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Blocks on the batch's lock, then must see the batch's values and keep them.
      resetForTests();
      const bool ok = setValue(Hive::CurrentUser, kKey, QStringLiteral("Child"), dwordValue(7)) &&
                      queryValue(Hive::CurrentUser, kKey, QStringLiteral("v49")).has_value();
      ::_exit(ok ? 0 : 1);
    }
    ::usleep(100 * 1000);
    EXPECT_EQ(fileBytes(), before);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  resetForTests();
  EXPECT_EQ(valueNames(Hive::CurrentUser, kKey).size(), 53);
  EXPECT_EQ(decodeDword(*queryValue(Hive::CurrentUser, kKey, QStringLiteral("Child"))), 7u);
  EXPECT_EQ(decodeDword(*queryValue(Hive::CurrentUser, kKey, QStringLiteral("Nested"))), 2u);
}

TEST_F(RegistryTest, AnUnwritableHiveWarnsAndKeepsTheValuesForTheRun) {
  QDir().mkpath(hivePath());  // a folder where the file should be: every replacement fails
  resetForTests();
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(createKey(Hive::CurrentUser, kKey));
  ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QStringLiteral("Volume"), dwordValue(9)));
  ASSERT_TRUE(setValue(Hive::CurrentUser, kKey, QStringLiteral("Mute On"), dwordValue(1)));
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(decodeDword(*queryValue(Hive::CurrentUser, kKey, QStringLiteral("Volume"))), 9u);
  EXPECT_NE(log.find("cannot write the registry file"), std::string::npos) << log;
  EXPECT_EQ(log.find("cannot write the registry file"), log.rfind("cannot write the registry file"));  // once
}

TEST(HiveFormat, NamesWithAnyCharacterSurviveSerialization) {
  RegistryTree tree;
  RegistryKey* key = tree.create(splitPath(QStringLiteral("A b\\[c]=%\\é")));
  key->setValue(QStringLiteral("x = y\nz"), Value{REG_BINARY, QByteArray("\0\n ", 3)});
  key->setValue(QStringLiteral("%"), dwordValue(1));
  RegistryTree back;
  ASSERT_TRUE(parseHive(serializeHive(tree), back));
  const RegistryKey* found = back.find(splitPath(QStringLiteral("a B\\[C]=%\\É")));
  ASSERT_NE(found, nullptr);
  ASSERT_NE(found->value(QStringLiteral("X = Y\nZ")), nullptr);
  EXPECT_EQ(found->value(QStringLiteral("x = y\nz"))->data, QByteArray("\0\n ", 3));
  EXPECT_NE(found->value(QStringLiteral("%")), nullptr);
  EXPECT_EQ(found->value(QString()), nullptr);
}

}  // namespace
