#pragma once
// The main window's pictures: 22 x 22 images drawn by the program itself, at the positions the
// actions and buttons refer to (6 grab, 5 full screen, 10 options, 4 quit, 14 capture, 28 stop
// capture...). Positions that nothing refers to hold an empty picture.

#include <QIcon>
#include <QList>

namespace vistrel::app {

constexpr int kImageCount = 64;
constexpr int kImageSize = 22;
QList<QIcon> createMainImageList();
// The positions that hold a picture, in increasing order.
QList<int> mainImageIndexes();

}  // namespace vistrel::app
