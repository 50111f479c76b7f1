#pragma once
// The media framework's version as the program shows and checks it at start.

#include <QString>

namespace vistrel::app {

struct MediaFrameworkVersion {
  QString display;  // "9.0c"; the value itself when it does not parse; "Erreur" when missing
  int major = 0;    // 0 when anything cannot be parsed
};

// From a version value such as "4.09.00.0904": major 9, display "9.0c".
MediaFrameworkVersion parseMediaFrameworkVersion(const QString& value);
// Reads HKEY_LOCAL_MACHINE "\Software\Microsoft\DirectX" "version".
MediaFrameworkVersion readMediaFrameworkVersion();
// The warning shown below version 9.
QString mediaFrameworkWarning(const MediaFrameworkVersion& version);

}  // namespace vistrel::app
