#include "filters/AreaScaler.h"

#include <algorithm>
#include <cstring>

namespace vistrel::filters {
namespace {

constexpr int kWeightBits = 12;
constexpr uint32_t kWeightOne = 1u << kWeightBits;
// Largest accepted side: keeps every product of the coverage arithmetic inside 64 bits.
constexpr int32_t kMaxSide = 1 << 16;

int32_t rowBytes(int32_t width) { return ((width * 24 + 31) / 32) * 4; }

}  // namespace

void AreaScaler::buildTaps(int32_t source, int32_t target, std::vector<Tap>& taps,
                           std::vector<uint32_t>& weights) {
  taps.assign(static_cast<size_t>(target), Tap{});
  weights.clear();
  // In units of 1/(source * target): destination i covers [i*source, (i+1)*source) and source j
  // covers [j*target, (j+1)*target). Weights are cumulative roundings, so each tap sums to one.
  const int64_t s = source, t = target;
  for (int64_t i = 0; i < t; ++i) {
    const int64_t begin = i * s, end = (i + 1) * s;
    const int64_t first = begin / t, last = (end - 1) / t;
    Tap& tap = taps[static_cast<size_t>(i)];
    tap.first = static_cast<int32_t>(first);
    tap.count = static_cast<int32_t>(last - first + 1);
    tap.weights = static_cast<int32_t>(weights.size());
    int64_t covered = 0;
    uint32_t given = 0;
    for (int64_t j = first; j <= last; ++j) {
      const int64_t overlap = std::min(end, (j + 1) * t) - std::max(begin, j * t);
      covered += overlap;
      const uint32_t upTo = static_cast<uint32_t>((covered * kWeightOne + s / 2) / s);
      weights.push_back(upTo - given);
      given = upTo;
    }
  }
}

bool AreaScaler::Configure(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth,
                           int32_t targetHeight) {
  configured_ = false;
  if (sourceWidth <= 0 || sourceHeight <= 0 || targetWidth <= 0 || targetHeight <= 0) return false;
  if (sourceWidth > kMaxSide || sourceHeight > kMaxSide || targetWidth > kMaxSide || targetHeight > kMaxSide)
    return false;
  sourceWidth_ = sourceWidth;
  sourceHeight_ = sourceHeight;
  targetWidth_ = targetWidth;
  targetHeight_ = targetHeight;
  sourceStride_ = rowBytes(sourceWidth);
  targetStride_ = rowBytes(targetWidth);
  buildTaps(sourceWidth, targetWidth, columns_, columnWeights_);
  buildTaps(sourceHeight, targetHeight, rows_, rowWeights_);
  accumulator_.assign(static_cast<size_t>(sourceWidth) * 3, 0);
  row_.assign(static_cast<size_t>(sourceWidth) * 3, 0);
  configured_ = true;
  return true;
}

bool AreaScaler::Scale(std::span<const uint8_t> source, bool sourceBottomUp, std::span<uint8_t> target) {
  if (!configured_ || source.size() < sourceBytes() || target.size() < targetBytes()) return false;
  const size_t channels = static_cast<size_t>(sourceWidth_) * 3;
  const auto sourceRow = [&](int32_t fromBottom) {
    const int32_t memoryRow = sourceBottomUp ? fromBottom : sourceHeight_ - 1 - fromBottom;
    return source.data() + static_cast<size_t>(memoryRow) * static_cast<size_t>(sourceStride_);
  };
  const size_t pixelBytes = static_cast<size_t>(targetWidth_) * 3;
  for (int32_t y = 0; y < targetHeight_; ++y) {
    // Vertical: weighted sum of the covered source rows.
    const Tap& rowTap = rows_[static_cast<size_t>(y)];
    uint32_t* acc = accumulator_.data();
    {
      const uint8_t* in = sourceRow(rowTap.first);
      const uint32_t w = rowWeights_[static_cast<size_t>(rowTap.weights)];
      for (size_t c = 0; c < channels; ++c) acc[c] = w * in[c];
    }
    for (int32_t k = 1; k < rowTap.count; ++k) {
      const uint8_t* in = sourceRow(rowTap.first + k);
      const uint32_t w = rowWeights_[static_cast<size_t>(rowTap.weights + k)];
      for (size_t c = 0; c < channels; ++c) acc[c] += w * in[c];
    }
    uint16_t* mid = row_.data();
    for (size_t c = 0; c < channels; ++c) mid[c] = static_cast<uint16_t>((acc[c] + 8) >> 4);

    // Horizontal: weighted sum of the covered pixels of that row.
    uint8_t* out = target.data() + static_cast<size_t>(y) * static_cast<size_t>(targetStride_);
    for (int32_t x = 0; x < targetWidth_; ++x) {
      const Tap& tap = columns_[static_cast<size_t>(x)];
      const uint32_t* w = columnWeights_.data() + tap.weights;
      const uint16_t* px = mid + static_cast<size_t>(tap.first) * 3;
      uint32_t b = 0, g = 0, r = 0;
      for (int32_t k = 0; k < tap.count; ++k, px += 3) {
        b += w[k] * px[0];
        g += w[k] * px[1];
        r += w[k] * px[2];
      }
      constexpr uint32_t kHalf = 1u << (kWeightBits + 8 - 1);
      out[x * 3 + 0] = static_cast<uint8_t>((b + kHalf) >> (kWeightBits + 8));
      out[x * 3 + 1] = static_cast<uint8_t>((g + kHalf) >> (kWeightBits + 8));
      out[x * 3 + 2] = static_cast<uint8_t>((r + kHalf) >> (kWeightBits + 8));
    }
    std::memset(out + pixelBytes, 0, static_cast<size_t>(targetStride_) - pixelBytes);
  }
  return true;
}

}  // namespace vistrel::filters
