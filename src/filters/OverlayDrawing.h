#pragma once
// Laying out and drawing the overlay's two lines on the working picture: the font derived from
// the overlay description, the alignment table and the black outline.
//
// The outline equals drawing the text in black at every offset (dx, dy) with dx, dy from -b to b
// before drawing it in its colour. Each such pass scales a pixel by (1 - coverage) of the text
// shifted by the offset, so the passes together scale it by the product of (1 - coverage) over
// the (2b + 1)² window around it. The text is rendered once into a coverage mask with QPainter;
// that product is taken in a horizontal and then a vertical pass, at a cost linear in b instead
// of quadratic, and the text's colour is blended from the same mask. Without an outline the text
// is drawn with QPainter straight onto the picture.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <vector>

#include "settings/IncrustRec.h"

namespace vistrel::filters {

struct OverlayFont {
  QFont font;
  // The absolute font height the layout uses: the cell height of an automatic size, else the
  // character height of the point size at 96 pixels per inch.
  int height = 16;
  QColor colour;
  int ascent = 0;  // baseline below a line's top
};

// The face falls back to "Arial" when the name is not an installed family. Call on the
// user-interface thread (font matching); the result may be used on any thread.
OverlayFont MakeOverlayFont(const settings::TfontRecord& rec, bool automaticSize, int pictureWidth);

// The automatic cell height for a picture width: width × 28 ÷ 720, at least 16.
int OverlayAutomaticCellHeight(int pictureWidth);

struct OverlayLinePlace {
  int x = 0;  // left edge
  int y = 0;  // top
};

// Places the two lines of widths w1 and w2 on a W × H picture for positions X, Y (thousandths)
// and the alignment code; false (nothing drawn) for an unknown alignment.
bool PlaceOverlayLines(int W, int H, int X, int Y, int alignment, int h, int64_t w1, int64_t w2,
                       OverlayLinePlace& line1, OverlayLinePlace& line2);

// Draws lines with outline on a Format_BGR888 picture. Keeps its scratch buffers from call to
// call; one instance per thread.
class OverlayTextPainter {
 public:
  // Borders wider than this are drawn at this width.
  static constexpr int kMaxBorder = 64;

  // Width of `text` in the font, the w(s) of the layout.
  static int64_t TextWidth(const OverlayFont& font, const QString& text);

  // Draws `text` with its top-left at (x, y), clipped to the picture: the outline of `border`
  // pixels in black when border > 0, then the text in the font's colour.
  void DrawLine(QImage& picture, const QString& text, int x, int y, const OverlayFont& font, int border);

 private:
  void drawOutlined(QImage& picture, const QRect& maskRect, int border, const QColor& colour);

  QImage mask_;
  std::vector<float> factors_;
  std::vector<float> rows_;
  std::vector<float> column_;
};

}  // namespace vistrel::filters
