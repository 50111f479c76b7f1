#pragma once
// The main window's pictures: 22 x 22 images drawn by the program itself, at the positions the
// actions and buttons refer to (6 grab, 5 full screen, 10 options, 4 quit...).

#include <QIcon>
#include <QList>

namespace vistrel::app {

constexpr int kImageCount = 64;
QList<QIcon> createMainImageList();

}  // namespace vistrel::app
