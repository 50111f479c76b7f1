#include "filters/FrameRing.h"

namespace vistrel::filters {
namespace {

constexpr int kReadAttempts = 4;

}  // namespace

void FrameRing::Store(int index, const TFrameRecord& record, int64_t startTime,
                      std::span<const uint8_t> frame) {
  if (index < 0 || index >= kSize) return;
  Slot& slot = slots_[static_cast<size_t>(index)];
  const uint32_t before = slot.sequence.load(std::memory_order_relaxed);
  slot.sequence.store(before | 1u, std::memory_order_relaxed);
  // Release stores keep the odd counter ahead of every word a reader may see.
  uint64_t recordWords[kRecordWords] = {};
  std::memcpy(recordWords, &record, sizeof(TFrameRecord));
  for (size_t i = 0; i < kRecordWords; ++i) slot.words[i].store(recordWords[i], std::memory_order_release);
  slot.words[kTimeWord].store(static_cast<uint64_t>(startTime), std::memory_order_release);
  for (int s = 0; s < dvcodes::kExaminedSequences; ++s) {
    const size_t base = static_cast<size_t>(s) * dvcodes::kDifSequenceBytes;
    for (size_t w = 0; w < kHeaderWordsPerSequence; ++w) {
      const size_t at = base + w * 8;
      uint64_t word = 0;
      if (at + 8 <= frame.size())
        std::memcpy(&word, frame.data() + at, 8);
      else if (at < frame.size())
        std::memcpy(&word, frame.data() + at, frame.size() - at);
      slot.words[kHeaderWord + static_cast<size_t>(s) * kHeaderWordsPerSequence + w].store(
          word, std::memory_order_release);
    }
  }
  // Next even value; skips 0 on wrap so that "never written" stays distinct.
  uint32_t after = (before | 1u) + 1u;
  if (after == 0) after = 2;
  slot.sequence.store(after, std::memory_order_release);
}

bool FrameRing::readWords(int index, size_t first, size_t count, uint64_t* out) const {
  if (index < 0 || index >= kSize) return false;
  const Slot& slot = slots_[static_cast<size_t>(index)];
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    const uint32_t before = slot.sequence.load(std::memory_order_acquire);
    if (before == 0) return false;
    if (before & 1u) continue;
    // Acquire loads keep the second counter read behind every word read.
    for (size_t i = 0; i < count; ++i) out[i] = slot.words[first + i].load(std::memory_order_acquire);
    if (slot.sequence.load(std::memory_order_relaxed) == before) return true;
  }
  return false;
}

bool FrameRing::Read(int index, FrameRingEntry& out) const {
  uint64_t words[kWords];
  if (!readWords(index, 0, kWords, words)) return false;
  std::memcpy(&out.Record, words, sizeof(TFrameRecord));
  out.StartTime = static_cast<int64_t>(words[kTimeWord]);
  std::memcpy(out.Headers, words + kHeaderWord, sizeof(out.Headers));
  return true;
}

bool FrameRing::ReadRecord(int index, TFrameRecord& record, int64_t& startTime) const {
  uint64_t words[kRecordWords + 1];
  if (!readWords(index, 0, kRecordWords + 1, words)) return false;
  std::memcpy(&record, words, sizeof(TFrameRecord));
  startTime = static_cast<int64_t>(words[kTimeWord]);
  return true;
}

bool FrameRing::Filled(int index) const {
  if (index < 0 || index >= kSize) return false;
  return slots_[static_cast<size_t>(index)].sequence.load(std::memory_order_acquire) != 0;
}

}  // namespace vistrel::filters
