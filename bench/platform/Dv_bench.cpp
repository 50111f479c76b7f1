// DV encoding and decoding frames per second at PAL and NTSC sizes, and the AVI writer's
// throughput. Compare with the ffmpeg tool on the same frames:
//   ffmpeg -f lavfi -i testsrc=size=720x576:rate=25 -frames:v 500 -pix_fmt yuv420p -f dv -y /tmp/p.dv
//   -benchmark ffmpeg -i /tmp/p.dv -f null - -benchmark
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <vector>

#include "platform/media/avi/AviWriter.h"
#include "platform/media/dv/DvCodec.h"

using namespace vistrel::platform::media;

namespace {

std::vector<uint8_t> picture(int width, int height) {
  std::vector<uint8_t> p(static_cast<size_t>(width * 3 * height));
  for (size_t i = 0; i < p.size(); ++i) p[i] = static_cast<uint8_t>((i * 31) ^ (i >> 9));
  return p;
}

dv::System systemOf(const benchmark::State& state) {
  return state.range(0) == 0 ? dv::System::Pal : dv::System::Ntsc;
}

void DvEncode(benchmark::State& state) {
  const dv::System system = systemOf(state);
  const int height = system == dv::System::Pal ? 576 : 480;
  const auto rgb = picture(720, height);
  dv::DvEncoder encoder;
  encoder.open(system);
  std::vector<uint8_t> frame(dv::frameBytes(system));
  for (auto _ : state) benchmark::DoNotOptimize(encoder.encode({rgb.data(), 720, height, 2160}, frame));
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DvEncode)->Arg(0)->Arg(1)->ArgName("ntsc")->Unit(benchmark::kMillisecond);

void DvDecode(benchmark::State& state) {
  const dv::System system = systemOf(state);
  const int height = system == dv::System::Pal ? 576 : 480;
  const auto rgb = picture(720, height);
  dv::DvEncoder encoder;
  encoder.open(system);
  std::vector<uint8_t> frame(dv::frameBytes(system));
  encoder.encode({rgb.data(), 720, height, 2160}, frame);
  dv::DvDecoder decoder;
  std::vector<uint8_t> out(rgb.size());
  for (auto _ : state) benchmark::DoNotOptimize(decoder.decode(frame, out.data(), 720, height, 2160));
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(DvDecode)->Arg(0)->Arg(1)->ArgName("ntsc")->Unit(benchmark::kMillisecond);

void AviWrite(benchmark::State& state) {
  QTemporaryDir dir;
  avi::AviWriter writer;
  const int stream = writer.addStream(
      {avi::StreamKind::InterleavedDv, avi::fourcc("dvsd"), 1, 25, 0, QByteArray(32, '\0'), 720, 576});
  writer.open(dir.filePath(QStringLiteral("bench.avi")));
  const std::vector<char> frame(dv::kPalFrameBytes, 1);
  for (auto _ : state) writer.writeChunk(stream, frame.data(), static_cast<uint32_t>(frame.size()));
  writer.close();
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(frame.size()));
}
BENCHMARK(AviWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
