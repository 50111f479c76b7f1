// The program's choice of sources, seen from outside: the devices file, the command line and the
// settings it saves.
#include <gtest/gtest.h>
#include <signal.h>

#include <QElapsedTimer>
#include <QFile>

#include "e2e/ProgramRun.h"
#include "support/TempRoot.h"

using namespace vistrel::testing;

namespace {

const char kDevices[] = "camera Camera A\ncamera Camera B\nmicrophone Micro\n";

QByteArray utf16(const QString& text) {
  QByteArray bytes("\xFF\xFE", 2);
  bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  return bytes;
}

// An ini file beside the program (portable mode: the settings are saved there at exit) holding
// `values` in the parameter section.
void writeIni(const TempRoot& root, const QString& values) {
  root.write(QStringLiteral("program/Vistrel.ini"),
             utf16(QStringLiteral("[\\Software\\Orbano\\Vistrel]\r\n") + values));
}

QString readIni(const TempRoot& root) {
  const QByteArray bytes = root.read(QStringLiteral("program/Vistrel.ini"));
  if (!bytes.startsWith("\xFF\xFE")) return {};
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
}

QString iniValue(const QString& ini, const QString& key) {
  const QString start = QStringLiteral("\r\n") + key + QLatin1Char('=');
  const qsizetype at = ini.indexOf(start);
  if (at < 0) return QStringLiteral("<missing>");
  const qsizetype from = at + start.size();
  return ini.mid(from, ini.indexOf(QStringLiteral("\r\n"), from) - from);
}

QProcessEnvironment devicesEnv(const TempRoot& root) {
  QProcessEnvironment env;
  env.insert(QStringLiteral("VISTREL_DEVICES"), root.file(QStringLiteral("devices.txt")));
  env.insert(QStringLiteral("VISTREL_TRACE"), QStringLiteral("1"));
  return env;
}

TEST(Sources, TheProgramStartsOnTheFirstCameraAndMicrophone) {
  TempRoot root;
  root.write(QStringLiteral("devices.txt"), kDevices);
  writeIni(root, {});
  const ProgramResult run = runVistrel(root.path(), {QStringLiteral("/q")}, devicesEnv(root));
  ASSERT_TRUE(run.finished) << run.standardError.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.standardError.contains(QStringLiteral("connexion Video réussie")))
      << run.standardError.toStdString();
  EXPECT_TRUE(run.standardError.contains(QStringLiteral("Connexion audio a réussi")));
  const QString ini = readIni(root);
  EXPECT_EQ(iniValue(ini, QStringLiteral("Source video")), QStringLiteral("Camera A"));
  EXPECT_EQ(iniValue(ini, QStringLiteral("Source Audio")), QStringLiteral("Micro"));
}

TEST(Sources, SlashSvSelectsASource) {
  TempRoot root;
  root.write(QStringLiteral("devices.txt"), kDevices);
  writeIni(root, {});
  const ProgramResult run =
      runVistrel(root.path(), {QStringLiteral("/sv=Camera B"), QStringLiteral("/q")}, devicesEnv(root));
  ASSERT_TRUE(run.finished) << run.standardError.toStdString();
  const QString ini = readIni(root);
  EXPECT_EQ(iniValue(ini, QStringLiteral("Source video")), QStringLiteral("Camera B"));
  EXPECT_EQ(iniValue(ini, QStringLiteral("Want video source")), QStringLiteral("Camera B"));
}

TEST(Sources, AGoneSourceAndADamagedExclusionListFallBack) {
  TempRoot root;
  root.write(QStringLiteral("devices.txt"), kDevices);
  QString damaged = QChar(0x0007) + QStringLiteral("\x01\x02") + QString(3000, QChar(0x263a));
  writeIni(root, QStringLiteral("Source video=Camera Z\r\nSource Audio=Nowhere\r\nSources Exclues=") +
                     damaged + QStringLiteral("\r\n"));
  const ProgramResult run = runVistrel(root.path(), {QStringLiteral("/q")}, devicesEnv(root));
  ASSERT_TRUE(run.finished) << run.standardError.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  const QString ini = readIni(root);
  EXPECT_EQ(iniValue(ini, QStringLiteral("Source video")), QStringLiteral("Camera A"));
  EXPECT_EQ(iniValue(ini, QStringLiteral("Source Audio")), QStringLiteral("Micro"));
  EXPECT_FALSE(iniValue(ini, QStringLiteral("Sources Exclues")).contains(QStringLiteral("Camera")));
  EXPECT_FALSE(ini.contains(QChar(0x263a)));
}

TEST(Sources, UnpluggingTheCurrentCameraConnectsTheFirstRemaining) {
  TempRoot root;
  root.write(QStringLiteral("devices.txt"), kDevices);
  writeIni(root, {});
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VISTREL_ROOT"), root.path());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("VISTREL_DEVICES"), root.file(QStringLiteral("devices.txt")));
  env.insert(QStringLiteral("VISTREL_TRACE"), QStringLiteral("1"));
  env.remove(QStringLiteral("VISTREL_ANSWERS"));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(VISTREL_EXECUTABLE), {});
  ASSERT_TRUE(process.waitForStarted(5000));
  QString err;
  auto waitForText = [&](const QString& text, int count) {
    QElapsedTimer t;
    t.start();
    while (err.count(text) < count && t.elapsed() < 30000) {
      process.waitForReadyRead(100);
      err += QString::fromUtf8(process.readAllStandardError());
    }
    return err.count(text) >= count;
  };
  ASSERT_TRUE(waitForText(QStringLiteral("Exit AppEventsIdle"), 1)) << err.toStdString();
  ASSERT_TRUE(err.contains(QStringLiteral("vstext= Camera A")));
  root.write(QStringLiteral("devices.txt"), "camera Camera B\nmicrophone Micro\n");
  EXPECT_TRUE(waitForText(QStringLiteral("vstext= Camera B"), 1)) << err.toStdString();
  EXPECT_TRUE(waitForText(QStringLiteral("connexion Video réussie"), 2)) << err.toStdString();
  ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
  ASSERT_TRUE(process.waitForFinished(15000));
  EXPECT_EQ(process.exitCode(), 0);
  const QString ini = readIni(root);
  EXPECT_EQ(iniValue(ini, QStringLiteral("Source video")), QStringLiteral("Camera B"));
}

}  // namespace
