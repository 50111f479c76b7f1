#pragma once
// The full-screen plate: a borderless black window behind the full-screen picture, with a red
// rectangle drawn 12 pixels around it. Keys pressed on it go to the main window unchanged, so
// every shortcut keeps working in full screen. Closing it only hides it.

#include <QColor>
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
  // The rectangle's colour follows the capture state; the capture freeze hatches the rectangle
  // and gives the plate the button-face colour.
  void setShapeColour(const QColor& colour);
  QColor shapeColour() const { return shapeColour_; }
  void setShapeStyle(Qt::BrushStyle style);
  Qt::BrushStyle shapeStyle() const { return shapeStyle_; }
  void setPlateColour(const QColor& colour);
  QColor plateColour() const { return plateColour_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QPointer<QWidget> keyTarget_;
  QRect shape_{0, 0, 65, 65};
  QColor shapeColour_{Qt::red};
  Qt::BrushStyle shapeStyle_ = Qt::SolidPattern;
  QColor plateColour_{Qt::black};
};

}  // namespace vistrel::app
