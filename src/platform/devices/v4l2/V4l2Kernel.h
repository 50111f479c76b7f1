#pragma once
// The thin seam between the V4L2 backend and the kernel: the system calls the backend makes, with
// errors returned as negative errno values instead of errno. The system implementation calls the
// kernel; tests give a replay of what real drivers answer. Every call may be made from any thread
// (the streaming thread uses ioctl, poll and the mapped memory while the user-interface thread
// reads controls); implementations are thread-safe.

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vistrel::platform::devices::v4l2 {

class V4l2Kernel {
 public:
  virtual ~V4l2Kernel() = default;

  // The device nodes to look at ("/dev/video0", ...), in name order.
  virtual std::vector<std::string> listNodes() = 0;
  // A file descriptor, or -errno (-EACCES, -ENOENT, -EBUSY ...).
  virtual int open(const std::string& path, int flags) = 0;
  virtual int close(int fd) = 0;
  // 0 or -errno; EINTR is retried by the implementation.
  virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
  // The mapping, or nullptr (with `error` set to the errno).
  virtual void* mmap(size_t length, int fd, off_t offset, int& error) = 0;
  virtual int munmap(void* address, size_t length) = 0;
  // Waits at most `timeoutMs` for a buffer: > 0 ready (revents filled), 0 timeout, -errno.
  virtual int poll(int fd, short events, short& revents, int timeoutMs) = 0;

  // The kernel itself.
  static std::shared_ptr<V4l2Kernel> system();
};

// Reports a failure on standard error. `what` names the device and the request
// ("/dev/video0: VIDIOC_S_FMT"); with an errno of 0, `what` is the whole message. Any thread.
void reportError(const std::string& what, int negativeErrno);
// The same for a fact that stays true (an unsupported format): said once per process.
void reportOnce(const std::string& message);
// The user's words for an errno met on a capture node.
std::string describeError(int negativeErrno);

}  // namespace vistrel::platform::devices::v4l2
