#pragma once
// Space on the file system that holds a path.

#include <QString>
#include <cstdint>

namespace vistrel::platform::shell {

struct DiskSpace {
  int64_t totalMiB = 0;  // bytes shifted right by 20
  int64_t freeMiB = 0;   // free to the user (not to root)
};

// Zeros when the file system cannot be queried. A path that does not exist yet is measured on
// its nearest existing parent folder.
DiskSpace diskSpace(const QString& path);
// The mount point of the file system holding `path` (the Linux stand-in for a drive), with no
// trailing "/" except for "/" itself; empty when it cannot be found.
QString mountPoint(const QString& path);

}  // namespace vistrel::platform::shell
