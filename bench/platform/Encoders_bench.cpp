// Encoding speed of the platform's video encoders at PAL size (720x576, 25 fps, RGB24 bottom-up
// input as the program's chains deliver it): frames per second for Windows Media Video 8 (the
// ASF writer's codec), MPEG-4 ASP (the Xvid/DivX compressors) and MPEG-2 (the program-stream
// input), each at the bit rate the program uses for that format.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/media/filters/FfmpegEncoders.h"

using namespace vistrel::platform::media;

namespace {

constexpr int kWidth = 720, kHeight = 576;

// 25 distinct pictures: moving gradients and blocks, so that motion search has work to do.
const std::vector<std::vector<uint8_t>>& palFrames() {
  static const std::vector<std::vector<uint8_t>> frames = [] {
    std::vector<std::vector<uint8_t>> all;
    const int stride = static_cast<int>(dibRowBytes(kWidth, 24));
    for (int n = 0; n < 25; ++n) {
      std::vector<uint8_t> f(static_cast<size_t>(stride) * kHeight);
      for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
          uint8_t* p = &f[static_cast<size_t>(y) * stride + x * 3];
          p[0] = static_cast<uint8_t>(x + n * 4);
          p[1] = static_cast<uint8_t>(y + n * 2);
          p[2] = static_cast<uint8_t>(((x + n * 8) / 32 + y / 32) % 2 ? 220 : 30);
        }
      all.push_back(std::move(f));
    }
    // VISTREL_BENCH_FRAMES=<file> saves the pictures (bottom-up BGR rows) for the ffmpeg tool.
    if (const char* path = std::getenv("VISTREL_BENCH_FRAMES"))
      if (FILE* f = std::fopen(path, "wb")) {
        for (const auto& frame : all) std::fwrite(frame.data(), 1, frame.size(), f);
        std::fclose(f);
      }
    return all;
  }();
  return frames;
}

void encodeFrames(benchmark::State& state, VideoCodec codec, int64_t bitrate, uint32_t fourcc) {
  VideoEncoderSettings s;
  s.codec = codec;
  s.width = kWidth;
  s.height = kHeight;
  s.frameDuration = 400000;
  s.bitrate = bitrate;
  s.keyInterval = codec == VideoCodec::Mpeg2 ? 12 : 125;
  s.fourcc = fourcc;
  VideoEncoder enc;
  if (FAILED(enc.open(s, MediaType::rgb24(kWidth, kHeight, 400000)))) {
    state.SkipWithError("encoder did not open");
    return;
  }
  const auto& frames = palFrames();
  std::vector<EncodedPacket> out;
  int64_t index = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    const auto& f = frames[static_cast<size_t>(index % 25)];
    out.clear();
    enc.encode(f.data(), static_cast<int32_t>(f.size()), index++, out);
    for (const auto& p : out) bytes += static_cast<int64_t>(p.data.size());
  }
  state.SetItemsProcessed(index);
  state.counters["fps"] = benchmark::Counter(static_cast<double>(index), benchmark::Counter::kIsRate);
  state.counters["kbit/s"] =
      index ? static_cast<double>(bytes) * 8 * 25 / static_cast<double>(index) / 1000 : 0;
}

void BM_EncodeWmv8Pal(benchmark::State& state) { encodeFrames(state, VideoCodec::Wmv2, 3'870'000, 0); }
void BM_EncodeMpeg4XvidPal(benchmark::State& state) {
  encodeFrames(state, VideoCodec::Mpeg4, 1'500'000, makeFourcc('X', 'V', 'I', 'D'));
}
void BM_EncodeMpeg2Pal(benchmark::State& state) { encodeFrames(state, VideoCodec::Mpeg2, 6'000'000, 0); }

// Windows Media Audio 2 at 128 kbit/s from 48 kHz capture sound (resampled to 44.1 kHz).
void BM_AudioWma2Encode(benchmark::State& state) {
  AudioEncoder enc;
  AudioEncoderSettings s;
  s.codec = AudioCodec::Wmav2;
  s.sampleRate = 44100;
  s.channels = 2;
  s.bitrate = 128000;
  if (FAILED(enc.open(s, pcmFormat(48000, 2, 16)))) {
    state.SkipWithError("encoder did not open");
    return;
  }
  std::vector<int16_t> pcm(1920 * 2);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(std::sin(i * 0.03) * 8000);
  std::vector<EncodedPacket> out;
  int64_t blocks = 0;
  for (auto _ : state) {
    out.clear();
    enc.encode(reinterpret_cast<const uint8_t*>(pcm.data()), static_cast<int32_t>(pcm.size() * 2), out);
    ++blocks;
  }
  // One block is 40 ms of sound: the counter says how many times faster than real time.
  state.counters["x realtime"] =
      benchmark::Counter(static_cast<double>(blocks) * 0.04, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_EncodeWmv8Pal)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_EncodeMpeg4XvidPal)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_EncodeMpeg2Pal)->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_AudioWma2Encode)->Unit(benchmark::kMicrosecond);
