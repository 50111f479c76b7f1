#pragma once
// The scene detector's ring of the last 100 DV frames: for each, its frame record, the sample's
// start time and the first 480 bytes (header, subcode and VAUX blocks) of each of its first 10
// DIF sequences.
//
// One writer (the detector's streaming thread) and readers on any thread (the overlay filter,
// the DV header filter, the user interface). Each entry is a sequence lock over atomic words: the
// writer makes the entry's counter odd, writes, and makes it even again; a reader copies the
// words and keeps the copy only when the counter was even and unchanged around the copy. Readers
// never block and never see a half-written entry; a read that keeps colliding with the writer
// gives up after a few attempts and reports failure. Neither side allocates.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <span>

#include "filters/DvCodes.h"
#include "filters/FrameRecord.h"

namespace vistrel::filters {

struct FrameRingEntry {
  TFrameRecord Record;
  int64_t StartTime = 0;
  // Bytes 0-479 of DIF sequences 0-9; zero where the frame was shorter.
  uint8_t Headers[dvcodes::kExaminedSequences][dvcodes::kHeaderAreaBytes] = {};
};

class FrameRing {
 public:
  static constexpr int kSize = 100;

  // Writer only (the detector's streaming thread). Stores the record, the start time and the
  // header areas of `frame` in entry `index` (0-99).
  void Store(int index, const TFrameRecord& record, int64_t startTime, std::span<const uint8_t> frame);

  // Any thread; never blocks. False when the index is out of range, the entry was never written,
  // or the writer kept overwriting it during the attempts.
  bool Read(int index, FrameRingEntry& out) const;
  bool ReadRecord(int index, TFrameRecord& record, int64_t& startTime) const;
  // True once the entry holds a frame.
  bool Filled(int index) const;

 private:
  static constexpr size_t kRecordWords = (sizeof(TFrameRecord) + 7) / 8;
  static constexpr size_t kTimeWord = kRecordWords;
  static constexpr size_t kHeaderWordsPerSequence = dvcodes::kHeaderAreaBytes / 8;
  static constexpr size_t kHeaderWord = kTimeWord + 1;
  static constexpr size_t kWords = kHeaderWord + dvcodes::kExaminedSequences * kHeaderWordsPerSequence;
  static_assert(dvcodes::kHeaderAreaBytes % 8 == 0);

  struct Slot {
    std::atomic<uint32_t> sequence{0};  // 0: never written; odd: being written
    std::array<std::atomic<uint64_t>, kWords> words{};
  };

  // Copies words [first, first + count) of entry `index` into `out` consistently.
  bool readWords(int index, size_t first, size_t count, uint64_t* out) const;

  std::array<Slot, kSize> slots_;
};

}  // namespace vistrel::filters
