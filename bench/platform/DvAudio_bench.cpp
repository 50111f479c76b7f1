// The DV sound packing of our own: one frame's sound written into and read back from its audio
// blocks, per quantization; a real-time stream needs 25 (PAL) or 30 (NTSC) frames a second.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "platform/media/dv/DvAudio.h"

using namespace vistrel::platform::media;

namespace {

dv::AudioFormat formatOf(const benchmark::State& state) {
  return state.range(0) == 12 ? dv::AudioFormat{32000, 12} : dv::AudioFormat{44100, 16};
}

std::vector<int16_t> tone(int samples) {
  std::vector<int16_t> s(static_cast<size_t>(samples) * 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(20000 * std::sin(0.03 * double(i / 2)));
  return s;
}

void DvAudioWrite(benchmark::State& state) {
  const dv::AudioFormat format = formatOf(state);
  std::vector<uint8_t> frame(dv::kPalFrameBytes);
  const auto sound = tone(dv::samplesInFrame(dv::System::Pal, format.sampleRate, 0));
  for (auto _ : state) benchmark::DoNotOptimize(dv::writeFrameAudio(frame, dv::System::Pal, format, sound));
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DvAudioWrite)->Arg(12)->Arg(16)->ArgName("bits")->Unit(benchmark::kMicrosecond);

void DvAudioRead(benchmark::State& state) {
  const dv::AudioFormat format = formatOf(state);
  std::vector<uint8_t> frame(dv::kPalFrameBytes);
  dv::writeFrameAudio(frame, dv::System::Pal, format,
                      tone(dv::samplesInFrame(dv::System::Pal, format.sampleRate, 0)));
  dv::AudioFormat read;
  std::vector<int16_t> back;
  for (auto _ : state) benchmark::DoNotOptimize(dv::readFrameAudio(frame, dv::System::Pal, read, back));
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DvAudioRead)->Arg(12)->Arg(16)->ArgName("bits")->Unit(benchmark::kMicrosecond);

}  // namespace
