#pragma once
// Runs the real vistrel program in a temporary root, on Qt's offscreen platform, with no virtual
// device unless asked, and collects what it wrote on standard error.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace vistrel::testing {

struct ProgramResult {
  bool finished = false;  // false: it had to be killed after the time limit
  int exitCode = -1;
  QString standardError;
};

inline ProgramResult runVistrel(const QString& root, const QStringList& arguments,
                                const QProcessEnvironment& extra = {}, int timeoutMs = 20000) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("VISTREL_ROOT"), root);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  if (!env.contains(QStringLiteral("VISTREL_DEVICES")))
    env.insert(QStringLiteral("VISTREL_DEVICES"), QStringLiteral("none"));
  env.remove(QStringLiteral("VISTREL_ANSWERS"));
  for (const QString& key : extra.keys()) env.insert(key, extra.value(key));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(VISTREL_EXECUTABLE), arguments);
  ProgramResult result;
  if (!process.waitForStarted(5000)) return result;
  result.finished = process.waitForFinished(timeoutMs);
  if (!result.finished) {
    process.kill();
    process.waitForFinished(2000);
  }
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.standardError = QString::fromUtf8(process.readAllStandardError());
  return result;
}

}  // namespace vistrel::testing
