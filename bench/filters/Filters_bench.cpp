// Costs of the program's filters on their processing paths: the scene detector per PAL frame,
// the resizer from 720 x 576 to 384 x 288, the WAV writer's per-sample work, the DV decoders and
// ring reads that other threads do.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "filters/DvCodes.h"
#include "filters/DvHeaderCopy.h"
#include "filters/ResizeProcessor.h"
#include "filters/SceneDetector.h"
#include "filters/WaveFile.h"

namespace {

using namespace vistrel::filters;

constexpr size_t kSequence = dvcodes::kDifSequenceBytes;

// A PAL camera frame: time code, date, source control and AAUX packs in every sequence, the
// rest random (as picture data would be).
std::vector<uint8_t> palFrame(int second) {
  std::vector<uint8_t> frame(12 * kSequence);
  std::mt19937 random(7);
  for (auto& b : frame) b = static_cast<uint8_t>(random());
  for (size_t s = 0; s < 12; ++s) {
    uint8_t* q = frame.data() + s * kSequence;
    q[3] = 0xBF;
    q[7] = 0xF8;
    for (size_t id : {size_t{110}, size_t{190}}) {
      q[id] = 0x13;
      q[id + 1] = 0x00;
      q[id + 2] = static_cast<uint8_t>(((second / 10) << 4) | (second % 10));
      q[id + 3] = 0x00;
      q[id + 4] = 0x10;
    }
    q[453] = 0x61;
    q[455] = 0xF8;
    q[458] = 0x62;
    q[460] = 0x25;
    q[461] = 0x12;
    q[462] = 0x05;
    q[463] = 0x63;
    q[465] = q[112];
    q[466] = 0x45;
    q[467] = 0x21;
    q[4323] = 0x50;
    q[4327] = 0x00;
  }
  return frame;
}

void BM_SceneDetectorPalFrame(benchmark::State& state) {
  SceneDetector detector;
  std::vector<std::vector<uint8_t>> frames;
  for (int s = 0; s < 8; ++s) frames.push_back(palFrame(s * 7));
  int64_t start = 0;
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(detector.AnalyseFrame(frames[i], start));
    start += 400'000;
    i = (i + 1) % frames.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SceneDetectorPalFrame);

void BM_DecodeAllPacks(benchmark::State& state) {
  const auto frame = palFrame(12);
  for (auto _ : state) {
    for (int s = 0; s < dvcodes::kExaminedSequences; ++s) {
      benchmark::DoNotOptimize(dvcodes::DecodeTimeCode(frame, s));
      benchmark::DoNotOptimize(dvcodes::DecodeRecordingDateTime(frame, s));
    }
    benchmark::DoNotOptimize(dvcodes::Is16x9(frame));
    benchmark::DoNotOptimize(dvcodes::DecodeAudioSamplingRate(frame));
  }
}
BENCHMARK(BM_DecodeAllPacks);

void BM_RingReadAndHeaderCopy(benchmark::State& state) {
  SceneDetector detector;
  const auto frame = palFrame(3);
  for (int i = 0; i < 100; ++i) detector.AnalyseFrame(frame, int64_t{i} * 400'000);
  auto target = palFrame(4);
  FrameRingEntry entry;
  for (auto _ : state) {
    const int index = detector.FindEntryAtOrBefore(50 * 400'000);
    detector.Ring().Read(index, entry);
    ApplyDvHeader(target, &entry, kDvHeaderForce16x9);
    benchmark::DoNotOptimize(target.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RingReadAndHeaderCopy);

void BM_ResizerPalToDivx(benchmark::State& state) {
  ResizeProcessor resizer;
  resizer.SetHalfSize(true);
  resizer.SetMode(1);
  resizer.SetInputSize(720, 576);
  std::vector<uint8_t> in(720 * 3 * 576), out(in.size());
  std::mt19937 random(3);
  for (auto& b : in) b = static_cast<uint8_t>(random());
  for (auto _ : state) {
    benchmark::DoNotOptimize(resizer.Process(in, out));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());  // items per second = frames per second
}
BENCHMARK(BM_ResizerPalToDivx)->Unit(benchmark::kMillisecond);

// Per sample: the copy into the output buffer and the placement, as the WAV writer's transform
// does them; 20 ms of 48 kHz 16-bit stereo per sample.
void BM_WaveWriterSamples(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0));
  WaveFilePlacer placer;
  const uint8_t format[18] = {1, 0, 2, 0, 0x80, 0xBB, 0, 0, 0, 0xEE, 2, 0, 4, 0, 16, 0, 0, 0};
  placer.Start(format);
  std::vector<uint8_t> in(bytes, 5), out(bytes);
  for (auto _ : state) {
    std::memcpy(out.data(), in.data(), bytes);
    auto place = placer.Place(static_cast<int32_t>(bytes));
    if (!place) {
      placer.Start(format);
      place = placer.Place(static_cast<int32_t>(bytes));
    }
    benchmark::DoNotOptimize(place);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WaveWriterSamples)->Arg(3840)->Arg(65536);

}  // namespace
