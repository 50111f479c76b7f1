#include "platform/media/avi/ByteSink.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace vistrel::platform::media::avi {
namespace {

class FileSink : public ByteSink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  ~FileSink() override { ::close(fd_); }

  bool writeAt(uint64_t offset, const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        error_ = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
        return false;
      }
      p += n;
      offset += static_cast<uint64_t>(n);
      size -= static_cast<size_t>(n);
    }
    return true;
  }
  bool flush() override {
    if (::fsync(fd_) == 0) return true;
    error_ = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  QString errorText() const override { return error_; }

 private:
  int fd_;
  QString error_;
};

}  // namespace

std::unique_ptr<ByteSink> openFileSink(const QString& path, QString* error) {
  const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (error) *error = QString::fromLocal8Bit(std::strerror(errno));
    return nullptr;
  }
  return std::make_unique<FileSink>(fd);
}

}  // namespace vistrel::platform::media::avi
