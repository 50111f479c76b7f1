// The cost of the live preview at 1080p30, offscreen.
// - PreviewRun: the test camera at 1920x1080 RGB24, 30 frames per second, straight into the Video
//   Renderer, whose widget is shown at 384x288 or at full size, for a fixed run (20 s, or
//   VISTREL_BENCH_SECONDS). Reports the capture frames lost (target zero), the frames the
//   renderer drew and dropped, the widget's paints, and CPU: the whole process (per cent of one
//   core, and per captured frame, the camera's own picture making included) and the
//   user-interface thread per paint.
// - PaintFrame: one frame handed over and painted synchronously, the user-interface work alone.
// Run alone: bench_platform --benchmark_filter='PreviewRun|PaintFrame'
#include <benchmark/benchmark.h>

#include <QWidget>
#include <vector>

#include "BenchRun.h"
#include "platform/devices/virtual/TestPattern.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IVideoWindow.h"
#include "platform/media/filters/VideoRenderer.h"
#include "platform/ui/VideoWidget.h"

using namespace vistrel::platform::media;
using vistrel::platform::devices::VirtualCamera;

namespace {
std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}
}  // namespace

static void BM_PreviewRun_Rgb24_1080p30(benchmark::State& state) {
  vistrel::bench::benchApplication();
  const int w = int(state.range(0)), h = int(state.range(1));
  const double seconds = vistrel::bench::runSeconds(20);
  for (auto _ : state) {
    QWidget owner;
    owner.resize(w, h);
    auto g = FilterGraph::create();
    auto cam = std::make_shared<VirtualCamera>(QStringLiteral("Bench camera"));
    auto renderer = std::make_shared<VideoRenderer>();
    g->AddFilter(cam, "cam");
    g->AddFilter(renderer, "renderer");
    auto window = interfaceOf<IVideoWindow>(std::shared_ptr<IBaseFilter>(renderer));
    if (!window) {
      state.SkipWithError("no video window");
      return;
    }
    window->put_Owner(&owner);
    window->SetWindowPosition(0, 0, w, h);
    window->put_Visible(true);
    owner.show();
    if (interfaceOf<IAMStreamConfig>(pinsOf(cam)[0])->SetFormat(MediaType::rgb24(1920, 1080, UNITS / 30)) !=
            S_OK ||
        g->ConnectDirect(pinsOf(cam)[0], pinsOf(renderer)[0], nullptr) != S_OK) {
      state.SkipWithError("graph did not connect");
      return;
    }
    auto* widget = renderer->videoWindow()->widget();
    const int paints0 = widget->paintCount();
    const double cpu0 = vistrel::bench::processCpu(), ui0 = vistrel::bench::threadCpu();
    g->Run();
    const double wall = vistrel::bench::pumpEvents(seconds);
    g->Stop();
    const double cpu = vistrel::bench::processCpu() - cpu0, ui = vistrel::bench::threadCpu() - ui0;
    const int paints = widget->paintCount() - paints0;

    int32_t delivered = 0, dropped = 0;
    cam->GetNumNotDropped(delivered);
    cam->GetNumDropped(dropped);
    state.counters["run_s"] = wall;
    state.counters["frames_due"] = wall * 30;
    state.counters["cam_delivered"] = delivered;
    state.counters["cam_dropped"] = dropped;
    state.counters["drawn"] = double(renderer->framesDrawn());
    state.counters["render_dropped"] = double(renderer->framesDropped());
    state.counters["paints"] = paints;
    state.counters["cpu_pct"] = 100.0 * cpu / wall;
    state.counters["cpu_ms/frame"] = delivered > 0 ? 1000.0 * cpu / delivered : 0;
    state.counters["ui_ms/paint"] = paints > 0 ? 1000.0 * ui / paints : 0;
  }
}
BENCHMARK(BM_PreviewRun_Rgb24_1080p30)
    ->Args({384, 288})
    ->Args({1920, 1080})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

static void BM_PaintFrame_1080p(benchmark::State& state) {
  vistrel::bench::benchApplication();
  const int w = int(state.range(0)), h = int(state.range(1));
  vistrel::platform::ui::VideoWidget widget;
  widget.resize(w, h);
  widget.show();
  const MediaType type = MediaType::rgb24(1920, 1080, UNITS / 30);
  std::vector<uint8_t> frame(type.lSampleSize);
  vistrel::platform::devices::renderTestPattern(frame.data(), 1920, 1080, 0, 0, {});
  QCoreApplication::processEvents();
  for (auto _ : state) {
    widget.presentFrame(type, frame.data(), int32_t(frame.size()));
    QCoreApplication::processEvents();  // takes the frame
    widget.repaint();                   // paints it now
  }
  state.counters["frames/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PaintFrame_1080p)->Args({384, 288})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
