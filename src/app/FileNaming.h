#pragma once
// The names of the next recording and of the next grabbed picture: folder, root, an optional
// date stamp of the session and a counter.

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace vistrel::app {

// "ddmmyy_hhmmss_": two digits each from the session date.
QString dateStamp(const QDateTime& session);
// ".mpg" for the native MPEG streams, ".wmv", ".wav", ".mp3", else ".avi".
QString videoExtension(uint8_t captureFormat);
// The folder with a "/" at its end; an empty folder gives "/", the root.
QString folderWithSlash(const QString& folder);

struct VideoNameParts {
  QString folder, root;
  bool withDate = true;
  QDateTime session;
  uint8_t captureFormat = 0;
};
struct ImageNameParts {
  QString folder, root;
  bool withDate = false;
  QDateTime session;
  uint8_t imageExtension = 0;  // 0 bmp, 1 jpeg
};

QString composeVideoName(const VideoNameParts& parts, int32_t counter);
// The counter as five digits: after 99 999 it repeats from 00000.
QString composeImageName(const ImageNameParts& parts, int32_t counter);
// The name with its extension replaced by the capture format's.
QString withVideoExtension(const QString& name, uint8_t captureFormat);

}  // namespace vistrel::app
