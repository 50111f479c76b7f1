#include "platform/shell/DiskSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vistrel::platform::shell {
namespace {

QString nearestExisting(const QString& path) {
  QString current = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
  while (!QFileInfo::exists(current) && current != QLatin1String("/"))
    current = QFileInfo(current).absolutePath();
  return current;
}

bool deviceOf(const QString& path, dev_t& device) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
  device = st.st_dev;
  return true;
}

}  // namespace

DiskSpace diskSpace(const QString& path) {
  if (path.isEmpty()) return {};
  struct statvfs fs {};
  if (::statvfs(QFile::encodeName(nearestExisting(path)).constData(), &fs) != 0) return {};
  const auto unit = static_cast<uint64_t>(fs.f_frsize ? fs.f_frsize : fs.f_bsize);
  return DiskSpace{static_cast<int64_t>((fs.f_blocks * unit) >> 20),
                   static_cast<int64_t>((fs.f_bavail * unit) >> 20)};
}

QString mountPoint(const QString& path) {
  if (path.isEmpty()) return {};
  // Walk up while the device stays the same: the last folder on it is the mount point.
  QString current = nearestExisting(path);
  if (!QFileInfo(current).isDir()) current = QFileInfo(current).absolutePath();
  dev_t device{};
  if (!deviceOf(current, device)) return {};
  while (current != QLatin1String("/")) {
    const QString parent = QFileInfo(current).absolutePath();
    dev_t parentDevice{};
    if (!deviceOf(parent, parentDevice) || parentDevice != device) break;
    current = parent;
  }
  return current;
}

}  // namespace vistrel::platform::shell
