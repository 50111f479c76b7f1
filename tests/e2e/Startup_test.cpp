#include <gtest/gtest.h>
#include <signal.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include "e2e/ProgramRun.h"
#include "support/TempRoot.h"

using namespace vistrel::testing;

namespace {

QProcessEnvironment envWith(std::initializer_list<std::pair<const char*, const char*>> values) {
  QProcessEnvironment env;
  for (const auto& [k, v] : values) env.insert(QString::fromUtf8(k), QString::fromUtf8(v));
  return env;
}

TEST(Startup, AnOldMediaFrameworkIsWarnedAboutAndNoEndsTheProgram) {
  TempRoot root;
  root.write(QStringLiteral("hklm.ini"), "[Software\\Microsoft\\DirectX]\nversion=4.08.01.0881\n");
  const ProgramResult run =
      runVistrel(root.path(), {}, envWith({{"VISTREL_ANSWERS", "non"}, {"VISTREL_TRACE", "1"}}));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.standardError.contains(QStringLiteral(
      "message-box: warning | Vous avez DirectX 8.1a.\\nIl faut avoir au moins directX 9 pour faire "
      "tourner correctement Vistrel version 6.2.0 fr.\\nVoulez-vous continuer quand même? Si oui, "
      "l'application risque de ne pas bien fonctionner. | non")))
      << run.standardError.toStdString();
  EXPECT_FALSE(run.standardError.contains(QStringLiteral("Enter FormCreate")));  // no window was created
}

TEST(Startup, AMissingVersionKeyWarnsWithErreur) {
  TempRoot root;
  root.write(QStringLiteral("hklm.ini"), "[Software\\Other]\n");
  const ProgramResult run = runVistrel(root.path(), {}, envWith({{"VISTREL_ANSWERS", "non"}}));
  ASSERT_TRUE(run.finished);
  EXPECT_TRUE(run.standardError.contains(QStringLiteral("Vous avez DirectX Erreur.")))
      << run.standardError.toStdString();
}

TEST(Startup, ASignalClosesTheWindowAsItsCloseBoxWould) {
  TempRoot root;
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VISTREL_ROOT"), root.path());
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("VISTREL_DEVICES"), QStringLiteral("none"));
  env.insert(QStringLiteral("VISTREL_TRACE"), QStringLiteral("1"));
  env.insert(QStringLiteral("VISTREL_ANSWERS"), QStringLiteral("aucun"));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(VISTREL_EXECUTABLE), {});
  ASSERT_TRUE(process.waitForStarted(5000));
  QString err;
  for (int i = 0; i < 100 && !err.contains(QStringLiteral("Exit AppEventsIdle")); ++i) {
    process.waitForReadyRead(100);
    err += QString::fromUtf8(process.readAllStandardError());
  }
  ASSERT_TRUE(err.contains(QStringLiteral("Exit AppEventsIdle"))) << err.toStdString();
  ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
  ASSERT_TRUE(process.waitForFinished(10000));
  err += QString::fromUtf8(process.readAllStandardError());
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_TRUE(err.contains(QStringLiteral("Enter FormCloseQuery"))) << err.toStdString();
  EXPECT_TRUE(err.contains(QStringLiteral("Exit FormDestroy")));
}

}  // namespace
