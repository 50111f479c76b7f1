#include <fcntl.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>

#include "platform/devices/v4l2/FakeV4l2.h"

namespace vistrel::testing {

namespace {
void copyText(uint8_t* dst, size_t size, const std::string& s) {
  std::memset(dst, 0, size);
  std::memcpy(dst, s.data(), std::min(size - 1, s.size()));
}

v4l2_queryctrl control(uint32_t id, const char* name, int32_t min, int32_t max, int32_t step, int32_t def,
                       uint32_t type = V4L2_CTRL_TYPE_INTEGER) {
  v4l2_queryctrl q{};
  q.id = id;
  q.type = type;
  copyText(q.name, sizeof q.name, name);
  q.minimum = min;
  q.maximum = max;
  q.step = step;
  q.default_value = def;
  return q;
}

uint32_t bytesPerPixelRow(uint32_t pixfmt, uint32_t w) {
  switch (pixfmt) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_UYVY: return w * 2;
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_RGB24: return w * 3;
    case V4L2_PIX_FMT_BGR32:
    case V4L2_PIX_FMT_XBGR32: return w * 4;
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420: return w;  // the luma plane's rows
    default: return 0;                   // compressed
  }
}

bool planar(uint32_t pixfmt) {
  return pixfmt == V4L2_PIX_FMT_NV12 || pixfmt == V4L2_PIX_FMT_YUV420 || pixfmt == V4L2_PIX_FMT_YVU420;
}
}  // namespace

FakeNode uvcWebcam(const std::string& path, const std::string& card, const std::string& bus) {
  FakeNode n;
  n.path = path;
  n.card = card;
  n.bus = bus;
  n.formats = {{V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", {{640, 480}, {320, 240}}, {{1, 30}, {1, 15}}},
               {V4L2_PIX_FMT_MJPEG, "Motion-JPEG", {{1280, 720}, {640, 480}}, {{1, 30}}}};
  for (auto q :
       {control(V4L2_CID_BRIGHTNESS, "Brightness", 0, 255, 1, 128),
        control(V4L2_CID_CONTRAST, "Contrast", 0, 255, 1, 32),
        control(V4L2_CID_SATURATION, "Saturation", 0, 255, 1, 32),
        control(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic", 0, 1, 1, 1, V4L2_CTRL_TYPE_BOOLEAN),
        control(V4L2_CID_WHITE_BALANCE_TEMPERATURE, "White Balance Temperature", 2800, 6500, 10, 4000),
        control(V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", -36000, 36000, 3600, 0),
        control(V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", 100, 500, 1, 100),
        control(V4L2_CID_EXPOSURE_AUTO, "Auto Exposure", 0, 3, 1, 3, V4L2_CTRL_TYPE_MENU),
        control(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 3, 2047, 1, 250)}) {
    n.controls[q.id] = q;
    n.values[q.id] = q.default_value;
  }
  v4l2_input cam{};
  cam.index = 0;
  copyText(cam.name, sizeof cam.name, "Camera 1");
  cam.type = V4L2_INPUT_TYPE_CAMERA;
  n.inputs = {cam};
  return n;
}

FakeNode analogueCard(const std::string& path) {
  FakeNode n;
  n.path = path;
  n.card = "BT878 video (Hauppauge (bt878))";
  n.driver = "bttv";
  n.bus = "PCI:0000:05:00.0";
  n.caps |= V4L2_CAP_TUNER | V4L2_CAP_READWRITE;
  n.formats = {{V4L2_PIX_FMT_YUYV, "YUV 4:2:2 (YUYV)", {{720, 576}}, {{1, 25}}},
               {V4L2_PIX_FMT_UYVY, "YUV 4:2:2 (UYVY)", {{720, 576}}, {{1, 25}}}};
  const char* names[] = {"Television", "Composite1", "S-Video"};
  for (uint32_t i = 0; i < 3; ++i) {
    v4l2_input in{};
    in.index = i;
    copyText(in.name, sizeof in.name, names[i]);
    in.type = i == 0 ? V4L2_INPUT_TYPE_TUNER : V4L2_INPUT_TYPE_CAMERA;
    in.tuner = 0;
    in.std = V4L2_STD_PAL | V4L2_STD_SECAM;
    n.inputs.push_back(in);
  }
  v4l2_tuner t{};
  t.index = 0;
  copyText(t.name, sizeof t.name, "Television");
  t.type = V4L2_TUNER_ANALOG_TV;
  t.rangelow = 44 * 16;    // 44 MHz in 62.5 kHz steps
  t.rangehigh = 958 * 16;  // 958 MHz
  t.signal = 0xFFFF;
  t.capability = V4L2_TUNER_CAP_STEREO | V4L2_TUNER_CAP_LANG1 | V4L2_TUNER_CAP_LANG2;
  t.rxsubchans = V4L2_TUNER_SUB_STEREO;
  t.audmode = V4L2_TUNER_MODE_STEREO;
  n.tuner = t;
  n.standard = V4L2_STD_PAL_BG;
  auto q = control(V4L2_CID_BRIGHTNESS, "Brightness", 0, 65535, 256, 32768);
  n.controls[q.id] = q;
  n.values[q.id] = q.default_value;
  return n;
}

std::vector<uint8_t> yuyvFrame(uint32_t w, uint32_t h, uint8_t fill) {
  return std::vector<uint8_t>(size_t(w) * h * 2, fill);
}

std::vector<uint8_t> jpegFrame(size_t size, uint8_t fill) {
  std::vector<uint8_t> f(std::max<size_t>(size, 4), fill);
  f[0] = 0xFF, f[1] = 0xD8, f[f.size() - 2] = 0xFF, f[f.size() - 1] = 0xD9;
  return f;
}

FakeNode& FakeV4l2::add(FakeNode node) {
  std::lock_guard g(lock_);
  nodes_.push_back(std::make_unique<FakeNode>(std::move(node)));
  return *nodes_.back();
}

FakeNode* FakeV4l2::nodeLocked(const std::string& path) {
  for (auto& n : nodes_)
    if (n->path == path) return n.get();
  return nullptr;
}

FakeNode* FakeV4l2::node(const std::string& path) {
  std::lock_guard g(lock_);
  return nodeLocked(path);
}

void FakeV4l2::unplug(const std::string& path) {
  std::lock_guard g(lock_);
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if ((*it)->path != path) continue;
    (*it)->removed = true;
    gone_.push_back(std::move(*it));  // open descriptors keep pointing at it
    nodes_.erase(it);
    break;
  }
  changed_.notify_all();
}

void FakeV4l2::replug(FakeNode node) { add(std::move(node)); }

void FakeV4l2::pushFrame(const std::string& path, FakeFrame frame) {
  std::lock_guard g(lock_);
  if (auto* n = nodeLocked(path)) n->pending.push_back(std::move(frame));
  changed_.notify_all();
}

int FakeV4l2::openDescriptors() const {
  std::lock_guard g(lock_);
  return static_cast<int>(fds_.size());
}

int FakeV4l2::mappings() const {
  std::lock_guard g(lock_);
  return mappings_;
}

std::vector<std::string> FakeV4l2::listNodes() {
  std::lock_guard g(lock_);
  std::vector<std::string> out;
  for (auto& n : nodes_) out.push_back(n->path);
  std::sort(out.begin(), out.end());
  return out;
}

int FakeV4l2::open(const std::string& path, int) {
  std::lock_guard g(lock_);
  FakeNode* n = nodeLocked(path);
  if (!n) return -ENOENT;
  if (n->openError) return n->openError;
  ++n->openCount;
  const int fd = nextFd_++;
  fds_[fd] = n;
  return fd;
}

int FakeV4l2::close(int fd) {
  std::lock_guard g(lock_);
  auto it = fds_.find(fd);
  if (it == fds_.end()) return -EBADF;
  FakeNode* n = it->second;
  fds_.erase(it);
  // Closing the streaming descriptor ends the stream and frees the buffers, as the driver does.
  if (n->streaming || !n->buffers.empty()) {
    bool other = false;
    for (auto& [f, m] : fds_) other |= m == n;
    if (!other) {
      n->streaming = false;
      n->buffers.clear();
      n->queued.clear();
    }
  }
  return 0;
}

void* FakeV4l2::mmap(size_t length, int fd, off_t offset, int& error) {
  std::lock_guard g(lock_);
  auto it = fds_.find(fd);
  if (it == fds_.end()) {
    error = EBADF;
    return nullptr;
  }
  FakeNode& n = *it->second;
  const size_t index = static_cast<size_t>(offset) / 4096;
  if (n.removed || index >= n.buffers.size() || length > n.buffers[index].size()) {
    error = n.removed ? ENODEV : EINVAL;
    return nullptr;
  }
  ++mappings_;
  ++n.mapped;
  error = 0;
  return n.buffers[index].data();
}

int FakeV4l2::munmap(void*, size_t) {
  std::lock_guard g(lock_);
  --mappings_;
  return 0;
}

int FakeV4l2::poll(int fd, short, short& revents, int timeoutMs) {
  std::unique_lock g(lock_);
  auto it = fds_.find(fd);
  if (it == fds_.end()) return -EBADF;
  FakeNode& n = *it->second;
  if (n.pollError) return n.pollError;
  if (n.pollRevents) {
    revents = n.pollRevents;
    return 1;
  }
  auto ready = [&] { return n.removed || (n.streaming && !n.pending.empty() && !n.queued.empty()); };
  changed_.wait_for(g, std::chrono::milliseconds(timeoutMs), ready);
  if (n.removed) {
    revents = POLLERR | POLLHUP;
    return 1;
  }
  if (!ready()) return 0;
  revents = POLLIN;
  return 1;
}

int FakeV4l2::ioctl(int fd, unsigned long request, void* arg) {
  std::lock_guard g(lock_);
  auto it = fds_.find(fd);
  if (it == fds_.end()) return -EBADF;
  if (it->second->removed) return -ENODEV;
  const int r = ioctlLocked(*it->second, request, arg);
  changed_.notify_all();
  return r;
}

int FakeV4l2::ioctlLocked(FakeNode& n, unsigned long request, void* arg) {
  switch (request) {
    case VIDIOC_QUERYCAP: {
      auto* c = static_cast<v4l2_capability*>(arg);
      *c = {};
      copyText(c->driver, sizeof c->driver, n.driver);
      copyText(c->card, sizeof c->card, n.card);
      copyText(c->bus_info, sizeof c->bus_info, n.bus);
      c->capabilities = n.caps | V4L2_CAP_DEVICE_CAPS;
      c->device_caps = n.caps;
      return 0;
    }
    case VIDIOC_ENUM_FMT: {
      auto* d = static_cast<v4l2_fmtdesc*>(arg);
      if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= n.formats.size()) return -EINVAL;
      const auto& f = n.formats[d->index];
      d->pixelformat = f.pixelformat;
      d->flags = f.pixelformat == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
      copyText(d->description, sizeof d->description, f.description);
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      auto* s = static_cast<v4l2_frmsizeenum*>(arg);
      auto f = std::find_if(n.formats.begin(), n.formats.end(),
                            [&](auto& x) { return x.pixelformat == s->pixel_format; });
      if (f == n.formats.end()) return -EINVAL;
      if (n.garbageSizes) {
        if (s->index > 1) return -EINVAL;
        s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s->discrete.width = s->index ? 99999 : 0;
        s->discrete.height = s->index ? 99999 : 0;
        return 0;
      }
      if (f->stepwiseSizes) {
        if (s->index > 0) return -EINVAL;
        s->type = V4L2_FRMSIZE_TYPE_STEPWISE;
        s->stepwise = {f->sizes[0].first, f->sizes[1].first, 16, f->sizes[0].second, f->sizes[1].second, 16};
        return 0;
      }
      if (s->index >= f->sizes.size()) return -EINVAL;
      s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
      s->discrete.width = f->sizes[s->index].first;
      s->discrete.height = f->sizes[s->index].second;
      return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      auto* v = static_cast<v4l2_frmivalenum*>(arg);
      auto f = std::find_if(n.formats.begin(), n.formats.end(),
                            [&](auto& x) { return x.pixelformat == v->pixel_format; });
      if (f == n.formats.end() || v->index >= f->intervals.size()) return -EINVAL;
      v->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      v->discrete.numerator = f->intervals[v->index].first;
      v->discrete.denominator = f->intervals[v->index].second;
      return 0;
    }
    case VIDIOC_G_FMT: {
      auto* f = static_cast<v4l2_format*>(arg);
      f->fmt.pix = n.pix;
      return 0;
    }
    case VIDIOC_S_FMT: {
      auto* f = static_cast<v4l2_format*>(arg);
      if (n.sFmtError) return n.sFmtError;
      if (n.streaming) return -EBUSY;
      if (n.forcedFormat) {
        f->fmt.pix = n.pix = *n.forcedFormat;
        return 0;
      }
      auto fm = std::find_if(n.formats.begin(), n.formats.end(),
                             [&](auto& x) { return x.pixelformat == f->fmt.pix.pixelformat; });
      if (fm == n.formats.end()) fm = n.formats.begin();  // drivers substitute, never refuse
      f->fmt.pix.pixelformat = fm->pixelformat;
      auto size =
          std::find(fm->sizes.begin(), fm->sizes.end(), std::make_pair(f->fmt.pix.width, f->fmt.pix.height));
      if (size == fm->sizes.end()) size = fm->sizes.begin();
      f->fmt.pix.width = size->first;
      f->fmt.pix.height = size->second;
      f->fmt.pix.field = V4L2_FIELD_NONE;
      const uint32_t row = bytesPerPixelRow(fm->pixelformat, size->first);
      f->fmt.pix.bytesperline = row ? row + n.linePadding : 0;
      f->fmt.pix.sizeimage = !row                      ? size->first * size->second * 2
                             : planar(fm->pixelformat) ? f->fmt.pix.bytesperline * size->second * 3 / 2
                                                       : f->fmt.pix.bytesperline * size->second;
      n.pix = f->fmt.pix;
      return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: return 0;
    case VIDIOC_REQBUFS: {
      auto* rb = static_cast<v4l2_requestbuffers*>(arg);
      if (rb->memory != V4L2_MEMORY_MMAP) return -EINVAL;
      if (n.streaming) return -EBUSY;
      if (rb->count == 0) {
        n.buffers.clear();
        n.queued.clear();
        return 0;
      }
      if (n.mapped > 0 && !n.buffers.empty()) return -EBUSY;
      rb->count = n.buffersGiven;
      // An absurd count is reported, not allocated: nobody may map past the sane ones.
      n.buffers.assign(std::min(rb->count, 64u), std::vector<uint8_t>(n.pix.sizeimage));
      n.queued.clear();
      return 0;
    }
    case VIDIOC_QUERYBUF: {
      auto* b = static_cast<v4l2_buffer*>(arg);
      if (b->index >= n.buffers.size()) return -EINVAL;
      b->length = static_cast<uint32_t>(n.buffers[b->index].size());
      b->m.offset = b->index * 4096;
      return 0;
    }
    case VIDIOC_QBUF: {
      auto* b = static_cast<v4l2_buffer*>(arg);
      if (b->index >= n.buffers.size()) return -EINVAL;
      n.queued.push_back(b->index);
      return 0;
    }
    case VIDIOC_DQBUF: {
      auto* b = static_cast<v4l2_buffer*>(arg);
      if (n.dqbufError) return n.dqbufError;
      if (!n.streaming) return -EINVAL;
      if (n.queued.empty() || n.pending.empty()) return -EAGAIN;
      const uint32_t index = n.queued.front();
      n.queued.pop_front();
      FakeFrame frame = std::move(n.pending.front());
      n.pending.pop_front();
      auto& buf = n.buffers[index];
      const size_t used = std::min(buf.size(), frame.bytes.size());
      std::memcpy(buf.data(), frame.bytes.data(), used);
      b->index = frame.badIndex ? 99 : index;
      b->bytesused = static_cast<uint32_t>(used);
      b->sequence = frame.sequence;
      b->flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | (frame.error ? V4L2_BUF_FLAG_ERROR : 0);
      int64_t us = frame.timestampUs;
      if (us < 0) {
        timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        us = int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
      }
      b->timestamp.tv_sec = us / 1000000;
      b->timestamp.tv_usec = us % 1000000;
      return 0;
    }
    case VIDIOC_STREAMON:
      if (n.buffers.empty()) return -EINVAL;
      n.streaming = true;
      ++n.streamOns;
      return 0;
    case VIDIOC_STREAMOFF:
      n.streaming = false;
      n.queued.clear();
      return 0;
    case VIDIOC_QUERYCTRL: {
      auto* q = static_cast<v4l2_queryctrl*>(arg);
      auto c = n.controls.find(q->id);
      if (c == n.controls.end()) return -EINVAL;
      *q = c->second;
      return 0;
    }
    case VIDIOC_G_CTRL: {
      auto* c = static_cast<v4l2_control*>(arg);
      auto v = n.values.find(c->id);
      if (v == n.values.end()) return -EINVAL;
      c->value = v->second;
      return 0;
    }
    case VIDIOC_S_CTRL: {
      auto* c = static_cast<v4l2_control*>(arg);
      auto q = n.controls.find(c->id);
      if (q == n.controls.end()) return -EINVAL;
      if (c->value < q->second.minimum || c->value > q->second.maximum) return -ERANGE;
      // UVC refuses a manual value while the automatic mode is on.
      if (c->id == V4L2_CID_WHITE_BALANCE_TEMPERATURE && n.values[V4L2_CID_AUTO_WHITE_BALANCE])
        return -EACCES;
      if (c->id == V4L2_CID_EXPOSURE_ABSOLUTE && n.values[V4L2_CID_EXPOSURE_AUTO] != V4L2_EXPOSURE_MANUAL)
        return -EACCES;
      if (c->id == V4L2_CID_EXPOSURE_AUTO && c->value != V4L2_EXPOSURE_MANUAL &&
          c->value != V4L2_EXPOSURE_APERTURE_PRIORITY)
        return -EINVAL;
      n.values[c->id] = c->value;
      return 0;
    }
    case VIDIOC_ENUMINPUT: {
      auto* in = static_cast<v4l2_input*>(arg);
      if (in->index >= n.inputs.size()) return -EINVAL;
      *in = n.inputs[in->index];
      return 0;
    }
    case VIDIOC_G_INPUT: *static_cast<int*>(arg) = n.currentInput; return 0;
    case VIDIOC_S_INPUT: {
      const int i = *static_cast<int*>(arg);
      if (i < 0 || i >= static_cast<int>(n.inputs.size())) return -EINVAL;
      n.currentInput = i;
      return 0;
    }
    case VIDIOC_G_TUNER: {
      auto* t = static_cast<v4l2_tuner*>(arg);
      if (!n.tuner || t->index != n.tuner->index) return -EINVAL;
      *t = *n.tuner;
      return 0;
    }
    case VIDIOC_S_TUNER: {
      auto* t = static_cast<v4l2_tuner*>(arg);
      if (!n.tuner || t->index != n.tuner->index || t->audmode > V4L2_TUNER_MODE_LANG1_LANG2) return -EINVAL;
      n.tuner->audmode = t->audmode;
      return 0;
    }
    case VIDIOC_G_FREQUENCY: {
      auto* f = static_cast<v4l2_frequency*>(arg);
      if (!n.tuner) return -EINVAL;
      f->type = V4L2_TUNER_ANALOG_TV;
      f->frequency = n.frequency;
      return 0;
    }
    case VIDIOC_S_FREQUENCY: {
      auto* f = static_cast<v4l2_frequency*>(arg);
      if (!n.tuner || f->tuner != n.tuner->index) return -EINVAL;
      n.frequency = std::clamp(f->frequency, n.tuner->rangelow, n.tuner->rangehigh);
      return 0;
    }
    case VIDIOC_G_STD:
      if (!n.standard) return -ENODATA;
      *static_cast<v4l2_std_id*>(arg) = n.standard;
      return 0;
    case VIDIOC_S_STD: n.standard = *static_cast<v4l2_std_id*>(arg); return 0;
    default: return -ENOTTY;
  }
}

}  // namespace vistrel::testing
