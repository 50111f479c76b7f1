#include <gtest/gtest.h>

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

}  // namespace
