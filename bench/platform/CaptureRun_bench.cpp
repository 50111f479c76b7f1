// A fixed run of the test camera at 1920x1080, 30 frames per second, in YUY2, through the Color
// Space Converter into a Null Renderer (60 s, or VISTREL_BENCH_SECONDS). The figures that matter
// are the frames lost: dropped by the camera (IAMDroppedFrames: no free buffer or late) and lost
// in the graph (delivered by the camera but never reaching the renderer). Target: both zero.
// Run alone: bench_platform --benchmark_filter=CameraRun
#include <benchmark/benchmark.h>

#include "BenchRun.h"
#include "platform/devices/virtual/TestPattern.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/filters/ColorSpaceConverter.h"
#include "platform/media/filters/NullRenderer.h"

using namespace vistrel::platform::media;
using vistrel::platform::devices::VirtualCamera;

namespace {
std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}
}  // namespace

static void BM_CameraRun_Yuy2_1080p30_ToConverterToNull(benchmark::State& state) {
  vistrel::bench::benchApplication();
  const double seconds = vistrel::bench::runSeconds(60);
  for (auto _ : state) {
    auto g = FilterGraph::create();
    auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Bench camera"));
    auto csc = ColorSpaceConverter::create();
    auto null = std::make_shared<NullRenderer>();
    g->AddFilter(cam, "cam");
    g->AddFilter(csc, "csc");
    g->AddFilter(null, "null");
    const MediaType yuy2 =
        MediaType::video(MEDIASUBTYPE_YUY2, 1920, 1080, 16, makeFourcc('Y', 'U', 'Y', '2'), UNITS / 30);
    if (interfaceOf<IAMStreamConfig>(pinsOf(cam)[0])->SetFormat(yuy2) != S_OK ||
        g->ConnectDirect(pinsOf(cam)[0], pinsOf(csc)[0], nullptr) != S_OK ||
        g->ConnectDirect(pinsOf(csc)[1], pinsOf(null)[0], nullptr) != S_OK) {
      state.SkipWithError("graph did not connect");
      return;
    }
    const double cpu0 = vistrel::bench::processCpu();
    if (g->Run() != S_OK) {
      state.SkipWithError("graph did not run");
      return;
    }
    const double wall = vistrel::bench::pumpEvents(seconds);
    g->Stop();
    const double cpu = vistrel::bench::processCpu() - cpu0;

    int32_t delivered = 0, dropped = 0;
    cam->GetNumNotDropped(delivered);
    cam->GetNumDropped(dropped);
    const int64_t received = null->samplesReceived();
    state.counters["run_s"] = wall;
    state.counters["frames_due"] = wall * 30;
    state.counters["cam_delivered"] = delivered;
    state.counters["cam_dropped"] = dropped;
    state.counters["graph_lost"] = double(delivered - received);
    state.counters["renderer_got"] = double(received);
    state.counters["cpu_pct"] = 100.0 * cpu / wall;
    state.counters["cpu_ms/frame"] = received > 0 ? 1000.0 * cpu / double(received) : 0;
  }
}
BENCHMARK(BM_CameraRun_Yuy2_1080p30_ToConverterToNull)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

// Where the camera's time per 1080p YUY2 frame goes: drawing the pattern and packing it as YUY2
// (the converter's share is BM_Yuy2ToRgb24), all on the camera's streaming thread.
static void BM_CameraFrameParts_1080p(benchmark::State& state) {
  const int w = 1920, h = 1080;
  std::vector<uint8_t> rgb(size_t(vistrel::platform::media::dibRowBytes(w, 24)) * h), yuy2(size_t(w) * h * 2);
  int64_t k = 0;
  vistrel::platform::devices::renderTestPattern(rgb.data(), w, h, 1, 33, {});  // what the packing sees
  for (auto _ : state) {
    if (state.range(0) == 0) {
      vistrel::platform::devices::renderTestPattern(rgb.data(), w, h, k, k * 33, {});
      ++k;
    } else
      vistrel::platform::devices::rgb24ToYuy2(rgb.data(), w, h, yuy2.data());
    benchmark::ClobberMemory();
  }
  state.SetLabel(state.range(0) == 0 ? "draw pattern" : "RGB24 to YUY2");
}
BENCHMARK(BM_CameraFrameParts_1080p)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
