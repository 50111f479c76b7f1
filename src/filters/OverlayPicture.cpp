#include "filters/OverlayPicture.h"

#include <algorithm>
#include <cstring>

namespace vistrel::filters {

int64_t OverlayRowBytes(int width) { return (static_cast<int64_t>(std::max(width, 0)) * 24 + 31) / 32 * 4; }

int64_t OverlayFrameBytes(int width, int height) {
  if (width <= 0 || height <= 0) return 0;
  return OverlayRowBytes(width) * (height - 1) + static_cast<int64_t>(width) * 3;
}

bool CopyFrameIntoPicture(std::span<const uint8_t> frame, int headerHeight, QImage& picture) {
  const int w = picture.width();
  const int h = picture.height();
  if (w <= 0 || h <= 0 || picture.format() != QImage::Format_BGR888) return false;
  if (static_cast<int64_t>(frame.size()) < OverlayFrameBytes(w, h)) return false;
  const int64_t stride = OverlayRowBytes(w);
  const size_t rowBytes = static_cast<size_t>(w) * 3;
  for (int r = 0; r < h; ++r) {
    const int target = headerHeight < 0 ? r : h - 1 - r;
    std::memcpy(picture.scanLine(target), frame.data() + stride * r, rowBytes);
  }
  return true;
}

void MirrorPictureHorizontally(QImage& picture) {
  const int w = picture.width();
  for (int r = 0; r < picture.height(); ++r) {
    uint8_t* row = picture.scanLine(r);
    for (int x = 0; x < w / 2; ++x) {
      uint8_t* a = row + x * 3;
      uint8_t* b = row + (w - 1 - x) * 3;
      std::swap(a[0], b[0]);
      std::swap(a[1], b[1]);
      std::swap(a[2], b[2]);
    }
  }
}

bool WritePictureAsFrame(const QImage& picture, std::span<uint8_t> out, int32_t& length) {
  const int w = picture.width();
  const int h = picture.height();
  if (w <= 0 || h <= 0) return false;
  const int64_t stride = OverlayRowBytes(w);
  const int64_t total = stride * h;
  if (static_cast<int64_t>(out.size()) < total || total > INT32_MAX) return false;
  const size_t rowBytes = static_cast<size_t>(w) * 3;
  for (int r = 0; r < h; ++r) {
    uint8_t* dst = out.data() + stride * r;
    std::memcpy(dst, picture.constScanLine(h - 1 - r), rowBytes);
    std::memset(dst + rowBytes, 0, static_cast<size_t>(stride) - rowBytes);
  }
  length = static_cast<int32_t>(total);
  return true;
}

bool PlainCopyFrame(std::span<const uint8_t> in, std::span<uint8_t> out, bool rowsInverted, int width,
                    int height, int32_t& length) {
  if (!rowsInverted) {
    if (in.size() > out.size() || in.size() > INT32_MAX) return false;
    if (!in.empty()) std::memcpy(out.data(), in.data(), in.size());
    length = static_cast<int32_t>(in.size());
    return true;
  }
  const int64_t needed = OverlayFrameBytes(width, height);
  if (needed <= 0 || static_cast<int64_t>(in.size()) < needed || static_cast<int64_t>(out.size()) < needed)
    return false;
  const int64_t stride = OverlayRowBytes(width);
  const size_t rowBytes = static_cast<size_t>(width) * 3;
  for (int r = 0; r < height; ++r)
    std::memcpy(out.data() + stride * r, in.data() + stride * (height - 1 - r), rowBytes);
  // Padding bytes and anything past the frame come over unchanged.
  for (int r = 0; r + 1 < height; ++r)
    std::memcpy(out.data() + stride * r + rowBytes, in.data() + stride * r + rowBytes,
                static_cast<size_t>(stride) - rowBytes);
  const size_t rest = std::min(in.size(), out.size());
  if (rest > static_cast<size_t>(needed))
    std::memcpy(out.data() + needed, in.data() + needed, rest - static_cast<size_t>(needed));
  length = static_cast<int32_t>(std::min<size_t>(in.size(), out.size()));
  return true;
}

}  // namespace vistrel::filters
