#pragma once
// Helpers of the fixed-duration runs: a Qt application on the offscreen platform (created once,
// inside a temporary root, so that no run reaches the user's screen or home), the run length,
// and the process and thread CPU clocks.

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <chrono>
#include <ctime>
#include <thread>

namespace vistrel::bench {

inline QApplication& benchApplication() {
  static QTemporaryDir* root = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    auto* dir = new QTemporaryDir;
    qputenv("VISTREL_ROOT", dir->path().toLocal8Bit());
    qputenv("VISTREL_DEVICES", "none");
    return dir;
  }();
  (void)root;
  static int argc = 1;
  static char name[] = "bench_platform";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Seconds of one fixed run: VISTREL_BENCH_SECONDS, else `fallback`.
inline double runSeconds(double fallback) {
  bool ok = false;
  const double s = qEnvironmentVariable("VISTREL_BENCH_SECONDS").toDouble(&ok);
  return ok && s > 0 ? s : fallback;
}

inline double cpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}
inline double processCpu() { return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }
inline double threadCpu() { return cpuSeconds(CLOCK_THREAD_CPUTIME_ID); }

// Runs the user-interface thread's event loop for `seconds` of wall time.
inline double pumpEvents(double seconds) {
  QElapsedTimer t;
  t.start();
  const qint64 limit = qint64(seconds * 1000);
  while (t.elapsed() < limit) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return double(t.nsecsElapsed()) * 1e-9;
}

}  // namespace vistrel::bench
