#include "filters/WaveFile.h"

#include <cstring>

namespace vistrel::filters {
namespace {

void put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

void putTag(std::vector<uint8_t>& out, size_t at, const char (&tag)[5]) {
  std::memcpy(out.data() + at, tag, 4);
}

}  // namespace

std::vector<uint8_t> BuildWaveHeader(std::span<const uint8_t> formatBlock, uint32_t dataBytes) {
  const uint32_t f = static_cast<uint32_t>(formatBlock.size());
  const uint32_t headerBytes = 28 + f;
  std::vector<uint8_t> out(headerBytes, 0);
  putTag(out, 0, "RIFF");
  put32(out, 4, dataBytes + headerBytes - 8);
  putTag(out, 8, "WAVE");
  putTag(out, 12, "fmt ");
  put32(out, 16, f);
  if (f) std::memcpy(out.data() + 20, formatBlock.data(), f);
  putTag(out, 20 + f, "data");
  put32(out, 24 + f, dataBytes);
  return out;
}

void WaveFilePlacer::Start(std::span<const uint8_t> formatBlock) {
  format_.assign(formatBlock.begin(), formatBlock.end());
  headerBytes_ = 28 + static_cast<uint32_t>(format_.size());
  dataBytes_ = 0;
}

std::optional<WaveFilePlacer::Placement> WaveFilePlacer::Place(int32_t length) {
  if (length < 0) return std::nullopt;
  const uint64_t start = uint64_t{headerBytes_} + dataBytes_;
  const uint64_t stop = start + static_cast<uint64_t>(length);
  if (stop > UINT32_MAX) return std::nullopt;
  dataBytes_ += static_cast<uint32_t>(length);
  return Placement{static_cast<int64_t>(start), static_cast<int64_t>(stop)};
}

}  // namespace vistrel::filters
