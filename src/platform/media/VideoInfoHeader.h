#pragma once
// Video format blocks, laid out byte for byte as peers and files expect them (AVI strf, format
// blocks exchanged between pins). REFERENCE_TIME is in 100 ns units.

#include <cstdint>

namespace vistrel::platform::media {

using REFERENCE_TIME = int64_t;
constexpr REFERENCE_TIME UNITS = 10'000'000;  // 100 ns units per second

struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

struct BITMAPINFOHEADER {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // > 0: rows stored bottom-up
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // 0 = BI_RGB, else a FOURCC
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

constexpr uint32_t BI_RGB = 0;

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  REFERENCE_TIME AvgTimePerFrame = 0;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);

struct VIDEOINFOHEADER2 {
  RECT rcSource;
  RECT rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  REFERENCE_TIME AvgTimePerFrame = 0;
  uint32_t dwInterlaceFlags = 0;
  uint32_t dwCopyProtectFlags = 0;
  uint32_t dwPictAspectRatioX = 0;
  uint32_t dwPictAspectRatioY = 0;
  uint32_t dwControlFlags = 0;
  uint32_t dwReserved2 = 0;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER2) == 112);

// Bytes per image row of an uncompressed bitmap: rows are padded to 4 bytes.
constexpr uint32_t dibRowBytes(int32_t width, int bitCount) {
  return ((static_cast<uint32_t>(width) * static_cast<uint32_t>(bitCount) + 31) / 32) * 4;
}

}  // namespace vistrel::platform::media
