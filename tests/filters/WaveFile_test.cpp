#include "filters/WaveFile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace vistrel::filters {
namespace {

uint32_t read32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A plain PCM format block with its extra-size field: 18 bytes.
std::vector<uint8_t> pcm18() {
  const uint8_t block[18] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
  return {block, block + 18};
}

TEST(WaveFile, HeaderLayout) {
  const auto format = pcm18();
  const auto header = BuildWaveHeader(format, 1'000'000);
  ASSERT_EQ(header.size(), 46u);
  EXPECT_EQ(std::memcmp(header.data(), "RIFF", 4), 0);
  EXPECT_EQ(read32(header, 4), 1'000'038u);  // a 1 000 046-byte file
  EXPECT_EQ(std::memcmp(header.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(read32(header, 16), 18u);
  EXPECT_TRUE(std::equal(format.begin(), format.end(), header.begin() + 20));
  EXPECT_EQ(std::memcmp(header.data() + 38, "data", 4), 0);
  EXPECT_EQ(read32(header, 42), 1'000'000u);

  const auto empty = BuildWaveHeader(format, 0);
  EXPECT_EQ(empty.size(), 46u);
  EXPECT_EQ(read32(empty, 4), 38u);
  EXPECT_EQ(read32(empty, 42), 0u);

  // Format blocks of other lengths move the data chunk with them.
  const std::vector<uint8_t> extended(40, 0xAB);
  const auto longer = BuildWaveHeader(extended, 7);
  ASSERT_EQ(longer.size(), 68u);
  EXPECT_EQ(read32(longer, 4), 67u);
  EXPECT_EQ(std::memcmp(longer.data() + 60, "data", 4), 0);
  EXPECT_EQ(read32(longer, 64), 7u);
}

TEST(WaveFile, SamplesArePlacedAfterTheHeader) {
  WaveFilePlacer placer;
  placer.Start(pcm18());
  EXPECT_EQ(placer.HeaderBytes(), 46u);
  int64_t expected = 46;
  for (int i = 0; i < 250; ++i) {  // 250 samples of 4000 bytes: 1 000 000 bytes
    const auto at = placer.Place(4000);
    ASSERT_TRUE(at);
    EXPECT_EQ(at->start, expected);
    EXPECT_EQ(at->stop, expected + 4000);
    expected += 4000;
  }
  EXPECT_EQ(placer.DataBytes(), 1'000'000u);
  EXPECT_EQ(read32(placer.Header(), 4), 1'000'038u);
  // A new recording starts counting again.
  placer.Start(pcm18());
  EXPECT_EQ(placer.DataBytes(), 0u);
  EXPECT_EQ(placer.Place(10)->start, 46);
}

TEST(WaveFile, RefusedSampleIsNotCounted) {
  WaveFilePlacer placer;
  placer.Start(pcm18());
  placer.Place(100);
  const uint32_t before = placer.DataBytes();
  EXPECT_EQ(placer.Place(50)->start, 146);
  placer.Restore(before);  // the downstream refused it
  EXPECT_EQ(placer.Place(70)->start, 146);
  EXPECT_EQ(placer.DataBytes(), 170u);
}

TEST(WaveFile, PastFourGigabytesFailsAndKeepsTheCount) {
  WaveFilePlacer placer;
  placer.Start(pcm18());
  const uint32_t limit = UINT32_MAX - 46;  // data bytes that still fit
  placer.Restore(limit - 10);
  ASSERT_TRUE(placer.Place(10));
  EXPECT_EQ(placer.DataBytes(), limit);
  EXPECT_FALSE(placer.Place(1));
  EXPECT_EQ(placer.DataBytes(), limit);
  // The header then describes exactly the bytes written.
  const auto header = placer.Header();
  EXPECT_EQ(read32(header, 42), limit);
  EXPECT_EQ(read32(header, 4), limit + 46 - 8);
  EXPECT_FALSE(placer.Place(-1));
}

}  // namespace
}  // namespace vistrel::filters
