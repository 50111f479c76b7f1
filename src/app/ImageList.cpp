#include "app/ImageList.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vistrel::app {
namespace {

// Each picture is a glyph on a coloured disc; the glyph says what the command does.
struct Picture {
  QColor colour;
  const char* glyph;
};

const Picture kPictures[] = {
    {QColor(0, 120, 0), "\u25B6"},      // 0 play
    {QColor(200, 0, 0), "\u25CF"},      // 1 record
    {QColor(90, 90, 90), "\u25A0"},     // 2 stop
    {QColor(90, 90, 90), "\u2016"},     // 3 pause
    {QColor(160, 0, 0), "\u2715"},      // 4 quit
    {QColor(30, 60, 160), "\u25A1"},    // 5 full screen
    {QColor(0, 110, 150), "\u25A3"},    // 6 grab
    {QColor(0, 110, 150), "\u25A4"},    // 7 grab panel
    {QColor(120, 60, 0), "\u2630"},     // 8 list
    {QColor(0, 90, 170), "?"},          // 9 help
    {QColor(80, 80, 80), "O"},          // 10 options
    {QColor(0, 130, 0), "\u266A"},      // 11 sound on
    {QColor(130, 0, 0), "\u266A"},      // 12 sound off
    {QColor(0, 80, 160), "*"},          // 13 freeze preview
    {QColor(0, 50, 120), "#"},          // 14 freeze capture
    {QColor(120, 90, 0), "L"},          // 15 lock
    {QColor(160, 120, 0), "T"},         // 16 overlay
    {QColor(90, 0, 130), "\u2195"},     // 17 vertical mirror
    {QColor(90, 0, 130), "\u2194"},     // 18 horizontal mirror
    {QColor(60, 60, 60), "K"},          // 19 shortcuts
    {QColor(0, 100, 100), "P"},         // 20 scheduling
    {QColor(0, 100, 100), "W"},         // 21 scheduled wait
    {QColor(160, 120, 0), "A"},         // 22 overlay panel
    {QColor(0, 90, 0), "S"},            // 23 script
    {QColor(0, 60, 160), "\u00AB"},     // 24 rewind
    {QColor(0, 60, 160), "\u00BB"},     // 25 wind
    {QColor(0, 60, 160), "|<"},         // 26 previous
    {QColor(0, 60, 160), ">|"},         // 27 next
    {QColor(0, 60, 160), "\u25B2"},     // 28 eject
    {QColor(200, 0, 0), "X"},           // 29 cut
    {QColor(70, 70, 140), "\u25AD"},    // 30 reduce
    {QColor(0, 90, 170), "i"},          // 31 about
    {QColor(0, 120, 60), "\u25C9"},     // 32 sources
    {QColor(150, 0, 0), "\u25C9"},      // 33 no source
    {QColor(170, 120, 0), "\u25A8"},    // 34 folders
    {QColor(0, 120, 120), "\u25D0"},    // 35 intervalometer
    {QColor(40, 40, 40), "\u25A6"},     // 36 camcorder
    {QColor(100, 100, 100), "\u21C4"},  // 37 swap panels
    {QColor(100, 100, 100), "\u00BB"},  // 38 next panel
    {QColor(0, 0, 0), "K"},             // 39 Kronel
};

QIcon draw(const Picture& picture) {
  QPixmap pixmap(22, 22);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(picture.colour);
  p.drawRoundedRect(QRectF(1, 1, 20, 20), 5, 5);
  p.setPen(Qt::white);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(14);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(0, 0, 22, 22), Qt::AlignCenter, QString::fromUtf8(picture.glyph));
  return QIcon(pixmap);
}

}  // namespace

QList<QIcon> createMainImageList() {
  QList<QIcon> images;
  images.reserve(kImageCount);
  for (const Picture& picture : kPictures) images.append(draw(picture));
  // The toggles' second pictures: the state pictures in a second colour set.
  static const char* const kStateGlyphs = "ABCDEFGHIJKLMNOPQRSTUVWX";
  for (int i = images.size(); i < kImageCount; ++i) {
    const char glyph[2] = {kStateGlyphs[(i - 40) % 24], 0};
    images.append(draw({QColor::fromHsv((i * 37) % 360, 160, 150), glyph}));
  }
  return images;
}

}  // namespace vistrel::app
