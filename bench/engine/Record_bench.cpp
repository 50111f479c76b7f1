// The recording chains that encode (DV recompression, DivX, WMV) behind the virtual test camera
// at 720x576, 25 frames per second, and the tone microphone, run for a stretch of real time
// (VISTREL_BENCH_SECONDS, 60 by default): frames dropped and delivered by the camera, frames
// written, and the program's processor use in percent of one core.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/Record.h"
#include "engine/Tdm.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/MediaType.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/filters/NullRenderer.h"
#include "settings/Parameters.h"
#include "sources/AudioCaptureDevice.h"
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

QGuiApplication& application() {
  static int argc = 1;
  static char name[] = "bench_engine";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(argc, argv);
  return app;
}

// Video packets of the file as libavformat reads them.
int64_t videoPackets(const QString& path) {
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return -1;
  int64_t n = 0;
  if (avformat_find_stream_info(ctx, nullptr) >= 0) {
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(ctx, pkt) >= 0) {
      if (ctx->streams[pkt->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) ++n;
      av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
  }
  avformat_close_input(&ctx);
  return n;
}

using Chain = std::function<bool(engine::TRecorder&, const QString&)>;

void RecordChain(benchmark::State& state, const Chain& chain, const char* extension) {
  QTemporaryDir root;
  qputenv("VISTREL_ROOT", root.path().toLocal8Bit());
  const QString deviceFile = root.filePath(QStringLiteral("devices.txt"));
  {
    QFile f(deviceFile);
    f.open(QIODevice::WriteOnly);
    f.write("camera Caméra test\nmicrophone Micro test\n");
  }
  qputenv("VISTREL_DEVICES", deviceFile.toLocal8Bit());
  application();
  platform::devices::VirtualDevices::instance().rescan();
  const int seconds = qEnvironmentVariableIsSet("VISTREL_BENCH_SECONDS")
                          ? qEnvironmentVariableIntValue("VISTREL_BENCH_SECONDS")
                          : 60;

  settings::TparameterList params(QStringLiteral("Vistrel bench"));
  params.CreateSettings();
  engine::Tdm dm;
  dm.SetParameters(&params);
  dm.SetVideoRenderer(NullRenderer::create());
  auto cameras = SystemDeviceEnum::create()->monikers(CLSID_VideoInputDeviceCategory);
  auto microphones = SystemDeviceEnum::create()->monikers(CLSID_AudioInputDeviceCategory);
  if (cameras.empty() || microphones.empty()) {
    state.SkipWithError("no virtual devices");
    return;
  }
  sources::TVideoCaptureDevice camera(dm.Engine(), cameras[0], QStringLiteral("Caméra test"), 1);
  sources::TVideoSource video(&camera, 1);
  sources::TAudioCaptureDevice microphone(dm.Engine(), microphones[0], QStringLiteral("Micro test"), 1);
  sources::TAudioSource audio(&microphone, 1);
  if (!dm.Connect(video)) {
    state.SkipWithError("the camera does not connect");
    return;
  }
  const MediaType pal = MediaType::rgb24(720, 576, UNITS / 25);
  for (size_t i = 0; i < dm.CaptureFormats().size(); ++i)
    if (dm.CaptureFormats()[i] == pal) dm.FormatIndex = static_cast<int>(i) + 1;
  if (dm.FormatIndex == 0 || !dm.Connect(video) || !dm.Connect(audio)) {
    state.SkipWithError("no 720x576 RGB24 format or no sound");
    return;
  }
  auto dropped = interfaceOf<IAMDroppedFrames>(camera.SourceFilter->filter());
  const QString file = root.filePath(QStringLiteral("bench.") + QString::fromLatin1(extension));

  for (auto _ : state) {
    dm.Stop();
    engine::TRecorder recorder(dm, params);
    if (!chain(recorder, file)) {
      state.SkipWithError("the chain was not built");
      break;
    }
    int32_t lost0 = 0, delivered0 = 0;
    if (dropped) {
      dropped->GetNumDropped(lost0);
      dropped->GetNumNotDropped(delivered0);
    }
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
    dm.StopCapture();
    int32_t lost = -1, delivered = -1;
    if (dropped) {
      dropped->GetNumDropped(lost);
      dropped->GetNumNotDropped(delivered);
    }
    const int64_t written = videoPackets(file);
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / elapsed;
    state.counters["seconds"] = elapsed;
    state.counters["frames_dropped"] = lost - lost0;
    state.counters["frames_delivered"] = delivered - delivered0;
    state.counters["frames_written"] = double(written);
    state.counters["written_fps"] = double(written) / elapsed;
  }
  dm.Disconnect(audio, true);
  dm.Disconnect(video, true);
}

void RecordDVRecompressedPal(benchmark::State& state) {
  RecordChain(
      state, [](engine::TRecorder& r, const QString& f) { return r.RecordDVRecompressed(f); }, "avi");
}
void RecordDivXPal(benchmark::State& state) {
  RecordChain(
      state, [](engine::TRecorder& r, const QString& f) { return r.RecordDivX(f); }, "avi");
}
void RecordWmvPal(benchmark::State& state) {
  RecordChain(
      state, [](engine::TRecorder& r, const QString& f) { return r.RecordWmv(f); }, "wmv");
}

}  // namespace

BENCHMARK(RecordDVRecompressedPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDivXPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordWmvPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
