#pragma once
// A small trivially copyable value with one writer thread and readers on any thread: a sequence
// lock over atomic words. Readers never block; a read that keeps colliding with the writer gives
// up after a few attempts and keeps the caller's last good copy.

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace vistrel::filters {

template <class T>
class SeqLockValue {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  // Writer thread only.
  void Store(const T& value) {
    uint64_t words[kWords] = {};
    std::memcpy(words, &value, sizeof(T));
    const uint32_t before = sequence_.load(std::memory_order_relaxed);
    sequence_.store(before + 1, std::memory_order_relaxed);
    for (size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_release);
    sequence_.store(before + 2, std::memory_order_release);
  }

  // Any thread. False (and `out` untouched) when every attempt met a write in progress.
  bool TryLoad(T& out) const {
    for (int attempt = 0; attempt < 4; ++attempt) {
      const uint32_t before = sequence_.load(std::memory_order_acquire);
      if (before & 1u) continue;
      uint64_t words[kWords];
      for (size_t i = 0; i < kWords; ++i) words[i] = words_[i].load(std::memory_order_acquire);
      if (sequence_.load(std::memory_order_relaxed) != before) continue;
      std::memcpy(&out, words, sizeof(T));
      return true;
    }
    return false;
  }

 private:
  static constexpr size_t kWords = (sizeof(T) + 7) / 8;
  std::atomic<uint32_t> sequence_{0};
  std::array<std::atomic<uint64_t>, kWords> words_{};
};

}  // namespace vistrel::filters
