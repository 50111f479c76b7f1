#pragma once
// The MPEG-1 and MPEG-2 video format blocks (FORMAT_MPEGVideo, FORMAT_MPEG2Video): the video
// header followed by the stream's sequence header, laid out byte for byte as peers expect them.
// The structures hold the fixed part; the sequence header bytes follow it in the block.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <type_traits>
#include <vector>

#include "platform/media/MediaType.h"
#include "platform/media/VideoInfoHeader.h"

namespace vistrel::platform::media {

struct MPEG1VIDEOINFO {
  VIDEOINFOHEADER hdr;
  uint32_t dwStartTimeCode = 0;
  uint32_t cbSequenceHeader = 0;
  // bSequenceHeader[cbSequenceHeader] follows
};
// Bytes of the fixed part in a format block (the structures' own size may include padding).
constexpr size_t kMpeg1VideoInfoBytes = 96;
static_assert(offsetof(MPEG1VIDEOINFO, cbSequenceHeader) + 4 == kMpeg1VideoInfoBytes);

// MPEG-2 profiles and levels (AM_MPEG2Profile_*, AM_MPEG2Level_*).
constexpr uint32_t AM_MPEG2Profile_Main = 2;
constexpr uint32_t AM_MPEG2Level_Main = 2;

struct MPEG2VIDEOINFO {
  VIDEOINFOHEADER2 hdr;
  uint32_t dwStartTimeCode = 0;
  uint32_t cbSequenceHeader = 0;
  uint32_t dwProfile = 0;
  uint32_t dwLevel = 0;
  uint32_t dwFlags = 0;
  // dwSequenceHeader[(cbSequenceHeader + 3) / 4] follows
};
constexpr size_t kMpeg2VideoInfoBytes = 132;
static_assert(offsetof(MPEG2VIDEOINFO, dwFlags) + 4 == kMpeg2VideoInfoBytes);

template <class Info>
constexpr size_t mpegVideoInfoBytes() {
  return std::is_same_v<Info, MPEG2VIDEOINFO> ? kMpeg2VideoInfoBytes : kMpeg1VideoInfoBytes;
}

// The block: the fixed part, then the sequence header (padded to 4 bytes for MPEG-2).
template <class Info>
std::vector<uint8_t> mpegVideoBlock(const Info& info, const std::vector<uint8_t>& sequenceHeader) {
  constexpr size_t fixedBytes = mpegVideoInfoBytes<Info>();
  const size_t padded =
      std::is_same_v<Info, MPEG2VIDEOINFO> ? (sequenceHeader.size() + 3) / 4 * 4 : sequenceHeader.size();
  std::vector<uint8_t> block(fixedBytes + padded, 0);
  Info fixed = info;
  fixed.cbSequenceHeader = static_cast<uint32_t>(sequenceHeader.size());
  std::memcpy(block.data(), &fixed, fixedBytes);
  if (!sequenceHeader.empty())
    std::memcpy(block.data() + fixedBytes, sequenceHeader.data(), sequenceHeader.size());
  return block;
}

// The sequence header bytes of a FORMAT_MPEGVideo or FORMAT_MPEG2Video block (empty when the
// block is of another kind or too short for what it announces).
inline std::vector<uint8_t> mpegSequenceHeader(const MediaType& type) {
  size_t fixed = 0;
  if (type.formattype == FORMAT_MPEGVideo) fixed = kMpeg1VideoInfoBytes;
  if (type.formattype == FORMAT_MPEG2Video) fixed = kMpeg2VideoInfoBytes;
  if (fixed == 0 || type.format.size() < fixed) return {};
  uint32_t length = 0;
  std::memcpy(&length, type.format.data() + fixed - (fixed == kMpeg2VideoInfoBytes ? 16 : 4), sizeof length);
  if (length > type.format.size() - fixed) return {};
  return std::vector<uint8_t>(type.format.begin() + static_cast<std::ptrdiff_t>(fixed),
                              type.format.begin() + static_cast<std::ptrdiff_t>(fixed + length));
}

}  // namespace vistrel::platform::media
