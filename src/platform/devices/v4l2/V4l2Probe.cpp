#include "platform/devices/v4l2/V4l2Probe.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>

namespace vistrel::platform::devices::v4l2 {

namespace {
constexpr uint32_t kMaxDimension = 16384;
constexpr int kMaxEntries = 256;  // a driver that never ends an enumeration is cut off here

std::string text(const uint8_t* bytes, size_t size) {
  const size_t n = strnlen(reinterpret_cast<const char*>(bytes), size);
  return std::string(reinterpret_cast<const char*>(bytes), n);
}

bool saneSize(uint32_t w, uint32_t h) { return w > 0 && h > 0 && w <= kMaxDimension && h <= kMaxDimension; }

// A frame interval between a thousandth of a second and a minute; anything else is garbage.
bool saneInterval(uint32_t num, uint32_t den) {
  return num > 0 && den > 0 && uint64_t(num) * 1000 >= den && uint64_t(num) <= uint64_t(den) * 60;
}

// 2/60 and 1/30 are one interval: kept in lowest terms so that it is offered once.
std::pair<uint32_t, uint32_t> lowestTerms(uint32_t num, uint32_t den) {
  const uint32_t g = std::gcd(num, den);
  return {num / g, den / g};
}

std::vector<std::pair<uint32_t, uint32_t>> readIntervals(V4l2Kernel& k, int fd, uint32_t pixfmt, uint32_t w,
                                                         uint32_t h) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_frmivalenum iv{};
    iv.index = i;
    iv.pixel_format = pixfmt;
    iv.width = w;
    iv.height = h;
    if (k.ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &iv) != 0) break;
    if (iv.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
      if (saneInterval(iv.discrete.numerator, iv.discrete.denominator))
        out.push_back(lowestTerms(iv.discrete.numerator, iv.discrete.denominator));
      continue;
    }
    // A range: offer the usual rates that fall inside it.
    const auto& mn = iv.stepwise.min;
    const auto& mx = iv.stepwise.max;
    if (!mn.denominator || !mx.denominator || !mn.numerator) break;
    const double fastest = double(mn.denominator) / mn.numerator;
    const double slowest = mx.numerator ? double(mx.denominator) / mx.numerator : 1.0;
    for (uint32_t fps : {60u, 50u, 30u, 25u, 24u, 20u, 15u, 10u, 5u})
      if (fps <= fastest + 0.01 && fps >= slowest - 0.01) out.emplace_back(1, fps);
    break;
  }
  // Fastest first.
  std::stable_sort(out.begin(), out.end(), [](auto& a, auto& b) {
    return uint64_t(a.first) * b.second < uint64_t(b.first) * a.second;
  });
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::vector<V4l2FrameSize> readSizes(V4l2Kernel& k, int fd, uint32_t pixfmt) {
  std::vector<V4l2FrameSize> out;
  std::vector<std::pair<uint32_t, uint32_t>> dims;
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_frmsizeenum fs{};
    fs.index = i;
    fs.pixel_format = pixfmt;
    if (k.ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs) != 0) break;
    if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      if (saneSize(fs.discrete.width, fs.discrete.height))
        dims.emplace_back(fs.discrete.width, fs.discrete.height);
      continue;
    }
    const auto& s = fs.stepwise;
    if (!saneSize(s.min_width, s.min_height) || !saneSize(s.max_width, s.max_height)) break;
    const uint32_t sw = std::max<uint32_t>(s.step_width, 1), sh = std::max<uint32_t>(s.step_height, 1);
    for (auto [w, h] : commonFrameSizes())
      if (w >= s.min_width && w <= s.max_width && h >= s.min_height && h <= s.max_height &&
          (w - s.min_width) % sw == 0 && (h - s.min_height) % sh == 0)
        dims.emplace_back(w, h);
    if (std::find(dims.begin(), dims.end(), std::make_pair(s.max_width, s.max_height)) == dims.end())
      dims.emplace_back(s.max_width, s.max_height);
    break;
  }
  if (dims.empty()) {
    // No size enumeration: the driver's current format is the one size we know.
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (k.ioctl(fd, VIDIOC_G_FMT, &f) == 0 && f.fmt.pix.pixelformat == pixfmt &&
        saneSize(f.fmt.pix.width, f.fmt.pix.height))
      dims.emplace_back(f.fmt.pix.width, f.fmt.pix.height);
  }
  for (auto [w, h] : dims) {
    V4l2FrameSize s;
    s.width = w;
    s.height = h;
    s.intervals = readIntervals(k, fd, pixfmt, w, h);
    if (s.intervals.empty()) {
      v4l2_streamparm p{};
      p.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      const auto& tpf = p.parm.capture.timeperframe;
      if (k.ioctl(fd, VIDIOC_G_PARM, &p) == 0 && saneInterval(tpf.numerator, tpf.denominator))
        s.intervals.push_back(lowestTerms(tpf.numerator, tpf.denominator));
      else
        s.intervals.emplace_back(1, 30);
    }
    out.push_back(std::move(s));
  }
  return out;
}

void readControls(V4l2Kernel& k, int fd, std::vector<V4l2Control>& out) {
  static const uint32_t ids[] = {V4L2_CID_BRIGHTNESS,
                                 V4L2_CID_CONTRAST,
                                 V4L2_CID_HUE,
                                 V4L2_CID_SATURATION,
                                 V4L2_CID_SHARPNESS,
                                 V4L2_CID_GAMMA,
                                 V4L2_CID_WHITE_BALANCE_TEMPERATURE,
                                 V4L2_CID_BACKLIGHT_COMPENSATION,
                                 V4L2_CID_GAIN,
                                 V4L2_CID_PAN_ABSOLUTE,
                                 V4L2_CID_TILT_ABSOLUTE,
                                 V4L2_CID_ZOOM_ABSOLUTE,
                                 V4L2_CID_EXPOSURE_ABSOLUTE,
                                 V4L2_CID_FOCUS_ABSOLUTE,
                                 V4L2_CID_IRIS_ABSOLUTE,
                                 V4L2_CID_AUTO_WHITE_BALANCE,
                                 V4L2_CID_EXPOSURE_AUTO,
                                 V4L2_CID_FOCUS_AUTO};
  for (uint32_t id : ids) {
    v4l2_queryctrl q{};
    q.id = id;
    if (k.ioctl(fd, VIDIOC_QUERYCTRL, &q) != 0) continue;
    if (q.flags & V4L2_CTRL_FLAG_DISABLED) continue;
    if (q.minimum > q.maximum) continue;  // garbage range
    V4l2Control c;
    c.id = q.id;
    c.minimum = q.minimum;
    c.maximum = q.maximum;
    c.step = q.step > 0 ? q.step : 1;
    c.defaultValue = std::clamp(q.default_value, q.minimum, q.maximum);
    c.type = q.type;
    out.push_back(c);
  }
  auto has = [&](uint32_t id) {
    return std::any_of(out.begin(), out.end(), [id](auto& c) { return c.id == id; });
  };
  for (auto& c : out) {
    if (c.id == V4L2_CID_WHITE_BALANCE_TEMPERATURE) c.hasAuto = has(V4L2_CID_AUTO_WHITE_BALANCE);
    if (c.id == V4L2_CID_EXPOSURE_ABSOLUTE) c.hasAuto = has(V4L2_CID_EXPOSURE_AUTO);
    if (c.id == V4L2_CID_FOCUS_ABSOLUTE) c.hasAuto = has(V4L2_CID_FOCUS_AUTO);
  }
}
}  // namespace

const std::vector<std::pair<uint32_t, uint32_t>>& commonFrameSizes() {
  static const std::vector<std::pair<uint32_t, uint32_t>> sizes = {
      {160, 120}, {320, 240}, {352, 288},  {640, 480},  {720, 480},
      {720, 576}, {800, 600}, {1024, 768}, {1280, 720}, {1920, 1080}};
  return sizes;
}

std::optional<V4l2DeviceInfo> probeDevice(V4l2Kernel& k, const std::string& path) {
  const int fd = k.open(path, O_RDWR | O_NONBLOCK);
  if (fd < 0) {
    if (fd != -ENOENT && fd != -ENODEV && fd != -ENXIO) reportError(path, fd);
    return std::nullopt;
  }
  struct Closer {
    V4l2Kernel& k;
    int fd;
    ~Closer() { k.close(fd); }
  } closer{k, fd};

  v4l2_capability cap{};
  if (const int r = k.ioctl(fd, VIDIOC_QUERYCAP, &cap); r != 0) {
    if (r != -ENOTTY) reportError(path + ": VIDIOC_QUERYCAP", r);
    return std::nullopt;
  }
  const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  // Metadata and output nodes of the same camera are not capture devices.
  if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) return std::nullopt;

  V4l2DeviceInfo info;
  info.path = path;
  info.card = text(cap.card, sizeof cap.card);
  info.busInfo = text(cap.bus_info, sizeof cap.bus_info);
  info.driver = text(cap.driver, sizeof cap.driver);
  if (info.card.empty()) info.card = path;

  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_fmtdesc d{};
    d.index = i;
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (k.ioctl(fd, VIDIOC_ENUM_FMT, &d) != 0) break;
    V4l2Format f;
    f.pixelformat = d.pixelformat;
    f.flags = d.flags;
    f.description = text(d.description, sizeof d.description);
    f.sizes = readSizes(k, fd, d.pixelformat);
    if (!f.sizes.empty()) info.formats.push_back(std::move(f));
  }
  readControls(k, fd, info.controls);
  for (uint32_t i = 0; i < kMaxEntries; ++i) {
    v4l2_input in{};
    in.index = i;
    if (k.ioctl(fd, VIDIOC_ENUMINPUT, &in) != 0) break;
    info.inputs.push_back({in.index, text(in.name, sizeof in.name), in.type, in.tuner, in.std});
    info.standards |= in.std;
  }
  for (const auto& in : info.inputs) {
    if (in.type != V4L2_INPUT_TYPE_TUNER) continue;
    v4l2_tuner t{};
    t.index = in.tuner;
    if (k.ioctl(fd, VIDIOC_G_TUNER, &t) != 0) continue;
    if (std::any_of(info.tuners.begin(), info.tuners.end(), [&](auto& x) { return x.index == t.index; }))
      continue;
    info.tuners.push_back({t.index, t.type, t.capability, t.rangelow, t.rangehigh});
  }
  return info;
}

}  // namespace vistrel::platform::devices::v4l2
