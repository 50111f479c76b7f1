#pragma once
// JPEG files through libjpeg.

#include <QImage>
#include <QString>

namespace vistrel::app {

// Compresses `picture` (any format; converted to 24-bit colour) at `quality` (clamped to 1..100)
// into `path`. False, with nothing left behind, when the file cannot be written.
bool WriteJpeg(const QImage& picture, const QString& path, int quality);

}  // namespace vistrel::app
