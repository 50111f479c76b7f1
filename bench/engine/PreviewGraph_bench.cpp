// The preview graph of the virtual test camera at 720x576, 25 frames per second, with the clock
// overlay on, to the video renderer (offscreen), run for a stretch of real time (VISTREL_BENCH_SECONDS, 10 by
// default): the program's processor use in percent of one core, and the frames dropped and shown.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

#include "engine/Tdm.h"
#include "filters/Tvt_Superposer.h"
#include "platform/Environment.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/MediaType.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/filters/VideoRenderer.h"
#include "settings/IncrustRec.h"
#include "sources/Sources.h"
#include "sources/VideoCaptureDevice.h"

using namespace vistrel;
using namespace vistrel::platform::media;

namespace {

double processSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QApplication& application() {
  static int argc = 1;
  static char name[] = "bench_engine";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

void PreviewGraphPal25WithOverlay(benchmark::State& state) {
  QTemporaryDir root;
  qputenv("VISTREL_ROOT", root.path().toLocal8Bit());
  const QString deviceFile = root.filePath(QStringLiteral("devices.txt"));
  {
    QFile f(deviceFile);
    f.open(QIODevice::WriteOnly);
    f.write("camera Caméra test\n");
  }
  qputenv("VISTREL_DEVICES", deviceFile.toLocal8Bit());
  application();
  platform::devices::VirtualDevices::instance().rescan();
  const int seconds = qEnvironmentVariableIsSet("VISTREL_BENCH_SECONDS")
                          ? qEnvironmentVariableIntValue("VISTREL_BENCH_SECONDS")
                          : 10;

  engine::Tdm dm;
  auto renderer = VideoRenderer::create();
  dm.SetVideoRenderer(renderer);
  auto monikers = SystemDeviceEnum::create()->monikers(CLSID_VideoInputDeviceCategory);
  if (monikers.empty()) {
    state.SkipWithError("no virtual camera");
    return;
  }
  sources::TVideoCaptureDevice camera(dm.Engine(), monikers[0], QStringLiteral("Caméra test"), 1);
  sources::TVideoSource source(&camera, 1);
  if (!dm.Connect(source)) {
    state.SkipWithError("the camera does not connect");
    return;
  }
  const MediaType pal = MediaType::rgb24(720, 576, UNITS / 25);
  for (size_t i = 0; i < dm.CaptureFormats().size(); ++i)
    if (dm.CaptureFormats()[i] == pal) dm.FormatIndex = static_cast<int>(i) + 1;
  if (dm.FormatIndex == 0 || !dm.Connect(source)) {
    state.SkipWithError("no 720x576 RGB24 format");
    return;
  }
  settings::TincrustRec overlay = settings::defaultIncrustRec();
  overlay.WhatIncrust = 3;  // the clock, redrawn every frame
  dm.Superposer->setincrust(overlay);
  dm.Superposer->SetOverlaySwitch(true);
  auto dropped = interfaceOf<IAMDroppedFrames>(camera.SourceFilter->filter());

  for (auto _ : state) {
    const double cpuStart = processSeconds();
    QElapsedTimer wall;
    wall.start();
    dm.Run();
    while (wall.elapsed() < seconds * 1000) {
      QCoreApplication::processEvents();
      QThread::msleep(20);
    }
    dm.Stop();
    const double elapsed = double(wall.elapsed()) / 1000.0;
    const double cpu = processSeconds() - cpuStart;
    int32_t lost = -1, delivered = -1;
    if (dropped) {
      dropped->GetNumDropped(lost);
      dropped->GetNumNotDropped(delivered);
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / elapsed;
    state.counters["seconds"] = elapsed;
    state.counters["frames_dropped"] = lost;
    state.counters["frames_delivered"] = delivered;
    auto* shown = static_cast<VideoRenderer*>(renderer.get());
    state.counters["frames_drawn"] = double(shown->framesDrawn());
    state.counters["frames_dropped_by_renderer"] = double(shown->framesDropped());
  }
  dm.Disconnect(source, true);
}

}  // namespace

BENCHMARK(PreviewGraphPal25WithOverlay)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
