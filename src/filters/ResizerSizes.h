#pragma once
// The resizer's target size for the DivX output: the height capped at 288 lines when asked, then
// the picture cropped to the chosen display ratio. Pure function; any thread.

#include <cstdint>

namespace vistrel::filters {

// Ratio modes, the codes of the "Ratio DivX" setting.
enum class ResizerMode : uint8_t { Normal = 0, Ratio4x3 = 1, Ratio16x9 = 2, Native = 3 };

struct PictureSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// `halfSize` is the "Demi Taille" setting; aspectX:aspectY the display aspect of the connected
// video (used by the normal mode when both are above 0). Integer divisions truncate. A result
// that would leave no picture (from inputs of a few pixels) gives back the input size.
PictureSize ComputeTargetSize(PictureSize input, uint8_t mode, bool halfSize, int32_t aspectX,
                              int32_t aspectY);

}  // namespace vistrel::filters
