#pragma once
// Moving frames between sample buffers (bottom-up 24-bit rows, each padded to 4 bytes) and the
// overlay's working picture (a top-down QImage in B, G, R byte order). Every function checks the
// lengths it is given and never reads or writes past them. Any thread; no allocation.

#include <QImage>
#include <cstdint>
#include <span>

namespace vistrel::filters {

// Bytes of one padded 24-bit row.
int64_t OverlayRowBytes(int width);
// Bytes a frame of width × height needs: every row padded except that the last needs no padding.
int64_t OverlayFrameBytes(int width, int height);

// Copies a frame of the picture's size into it. `headerHeight` > 0 reads the rows bottom-up (the
// normal orientation), < 0 top-down (the picture turns upside down). False, leaving the picture
// as it was, when the frame is shorter than the picture needs.
bool CopyFrameIntoPicture(std::span<const uint8_t> frame, int headerHeight, QImage& picture);

// Swaps pixels x and width - 1 - x in every row.
void MirrorPictureHorizontally(QImage& picture);

// Writes the picture as bottom-up padded rows (padding zeroed) and gives the length written.
// False when the buffer is too small.
bool WritePictureAsFrame(const QImage& picture, std::span<uint8_t> out, int32_t& length);

// The pass-through: the input's bytes unchanged, or with `rowsInverted` the rows of width × 3
// bytes in the opposite order. `length` is the length to deliver. False when a buffer is too
// small for the copy.
bool PlainCopyFrame(std::span<const uint8_t> in, std::span<uint8_t> out, bool rowsInverted, int width,
                    int height, int32_t& length);

}  // namespace vistrel::filters
