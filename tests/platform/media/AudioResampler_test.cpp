#include "platform/media/filters/AudioResampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace vistrel::platform::media;

TEST(AudioResampler, ConvertsRateChannelsAndDepth) {
  struct Case {
    WAVEFORMATEX in, out;
  } cases[] = {
      {pcmFormat(44100, 2, 16), pcmFormat(48000, 2, 16)},
      {pcmFormat(48000, 2, 16), pcmFormat(44100, 1, 8)},
      {pcmFormat(11025, 1, 8), pcmFormat(48000, 2, 16)},
  };
  for (const auto& c : cases) {
    AudioResampler r;
    ASSERT_TRUE(r.configure(c.in, c.out));
    // One second of a 440 Hz tone, converted in 20 ms blocks.
    const int frames = static_cast<int>(c.in.nSamplesPerSec);
    std::vector<uint8_t> in(static_cast<size_t>(frames) * c.in.nBlockAlign);
    for (int i = 0; i < frames; ++i) {
      const double v = std::sin(2 * M_PI * 440 * i / c.in.nSamplesPerSec) * 0.5;
      for (int ch = 0; ch < c.in.nChannels; ++ch) {
        if (c.in.wBitsPerSample == 16) {
          reinterpret_cast<int16_t*>(in.data())[i * c.in.nChannels + ch] = static_cast<int16_t>(v * 32767);
        } else {
          in[static_cast<size_t>(i * c.in.nChannels + ch)] = static_cast<uint8_t>(128 + v * 127);
        }
      }
    }
    std::vector<uint8_t> out;
    const size_t block = c.in.nAvgBytesPerSec / 50;
    for (size_t pos = 0; pos < in.size(); pos += block) {
      const size_t n = std::min(block, in.size() - pos);
      std::vector<uint8_t> buf(r.outputBytesFor(n));
      const size_t got = r.convert(in.data() + pos, n, buf.data(), buf.size());
      ASSERT_LE(got, buf.size());
      out.insert(out.end(), buf.begin(), buf.begin() + static_cast<long>(got));
    }
    const double seconds = static_cast<double>(out.size()) / c.out.nAvgBytesPerSec;
    EXPECT_NEAR(seconds, 1.0, 0.01);
    EXPECT_EQ(out.size() % c.out.nBlockAlign, 0u);
    // Not silence: the tone's peak survives.
    int peak = 0;
    for (size_t i = 0; i < out.size() / c.out.nBlockAlign; ++i) {
      int v = c.out.wBitsPerSample == 16
                  ? std::abs(reinterpret_cast<const int16_t*>(out.data())[i * c.out.nChannels])
                  : std::abs(out[i * c.out.nChannels] - 128) * 256;
      peak = std::max(peak, v);
    }
    EXPECT_GT(peak, 8000) << c.out.nChannels << " ch " << c.out.wBitsPerSample << " bit";
  }
}

TEST(AudioResampler, RefusesWhatItCannotConvert) {
  AudioResampler r;
  WAVEFORMATEX mp3 = pcmFormat(44100, 2, 16);
  mp3.wBitsPerSample = 24;
  EXPECT_FALSE(r.configure(mp3, pcmFormat(44100, 2, 16)));
  EXPECT_FALSE(r.configure(pcmFormat(44100, 6, 16), pcmFormat(44100, 2, 16)));
  EXPECT_FALSE(r.configure(pcmFormat(1000, 2, 16), pcmFormat(44100, 2, 16)));
  uint8_t buf[16] = {};
  EXPECT_EQ(r.convert(buf, 16, buf, 16), 0u);
}
