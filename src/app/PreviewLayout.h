#pragma once
// The geometry of the main window's preview: where the picture goes for an aspect a:b, and where
// the window's blocks go for a window size. Pure functions, so the arithmetic can be checked.

#include <QRect>
#include <QSize>

namespace vistrel::app {

// Fits a:b into `area`: a rectangle too tall keeps its width and is centred vertically, one too
// wide keeps its height and is centred horizontally (integer divisions, offsets halved toward 0).
QRect fitToAspect(const QRect& area, int a, int b);

struct WindowLayout {
  QRect panel1;        // the preview area
  int panelsLeft = 0;  // the option panels' left
  int previewOffset = 0;
  bool actionsToolbarLeft = true;
  QPoint panelBoutons;  // top-left of the buttons block
  int statusPanelWidth = 0;
};

// The window's layout for its size, the side of the preview ("EcranGauche"), the picture's
// bottom inside Panel1 (its top + height), and the buttons block's width.
WindowLayout layoutWindow(QSize window, bool previewOnLeft, int panel1Top, int pictureBottom,
                          int buttonsWidth);

}  // namespace vistrel::app
