#pragma once
// Waiting on the user-interface thread for something the streaming threads or posted events bring
// about, with the events delivered meanwhile.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace vistrel::testing {

// True as soon as `done()` holds; false once `limitMs` milliseconds have passed without it.
template <class F>
bool waitFor(F done, int limitMs = 20000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > limitMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}

}  // namespace vistrel::testing
