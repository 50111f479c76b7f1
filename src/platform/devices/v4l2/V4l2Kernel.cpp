#include "platform/devices/v4l2/V4l2Kernel.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace vistrel::platform::devices::v4l2 {

namespace {
class SystemKernel : public V4l2Kernel {
 public:
  std::vector<std::string> listNodes() override {
    std::vector<std::string> nodes;
    DIR* dir = ::opendir("/dev");
    if (!dir) return nodes;
    while (dirent* e = ::readdir(dir))
      if (std::strncmp(e->d_name, "video", 5) == 0) nodes.push_back(std::string("/dev/") + e->d_name);
    ::closedir(dir);
    // /dev/video2 before /dev/video10.
    std::sort(nodes.begin(), nodes.end(), [](const std::string& a, const std::string& b) {
      return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return nodes;
  }
  int open(const std::string& path, int flags) override {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
  }
  int close(int fd) override { return ::close(fd) == 0 ? 0 : -errno; }
  int ioctl(int fd, unsigned long request, void* arg) override {
    int r;
    do r = ::ioctl(fd, request, arg);
    while (r == -1 && errno == EINTR);
    return r == -1 ? -errno : 0;
  }
  void* mmap(size_t length, int fd, off_t offset, int& error) override {
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    if (p == MAP_FAILED) {
      error = errno;
      return nullptr;
    }
    error = 0;
    return p;
  }
  int munmap(void* address, size_t length) override { return ::munmap(address, length) == 0 ? 0 : -errno; }
  int poll(int fd, short events, short& revents, int timeoutMs) override {
    pollfd p{fd, events, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r < 0) return errno == EINTR ? 0 : -errno;
    revents = p.revents;
    return r;
  }
};
}  // namespace

std::shared_ptr<V4l2Kernel> V4l2Kernel::system() {
  static const auto kernel = std::make_shared<SystemKernel>();
  return kernel;
}

std::string describeError(int negativeErrno) {
  switch (-negativeErrno) {
    case EACCES:
    case EPERM: return "permission denied (is the user in the 'video' group?)";
    case EBUSY: return "device busy (another program is using it)";
    case ENODEV:
    case ENXIO:
    case ENOENT: return "device not present";
    case EINVAL: return "request refused by the driver";
    case ENOMEM: return "not enough memory for the capture buffers";
    case ENOTTY: return "not a video device";
    default: return std::strerror(-negativeErrno);
  }
}

void reportError(const std::string& what, int negativeErrno) {
  const std::string line = negativeErrno ? what + ": " + describeError(negativeErrno) : what;
  std::fprintf(stderr, "vistrel: %s\n", line.c_str());
}

void reportOnce(const std::string& message) {
  static std::mutex lock;
  static std::set<std::string> said;
  {
    std::lock_guard g(lock);
    if (!said.insert(message).second) return;
  }
  std::fprintf(stderr, "vistrel: %s\n", message.c_str());
}

}  // namespace vistrel::platform::devices::v4l2
