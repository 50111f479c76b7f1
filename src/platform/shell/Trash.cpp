#include "platform/shell/Trash.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Environment.h"
#include "platform/shell/DiskSpace.h"

namespace vistrel::platform::shell {
namespace {

// Reserves "<name>.trashinfo" (then "<name>.2.trashinfo", ...) with O_EXCL so that two
// processes trashing files of the same name never take the same slot.
bool reserveInfo(const QString& infoDir, const QString& fileName, QString& slotName, int& fd) {
  const QFileInfo parts(fileName);
  for (int n = 1; n < 100000; ++n) {
    slotName = n == 1 ? fileName
                      : (parts.completeBaseName().isEmpty() || parts.suffix().isEmpty()
                             ? fileName + QStringLiteral(".%1").arg(n)
                             : parts.completeBaseName() + QStringLiteral(".%1.").arg(n) + parts.suffix());
    const QByteArray infoPath =
        QFile::encodeName(infoDir + QLatin1Char('/') + slotName + QStringLiteral(".trashinfo"));
    fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

}  // namespace

QString trashFolder() { return dataFolder() + QStringLiteral("/Trash"); }

namespace {

// Moves `source` into one trash folder (its files/ and info/), recording `recordedPath` as the
// original path. `crossDevice` tells the caller that another trash must be tried.
bool trashInto(const QString& trash, const QFileInfo& source, const QString& recordedPath, bool& crossDevice,
               QString& why) {
  crossDevice = false;
  const QString filesDir = trash + QStringLiteral("/files");
  const QString infoDir = trash + QStringLiteral("/info");
  if (!QDir().mkpath(filesDir) || !QDir().mkpath(infoDir)) {
    why = QStringLiteral("cannot create ") + trash;
    return false;
  }
  QString slot;
  int fd = -1;
  if (!reserveInfo(infoDir, source.fileName(), slot, fd)) {
    why = QStringLiteral("cannot create trash information: ") + QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  const QString infoPath = infoDir + QLatin1Char('/') + slot + QStringLiteral(".trashinfo");
  const QByteArray info =
      "[Trash Info]\nPath=" + QUrl::toPercentEncoding(recordedPath, "/") + "\nDeletionDate=" +
      QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + "\n";
  const bool written = ::write(fd, info.constData(), info.size()) == info.size();
  ::close(fd);
  const QByteArray target = QFile::encodeName(filesDir + QLatin1Char('/') + slot);
  if (written && ::rename(QFile::encodeName(source.absoluteFilePath()).constData(), target.constData()) == 0)
    return true;
  crossDevice = errno == EXDEV;
  why = QString::fromLocal8Bit(std::strerror(errno));
  QFile::remove(infoPath);
  return false;
}

}  // namespace

bool moveToTrash(const QString& path, QString* error) {
  auto fail = [&](const QString& why) {
    if (error) *error = QStringLiteral("cannot move %1 to the trash: %2").arg(path, why);
    return false;
  };
  const QFileInfo source(path);
  if (!source.exists() && !source.isSymLink()) return fail(QStringLiteral("no such file"));
  const QString absolute = source.absoluteFilePath();
  bool crossDevice = false;
  QString why;
  if (trashInto(trashFolder(), source, absolute, crossDevice, why)) return true;
  if (!crossDevice) return fail(why);
  // A file on another file system (a second disk, a USB drive) goes to that file system's own
  // trash, "$topdir/.Trash-$uid", rather than being copied across.
  const QString top = mountPoint(absolute);
  if (top.isEmpty()) return fail(why);
  const QString topTrash = (top == QLatin1String("/") ? QString() : top) + QStringLiteral("/.Trash-") +
                           QString::number(::getuid());
  const QString relative = QDir(top).relativeFilePath(absolute);
  if (trashInto(topTrash, source, relative, crossDevice, why)) return true;
  return fail(why);
}

}  // namespace vistrel::platform::shell
