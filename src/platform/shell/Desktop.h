#pragma once
// Opening files, folders and web pages with the desktop's default application, and showing a
// file selected in the file manager. Call from the user-interface thread.

#include <QString>

namespace vistrel::platform::shell {

bool openWithDefaultApplication(const QString& pathOrUrl);
// Asks the file manager (org.freedesktop.FileManager1 on the session bus) to show the file
// selected; falls back to opening its folder.
bool showInFolder(const QString& filePath);

}  // namespace vistrel::platform::shell
