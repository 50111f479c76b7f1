// Every recording chain behind its virtual source at PAL size: the test camera at 720x576 and the
// tone microphone, the DV camcorder (native DV type 1 and 2), the MPEG card (native MPEG-2), the
// microphone alone (Wav, mp3).
//
// *Pal: the sources at real time for a stretch of VISTREL_BENCH_SECONDS (60 by default): frames
// (or 20 ms sound blocks) the source delivered and dropped, frames expected for the time that
// passed, frames and seconds of sound written, what the tees let go for a lagging branch, and the
// program's processor use in percent of one core. The target is no frame dropped or missing.
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
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"
#include "settings/Parameters.h"
#include "sources/AudioCaptureDevice.h"
#include "sources/CaptureDevice.h"
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

// What libavformat reads of the file: video packets and seconds of sound.
struct Written {
  int64_t frames = -1;
  double soundSeconds = 0;
};
Written writtenIn(const QString& path) {
  Written w;
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return w;
  w.frames = 0;
  if (avformat_find_stream_info(ctx, nullptr) >= 0) {
    AVPacket* pkt = av_packet_alloc();
    // Sound: PCM by its bytes; coded sound from the first packet's time to the end of the last.
    int64_t pcmBytes = 0;
    double first = -1, end = 0;
    while (av_read_frame(ctx, pkt) >= 0) {
      const AVStream* st = ctx->streams[pkt->stream_index];
      if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) ++w.frames;
      if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
        pcmBytes += pkt->size;
        const int64_t at = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (at != AV_NOPTS_VALUE) {
          const double t = double(at) * av_q2d(st->time_base);
          if (first < 0) first = t;
          end = std::max(end, t + double(pkt->duration) * av_q2d(st->time_base));
        }
      }
      av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
      const AVCodecParameters* a = ctx->streams[i]->codecpar;
      if (a->codec_type != AVMEDIA_TYPE_AUDIO) continue;
      if (a->codec_id == AV_CODEC_ID_PCM_S16LE && a->sample_rate > 0 && a->ch_layout.nb_channels > 0)
        w.soundSeconds = double(pcmBytes) / (2.0 * a->ch_layout.nb_channels * a->sample_rate);
      else if (first >= 0)
        w.soundSeconds = end - std::min(first, 0.0);
    }
  }
  avformat_close_input(&ctx);
  return w;
}

// Samples the engine's tees let go for a lagging branch.
int64_t teeDrops(engine::Tdm& dm) {
  int64_t n = 0;
  for (const auto& f :
       {dm.VideoTee() ? dm.VideoTee()->filter() : nullptr, dm.AudioTee() ? dm.AudioTee()->filter() : nullptr,
        dm.infdecvideo.filter(), dm.infdumvideo.filter(), dm.infdecaudio.filter()})
    if (auto tee = std::dynamic_pointer_cast<InfTee>(f)) n += tee->droppedSamples();
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

using Chain = std::function<bool(engine::TRecorder&, engine::Tdm&, const QString&)>;

enum class Sources { CameraAndMicrophone, Camcorder, MpegCardAndMicrophone, Microphone };

struct RunOptions {
  double clockRate = 1;
  QStringList ffmpegCodec;  // empty: no comparison
  Sources sources = Sources::CameraAndMicrophone;
};

void RecordChain(benchmark::State& state, const Chain& chain, const char* extension,
                 const RunOptions& options = {}) {
  QTemporaryDir root;
  qputenv("VISTREL_ROOT", root.path().toLocal8Bit());
  const QString deviceFile = root.filePath(QStringLiteral("devices.txt"));
  {
    QFile f(deviceFile);
    f.open(QIODevice::WriteOnly);
    switch (options.sources) {
      case Sources::CameraAndMicrophone: f.write("camera Caméra test\nmicrophone Micro test\n"); break;
      case Sources::Camcorder: f.write("dvcam Caméscope ; camera\n"); break;
      case Sources::MpegCardAndMicrophone: f.write("mpegcard Carte MPEG\nmicrophone Micro test\n"); break;
      case Sources::Microphone: f.write("microphone Micro test\n"); break;
    }
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
  sources::TCaptureDeviceList videoDevices(dm.Engine()), audioDevices(dm.Engine());
  sources::TvideoSourcesList videos;
  sources::TAudioSourcesList sounds;
  videoDevices.Refresh(CLSID_VideoInputDeviceCategory);
  audioDevices.Refresh(CLSID_AudioInputDeviceCategory);
  sources::AddDeviceSources(videoDevices, videos, sounds);
  sources::AddDeviceSources(audioDevices, videos, sounds);
  sources::TVideoSource* video = options.sources == Sources::Microphone ? nullptr : videos.Items(0);
  if (video && !dm.Connect(*video)) {
    state.SkipWithError("the video source does not connect");
    return;
  }
  if (options.sources == Sources::CameraAndMicrophone) {
    const MediaType pal = MediaType::rgb24(720, 576, UNITS / 25);
    for (size_t i = 0; i < dm.CaptureFormats().size(); ++i)
      if (dm.CaptureFormats()[i] == pal) dm.FormatIndex = static_cast<int>(i) + 1;
    if (dm.FormatIndex == 0 || !dm.Connect(*video)) {
      state.SkipWithError("no 720x576 RGB24 format");
      return;
    }
  }
  // The microphone, or the camcorder's own sound.
  sources::TAudioSource* audio = nullptr;
  for (int i = 0; i < sounds.Count() && !audio; ++i)
    if (options.sources == Sources::Camcorder || sounds.Items(i)->SourceName == QStringLiteral("Micro test"))
      audio = sounds.Items(i);
  if (!dm.CurrentAudioSource() && (!audio || !dm.Connect(*audio))) {
    state.SkipWithError("no sound source");
    return;
  }
  const auto videoFilter = dm.VideoCaptureFilter;
  const auto counters = interfaceOf<IAMDroppedFrames>(videoFilter ? videoFilter : dm.AudioCaptureFilter);
  const QString file = root.filePath(QStringLiteral("bench.") + QString::fromLatin1(extension));
  // Frames a second of the source, or 20 ms blocks of sound.
  const double rate = videoFilter ? 25.0 : 50.0;

  for (auto _ : state) {
    dm.Stop();
    engine::TRecorder recorder(dm, params);
    if (!chain(recorder, dm, file)) {
      state.SkipWithError("the chain was not built");
      break;
    }
    int32_t lost0 = 0, delivered0 = 0;
    if (counters) {
      counters->GetNumDropped(lost0);
      counters->GetNumNotDropped(delivered0);
    }
    const int64_t teeDrops0 = teeDrops(dm);
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
    const int64_t teeLost = teeDrops(dm) - teeDrops0;
    dm.StopCapture();
    int32_t lost = -1, delivered = -1;
    if (counters) {
      counters->GetNumDropped(lost);
      counters->GetNumNotDropped(delivered);
    }
    const Written written = writtenIn(file);
    const double expected = elapsed * rate * options.clockRate;
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpu / elapsed;
    state.counters["seconds"] = elapsed;
    state.counters["frames_dropped"] = lost - lost0;
    state.counters["frames_delivered"] = delivered - delivered0;
    state.counters["frames_expected"] = expected;
    state.counters["tee_drops"] = double(teeLost);
    state.counters["sound_seconds_written"] = written.soundSeconds;
    if (videoFilter) {
      state.counters["frames_written"] = double(written.frames);
      state.counters["frames_missing"] = std::max(0.0, expected - double(written.frames));
      state.counters["written_fps"] = double(written.frames) / elapsed;
    } else {
      state.counters["sound_seconds_missing"] = std::max(0.0, elapsed - written.soundSeconds);
    }
    if (options.clockRate != 1) state.counters["sustained_fps"] = (delivered - delivered0) / elapsed;
    if (!options.ffmpegCodec.isEmpty())
      state.counters["ffmpeg_fps"] = ffmpegFps(root.path(), options.ffmpegCodec, 500);
  }
  if (auto* a = dm.CurrentAudioSource()) dm.Disconnect(*a, true);
  if (auto* v = dm.CurrentVideoSource()) dm.Disconnect(*v, true);
}

void RecordDVRecompressedPal(benchmark::State& state) {
  RecordChain(
      state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordDVRecompressed(f); },
      "avi");
}
void RecordDivXPal(benchmark::State& state) {
  RecordChain(
      state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordDivX(f); }, "avi");
}
void RecordWmvPal(benchmark::State& state) {
  RecordChain(
      state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordWmv(f); }, "wmv");
}
void RecordAviNativePal(benchmark::State& state) {
  RecordChain(
      state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordAvi(f); }, "avi");
}
void RecordDvType2NativePal(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordDVType2(f); },
              "avi", {1, {}, Sources::Camcorder});
}
void RecordDvType1NativePal(benchmark::State& state) {
  RecordChain(state,
              [](engine::TRecorder&, engine::Tdm& dm, const QString& f) {
                return dm.CurrentVideoSource()->Device->BuildMuxGraph(f);
              },
              "avi", {1, {}, Sources::Camcorder});
}
void RecordMpeg2NativePal(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordStream(f); },
              "mpg", {1, {}, Sources::MpegCardAndMicrophone});
}
void RecordWavPal(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordWav(f); },
              "wav", {1, {}, Sources::Microphone});
}
void RecordMp3Pal(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordMp3(f); },
              "mp3", {1, {}, Sources::Microphone});
}

const QStringList kDvCodec = {QStringLiteral("-c:v"), QStringLiteral("dvvideo"), QStringLiteral("-pix_fmt"),
                              QStringLiteral("yuv420p")};
const QStringList kMpeg4Codec = {QStringLiteral("-c:v"), QStringLiteral("mpeg4"), QStringLiteral("-pix_fmt"),
                                 QStringLiteral("yuv420p")};
const QStringList kWmvCodec = {QStringLiteral("-c:v"), QStringLiteral("wmv2"), QStringLiteral("-pix_fmt"),
                               QStringLiteral("yuv420p")};

void RecordDVRecompressedFlat(benchmark::State& state) {
  RecordChain(state,
              [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordDVRecompressed(f); },
              "avi", {40, kDvCodec});
}
void RecordDivXFlat(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordDivX(f); },
              "avi", {40, kMpeg4Codec});
}
void RecordWmvFlat(benchmark::State& state) {
  RecordChain(state, [](engine::TRecorder& r, engine::Tdm&, const QString& f) { return r.RecordWmv(f); },
              "wmv", {40, kWmvCodec});
}

}  // namespace

BENCHMARK(RecordDVRecompressedFlat)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDivXFlat)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordWmvFlat)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDVRecompressedPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDivXPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordWmvPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordAviNativePal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDvType2NativePal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordDvType1NativePal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordMpeg2NativePal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordWavPal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(RecordMp3Pal)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
