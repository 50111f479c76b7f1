#include "filters/ResizerSizes.h"

#include <gtest/gtest.h>

namespace vistrel::filters {
namespace {

TEST(ResizerSizes, Table) {
  struct Case {
    PictureSize input;
    uint8_t mode;
    bool halfSize;
    int32_t aspectX, aspectY;
    PictureSize expected;
  };
  const Case cases[] = {
      {{720, 576}, 1, true, 0, 0, {384, 288}},
      {{720, 576}, 1, false, 0, 0, {720, 540}},
      {{720, 576}, 2, true, 0, 0, {512, 288}},
      {{720, 576}, 2, false, 0, 0, {704, 396}},  // 405 is odd
      {{720, 480}, 2, false, 0, 0, {704, 396}},
      {{720, 480}, 2, true, 0, 0, {512, 288}},
      {{720, 576}, 3, true, 0, 0, {360, 288}},
      {{720, 576}, 3, false, 0, 0, {720, 576}},
      {{720, 578}, 3, true, 0, 0, {360, 288}},  // 289 lines halved to 289, odd: 288
      {{720, 288}, 3, true, 0, 0, {720, 288}},  // not above 288: kept
      {{640, 480}, 0, false, 4, 3, {640, 480}},
      {{720, 576}, 0, true, 4, 3, {384, 288}},
      {{720, 576}, 0, false, 16, 9, {720, 405}},
      {{720, 576}, 0, false, 0, 3, {720, 576}},  // no aspect known: only the cap applies
      {{720, 576}, 0, true, 0, 0, {720, 288}},
      {{640, 480}, 1, false, 0, 0, {640, 480}},  // already 4:3
      {{348, 300}, 1, false, 0, 0, {344, 258}},  // h = 261 is odd
      {{800, 289}, 1, false, 0, 0, {381, 286}},  // w = 385, h odd
      {{720, 576}, 9, true, 0, 0, {720, 576}},   // unknown mode
      {{16, 10}, 2, false, 0, 0, {16, 10}},      // nothing would remain: kept
  };
  for (const Case& c : cases) {
    const PictureSize got = ComputeTargetSize(c.input, c.mode, c.halfSize, c.aspectX, c.aspectY);
    EXPECT_EQ(got, c.expected) << c.input.width << "x" << c.input.height << " mode " << int(c.mode)
                               << " half " << c.halfSize << " -> " << got.width << "x" << got.height;
  }
}

}  // namespace
}  // namespace vistrel::filters
