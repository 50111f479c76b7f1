#include "app/PreviewLayout.h"

namespace vistrel::app {

QRect fitToAspect(const QRect& area, int a, int b) {
  if (a <= 0 || b <= 0) return area;
  const int width = area.width();
  const int height = area.height();
  if (static_cast<long long>(width) * b < static_cast<long long>(height) * a) {
    const int newHeight = static_cast<int>(static_cast<long long>(width) * b / a);
    return QRect(area.left(), area.top() + (height - newHeight) / 2, width, newHeight);
  }
  const int newWidth = static_cast<int>(static_cast<long long>(height) * a / b);
  return QRect(area.left() + (width - newWidth) / 2, area.top(), newWidth, height);
}

WindowLayout layoutWindow(QSize window, bool previewOnLeft, int panel1Top, int pictureBottom,
                          int buttonsWidth) {
  WindowLayout l;
  const int panel1Width = window.width() - 303;
  const int panel1Height = window.height() - 202;
  l.actionsToolbarLeft = previewOnLeft;
  l.panelsLeft = previewOnLeft ? panel1Width : 0;
  l.previewOffset = previewOnLeft ? 0 : 266;
  l.panel1 = QRect(l.previewOffset + 8, panel1Top, panel1Width, panel1Height);
  l.panelBoutons = QPoint(l.panel1.left() + (panel1Width - buttonsWidth) / 2, panel1Top + pictureBottom + 24);
  l.statusPanelWidth = (window.width() - 20) / 4;
  return l;
}

}  // namespace vistrel::app
