#pragma once
// A needle gauge: a half dial from 0 to 100 with a needle at the value and the value written
// under it ("%d"). The main window shows the listening volume with it. User-interface thread.

#include <QWidget>

namespace vistrel::app {

class TNeedleGauge : public QWidget {
  Q_OBJECT
 public:
  explicit TNeedleGauge(QWidget* parent = nullptr);
  // Clamped to 0..100; repaints only on a change.
  void setProgress(int percent);
  int progress() const { return progress_; }
  // The caption under the needle: the value as "%d".
  QString caption() const { return QString::number(progress_); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int progress_ = 0;
};

}  // namespace vistrel::app
