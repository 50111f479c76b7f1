#pragma once
// SIGTERM, SIGINT and SIGHUP close the main window as its close box would, so that a recording
// is finished and the settings are saved when the session ends; a second signal ends the process
// at once.

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

namespace vistrel::app {

class SignalCloser : public QObject {
  Q_OBJECT
 public:
  explicit SignalCloser(QWidget* window);
  ~SignalCloser() override;

 private:
  void onSignal();

  QPointer<QWidget> window_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vistrel::app
