// DV encoding and decoding frames per second at PAL and NTSC sizes, and the AVI writer's
// throughput. bench/platform/dv_ffmpeg_compare.sh runs the DV ones beside the ffmpeg tool on the
// same frames: it sets VISTREL_DV_FRAMES to a folder holding pal.bgr and ntsc.bgr (raw top-down
// BGR24 pictures, 720 x 576 and 720 x 480) and pal.dv and ntsc.dv (the same pictures as raw DV
// frames), which the benchmarks then cycle through. The ffmpeg side, on one thread:
//   ffmpeg -benchmark -threads 1 -f rawvideo -pix_fmt bgr24 -s 720x576 -r 25 -i pal.bgr
//          -threads 1 -c:v dvvideo -pix_fmt yuv420p -f null -
//   ffmpeg -benchmark -threads 1 -f dv -i pal.dv -threads 1 -pix_fmt bgr24 -f null -
// Without VISTREL_DV_FRAMES each benchmark uses one made-up picture.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
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

// The shared frames of `file` in VISTREL_DV_FRAMES, `bytes` each; none without the variable.
std::vector<std::vector<uint8_t>> sharedFrames(const char* file, size_t bytes) {
  std::vector<std::vector<uint8_t>> frames;
  const QByteArray folder = qgetenv("VISTREL_DV_FRAMES");
  if (folder.isEmpty()) return frames;
  QFile f(QString::fromLocal8Bit(folder) + QLatin1Char('/') + QLatin1String(file));
  if (!f.open(QIODevice::ReadOnly)) return frames;
  for (;;) {
    const QByteArray one = f.read(static_cast<qint64>(bytes));
    if (static_cast<size_t>(one.size()) < bytes) break;
    frames.emplace_back(one.begin(), one.end());
  }
  return frames;
}

void DvEncode(benchmark::State& state) {
  const dv::System system = systemOf(state);
  const int height = system == dv::System::Pal ? 576 : 480;
  auto pictures = sharedFrames(system == dv::System::Pal ? "pal.bgr" : "ntsc.bgr", size_t{720} * 3 * height);
  if (pictures.empty()) pictures.push_back(picture(720, height));
  for (auto& p : pictures) {  // the encoder takes bottom-up rows, as capture pictures come
    std::vector<uint8_t> flipped(p.size());
    for (int y = 0; y < height; ++y)
      std::memcpy(&flipped[static_cast<size_t>(y) * 2160], &p[static_cast<size_t>(height - 1 - y) * 2160],
                  2160);
    p.swap(flipped);
  }
  dv::DvEncoder encoder;
  encoder.open(system);
  std::vector<uint8_t> frame(dv::frameBytes(system));
  size_t next = 0;
  for (auto _ : state) {
    const auto& rgb = pictures[next++ % pictures.size()];
    benchmark::DoNotOptimize(encoder.encode({rgb.data(), 720, height, 2160}, frame));
  }
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["frames"] = static_cast<double>(pictures.size());
}
BENCHMARK(DvEncode)->Arg(0)->Arg(1)->ArgName("ntsc")->Unit(benchmark::kMillisecond);

void DvDecode(benchmark::State& state) {
  const dv::System system = systemOf(state);
  const int height = system == dv::System::Pal ? 576 : 480;
  auto frames = sharedFrames(system == dv::System::Pal ? "pal.dv" : "ntsc.dv", dv::frameBytes(system));
  if (frames.empty()) {
    const auto rgb = picture(720, height);
    dv::DvEncoder encoder;
    encoder.open(system);
    frames.emplace_back(dv::frameBytes(system));
    encoder.encode({rgb.data(), 720, height, 2160}, frames.back());
  }
  dv::DvDecoder decoder;
  std::vector<uint8_t> out(size_t{720} * 3 * height);
  size_t next = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(decoder.decode(frames[next++ % frames.size()], out.data(), 720, height, 2160));
  state.counters["fps"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["frames"] = static_cast<double>(frames.size());
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
