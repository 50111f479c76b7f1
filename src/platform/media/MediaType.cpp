#include "platform/media/MediaType.h"

namespace vistrel::platform::media {

void MediaType::setFormat(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  format.assign(p, p + size);
}

bool operator==(const MediaType& a, const MediaType& b) {
  return a.majortype == b.majortype && a.subtype == b.subtype && a.formattype == b.formattype &&
         a.format == b.format;
}

bool MediaType::matches(const MediaType& pattern) const {
  if (!pattern.majortype.isNull() && pattern.majortype != majortype) return false;
  if (!pattern.subtype.isNull() && pattern.subtype != subtype) return false;
  if (!pattern.formattype.isNull()) {
    if (pattern.formattype != formattype) return false;
    if (!pattern.format.empty() && pattern.format != format) return false;
  }
  return true;
}

namespace {
template <class T>
std::optional<T> readBlock(const std::vector<uint8_t>& bytes, size_t offset = 0) {
  if (bytes.size() < offset + sizeof(T)) return std::nullopt;
  T t;
  std::memcpy(&t, bytes.data() + offset, sizeof(T));
  return t;
}
}  // namespace

std::optional<VIDEOINFOHEADER> MediaType::videoInfo() const {
  if (formattype != FORMAT_VideoInfo && formattype != FORMAT_MPEGVideo) return std::nullopt;
  return readBlock<VIDEOINFOHEADER>(format);
}

std::optional<VIDEOINFOHEADER2> MediaType::videoInfo2() const {
  if (formattype != FORMAT_VideoInfo2 && formattype != FORMAT_MPEG2Video) return std::nullopt;
  return readBlock<VIDEOINFOHEADER2>(format);
}

std::optional<WAVEFORMATEX> MediaType::waveFormat() const {
  if (formattype != FORMAT_WaveFormatEx) return std::nullopt;
  auto w = readBlock<WAVEFORMATEX>(format);
  // The header's extra bytes must be there too.
  if (w && format.size() < sizeof(WAVEFORMATEX) + w->cbSize) return std::nullopt;
  return w;
}

std::optional<BITMAPINFOHEADER> MediaType::bitmapHeader() const {
  if (auto v = videoInfo()) return v->bmiHeader;
  if (auto v2 = videoInfo2()) return v2->bmiHeader;
  return std::nullopt;
}

REFERENCE_TIME MediaType::averageTimePerFrame() const {
  if (auto v = videoInfo()) return v->AvgTimePerFrame;
  if (auto v2 = videoInfo2()) return v2->AvgTimePerFrame;
  return 0;
}

MediaType MediaType::video(const GUID& sub, int width, int height, int bitCount, uint32_t compression,
                           REFERENCE_TIME avgTimePerFrame) {
  MediaType mt(MEDIATYPE_Video, sub, FORMAT_VideoInfo);
  VIDEOINFOHEADER vih;
  vih.AvgTimePerFrame = avgTimePerFrame;
  vih.bmiHeader.biWidth = width;
  vih.bmiHeader.biHeight = height;
  vih.bmiHeader.biBitCount = static_cast<uint16_t>(bitCount);
  vih.bmiHeader.biCompression = compression;
  const int absHeight = height < 0 ? -height : height;
  if (compression == BI_RGB || bitCount == 16) {
    vih.bmiHeader.biSizeImage = dibRowBytes(width, bitCount) * static_cast<uint32_t>(absHeight);
  } else {
    vih.bmiHeader.biSizeImage =
        static_cast<uint32_t>(width) * static_cast<uint32_t>(absHeight) * bitCount / 8;
  }
  if (avgTimePerFrame > 0)
    vih.dwBitRate = static_cast<uint32_t>(uint64_t(vih.bmiHeader.biSizeImage) * 8 * UNITS / avgTimePerFrame);
  mt.lSampleSize = vih.bmiHeader.biSizeImage;
  mt.bFixedSizeSamples = compression == BI_RGB || bitCount != 0;
  mt.setFormat(vih);
  return mt;
}

MediaType MediaType::rgb24(int width, int height, REFERENCE_TIME avgTimePerFrame) {
  return video(MEDIASUBTYPE_RGB24, width, height, 24, BI_RGB, avgTimePerFrame);
}

MediaType MediaType::pcm(uint32_t rate, uint16_t channels, uint16_t bits) {
  MediaType mt(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx);
  WAVEFORMATEX w = pcmFormat(rate, channels, bits);
  mt.lSampleSize = w.nBlockAlign;
  mt.setFormat(w);
  return mt;
}

}  // namespace vistrel::platform::media
