#include "filters/ResizeProcessor.h"

#include <cstdlib>
#include <cstring>

namespace vistrel::filters {
namespace {

uint32_t paddedRowBytes(int32_t width) { return ((static_cast<uint32_t>(width) * 24 + 31) / 32) * 4; }

}  // namespace

bool ResizeProcessor::SetInputSize(int32_t width, int32_t height) {
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  const PictureSize input{width, std::abs(height)};
  PictureSize target = target_;
  if (modeSet_) target = ComputeTargetSize(input, mode_, halfSize_, aspectX_, aspectY_);
  const bool resize = !(target == input);
  if (resize && !scaler_.Configure(input.width, input.height, target.width, target.height)) return false;
  input_ = input;
  inputBottomUp_ = height > 0;
  target_ = target;
  resizeNeeded_ = resize;
  return true;
}

uint32_t ResizeProcessor::OutputImageBytes() const {
  return paddedRowBytes(target_.width) * static_cast<uint32_t>(target_.height);
}

int32_t ResizeProcessor::Process(std::span<const uint8_t> input, std::span<uint8_t> output) {
  if (!resizeNeeded_) {
    if (output.size() < input.size()) return -1;
    std::memcpy(output.data(), input.data(), input.size());
    return static_cast<int32_t>(input.size());
  }
  if (!scaler_.Scale(input, inputBottomUp_, output)) return -1;
  return static_cast<int32_t>(OutputImageBytes());
}

}  // namespace vistrel::filters
