#include "app/RecordingWatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vistrel::app {

bool ProbeFileCreation(const QString& fileName, int& error) {
  const QByteArray path = fileName.toLocal8Bit();
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = errno;
    // A file that is still there (the trash refused it) is overwritten by the writer.
    return error == EEXIST;
  }
  ::close(fd);
  ::unlink(path.constData());
  return true;
}

TRecordingWatch::~TRecordingWatch() { release(); }

void TRecordingWatch::release() {
  if (heldFd_ >= 0) ::close(heldFd_);
  heldFd_ = -1;
}

void TRecordingWatch::Begin(const QString& file, bool watchFile, int64_t nowMs) {
  release();
  file_ = QFileInfo(file).absoluteFilePath();
  active_ = true;
  watchFile_ = watchFile && !file.isEmpty();
  seen_ = false;
  lastProgressMs_ = nowMs;
  lastFrames_ = -1;
}

// The hold outlives the end: the window restores a vanished file after the writer's close.
void TRecordingWatch::End() { active_ = false; }

TRecordingWatch::Fault TRecordingWatch::Check(int64_t nowMs, std::optional<int64_t> frames) {
  if (!active_) return Fault::None;
  if (watchFile_) {
    const bool exists = QFileInfo::exists(file_);
    if (exists) seen_ = true;
    if (seen_ && !exists) return Fault::FileGone;
  }
  if (frames) {
    if (*frames != lastFrames_) {
      lastFrames_ = *frames;
      lastProgressMs_ = nowMs;
    } else if (nowMs - lastProgressMs_ >= kStallMs) {
      return Fault::Stalled;
    }
  }
  return Fault::None;
}

bool TRecordingWatch::HoldVanishedFile() {
  release();
  const QByteArray wanted = file_.toLocal8Bit() + " (deleted)";
  const QDir fds(QStringLiteral("/proc/self/fd"));
  for (const QString& entry : fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
    const QByteArray link = fds.filePath(entry).toLocal8Bit();
    char target[4096];
    const ssize_t n = ::readlink(link.constData(), target, sizeof target);
    if (n <= 0 || QByteArray(target, static_cast<int>(n)) != wanted) continue;
    // Opening the descriptor's link gives a descriptor of our own on the same inode.
    heldFd_ = ::open(link.constData(), O_RDONLY | O_CLOEXEC);
    if (heldFd_ >= 0) return true;
  }
  return false;
}

bool TRecordingWatch::RestoreVanishedFile(QString& error) {
  if (heldFd_ < 0) {
    error = QString::fromUtf8("le fichier n'est plus accessible");
    return false;
  }
  QDir().mkpath(QFileInfo(file_).absolutePath());
  const QByteArray path = file_.toLocal8Bit();
  bool ok = true;
  auto fail = [&] {
    if (ok) error = QString::fromLocal8Bit(std::strerror(errno));
    ok = false;
  };
  // Never over a file that took the name meanwhile.
  const int out = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (out < 0) fail();
  std::vector<char> buffer(1 << 20);
  for (off_t at = 0; ok;) {
    const ssize_t n = ::pread(heldFd_, buffer.data(), buffer.size(), at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail();
    if (n <= 0) break;
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0)
        fail();
      else
        done += w;
    }
    at += n;
  }
  if (out >= 0 && ::close(out) != 0) fail();
  release();
  return ok;
}

}  // namespace vistrel::app
