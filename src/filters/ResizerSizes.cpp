#include "filters/ResizerSizes.h"

namespace vistrel::filters {

PictureSize ComputeTargetSize(PictureSize input, uint8_t mode, bool halfSize, int32_t aspectX,
                              int32_t aspectY) {
  // 64-bit products: the rules multiply sizes by ratio terms that may be large.
  int64_t w = input.width, h = input.height;
  const auto cap = [&] {
    if (halfSize && h > 288) h = 288;
  };
  switch (static_cast<ResizerMode>(mode)) {
    case ResizerMode::Normal:
      cap();
      if (aspectX > 0 && aspectY > 0) {
        if (aspectX * h < aspectY * w)
          w = aspectX * h / aspectY;
        else
          h = aspectY * w / aspectX;
      }
      break;
    case ResizerMode::Ratio4x3:
      cap();
      if (4 * h >= 3 * w)
        h = 3 * w / 4;
      else
        w = 4 * h / 3;
      if (h % 2 != 0) {
        h -= 3;
        w -= 4;
      }
      break;
    case ResizerMode::Ratio16x9:
      cap();
      if (16 * h >= 9 * w)
        h = 9 * w / 16;
      else
        w = 16 * h / 9;
      if (h % 2 != 0) {
        h -= 9;
        w -= 16;
      }
      break;
    case ResizerMode::Native:
      if (halfSize) {
        if (h > 288) {
          w /= 2;
          h /= 2;
        }
        if (h % 2 != 0) h -= 1;
      }
      break;
    default:
      // Unknown codes keep the picture as it is.
      break;
  }
  if (w <= 0 || h <= 0) return input;
  return PictureSize{static_cast<int32_t>(w), static_cast<int32_t>(h)};
}

}  // namespace vistrel::filters
