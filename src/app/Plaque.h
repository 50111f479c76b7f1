#pragma once
// The full-screen plate: a borderless black window behind the full-screen picture, with a red
// rectangle drawn 12 pixels around it. Keys pressed on it go to the main window unchanged, so
// every shortcut keeps working in full screen. Closing it only hides it.

#include <QPointer>
#include <QRect>
#include <QWidget>

namespace vistrel::app {

class Tplaque : public QWidget {
  Q_OBJECT
 public:
  explicit Tplaque(QWidget* keyTarget = nullptr);
  void setKeyTarget(QWidget* target) { keyTarget_ = target; }
  // The red rectangle, in the plate's coordinates.
  void setShapeBounds(const QRect& bounds);
  QRect shapeBounds() const { return shape_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QPointer<QWidget> keyTarget_;
  QRect shape_{0, 0, 65, 65};
};

}  // namespace vistrel::app
