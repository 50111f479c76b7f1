#pragma once
// Area-averaging scaler of 24-bit RGB pictures stored as rows padded to 4 bytes: each destination
// pixel takes the average colour of the part of the source it covers (fractional coverage at the
// edges is weighted). Works separably, vertical then horizontal, with integer weights; one
// intermediate row is allocated when the sizes are set, nothing per picture.
// One thread at a time.

#include <cstdint>
#include <span>
#include <vector>

namespace vistrel::filters {

class AreaScaler {
 public:
  // Sizes in pixels, all above 0; false (and nothing configured) otherwise.
  bool Configure(int32_t sourceWidth, int32_t sourceHeight, int32_t targetWidth, int32_t targetHeight);
  bool Configured() const { return configured_; }

  int32_t sourceRowBytes() const { return sourceStride_; }
  int32_t targetRowBytes() const { return targetStride_; }
  size_t sourceBytes() const {
    return static_cast<size_t>(sourceStride_) * static_cast<size_t>(sourceHeight_);
  }
  size_t targetBytes() const {
    return static_cast<size_t>(targetStride_) * static_cast<size_t>(targetHeight_);
  }

  // Scales `source` (rows bottom-up when `sourceBottomUp`, else top-down) into `target` as
  // bottom-up rows; the padding bytes of each target row are zeroed. False when not configured or
  // when either buffer is shorter than its picture.
  bool Scale(std::span<const uint8_t> source, bool sourceBottomUp, std::span<uint8_t> target);

 private:
  struct Tap {
    int32_t first = 0;    // first source index covered
    int32_t count = 0;    // number of source indices covered
    int32_t weights = 0;  // offset of their weights in the weight table
  };
  static void buildTaps(int32_t source, int32_t target, std::vector<Tap>& taps,
                        std::vector<uint32_t>& weights);

  bool configured_ = false;
  int32_t sourceWidth_ = 0, sourceHeight_ = 0, targetWidth_ = 0, targetHeight_ = 0;
  int32_t sourceStride_ = 0, targetStride_ = 0;
  std::vector<Tap> columns_, rows_;
  std::vector<uint32_t> columnWeights_, rowWeights_;
  std::vector<uint32_t> accumulator_;  // one source row of channel sums
  std::vector<uint16_t> row_;          // one vertically averaged row, 8 fractional bits
};

}  // namespace vistrel::filters
