#pragma once
// A media type: major type, subtype, format type and a format block held by value (copies are
// deep). A type whose major type or format type is GUID_NULL is partial: its empty fields
// (subtype included) act as wildcards when it is matched against a complete type. A complete
// type may have a null subtype (byte streams of no particular kind).

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/media/Guid.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/VideoInfoHeader.h"
#include "platform/media/WaveFormatEx.h"

namespace vistrel::platform::media {

class MediaType {
 public:
  GUID majortype;
  GUID subtype;
  bool bFixedSizeSamples = true;
  bool bTemporalCompression = false;
  uint32_t lSampleSize = 0;
  GUID formattype;
  std::vector<uint8_t> format;  // pbFormat; cbFormat is its size

  MediaType() = default;
  MediaType(GUID major, GUID sub, GUID formatType = GUID_NULL)
      : majortype(major), subtype(sub), formattype(formatType) {}

  uint32_t cbFormat() const { return static_cast<uint32_t>(format.size()); }
  const uint8_t* pbFormat() const { return format.empty() ? nullptr : format.data(); }
  void setFormat(const void* data, size_t size);
  template <class T>
  void setFormat(const T& block) {
    setFormat(&block, sizeof(T));
  }

  // Equality: same major type, subtype and format type, same format size and bytes.
  friend bool operator==(const MediaType& a, const MediaType& b);

  bool isPartial() const { return majortype.isNull() || formattype.isNull(); }
  // True when this complete type is compatible with `pattern`, whose null fields match anything
  // (a pattern with a format type and a block must match it exactly).
  bool matches(const MediaType& pattern) const;

  // Format blocks, read with bounds checks: nullopt when the format type differs or the block is
  // shorter than the structure (a short block is never read past its end).
  std::optional<VIDEOINFOHEADER> videoInfo() const;
  std::optional<VIDEOINFOHEADER2> videoInfo2() const;
  std::optional<WAVEFORMATEX> waveFormat() const;
  // The bitmap header of a VideoInfo, VideoInfo2, MPEGVideo or MPEG2Video block.
  std::optional<BITMAPINFOHEADER> bitmapHeader() const;
  REFERENCE_TIME averageTimePerFrame() const;

  // Constructors of the common complete types.
  static MediaType video(const GUID& subtype, int width, int height, int bitCount, uint32_t compression,
                         REFERENCE_TIME avgTimePerFrame);
  static MediaType rgb24(int width, int height, REFERENCE_TIME avgTimePerFrame);
  static MediaType pcm(uint32_t rate, uint16_t channels, uint16_t bits);
};

}  // namespace vistrel::platform::media
