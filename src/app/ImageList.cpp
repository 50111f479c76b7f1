#include "app/ImageList.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <cmath>
#include <functional>
#include <map>

namespace vistrel::app {
namespace {

// Colours shared by the pictures.
const QColor kInk(50, 50, 60);
const QColor kRecordRed(215, 25, 25);
const QColor kBlue(30, 90, 190);
const QColor kGreen(20, 140, 50);
const QColor kFolder(230, 180, 40);
const QColor kScreen(70, 120, 200);

QPen pen(const QColor& colour, qreal width = 1.5) {
  QPen p(colour, width);
  p.setCapStyle(Qt::RoundCap);
  p.setJoinStyle(Qt::RoundJoin);
  return p;
}

// ---- Building blocks -----------------------------------------------------------------------

void recordDot(QPainter& p, QPointF centre, qreal radius) {
  p.setPen(pen(QColor(120, 0, 0), 1));
  p.setBrush(kRecordRed);
  p.drawEllipse(centre, radius, radius);
}

void playTriangle(QPainter& p, const QRectF& r, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(QPolygonF({r.topLeft(), QPointF(r.right(), r.center().y()), r.bottomLeft()}));
}

void pauseBars(QPainter& p, const QRectF& r, const QColor& colour) {
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  const qreal w = r.width() / 3;
  p.drawRect(QRectF(r.left(), r.top(), w, r.height()));
  p.drawRect(QRectF(r.right() - w, r.top(), w, r.height()));
}

// A monitor: the preview.
void screen(QPainter& p, const QRectF& r, const QColor& glass = kScreen) {
  p.setPen(pen(kInk, 1.2));
  p.setBrush(glass);
  p.drawRoundedRect(r, 1.5, 1.5);
}

// A still-picture camera.
void photoCamera(QPainter& p, const QRectF& r, const QColor& body = kInk) {
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  const QRectF box(r.left(), r.top() + r.height() * 0.25, r.width(), r.height() * 0.75);
  p.drawRoundedRect(box, 2, 2);
  p.drawRect(
      QRectF(r.left() + r.width() * 0.3, r.top() + r.height() * 0.08, r.width() * 0.35, r.height() * 0.25));
  p.setBrush(Qt::white);
  const qreal lens = box.height() * 0.34;
  p.drawEllipse(box.center(), lens, lens);
  p.setBrush(kScreen);
  p.drawEllipse(box.center(), lens * 0.55, lens * 0.55);
}

// A video camera seen from the side: body and lens hood.
void videoCamera(QPainter& p, const QRectF& r, const QColor& body = kInk) {
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  const QRectF box(r.left(), r.top() + r.height() * 0.2, r.width() * 0.66, r.height() * 0.6);
  p.drawRoundedRect(box, 2, 2);
  p.drawPolygon(QPolygonF({QPointF(box.right(), box.center().y() - 1), QPointF(r.right(), box.top()),
                           QPointF(r.right(), box.bottom()), QPointF(box.right(), box.center().y() + 1)}));
}

// A picture with text over it: the overlay.
void overlayPicture(QPainter& p, const QColor& text, bool crossed = false) {
  screen(p, QRectF(2, 3, 18, 15), QColor(120, 170, 220));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 140, 60));
  p.drawPolygon(QPolygonF({QPointF(3, 17), QPointF(9, 10), QPointF(14, 17)}));
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(10);
  font.setBold(true);
  p.setFont(font);
  p.setPen(text);
  p.drawText(QRectF(9, 3, 11, 10), Qt::AlignCenter, QStringLiteral("T"));
  if (crossed) {
    p.setPen(pen(kRecordRed, 2));
    p.drawLine(QPointF(4, 19), QPointF(19, 4));
  }
}

void clockFace(QPainter& p, QPointF centre, qreal radius) {
  p.setPen(pen(kInk, 1.4));
  p.setBrush(Qt::white);
  p.drawEllipse(centre, radius, radius);
  p.drawLine(centre, centre + QPointF(0, -radius * 0.7));
  p.drawLine(centre, centre + QPointF(radius * 0.55, 0));
}

void speaker(QPainter& p) {
  p.setPen(pen(kInk, 1));
  p.setBrush(kInk);
  p.drawPolygon(QPolygonF(
      {QPointF(2, 8), QPointF(6, 8), QPointF(11, 3), QPointF(11, 19), QPointF(6, 14), QPointF(2, 14)}));
}

void padlockBody(QPainter& p) {
  p.setPen(pen(QColor(120, 80, 0), 1));
  p.setBrush(QColor(230, 170, 30));
  p.drawRoundedRect(QRectF(4, 10, 14, 10), 1.5, 1.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(90, 60, 0));
  p.drawEllipse(QPointF(11, 14), 1.5, 1.5);
  p.drawRect(QRectF(10.4, 14, 1.2, 3.5));
}

void doubleArrow(QPainter& p, QPointF from, QPointF to, const QColor& colour) {
  p.setPen(pen(colour, 2));
  p.drawLine(from, to);
  const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
  const QPointF n(-d.y(), d.x());
  for (const auto& [tip, dir] : {std::pair{to, d}, std::pair{from, -d}}) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({tip + dir, tip - dir * 4 + n * 3.5, tip - dir * 4 - n * 3.5}));
  }
}

// ---- The pictures, by the command or state they stand for ----------------------------------

using Draw = std::function<void(QPainter&)>;

const std::map<int, Draw>& pictures() {
  static const std::map<int, Draw> all = {
      // 0: play (camcorder play/pause, the time-offset toggle before it is set).
      {0, [](QPainter& p) { playTriangle(p, QRectF(6, 4, 12, 14), kGreen); }},
      // 1: the sources panel: a video camera and its microphone.
      {1,
       [](QPainter& p) {
         videoCamera(p, QRectF(1, 3, 15, 11));
         p.setPen(pen(kInk, 1.2));
         p.setBrush(QColor(160, 160, 170));
         p.drawRoundedRect(QRectF(15, 11, 5, 7), 2.5, 2.5);
         p.drawLine(QPointF(17.5, 18), QPointF(17.5, 21));
       }},
      // 3: the grab button during an image-by-image recording: one picture into a film.
      {3,
       [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(kInk);
         p.drawRect(QRectF(2, 12, 18, 9));
         p.setBrush(Qt::white);
         for (int x = 3; x < 20; x += 4) {
           p.drawRect(QRectF(x, 13, 2, 1.5));
           p.drawRect(QRectF(x, 18.5, 2, 1.5));
         }
         p.setBrush(kScreen);
         p.drawRect(QRectF(8, 15, 6, 3));
         photoCamera(p, QRectF(6, 1, 10, 9));
       }},
      // 4: quit: the power symbol.
      {4,
       [](QPainter& p) {
         p.setPen(pen(QColor(170, 20, 20), 2.2));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(3.5, 4, 15, 15), 120 * 16, 300 * 16);
         p.drawLine(QPointF(11, 2.5), QPointF(11, 10));
       }},
      // 5: full screen: four corners pushed outwards.
      {5,
       [](QPainter& p) {
         screen(p, QRectF(6, 6, 10, 10));
         p.setPen(pen(kInk, 1.8));
         for (const QPointF& c : {QPointF(2, 2), QPointF(20, 2), QPointF(2, 20), QPointF(20, 20)}) {
           const qreal dx = c.x() < 11 ? 5 : -5, dy = c.y() < 11 ? 5 : -5;
           p.drawLine(c, c + QPointF(dx, 0));
           p.drawLine(c, c + QPointF(0, dy));
         }
       }},
      // 6: grab a picture.
      {6, [](QPainter& p) { photoCamera(p, QRectF(2, 3, 18, 16)); }},
      // 7: the grab panel: a panel holding a camera.
      {7,
       [](QPainter& p) {
         p.setPen(pen(kInk, 1));
         p.setBrush(QColor(235, 235, 240));
         p.drawRect(QRectF(1.5, 1.5, 19, 19));
         p.setBrush(kBlue);
         p.drawRect(QRectF(1.5, 1.5, 19, 4));
         photoCamera(p, QRectF(5, 8, 12, 11));
       }},
      // 9: the help panel.
      {9,
       [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(kBlue);
         p.drawEllipse(QRectF(2, 2, 18, 18));
         QFont font(QStringLiteral("Arial"));
         font.setPixelSize(15);
         font.setBold(true);
         p.setFont(font);
         p.setPen(Qt::white);
         p.drawText(QRectF(2, 2, 18, 18), Qt::AlignCenter, QStringLiteral("?"));
       }},
      // 10: the options panel: a gear.
      {10,
       [](QPainter& p) {
         const QPointF c(11, 11);
         QPainterPath gear;
         for (int i = 0; i < 16; ++i) {
           const qreal a = i * M_PI / 8;
           const qreal r = (i % 2 == 0) ? 9.5 : 7;
           const QPointF pt = c + QPointF(std::cos(a) * r, std::sin(a) * r);
           if (i == 0)
             gear.moveTo(pt);
           else
             gear.lineTo(pt);
         }
         gear.closeSubpath();
         gear.addEllipse(c, 3, 3);
         p.setPen(Qt::NoPen);
         p.setBrush(QColor(90, 90, 100));
         p.drawPath(gear);
       }},
      // 12: refresh the sources.
      {12,
       [](QPainter& p) {
         p.setPen(pen(kGreen, 2.2));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(4, 4, 14, 14), 60 * 16, 270 * 16);
         p.setPen(Qt::NoPen);
         p.setBrush(kGreen);
         p.drawPolygon(QPolygonF({QPointF(13, 1), QPointF(19, 5.5), QPointF(12.5, 8.5)}));
       }},
      // 13: a source's settings: three sliders.
      {13,
       [](QPainter& p) {
         p.setPen(pen(kInk, 1.5));
         for (int i = 0; i < 3; ++i) p.drawLine(QPointF(3, 5 + i * 6), QPointF(19, 5 + i * 6));
         p.setBrush(QColor(240, 240, 240));
         p.setPen(pen(kInk, 1.2));
         for (const auto& [x, i] : {std::pair{14.0, 0}, std::pair{7.0, 1}, std::pair{12.0, 2}})
           p.drawRect(QRectF(x - 2, 2.5 + i * 6, 4, 5));
       }},
      // 14: capture the picture and the sound (the preview state with a video source).
      {14,
       [](QPainter& p) {
         recordDot(p, QPointF(11, 11), 7.5);
         p.setPen(pen(QColor(255, 210, 210), 1.3));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(6, 6, 10, 10), 100 * 16, 70 * 16);
       }},
      // 20: programme a recording: a clock with a small record dot.
      {20,
       [](QPainter& p) {
         clockFace(p, QPointF(10, 10), 8);
         recordDot(p, QPointF(17, 17), 3.5);
       }},
      // 22: the overlay panel.
      {22,
       [](QPainter& p) {
         overlayPicture(p, QColor(255, 230, 0));
         p.setPen(pen(kInk, 1));
         p.setBrush(Qt::NoBrush);
         p.drawRect(QRectF(0.5, 19.5, 21, 2));
       }},
      // 23: the sound is cut (the toggle gives it back).
      {23,
       [](QPainter& p) {
         speaker(p);
         p.setPen(pen(kRecordRed, 2));
         p.drawLine(QPointF(14, 8), QPointF(20, 14));
         p.drawLine(QPointF(20, 8), QPointF(14, 14));
       }},
      // 24: the sound plays (the toggle cuts it).
      {24,
       [](QPainter& p) {
         speaker(p);
         p.setPen(pen(kGreen, 1.5));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(9, 6, 8, 10), -50 * 16, 100 * 16);
         p.drawArc(QRectF(8, 3, 13, 16), -50 * 16, 100 * 16);
       }},
      // 26: the overlay is on (the toggle stops it).
      {26, [](QPainter& p) { overlayPicture(p, QColor(255, 230, 0)); }},
      // 28: stop the capture.
      {28,
       [](QPainter& p) {
         p.setPen(pen(QColor(40, 40, 40), 1));
         p.setBrush(QColor(60, 60, 70));
         p.drawRoundedRect(QRectF(4, 4, 14, 14), 2, 2);
         recordDot(p, QPointF(17.5, 4.5), 3);
       }},
      // 29: cut the recording into a new file: scissors.
      {29,
       [](QPainter& p) {
         p.setPen(pen(QColor(60, 60, 70), 1.8));
         p.drawLine(QPointF(3, 3), QPointF(15, 15));
         p.drawLine(QPointF(19, 3), QPointF(7, 15));
         p.setBrush(Qt::NoBrush);
         p.setPen(pen(kRecordRed, 1.8));
         p.drawEllipse(QPointF(5.5, 17.5), 3, 3);
         p.drawEllipse(QPointF(16.5, 17.5), 3, 3);
       }},
      // 30: stop the programming: the clock, stopped.
      {30,
       [](QPainter& p) {
         clockFace(p, QPointF(10, 10), 8);
         p.setPen(Qt::NoPen);
         p.setBrush(QColor(60, 60, 70));
         p.drawRect(QRectF(13, 13, 8, 8));
       }},
      // 31: about (and the companion program): information.
      {31,
       [](QPainter& p) {
         p.setPen(Qt::NoPen);
         p.setBrush(QColor(0, 120, 150));
         p.drawEllipse(QRectF(2, 2, 18, 18));
         p.setBrush(Qt::white);
         p.drawEllipse(QPointF(11, 6.5), 1.6, 1.6);
         p.drawRoundedRect(QRectF(9.6, 9.5, 2.8, 8), 1, 1);
       }},
      // 34: a folder (the folders panel, the videos' folder).
      {34,
       [](QPainter& p) {
         p.setPen(pen(QColor(150, 105, 0), 1));
         p.setBrush(kFolder.darker(115));
         p.drawRect(QRectF(2, 4, 8, 4));
         p.setBrush(kFolder);
         p.drawRect(QRectF(2, 6, 18, 13));
       }},
      // 36: vertical mirror: top and bottom swapped across a horizontal line.
      {36,
       [](QPainter& p) {
         p.setPen(QPen(kInk, 1, Qt::DashLine));
         p.drawLine(QPointF(2, 11), QPointF(20, 11));
         doubleArrow(p, QPointF(11, 3), QPointF(11, 19), kBlue);
       }},
      // 42: horizontal mirror: left and right swapped across a vertical line.
      {42,
       [](QPainter& p) {
         p.setPen(QPen(kInk, 1, Qt::DashLine));
         p.drawLine(QPointF(11, 2), QPointF(11, 20));
         doubleArrow(p, QPointF(3, 11), QPointF(19, 11), kBlue);
       }},
      // 43: capture the sound only: the record dot with a note.
      {43,
       [](QPainter& p) {
         recordDot(p, QPointF(9, 12), 7);
         p.setPen(pen(kInk, 1.5));
         p.drawLine(QPointF(18, 3), QPointF(18, 15));
         p.drawLine(QPointF(18, 3), QPointF(21, 5));
         p.setPen(Qt::NoPen);
         p.setBrush(kInk);
         p.drawEllipse(QPointF(16.3, 15.5), 2.3, 1.8);
       }},
      // 46: the preview is locked to what is recorded (the toggle frees it).
      {46,
       [](QPainter& p) {
         p.setPen(pen(QColor(120, 120, 130), 2.2));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(6, 2, 10, 14), 0, 180 * 16);
         p.drawLine(QPointF(6, 9), QPointF(6, 11));
         p.drawLine(QPointF(16, 9), QPointF(16, 11));
         padlockBody(p);
       }},
      // 47: a time offset added to the overlay's clock.
      {47,
       [](QPainter& p) {
         clockFace(p, QPointF(9, 13), 7.5);
         // Plus over minus.
         p.setPen(pen(kBlue, 1.8));
         p.drawLine(QPointF(14, 3.5), QPointF(20, 3.5));
         p.drawLine(QPointF(17, 0.8), QPointF(17, 6.2));
         p.drawLine(QPointF(14, 8.5), QPointF(20, 8.5));
       }},
      // 50: the preview is frozen.
      {50,
       [](QPainter& p) {
         screen(p, QRectF(1.5, 3, 19, 14));
         pauseBars(p, QRectF(7.5, 6, 7, 8), Qt::white);
         p.setPen(pen(kInk, 1.5));
         p.drawLine(QPointF(7, 20), QPointF(15, 20));
       }},
      // 51: the preview runs.
      {51,
       [](QPainter& p) {
         screen(p, QRectF(1.5, 3, 19, 14));
         playTriangle(p, QRectF(8, 6, 7, 8), Qt::white);
         p.setPen(pen(kInk, 1.5));
         p.drawLine(QPointF(7, 20), QPointF(15, 20));
       }},
      // 52: the recording runs into its file.
      {52,
       [](QPainter& p) {
         recordDot(p, QPointF(8, 11), 6.5);
         playTriangle(p, QRectF(15, 6, 6, 10), kInk);
       }},
      // 53: the recording is paused; the file stays open.
      {53,
       [](QPainter& p) {
         recordDot(p, QPointF(8, 11), 6.5);
         pauseBars(p, QRectF(15, 6, 6, 10), kInk);
       }},
      // 55: no overlay (the toggle adds it).
      {55, [](QPainter& p) { overlayPicture(p, QColor(200, 200, 200), true); }},
      // 57: the preview is free (the toggle locks it to what is recorded).
      {57,
       [](QPainter& p) {
         p.setPen(pen(QColor(120, 120, 130), 2.2));
         p.setBrush(Qt::NoBrush);
         p.drawArc(QRectF(11, 0, 10, 12), 0, 180 * 16);
         p.drawLine(QPointF(21, 6), QPointF(21, 9));
         padlockBody(p);
       }},
      // 58: the session list: recorded files.
      {58,
       [](QPainter& p) {
         p.setPen(pen(kInk, 1));
         p.setBrush(Qt::white);
         p.drawRect(QRectF(2.5, 1.5, 17, 19));
         for (int i = 0; i < 4; ++i) {
           p.setPen(Qt::NoPen);
           p.setBrush(kRecordRed);
           p.drawRect(QRectF(5, 4.5 + i * 4, 3, 2.5));
           p.setPen(pen(kInk, 1.2));
           p.drawLine(QPointF(10, 5.8 + i * 4), QPointF(17, 5.8 + i * 4));
         }
       }},
      // 59: the shortcuts: a keyboard.
      {59,
       [](QPainter& p) {
         p.setPen(pen(kInk, 1));
         p.setBrush(QColor(225, 225, 230));
         p.drawRoundedRect(QRectF(1.5, 5.5, 19, 12), 2, 2);
         p.setPen(Qt::NoPen);
         p.setBrush(kInk);
         for (int row = 0; row < 2; ++row)
           for (int col = 0; col < 5; ++col) p.drawRect(QRectF(3.5 + col * 3.3, 7.5 + row * 3, 2.2, 2));
         p.drawRect(QRectF(6, 13.5, 10, 2));
       }},
      // 60: run a command file: a page of commands.
      {60,
       [](QPainter& p) {
         p.setPen(pen(kInk, 1));
         p.setBrush(Qt::white);
         p.drawPolygon(QPolygonF(
             {QPointF(4, 1.5), QPointF(14, 1.5), QPointF(18, 5.5), QPointF(18, 20.5), QPointF(4, 20.5)}));
         p.setPen(pen(kGreen, 1.4));
         p.drawLine(QPointF(6.5, 8), QPointF(8.5, 10));
         p.drawLine(QPointF(8.5, 10), QPointF(6.5, 12));
         p.setPen(pen(kInk, 1.2));
         p.drawLine(QPointF(10, 12), QPointF(15, 12));
         p.drawLine(QPointF(7, 15.5), QPointF(15, 15.5));
         p.drawLine(QPointF(7, 18), QPointF(13, 18));
       }},
  };
  return all;
}

QIcon draw(const Draw& paint) {
  QPixmap pixmap(kImageSize, kImageSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  paint(p);
  p.end();
  return QIcon(pixmap);
}

}  // namespace

QList<int> mainImageIndexes() {
  QList<int> indexes;
  for (const auto& entry : pictures()) indexes << entry.first;
  return indexes;
}

QList<QIcon> createMainImageList() {
  QList<QIcon> images;
  images.reserve(kImageCount);
  const QIcon blank = draw([](QPainter&) {});
  for (int i = 0; i < kImageCount; ++i) {
    const auto it = pictures().find(i);
    images.append(it == pictures().end() ? blank : draw(it->second));
  }
  return images;
}

}  // namespace vistrel::app
