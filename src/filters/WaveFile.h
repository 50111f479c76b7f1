#pragma once
// The WAV writer's processing without a graph: where each audio sample goes in the file and the
// RIFF WAVE header written at the end. Layout: "RIFF", size - 8, "WAVE", "fmt ", F, the F bytes
// of the input's format block, "data", data bytes, then the audio bytes; little-endian 32-bit
// numbers, no pad byte after an odd data length.
//
// Threads: Start and Header run in the graph's start and stop; Place, Commit and Rollback on the
// streaming thread.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vistrel::filters {

// The header for a format block and a data byte count (28 + F bytes).
std::vector<uint8_t> BuildWaveHeader(std::span<const uint8_t> formatBlock, uint32_t dataBytes);

class WaveFilePlacer {
 public:
  struct Placement {
    int64_t start = 0;  // file offset of the sample's first byte
    int64_t stop = 0;   // one past its last byte
  };

  // A new recording with this format block: the data count restarts at 0.
  void Start(std::span<const uint8_t> formatBlock);

  // The file offsets for the next `length` bytes, counted as delivered; nullopt when the file
  // would pass 4 GiB (the count then stays as it was).
  std::optional<Placement> Place(int32_t length);
  // The count before a delivery, and its restoration when the delivery failed downstream.
  uint32_t DataBytes() const { return dataBytes_; }
  void Restore(uint32_t dataBytes) { dataBytes_ = dataBytes; }

  uint32_t HeaderBytes() const { return headerBytes_; }
  std::vector<uint8_t> Header() const { return BuildWaveHeader(format_, dataBytes_); }

 private:
  std::vector<uint8_t> format_;
  uint32_t headerBytes_ = 28;
  uint32_t dataBytes_ = 0;
};

}  // namespace vistrel::filters
