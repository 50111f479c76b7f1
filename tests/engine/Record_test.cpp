// The recording chains end to end: virtual devices, the engine's preview graph, one chain, a few
// seconds of recording, and the file read back through libavformat.
#include "engine/Record.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>
#include <cmath>

#include "EngineTestFilters.h"
#include "engine/Tdm.h"
#include "filters/Tvt_ControlFilter.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/SystemClock.h"
#include "platform/media/filters/NullRenderer.h"
#include "settings/Parameters.h"
#include "sources/CaptureDevice.h"
#include "sources/Sources.h"
#include "sources/VideoCaptureDevice.h"
#include "support/MediaProbe.h"

namespace vistrel::engine {
namespace {

using namespace platform::media;
using vistrel::testing::ProbedFile;
using vistrel::testing::ProbedStream;
using vistrel::testing::probeMedia;

// Virtual devices, the engine with its preview connected, and the parameters the chains read.
class Rig {
 public:
  explicit Rig(const QByteArray& devices) : devices_(devices), params(QStringLiteral("Vistrel test")) {
    params.CreateSettings();
    dm.SetParameters(&params);
    dm.SetVideoRenderer(NullRenderer::create());
    videoDevices.Refresh(CLSID_VideoInputDeviceCategory);
    audioDevices.Refresh(CLSID_AudioInputDeviceCategory);
    sources::AddDeviceSources(videoDevices, video, audio);
    sources::AddDeviceSources(audioDevices, video, audio);
  }
  ~Rig() {
    dm.Stop();
    dm.StopCapture();
    if (auto* v = dm.CurrentVideoSource()) dm.Disconnect(*v, true);
    if (auto* a = dm.CurrentAudioSource()) dm.Disconnect(*a, true);
    dm.Clear();
  }

  bool connectVideo(int index = 0) { return video.Items(index) && dm.Connect(*video.Items(index)); }
  // The camera's 720x576 RGB format, reconnected.
  bool selectPal() {
    const MediaType pal = MediaType::rgb24(720, 576, UNITS / 25);
    for (size_t i = 0; i < dm.CaptureFormats().size(); ++i)
      if (dm.CaptureFormats()[i] == pal) dm.FormatIndex = static_cast<int>(i) + 1;
    return dm.FormatIndex > 0 && dm.CurrentVideoSource() && dm.Connect(*dm.CurrentVideoSource());
  }
  bool connectAudio(const QString& name) {
    auto* source = audio.Find(name);
    return source && dm.Connect(*source);
  }

  // Builds a chain with the graph stopped, runs it for `ms`, stops and removes it.
  bool record(const std::function<bool(TRecorder&)>& chain, int ms = 2000) {
    dm.Stop();
    TRecorder recorder(dm, params, choices);
    if (!chain(recorder)) {
      dm.StopCapture();
      return false;
    }
    dm.Run();
    wait(ms);
    dm.Stop();
    dm.StopCapture();
    return true;
  }

  static void wait(int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
      QCoreApplication::processEvents();
      QThread::msleep(20);
    }
  }

  QString file(const QString& name) const { return devices_.path() + QLatin1Char('/') + name; }

  void setFlag(const char* key, bool on) { params.Boolean(QString::fromUtf8(key)).Value = on ? 1 : 0; }
  void setEnum(const char* key, uint8_t v) { params.Enum(QString::fromUtf8(key)).Value = v; }

 private:
  struct Devices {
    explicit Devices(const QByteArray& lines) : set(lines), root() {}
    QString path() const { return root.path(); }
    testing::VirtualDeviceSet set;
    testing::TempRoot root;
  } devices_;

 public:
  settings::TparameterList params;
  Tdm dm;
  TRecordChoices choices;
  sources::TCaptureDeviceList videoDevices{dm.Engine()};
  sources::TCaptureDeviceList audioDevices{dm.Engine()};
  sources::TvideoSourcesList video;
  sources::TAudioSourcesList audio;
};

const QByteArray kCameraAndMicrophone = "camera Caméra test\nmicrophone Micro test\n";

const ProbedStream* streamOf(const ProbedFile& f, AVMediaType type) {
  for (const auto& s : f.streams)
    if (s.type == type) return &s;
  return nullptr;
}

int countOf(const ProbedFile& f, AVMediaType type) {
  int n = 0;
  for (const auto& s : f.streams) n += s.type == type;
  return n;
}

// Seconds of sound a PCM stream holds.
double pcmSeconds(const ProbedStream& s) {
  return s.sampleRate > 0 && s.channels > 0 ? double(s.bytes) / (2.0 * s.channels * s.sampleRate) : 0;
}

TEST(RecordChains, AudioRateFollowsFrequenceDV) {
  Rig rig("");
  TRecorder recorder(rig.dm, rig.params);
  const int expected[] = {44100, 32000, 44100, 48000, 44100, 44100};
  for (uint8_t code = 0; code < 6; ++code) {
    rig.setEnum("FrequenceDV", code);
    EXPECT_EQ(recorder.AudioFormatRate(), expected[code]) << int(code);
  }
  // Without a current audio source the converter is not configured.
  EXPECT_FALSE(recorder.ConfigureAudioFormat(1));
}

TEST(RecordChains, RefusalsWithoutTheirStreams) {
  Rig rig("");
  TRecorder recorder(rig.dm, rig.params);
  EXPECT_FALSE(recorder.RecordWav(rig.file("a.wav")));
  EXPECT_FALSE(recorder.RecordMp3(rig.file("a.mp3")));
  EXPECT_FALSE(recorder.RecordDVType2(rig.file("a.avi")));
  EXPECT_FALSE(recorder.RecordAvi(rig.file("b.avi")));
  EXPECT_FALSE(recorder.RecordStream(rig.file("a.mpg")));
  rig.dm.StopCapture();
  EXPECT_FALSE(QFileInfo::exists(rig.file("a.wav")));
}

TEST(RecordChains, AviNativeWithAndWithoutSound) {
  Rig rig(kCameraAndMicrophone);
  ASSERT_TRUE(rig.connectVideo());
  const QString silent = rig.file("silent.avi");
  ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordAvi(silent); }));
  ProbedFile f = probeMedia(silent);
  ASSERT_TRUE(f.opened);
  EXPECT_EQ(f.format, "avi");
  EXPECT_EQ(countOf(f, AVMEDIA_TYPE_AUDIO), 0);
  const ProbedStream* v = streamOf(f, AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_GT(v->packets, 10);

  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  const QString both = rig.file("both.avi");
  ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordAvi(both); }, 3000));
  f = probeMedia(both);
  ASSERT_TRUE(f.opened);
  v = streamOf(f, AVMEDIA_TYPE_VIDEO);
  const ProbedStream* a = streamOf(f, AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(v && a);
  EXPECT_EQ(a->codec, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(a->channels, 2);
  EXPECT_EQ(a->sampleRate, 48000);  // "FrequenceDV" 3
  ASSERT_GT(v->packets, 25);
  // Sound and pictures cover the same stretch: within a few frames of each other.
  EXPECT_NEAR(pcmSeconds(*a), v->durationSeconds, 0.2) << v->packets << " frames";
}

TEST(RecordChains, WavHeaderSizesAreExact) {
  Rig rig(kCameraAndMicrophone);
  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  struct Case {
    uint8_t code;
    uint32_t rate;
  };
  for (const Case c : {Case{3, 48000}, Case{1, 32000}}) {
    rig.setEnum("FrequenceDV", c.code);
    const QString path = rig.file(QStringLiteral("son%1.wav").arg(c.rate));
    ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordWav(path); }));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray d = f.readAll();
    ASSERT_GT(d.size(), 44 + int(c.rate)) << c.rate;
    auto u32 = [&](int at) { return qFromLittleEndian<uint32_t>(d.constData() + at); };
    auto u16 = [&](int at) { return qFromLittleEndian<uint16_t>(d.constData() + at); };
    EXPECT_EQ(d.left(4), "RIFF");
    EXPECT_EQ(u32(4), uint32_t(d.size() - 8));
    EXPECT_EQ(d.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u16(22), 2);
    EXPECT_EQ(u32(24), c.rate);
    EXPECT_EQ(u32(28), 4 * c.rate);
    EXPECT_EQ(u16(32), 4);
    EXPECT_EQ(u16(34), 16);
    const int fmtSize = int(u32(16));
    const int data = 20 + fmtSize;
    ASSERT_EQ(d.mid(data, 4), "data");
    EXPECT_EQ(u32(data + 4), uint32_t(d.size() - data - 8));
    EXPECT_EQ((d.size() - data - 8) % 4, 0);
    const ProbedFile p = probeMedia(path);
    ASSERT_TRUE(p.opened);
    EXPECT_NEAR(p.durationSeconds, 2.0, 0.5) << c.rate;
  }
}

TEST(RecordChains, Mp3) {
  Rig rig(kCameraAndMicrophone);
  if (!TRecorder::Mp3EncoderAvailable()) GTEST_SKIP() << "no MP3 encoder registered";
  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  const QString path = rig.file("son.mp3");
  ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordMp3(path); }));
  const ProbedFile p = probeMedia(path);
  ASSERT_TRUE(p.opened);
  const ProbedStream* a = streamOf(p, AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->codec, AV_CODEC_ID_MP3);
  EXPECT_GT(a->packets, 20);
}

TEST(RecordChains, DivXWithMp3AndWithPcm) {
  Rig rig(kCameraAndMicrophone);
  ASSERT_TRUE(rig.connectVideo());
  ASSERT_TRUE(rig.selectPal());
  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  rig.setFlag("Demi Taille", true);
  rig.setEnum("Ratio DivX", 3);  // native: both sides halved
  for (bool mp3 : {true, false}) {
    rig.setFlag("Want Mp3", mp3);
    const QString path = rig.file(mp3 ? "divx-mp3.avi" : "divx-pcm.avi");
    ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordDivX(path); })) << mp3;
    const ProbedFile p = probeMedia(path);
    ASSERT_TRUE(p.opened) << mp3;
    const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
    const ProbedStream* a = streamOf(p, AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(v && a) << mp3;
    EXPECT_EQ(v->codec, AV_CODEC_ID_MPEG4);
    EXPECT_EQ(v->height, 288);  // "Demi Taille" halves the 576 lines
    EXPECT_EQ(v->width, 360);
    EXPECT_GT(v->packets, 10);
    EXPECT_EQ(a->codec, mp3 && TRecorder::Mp3EncoderAvailable() ? AV_CODEC_ID_MP3 : AV_CODEC_ID_PCM_S16LE);
  }
}

TEST(RecordChains, WmvWithAndWithoutSound) {
  Rig rig(kCameraAndMicrophone);
  ASSERT_TRUE(rig.connectVideo());
  const QString silent = rig.file("silent.wmv");
  ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordWmv(silent); }));
  ProbedFile p = probeMedia(silent);
  ASSERT_TRUE(p.opened);
  EXPECT_EQ(countOf(p, AVMEDIA_TYPE_AUDIO), 0);
  ASSERT_NE(streamOf(p, AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_GT(streamOf(p, AVMEDIA_TYPE_VIDEO)->packets, 5);

  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  const QString both = rig.file("both.wmv");
  ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordWmv(both); }));
  p = probeMedia(both);
  ASSERT_TRUE(p.opened);
  ASSERT_NE(streamOf(p, AVMEDIA_TYPE_AUDIO), nullptr);
  ASSERT_NE(streamOf(p, AVMEDIA_TYPE_VIDEO), nullptr);
  EXPECT_GT(streamOf(p, AVMEDIA_TYPE_AUDIO)->packets, 5);
}

TEST(RecordChains, DvRecompressedFromAWebcam) {
  Rig rig(kCameraAndMicrophone);
  ASSERT_TRUE(rig.connectVideo());
  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  const QString path = rig.file("recomp.avi");
  ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordDVRecompressed(path); }));
  const ProbedFile p = probeMedia(path);
  ASSERT_TRUE(p.opened);
  const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->codec, AV_CODEC_ID_DVVIDEO);
  EXPECT_EQ(v->width, 720);
  EXPECT_EQ(v->height, 576);  // "Standard DV" PAL
  EXPECT_GT(v->packets, 10);
  ASSERT_NE(streamOf(p, AVMEDIA_TYPE_AUDIO), nullptr);
}

TEST(RecordChains, ImagesRecordsOneFramePerGrab) {
  Rig rig(kCameraAndMicrophone);
  ASSERT_TRUE(rig.connectVideo());
  const QString path = rig.file("images.avi");
  int stops = 0;
  rig.dm.Stop();
  TRecorder recorder(rig.dm, rig.params);
  ASSERT_TRUE(recorder.RecordImages(path, [&] { ++stops; }));
  rig.dm.Run();
  for (int i = 0; i < 3; ++i) {
    Rig::wait(300);
    rig.dm.ControlFilter->PassOne();
  }
  Rig::wait(300);
  rig.dm.Stop();
  rig.dm.StopCapture();
  EXPECT_GE(stops, 1);
  const ProbedFile p = probeMedia(path);
  ASSERT_TRUE(p.opened);
  const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->codec, AV_CODEC_ID_DVVIDEO);
  EXPECT_EQ(v->packets, 3);
}

TEST(RecordChains, DvType2FromTheCamcorder) {
  Rig rig("dvcam Caméscope DV ; camera\n");
  ASSERT_GT(rig.video.Count(), 0);
  ASSERT_TRUE(rig.connectVideo());
  if (!rig.dm.VideoTee()) GTEST_SKIP() << "the DV device gives no raw tee";
  const QString path = rig.file("dv2.avi");
  const bool withAudio = rig.dm.CurrentAudioSource() != nullptr;
  ASSERT_TRUE(rig.record([&](TRecorder& r) { return r.RecordDVType2(path); }));
  const ProbedFile p = probeMedia(path);
  ASSERT_TRUE(p.opened);
  const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->codec, AV_CODEC_ID_DVVIDEO);
  EXPECT_GT(v->packets, 10);
  EXPECT_EQ(countOf(p, AVMEDIA_TYPE_AUDIO), withAudio ? 1 : 0);
}

TEST(RecordChains, ACompressorThatRefusesThePictureSizeRefusesTheChain) {
  Rig rig("");
  auto spec = std::make_shared<testing::ScriptedCaptureSpec>();
  // Wider than MPEG-4 can code.
  spec->offered = {MediaType::rgb24(8200, 16, UNITS / 25)};
  sources::TVideoCaptureDevice device(rig.dm.Engine(),
                                      testing::ScriptedCaptureMoniker(QStringLiteral("Wide"), spec),
                                      QStringLiteral("Wide"), 1);
  ASSERT_TRUE(device.Ready);
  sources::TVideoSource source(&device, 1);
  ASSERT_TRUE(rig.dm.Connect(source));
  rig.dm.Stop();
  {
    TRecorder recorder(rig.dm, rig.params, rig.choices);
    EXPECT_FALSE(recorder.RecordDivX(rig.file("refused.avi")));
  }
  rig.dm.StopCapture();
  EXPECT_TRUE(rig.dm.Run());  // the preview goes on
  rig.dm.Stop();
  rig.dm.Disconnect(source, true);
}

// ---- Sound and picture in step over long recordings ---------------------------------------------

// The graph clock, and with it the sources' pace and time stamps, runs `rate` times faster for
// the test's life: minutes of media in seconds, with the same work per frame.
class AcceleratedClock {
 public:
  explicit AcceleratedClock(double rate) { SystemClock::setRate(rate); }
  ~AcceleratedClock() { SystemClock::setRate(1.0); }
};

struct SyncCase {
  const char* name;
  int mediaSeconds;
  // Real time is 1. The first seconds are recorded at real time: a start-up that costs a few
  // frames would cost ten times more media time when the clock runs fast.
  double clockRate;
};

// Records `mediaSeconds` of media through `chain` and checks that the file's sound lasts as
// long as its frames, within one frame.
void expectInStep(Rig& rig, const std::function<bool(TRecorder&, const QString&)>& chain, const SyncCase& c) {
  SCOPED_TRACE(c.name);
  const QString path = rig.file(QString::fromUtf8(c.name) + QStringLiteral(".avi"));
  int32_t droppedBefore = 0, droppedAfter = 0;
  auto dropped = interfaceOf<IAMDroppedFrames>(rig.dm.VideoCaptureFilter);
  if (dropped) dropped->GetNumDropped(droppedBefore);
  {
    const AcceleratedClock fast(c.clockRate);
    ASSERT_TRUE(rig.record([&](TRecorder& r) { return chain(r, path); },
                           static_cast<int>(c.mediaSeconds * 1000 / c.clockRate)));
  }
  if (dropped) dropped->GetNumDropped(droppedAfter);
  const ProbedFile p = probeMedia(path);
  ASSERT_TRUE(p.opened);
  const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
  const ProbedStream* a = streamOf(p, AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(v && a);
  ASSERT_EQ(a->codec, AV_CODEC_ID_PCM_S16LE);
  const double frame = 1.0 / 25;
  const double video = v->durationSeconds, audio = pcmSeconds(*a);
  std::printf(
      "[ sync     ] %s: %.3f s of frames (%lld packets), %.3f s of sound, %d frames dropped at the source\n",
      c.name, video, (long long)v->packets, audio, droppedAfter - droppedBefore);
  // The whole stretch was recorded (a frame's slack for the start and the stop).
  EXPECT_GT(video, c.mediaSeconds * 0.9);
  // Both lengths are whole units, a frame of picture and a 20 ms block of sound, and the graph's
  // stop reaches the two sources a few milliseconds apart, which the fast clock turns into tens
  // of milliseconds of media: two frames of slack, whatever the length of the recording, so
  // that a drift (a share of the length) still fails.
  EXPECT_NEAR(audio, video, 2 * frame);
}

TEST(RecordSync, DvType2NativeKeepsSoundAndFramesInStep) {
  Rig rig("dvcam Caméscope DV ; camera\n");
  ASSERT_TRUE(rig.connectVideo());
  // The camcorder's own sound, its only audio source.
  if (!rig.dm.CurrentAudioSource()) {
    ASSERT_EQ(rig.audio.Count(), 1);
    ASSERT_TRUE(rig.dm.Connect(*rig.audio.Items(0)));
  }
  ASSERT_TRUE(rig.dm.VideoTee());
  for (const SyncCase& c : {SyncCase{"dv2-start", 4, 1}, SyncCase{"dv2-ten-minutes", 600, 12}})
    expectInStep(
        rig, [](TRecorder& r, const QString& path) { return r.RecordDVType2(path); }, c);
}

TEST(RecordSync, DivXOfTheTestCameraAndToneKeepsSoundAndFramesInStep) {
  Rig rig(kCameraAndMicrophone);
  ASSERT_TRUE(rig.connectVideo());
  ASSERT_TRUE(rig.selectPal());
  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  rig.setFlag("Want Mp3", false);
  expectInStep(
      rig, [](TRecorder& r, const QString& path) { return r.RecordDivX(path); },
      SyncCase{"divx-ten-minutes", 600, 12});
}

TEST(RecordChains, DvType1ThroughTheDevice) {
  Rig rig("dvcam Caméscope DV ; camera\n");
  ASSERT_TRUE(rig.connectVideo());
  auto* device = rig.dm.CurrentVideoSource()->Device;
  ASSERT_NE(device, nullptr);
  const QString path = rig.file("dv1.avi");
  ASSERT_TRUE(rig.record([&](TRecorder&) { return device->BuildMuxGraph(path); }));
  const ProbedFile p = probeMedia(path);
  ASSERT_TRUE(p.opened);
  const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->codec, AV_CODEC_ID_DVVIDEO);
  EXPECT_GT(v->packets, 10);
}

TEST(RecordChains, NativeMpegStreamAndItsCut) {
  Rig rig("mpegcard Carte MPEG\nmicrophone Micro test\n");
  ASSERT_TRUE(rig.connectVideo());
  if (!rig.dm.VideoTee()) GTEST_SKIP() << "the MPEG card gives no raw tee";
  ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
  const QString first = rig.file("flux1.mpg"), second = rig.file("flux2.mpg");
  rig.dm.Stop();
  TRecorder recorder(rig.dm, rig.params);
  ASSERT_TRUE(recorder.RecordStream(first));
  rig.dm.Run();
  Rig::wait(1500);
  rig.dm.Stop();
  const qint64 firstSize = QFileInfo(first).size();
  // The cut: the engine's stream writer gets the next name, and the finished file stays as it is.
  auto sink = interfaceOf<IFileSinkFilter>(rig.dm.writer.filter());
  ASSERT_TRUE(sink);
  ASSERT_EQ(sink->SetFileName(second, nullptr), S_OK);
  rig.dm.Run();
  Rig::wait(1500);
  rig.dm.Stop();
  rig.dm.StopCapture();
  EXPECT_EQ(QFileInfo(first).size(), firstSize);
  for (const QString& path : {first, second}) {
    const ProbedFile p = probeMedia(path);
    ASSERT_TRUE(p.opened) << path.toStdString();
    const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(v, nullptr) << path.toStdString();
    EXPECT_EQ(v->codec, AV_CODEC_ID_MPEG2VIDEO);
    EXPECT_GT(v->packets, 5);
    EXPECT_NE(streamOf(p, AVMEDIA_TYPE_AUDIO), nullptr) << path.toStdString();
  }
}

}  // namespace
}  // namespace vistrel::engine
