#include "app/Plaque.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>

namespace vistrel::app {

Tplaque::Tplaque(QWidget* keyTarget) : QWidget(nullptr, Qt::FramelessWindowHint), keyTarget_(keyTarget) {
  setObjectName(QStringLiteral("plaque"));
  resize(688, 446);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::black);
  setPalette(p);
  setAutoFillBackground(true);
  setFocusPolicy(Qt::StrongFocus);
}

void Tplaque::setShapeBounds(const QRect& bounds) {
  if (bounds == shape_) return;
  shape_ = bounds;
  update();
}

void Tplaque::setShapeColour(const QColor& colour) {
  shapeColour_ = colour;
  update();
}

void Tplaque::setShapeStyle(Qt::BrushStyle style) {
  shapeStyle_ = style;
  update();
}

void Tplaque::setPlateColour(const QColor& colour) {
  plateColour_ = colour;
  update();
}

void Tplaque::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), plateColour_);
  painter.fillRect(shape_, QBrush(shapeColour_, shapeStyle_));
}

// A synchronous send with the same event, as the main window would have received it.
void Tplaque::keyPressEvent(QKeyEvent* event) {
  if (keyTarget_) QCoreApplication::sendEvent(keyTarget_, event);
}

void Tplaque::keyReleaseEvent(QKeyEvent* event) {
  if (keyTarget_) QCoreApplication::sendEvent(keyTarget_, event);
}

void Tplaque::closeEvent(QCloseEvent* event) {
  event->ignore();
  hide();
}

}  // namespace vistrel::app
