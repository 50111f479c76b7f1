#pragma once
// The recycle bin: the freedesktop trash of the user's data folder ($XDG_DATA_HOME/Trash), so a
// file moved there can be restored from the desktop's trash. Name clashes get a numbered name.

#include <QString>

namespace vistrel::platform::shell {

// Moves a file or folder to the trash. False (with a reason in `error`) when it cannot.
bool moveToTrash(const QString& path, QString* error = nullptr);
// The trash folder in use (its files/ and info/ subfolders).
QString trashFolder();

}  // namespace vistrel::platform::shell
