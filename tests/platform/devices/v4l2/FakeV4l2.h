#pragma once
// A replay of what V4L2 drivers answer, written from linux/videodev2.h: a UVC webcam (YUYV and
// MJPEG, controls), an analogue card (three inputs, a tuner, a standard) and nodes that misbehave.
// Frames are pushed by the test and handed out through the mmap streaming ioctls.

#include <linux/videodev2.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/devices/v4l2/V4l2Kernel.h"

namespace vistrel::testing {

struct FakeFormat {
  uint32_t pixelformat;
  std::string description;
  std::vector<std::pair<uint32_t, uint32_t>> sizes;
  std::vector<std::pair<uint32_t, uint32_t>> intervals;  // the same for every size
  bool stepwiseSizes = false;                            // sizes[0] min, sizes[1] max, step 16x16
};

struct FakeFrame {
  std::vector<uint8_t> bytes;
  uint32_t sequence = 0;
  bool error = false;
  int64_t timestampUs = -1;  // the driver's capture time on CLOCK_MONOTONIC; -1: when dequeued
  bool badIndex = false;     // DQBUF names a buffer that was never requested
};

struct FakeNode {
  std::string path;
  std::string card, driver = "uvcvideo", bus = "usb-0000:00:14.0-1";
  uint32_t caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  std::vector<FakeFormat> formats;
  std::map<uint32_t, v4l2_queryctrl> controls;
  std::map<uint32_t, int32_t> values;
  std::vector<v4l2_input> inputs;
  int currentInput = 0;
  std::optional<v4l2_tuner> tuner;
  uint32_t frequency = 0;
  v4l2_std_id standard = 0;
  int openError = 0;  // -EACCES, -EBUSY ...
  int sFmtError = 0;  // -EBUSY when another program streams
  uint32_t buffersGiven = 4;
  bool garbageSizes = false;  // frame sizes of 0 x 0 and 99999 x 99999
  // S_FMT answers this format whatever was asked (a driver that did not take the request).
  std::optional<v4l2_pix_format> forcedFormat;
  uint32_t linePadding = 0;  // bytes at the end of every row (and of every chroma row, halved)
  int dqbufError = 0;        // every DQBUF answers it (-EIO ...)
  int pollError = 0;         // every poll answers it
  short pollRevents = 0;     // every poll is ready at once with these events (POLLERR)

  // Streaming state.
  v4l2_pix_format pix{};
  bool streaming = false;
  bool removed = false;
  std::vector<std::vector<uint8_t>> buffers;
  std::deque<uint32_t> queued;
  std::deque<FakeFrame> pending;
  int mapped = 0;
  int openCount = 0;
  int streamOns = 0;
};

class FakeV4l2 : public vistrel::platform::devices::v4l2::V4l2Kernel {
 public:
  FakeNode& add(FakeNode node);
  FakeNode* node(const std::string& path);
  // Removes the node as an unplug does: open descriptors answer ENODEV, the node disappears.
  void unplug(const std::string& path);
  void replug(FakeNode node);
  void pushFrame(const std::string& path, FakeFrame frame);
  // Open descriptors and mappings still held (0 after a clean teardown).
  int openDescriptors() const;
  int mappings() const;
  template <class F>
  auto with(const std::string& path, F f) {
    std::lock_guard g(lock_);
    return f(*nodeLocked(path));
  }

  std::vector<std::string> listNodes() override;
  int open(const std::string& path, int flags) override;
  int close(int fd) override;
  int ioctl(int fd, unsigned long request, void* arg) override;
  void* mmap(size_t length, int fd, off_t offset, int& error) override;
  int munmap(void* address, size_t length) override;
  int poll(int fd, short events, short& revents, int timeoutMs) override;

 private:
  FakeNode* nodeLocked(const std::string& path);
  int ioctlLocked(FakeNode& n, unsigned long request, void* arg);

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::unique_ptr<FakeNode>> nodes_;
  std::vector<std::unique_ptr<FakeNode>> gone_;
  std::map<int, FakeNode*> fds_;
  int nextFd_ = 100;
  int mappings_ = 0;
};

// A UVC webcam: YUYV 640x480 and 320x240 at 30 and 15 fps, MJPEG 1280x720 and 640x480 at 30 fps,
// brightness, contrast, saturation, white balance with automatic mode, pan, zoom, exposure.
FakeNode uvcWebcam(const std::string& path, const std::string& card = "HD Webcam C270",
                   const std::string& bus = "usb-0000:00:14.0-1");
// An analogue capture card (bttv style): inputs Television (tuner), Composite1, S-Video, a PAL
// tuner, YUYV and UYVY at 720x576 25 fps.
FakeNode analogueCard(const std::string& path);
// A YUYV frame of `w` x `h` whose every byte is `fill`.
std::vector<uint8_t> yuyvFrame(uint32_t w, uint32_t h, uint8_t fill);
// A tiny JPEG-looking frame (SOI ... EOI).
std::vector<uint8_t> jpegFrame(size_t size, uint8_t fill);

}  // namespace vistrel::testing
