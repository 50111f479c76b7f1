// The recording chains that encode (DV recompression, DivX, WMV) behind the virtual test camera
// at 720x576 and the tone microphone.
//
// *Pal: the camera at 25 frames per second for a stretch of real time (VISTREL_BENCH_SECONDS, 60
// by default): frames dropped and delivered by the camera, frames written, and the program's
// processor use in percent of one core.
// *Flat: the graph clock runs 40 times faster, so that the camera offers 1000 frames per second
// and drops what the chain cannot take: the frames delivered per second of real time are what
// the chain sustains (the camera draws its pattern on the same thread). Beside it, the `ffmpeg`
// command-line tool encodes the same pictures, read raw from a file, with the same codec on one
// thread (ffmpeg_fps; 0 when the tool is missing).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <functional>

extern "C" {
#include <libavformat/avformat.h>
}

#include "engine/Record.h"
#include "engine/Tdm.h"
#include "platform/devices/VirtualDevices.h"
#include "platform/devices/virtual/TestPattern.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/MediaType.h"
#include "platform/media/SystemClock.h"
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

// Frames per second of `ffmpeg` encoding `frames` test pictures at 720x576 from a raw file with
// `codecArguments`, on one thread; 0 when the tool fails or is missing.
double ffmpegFps(const QString& folder, const QStringList& codecArguments, int frames) {
  const int width = 720, height = 576;
  const QString raw = folder + QStringLiteral("/frames.rgb");
  if (!QFile::exists(raw)) {
    QFile f(raw);
    if (!f.open(QIODevice::WriteOnly)) return 0;
    std::vector<uint8_t> picture(size_t(width) * height * 3);
    for (int k = 0; k < frames; ++k) {
      platform::devices::renderTestPattern(picture.data(), width, height, k, k * 40, {});
      f.write(reinterpret_cast<const char*>(picture.data()), qint64(picture.size()));
    }
  }
  // The pictures are bottom-up BGR like the camera's; the tool's work does not depend on it.
  QStringList args = {QStringLiteral("-hide_banner"),
                      QStringLiteral("-loglevel"),
                      QStringLiteral("error"),
                      QStringLiteral("-f"),
                      QStringLiteral("rawvideo"),
                      QStringLiteral("-pix_fmt"),
                      QStringLiteral("bgr24"),
                      QStringLiteral("-s"),
                      QStringLiteral("720x576"),
                      QStringLiteral("-r"),
                      QStringLiteral("25"),
                      QStringLiteral("-i"),
                      raw,
                      QStringLiteral("-threads"),
                      QStringLiteral("1")};
  args += codecArguments;
  args += {QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")};
  QProcess tool;
  QElapsedTimer wall;
  wall.start();
  tool.start(QStringLiteral("ffmpeg"), args);
  if (!tool.waitForStarted(5000) || !tool.waitForFinished(600000) || tool.exitCode() != 0) return 0;
  return frames * 1000.0 / double(std::max<qint64>(1, wall.elapsed()));
}

using Chain = std::function<bool(engine::TRecorder&, const QString&)>;

struct RunOptions {
  double clockRate = 1;
  QStringList ffmpegCodec;  // empty: no comparison
};

void RecordChain(benchmark::State& state, const Chain& chain, const char* extension,
                 const RunOptions& options = {}) {
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
                      : options.clockRate == 1 ? 60
                                               : 15;

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
    SystemClock::setRate(options.clockRate);
    QElapsedTimer wall;
    wall.start();
    dm.Run();
    while (wall.elapsed() < seconds * 1000) {
      QCoreApplication::processEvents();
      QThread::msleep(20);
    }
    dm.Stop();
    SystemClock::setRate(1.0);
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
    if (options.clockRate != 1) state.counters["sustained_fps"] = (delivered - delivered0) / elapsed;
    if (!options.ffmpegCodec.isEmpty())
      state.counters["ffmpeg_fps"] = ffmpegFps(root.path(), options.ffmpegCodec, 500);
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

const QStringList kDvCodec = {QStringLiteral("-c:v"), QStringLiteral("dvvideo"), QStringLiteral("-pix_fmt"),
                              QStringLiteral("yuv420p")};
const QStringList kMpeg4Codec = {QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-pix_fmt"),
                                 QStringLiteral("yuv420p")};
const QStringList kWmvCodec = {QStringLiteral("-c:v"), QStringLiteral("wmv2"), QStringLiteral("-pix_fmt"),
                               QStringLiteral("yuv420p")};

void RecordDVRecompressedFlat(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, const QString& f) { return r.RecordDVRecompressed(f); }, "avi",
              {40, kDvCodec});
}
void RecordDivXFlat(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, const QString& f) { return r.RecordDivX(f); }, "avi",
              {40, kMpeg4Codec});
}
void RecordWmvFlat(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, const QString& f) { return r.RecordWmv(f); }, "wmv",
              {40, kWmvCodec});
}

}  // namespace

BENCHMARK(RecordDVRecompressedFlat)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDivXFlat)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordWmvFlat)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDVRecompressedPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDivXPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordWmvPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
