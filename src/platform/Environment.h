#pragma once
// Where a run of Vistrel lives: the program folder, the user's home and its XDG folders.
// VISTREL_ROOT=<folder> moves all of them under one folder, so that tests and portable setups
// never touch the user's real files:
//   <root>/program/  program folder (Vistrel.ini, plug-ins, trace file)
//   <root>/home/     home, with .config, .local/share (trash) and Videos, Pictures, Documents
//   <root>/hklm.ini  optional replacement for the built-in HKEY_LOCAL_MACHINE values
// All functions are thread-safe; values are computed once, until reloadEnvironment().

#include <QString>

namespace vistrel::platform {

enum class UserFolder { Videos, Pictures, Documents };

// The redirected root, or an empty string when VISTREL_ROOT is not set.
QString redirectedRoot();
QString homeFolder();
// XDG_CONFIG_HOME (default ~/.config) and XDG_DATA_HOME (default ~/.local/share), no trailing "/".
QString configFolder();
QString dataFolder();
// The XDG user folder (from user-dirs.dirs, else ~/Videos...); created when missing.
QString userFolder(UserFolder which);
// Full path of the running program, and its folder with a trailing "/".
QString programFile();
QString programFolder();
// VISTREL_DEVICES: the virtual device set file, "none", or empty.
QString deviceSetting();
// Appends "/" when missing (an empty path stays empty).
QString withTrailingSlash(const QString& path);

// Recomputes every folder from the current environment variables (tests change them).
void reloadEnvironment();

}  // namespace vistrel::platform
