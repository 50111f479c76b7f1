#include "app/NeedleGauge.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace vistrel::app {

TNeedleGauge::TNeedleGauge(QWidget* parent) : QWidget(parent) {}

void TNeedleGauge::setProgress(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == progress_) return;
  progress_ = percent;
  update();
}

void TNeedleGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
  p.setPen(palette().color(QPalette::Mid));
  p.setBrush(palette().color(QPalette::Base));
  p.drawRect(area);

  // The dial: a half circle standing on the bottom edge, less room for the caption.
  const int captionHeight = fontMetrics().height();
  const qreal radius = std::min(area.width() / 2 - 4, area.height() - captionHeight - 4);
  if (radius <= 2) return;
  const QPointF centre(area.center().x(), area.top() + 3 + radius);
  const QRectF dial(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
  p.setPen(QPen(palette().color(QPalette::Text), 1));
  p.setBrush(Qt::NoBrush);
  p.drawArc(dial, 0, 180 * 16);
  for (int tick = 0; tick <= 10; ++tick) {
    const qreal a = M_PI * (1 - tick / 10.0);
    const QPointF dir(std::cos(a), -std::sin(a));
    p.drawLine(centre + dir * radius, centre + dir * (radius - (tick % 5 == 0 ? 5 : 3)));
  }
  const qreal a = M_PI * (1 - progress_ / 100.0);
  p.setPen(QPen(QColor(200, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(centre, centre + QPointF(std::cos(a), -std::sin(a)) * (radius - 2));

  p.setPen(palette().color(QPalette::Text));
  p.drawText(QRectF(area.left(), centre.y(), area.width(), area.bottom() - centre.y()), Qt::AlignCenter,
             caption());
}

}  // namespace vistrel::app
