#pragma once
// Motion-adaptive line doubling of the odd lines of a grabbed picture: where an odd line combs
// against its two neighbours (an object moved between the two fields), it is replaced by their
// mean; still areas keep their full resolution.

#include <QImage>

namespace vistrel::app {

// A comb value above this marks a pixel as moving.
constexpr int kCombThreshold = 2000;

// Writes the processed `source` into `destination`. `mask1` and `mask2` are the two work masks
// (8 bits per pixel), sized like the source and kept between calls so that their memory is
// reused. A source that is not 24 bits per pixel is copied unchanged.
void Deinterlace(const QImage& source, QImage& destination, QImage& mask1, QImage& mask2);

}  // namespace vistrel::app
