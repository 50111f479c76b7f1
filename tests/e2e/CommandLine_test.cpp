#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "e2e/ProgramRun.h"
#include "support/TempRoot.h"

using namespace vistrel::testing;

namespace {

QProcessEnvironment answers(const char* words) {
  QProcessEnvironment env;
  env.insert(QStringLiteral("VISTREL_ANSWERS"), QString::fromUtf8(words));
  return env;
}

QString readIni(const TempRoot& root) {
  const QByteArray bytes = root.read(QStringLiteral("program/Vistrel.ini"));
  if (!bytes.startsWith("\xFF\xFE")) return {};
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
}

TEST(CommandLine, SlashQuitWithAnIniFileQuitsAndSavesBothFamilies) {
  TempRoot root;
  root.write(QStringLiteral("program/Vistrel.ini"), QByteArray("\xFF\xFE", 2));
  const ProgramResult run = runVistrel(root.path(), {QStringLiteral("/q")});
  ASSERT_TRUE(run.finished) << run.standardError.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(run.standardError.contains(QStringLiteral("dialog:")));  // portable mode: nothing asked
  const QString ini = readIni(root);
  EXPECT_TRUE(
      ini.contains(QStringLiteral("[]\r\nVersion=Vistrel 6.2.0 fr de Orbano\r\nDernière Sauvegarde=")))
      << ini.left(200).toStdString();
  EXPECT_TRUE(ini.contains(QStringLiteral("\r\n[\\Software\\Orbano\\Vistrel]\r\n")));
  EXPECT_TRUE(ini.contains(QStringLiteral("\r\nSignature=Vistrel 6.2.0 fr de Orbano\r\n")));
  // The parameter section holds the key table in its order.
  const qsizetype volume = ini.indexOf(QStringLiteral("\r\nVolume="));
  const qsizetype standard = ini.indexOf(QStringLiteral("\r\nStandard DV="));
  const qsizetype freeze = ini.indexOf(QStringLiteral("\r\nFreeze Capture="));
  EXPECT_GT(volume, 0);
  EXPECT_GT(standard, volume);
  EXPECT_GT(freeze, standard);
}

TEST(CommandLine, AFirstStartAnsweredNormalKeepsTheSettingsInTheRegistry) {
  TempRoot root;
  const ProgramResult run = runVistrel(root.path(), {QStringLiteral("/q")}, answers("normal"));
  ASSERT_TRUE(run.finished) << run.standardError.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.standardError.contains(
      QStringLiteral("dialog: Enregistrement des préférences de Vistrel | normal")))
      << run.standardError.toStdString();
  EXPECT_FALSE(QFileInfo::exists(root.file(QStringLiteral("program/Vistrel.ini"))));
  const QByteArray hive = root.read(QStringLiteral("home/.config/vistrel/hkcu.hive"));
  EXPECT_TRUE(hive.contains("K Software%5COrbano%5CVistrel\n")) << hive.left(400).toStdString();
  EXPECT_TRUE(hive.contains("V Signature 1 "));
}

TEST(CommandLine, UnknownSwitchesAndABarePathAreIgnoredAndQuitWaitsForACommand) {
  TempRoot root;
  root.write(QStringLiteral("program/Vistrel.ini"), QByteArray("\xFF\xFE", 2));
  const ProgramResult run = runVistrel(
      root.path(), {QStringLiteral("/no_such_switch"), QStringLiteral("+=x"),
                    QStringLiteral("/tmp/some file.avi"), QStringLiteral("\"odd"), QStringLiteral("/q")});
  ASSERT_TRUE(run.finished) << run.standardError.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  // "/quit" alone runs no command, so nothing closes the window.
  const ProgramResult alone = runVistrel(root.path(), {QStringLiteral("/quit")}, {}, 4000);
  EXPECT_FALSE(alone.finished);
}

}  // namespace
