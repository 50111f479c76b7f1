#pragma once
// Runs the real vistrel program in a temporary root, on Qt's offscreen platform, with no virtual
// device unless asked, and collects what it wrote on standard error.

#include <signal.h>

#include <QElapsedTimer>
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

// The program running on its own while a test watches its trace and sends it signals. The trace
// (VISTREL_TRACE=1) and the answers to its questions are logged on standard error.
class RunningVistrel {
 public:
  RunningVistrel(const QString& root, const QStringList& arguments, const QProcessEnvironment& extra = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VISTREL_ROOT"), root);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VISTREL_TRACE"), QStringLiteral("1"));
    if (!env.contains(QStringLiteral("VISTREL_DEVICES")))
      env.insert(QStringLiteral("VISTREL_DEVICES"), QStringLiteral("none"));
    env.remove(QStringLiteral("VISTREL_ANSWERS"));
    for (const QString& key : extra.keys()) env.insert(key, extra.value(key));
    process_.setProcessEnvironment(env);
    process_.start(QStringLiteral(VISTREL_EXECUTABLE), arguments);
    started_ = process_.waitForStarted(5000);
  }
  ~RunningVistrel() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(2000);
  }
  bool started() const { return started_; }
  bool running() const { return process_.state() == QProcess::Running; }
  // Reads standard error until it holds `text` (true) or the program ends or the limit passes.
  bool waitForOutput(const QString& text, int limitMs = 30000) {
    QElapsedTimer t;
    t.start();
    while (!output_.contains(text)) {
      if (t.elapsed() > limitMs || process_.state() == QProcess::NotRunning) {
        output_ += QString::fromUtf8(process_.readAllStandardError());
        return output_.contains(text);
      }
      process_.waitForReadyRead(100);
      output_ += QString::fromUtf8(process_.readAllStandardError());
    }
    return true;
  }
  void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }
  bool waitForEnd(int limitMs = 30000) {
    const bool ended = process_.waitForFinished(limitMs);
    output_ += QString::fromUtf8(process_.readAllStandardError());
    return ended;
  }
  bool normalExit() const { return process_.exitStatus() == QProcess::NormalExit; }
  int exitCode() const { return process_.exitCode(); }
  const QString& output() const { return output_; }

 private:
  QProcess process_;
  QString output_;
  bool started_ = false;
};

}  // namespace vistrel::testing
