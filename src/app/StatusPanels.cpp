#include "app/StatusPanels.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

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

void StatusPanels::setSuffix(const QString& suffix) {
  if (suffix_ == suffix) return;
  suffix_ = suffix;
  update();
}

void StatusPanels::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics(font());
  constexpr int kSuffixGap = 3;
  int x = 0;
  for (size_t i = 0; i < panels_.size(); ++i) {
    const Panel& p = panels_[i];
    const QRect cell(x, 1, p.width - 2, height() - 2);
    painter.fillRect(cell, p.background.isValid() ? p.background : palette().window().color());
    painter.setPen(palette().mid().color());
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    const QString suffix = i == 1 ? suffix_ : QString();
    const int textWidth = metrics.horizontalAdvance(p.text);
    const int total = textWidth + (suffix.isEmpty() ? 0 : kSuffixGap + metrics.horizontalAdvance(suffix));
    // Text wider than the panel starts at its left edge and is clipped by the next panel.
    const int left = cell.left() + std::max(0, (cell.width() - total) / 2);
    const int baseline = cell.top() + (cell.height() - metrics.height()) / 2 + metrics.ascent();
    painter.save();
    painter.setClipRect(cell);
    painter.setPen(p.textColour);
    painter.drawText(left, baseline, p.text);
    if (!suffix.isEmpty()) {
      painter.setPen(QColor(255, 0, 0));
      painter.drawText(left + textWidth + kSuffixGap, baseline, suffix);
    }
    painter.restore();
    x += p.width;
  }
  painter.setPen(palette().mid().color());
  painter.drawRect(QRect(x, 1, 10 - 1, height() - 3));  // the spare panel
}

}  // namespace vistrel::app
