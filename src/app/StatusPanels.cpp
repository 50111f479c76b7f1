#include "app/StatusPanels.h"

#include <QPainter>

namespace vistrel::app {

StatusPanels::StatusPanels(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("StatusBar1"));
  setFixedHeight(19);
}

void StatusPanels::setPanelWidth(int index, int width) {
  if (index < 0 || index >= kPanelCount || panels_[static_cast<size_t>(index)].width == width) return;
  panels_[static_cast<size_t>(index)].width = width;
  update();
}

void StatusPanels::setPanel(int index, const QString& text, const QColor& textColour,
                            const QColor& background) {
  if (index < 0 || index >= kPanelCount) return;
  Panel& p = panels_[static_cast<size_t>(index)];
  p.text = text;
  p.textColour = textColour;
  p.background = background;
  update();
}

void StatusPanels::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  int x = 0;
  for (const Panel& p : panels_) {
    const QRect cell(x, 1, p.width - 2, height() - 2);
    painter.fillRect(cell, p.background.isValid() ? p.background : palette().window().color());
    painter.setPen(palette().mid().color());
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    painter.setPen(p.textColour);
    painter.drawText(cell.adjusted(3, 0, -3, 0), Qt::AlignVCenter | Qt::AlignLeft, p.text);
    x += p.width;
  }
  painter.setPen(palette().mid().color());
  painter.drawRect(QRect(x, 1, 10 - 1, height() - 3));  // the spare panel
}

}  // namespace vistrel::app
