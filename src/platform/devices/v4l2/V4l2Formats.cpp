#include "platform/devices/v4l2/V4l2Formats.h"

#include <linux/videodev2.h>

#include <cstring>

namespace vistrel::platform::devices::v4l2 {

using namespace media;

namespace {
REFERENCE_TIME intervalOf(uint32_t num, uint32_t den) {
  if (!num || !den) return UNITS / 30;
  return static_cast<REFERENCE_TIME>(uint64_t(num) * UNITS / den);
}

// Rows of `rowBytes` from a source whose rows are `stride` apart; `flip` writes bottom-up.
bool copyRows(const uint8_t* src, uint32_t used, uint32_t stride, uint32_t rowBytes, uint32_t rows,
              uint8_t* dst, uint32_t dstRowBytes, bool flip, bool swapRgb) {
  if (stride < rowBytes) stride = rowBytes;
  if (rows == 0 || uint64_t(stride) * (rows - 1) + rowBytes > used) return false;
  for (uint32_t y = 0; y < rows; ++y) {
    const uint8_t* s = src + size_t(y) * stride;
    uint8_t* d = dst + size_t(flip ? rows - 1 - y : y) * dstRowBytes;
    if (swapRgb) {
      for (uint32_t x = 0; x + 2 < rowBytes; x += 3) {
        d[x] = s[x + 2];
        d[x + 1] = s[x + 1];
        d[x + 2] = s[x];
      }
    } else {
      std::memcpy(d, s, rowBytes);
    }
  }
  return true;
}
}  // namespace

std::string fourccText(uint32_t f) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>((f >> (8 * i)) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

std::optional<MediaType> mediaTypeFor(uint32_t pf, uint32_t w, uint32_t h, uint32_t num, uint32_t den) {
  const int iw = static_cast<int>(w), ih = static_cast<int>(h);
  const REFERENCE_TIME t = intervalOf(num, den);
  switch (pf) {
    case V4L2_PIX_FMT_YUYV:
      return MediaType::video(MEDIASUBTYPE_YUY2, iw, ih, 16, makeFourcc('Y', 'U', 'Y', '2'), t);
    case V4L2_PIX_FMT_UYVY:
      return MediaType::video(MEDIASUBTYPE_UYVY, iw, ih, 16, makeFourcc('U', 'Y', 'V', 'Y'), t);
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_RGB24: return MediaType::rgb24(iw, ih, t);
    case V4L2_PIX_FMT_BGR32:
    case V4L2_PIX_FMT_XBGR32:
    case V4L2_PIX_FMT_ABGR32: return MediaType::video(MEDIASUBTYPE_RGB32, iw, ih, 32, BI_RGB, t);
    case V4L2_PIX_FMT_NV12:
      return MediaType::video(MEDIASUBTYPE_NV12, iw, ih, 12, makeFourcc('N', 'V', '1', '2'), t);
    case V4L2_PIX_FMT_YUV420:
      return MediaType::video(MEDIASUBTYPE_I420, iw, ih, 12, makeFourcc('I', '4', '2', '0'), t);
    case V4L2_PIX_FMT_YVU420:
      return MediaType::video(MEDIASUBTYPE_YV12, iw, ih, 12, makeFourcc('Y', 'V', '1', '2'), t);
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG: {
      MediaType mt = MediaType::video(MEDIASUBTYPE_MJPG, iw, ih, 24, makeFourcc('M', 'J', 'P', 'G'), t);
      // Every frame has its own size; the buffer must hold the worst case.
      mt.bFixedSizeSamples = false;
      mt.bTemporalCompression = false;
      return mt;
    }
    case V4L2_PIX_FMT_MPEG: {
      MediaType mt(MEDIATYPE_Stream, MEDIASUBTYPE_MPEG2_PROGRAM, FORMAT_None);
      mt.bFixedSizeSamples = false;
      mt.bTemporalCompression = true;
      mt.lSampleSize = 0;
      return mt;
    }
    default: return std::nullopt;
  }
}

std::vector<V4l2MediaFormat> mediaFormats(const V4l2DeviceInfo& info) {
  std::vector<V4l2MediaFormat> out;
  for (const auto& f : info.formats) {
    if (f.pixelformat == V4L2_PIX_FMT_MPEG) {
      // A byte stream has no size of its own: one entry.
      if (auto mt = mediaTypeFor(f.pixelformat, 0, 0, 1, 30)) {
        const auto& s = f.sizes.front();
        out.push_back(
            {*mt, f.pixelformat, s.width, s.height, s.intervals.front().first, s.intervals.front().second});
      }
      continue;
    }
    for (const auto& s : f.sizes)
      for (const auto& [num, den] : s.intervals) {
        auto mt = mediaTypeFor(f.pixelformat, s.width, s.height, num, den);
        if (!mt) {
          reportOnce(info.path + ": pixel format '" + fourccText(f.pixelformat) +
                     "' is not supported, left out");
          break;
        }
        out.push_back({*mt, f.pixelformat, s.width, s.height, num, den});
      }
  }
  return out;
}

const V4l2MediaFormat* findFormat(const std::vector<V4l2MediaFormat>& formats, const MediaType& type) {
  for (const auto& f : formats) {
    if (f.type.majortype != type.majortype || f.type.subtype != type.subtype) continue;
    if (f.type.majortype == MEDIATYPE_Stream) return &f;
    const auto want = type.bitmapHeader();
    const auto have = f.type.bitmapHeader();
    if (!want || !have) continue;
    if (want->biWidth != have->biWidth || want->biHeight != have->biHeight) continue;
    if (type.averageTimePerFrame() != f.type.averageTimePerFrame()) continue;
    return &f;
  }
  return nullptr;
}

int32_t copyFrame(const V4l2MediaFormat& f, const uint8_t* src, uint32_t used, uint32_t bpl, uint8_t* dst,
                  int32_t capacity) {
  const uint32_t w = f.width, h = f.height;
  auto fits = [&](uint64_t n) { return n <= uint64_t(capacity); };
  switch (f.pixelformat) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_UYVY: {
      const uint32_t row = dibRowBytes(static_cast<int32_t>(w), 16);
      if (!fits(uint64_t(row) * h) || !copyRows(src, used, bpl, w * 2, h, dst, row, false, false)) return -1;
      return static_cast<int32_t>(row * h);
    }
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_RGB24: {
      const uint32_t row = dibRowBytes(static_cast<int32_t>(w), 24);
      if (!fits(uint64_t(row) * h)) return -1;
      if (!copyRows(src, used, bpl, w * 3, h, dst, row, true, f.pixelformat == V4L2_PIX_FMT_RGB24)) return -1;
      return static_cast<int32_t>(row * h);
    }
    case V4L2_PIX_FMT_BGR32:
    case V4L2_PIX_FMT_XBGR32:
    case V4L2_PIX_FMT_ABGR32: {
      const uint32_t row = w * 4;
      if (!fits(uint64_t(row) * h) || !copyRows(src, used, bpl, row, h, dst, row, true, false)) return -1;
      return static_cast<int32_t>(row * h);
    }
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420: {
      const uint32_t stride = bpl ? bpl : w;
      const uint64_t total = uint64_t(w) * h * 3 / 2;
      if (!fits(total)) return -1;
      // Luma plane, then chroma: one interleaved plane of half height (NV12) or two quarter planes.
      if (!copyRows(src, used, stride, w, h, dst, w, false, false)) return -1;
      const uint8_t* chroma = src + size_t(stride) * h;
      const uint32_t rest = used - std::min<uint32_t>(used, stride * h);
      if (f.pixelformat == V4L2_PIX_FMT_NV12) {
        if (!copyRows(chroma, rest, stride, w, h / 2, dst + size_t(w) * h, w, false, false)) return -1;
      } else {
        const uint32_t cs = stride / 2, cw = w / 2, ch = h / 2;
        if (!copyRows(chroma, rest, cs, cw, ch, dst + size_t(w) * h, cw, false, false)) return -1;
        const uint32_t rest2 = rest - std::min<uint32_t>(rest, cs * ch);
        if (!copyRows(chroma + size_t(cs) * ch, rest2, cs, cw, ch, dst + size_t(w) * h + size_t(cw) * ch, cw,
                      false, false))
          return -1;
      }
      return static_cast<int32_t>(total);
    }
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
    case V4L2_PIX_FMT_MPEG: {
      // A JPEG frame starts with its SOI marker; anything else is a broken transfer.
      if (used == 0 || !fits(used)) return -1;
      if (f.pixelformat != V4L2_PIX_FMT_MPEG && (used < 2 || src[0] != 0xFF || src[1] != 0xD8)) return -1;
      std::memcpy(dst, src, used);
      return static_cast<int32_t>(used);
    }
    default: return -1;
  }
}

}  // namespace vistrel::platform::devices::v4l2
