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
#include "filters/Tvt_Superposer.h"
#include "platform/devices/virtual/TestPattern.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/MediaGuids.h"
#include "platform/media/SystemClock.h"
#include "platform/media/dv/DvCodec.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"
#include "settings/IncrustRec.h"
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

constexpr double kFrame = 1.0 / 25;

// What a source's own counters (IAMDroppedFrames) say it sent: frames, or blocks of sound.
struct SourceCount {
  int64_t delivered = 0, dropped = 0;
  int64_t periods() const { return delivered + dropped; }
  SourceCount operator-(const SourceCount& before) const {
    return {delivered - before.delivered, dropped - before.dropped};
  }
};

SourceCount sourceCount(const std::shared_ptr<IBaseFilter>& filter) {
  SourceCount c;
  if (auto counters = interfaceOf<IAMDroppedFrames>(filter)) {
    int32_t n = 0;
    if (SUCCEEDED(counters->GetNumNotDropped(n))) c.delivered = n;
    if (SUCCEEDED(counters->GetNumDropped(n))) c.dropped = n;
  }
  return c;
}

int streamIndexOf(const ProbedFile& f, AVMediaType type) {
  for (size_t i = 0; i < f.streams.size(); ++i)
    if (f.streams[i].type == type) return static_cast<int>(i);
  return -1;
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

// Records until the camera has gone through `mediaSeconds` of frame periods, and checks the
// file against what the sources sent and the sound against the frames, all along the file,
// within one frame. The test waits for the sources rather than for the clock: a loaded machine
// makes the camera late, and the recording longer, never shorter.
void expectInStep(Rig& rig, const std::function<bool(TRecorder&, const QString&)>& chain, const SyncCase& c) {
  SCOPED_TRACE(c.name);
  const QString path = rig.file(QString::fromUtf8(c.name) + QStringLiteral(".avi"));
  const auto videoFilter = rig.dm.VideoCaptureFilter, audioFilter = rig.dm.AudioCaptureFilter;
  // The camcorder's sound comes inside its frames; a microphone counts its own blocks.
  const bool separateSound = audioFilter && audioFilter != videoFilter;
  const SourceCount video0 = sourceCount(videoFilter), audio0 = sourceCount(audioFilter);
  const int64_t periods = int64_t(c.mediaSeconds) * 25;
  {
    const AcceleratedClock fast(c.clockRate);
    rig.dm.Stop();
    TRecorder recorder(rig.dm, rig.params, rig.choices);
    ASSERT_TRUE(chain(recorder, path));
    rig.dm.Run();
    // A generous bound, only so that a source that stopped for good cannot hang the test.
    const int limitMs = static_cast<int>(c.mediaSeconds * 1000 / c.clockRate) * 5 + 10000;
    for (int waited = 0; waited < limitMs && (sourceCount(videoFilter) - video0).periods() < periods;
         waited += 20)
      Rig::wait(20);
    rig.dm.Stop();
    rig.dm.StopCapture();
  }
  const SourceCount video = sourceCount(videoFilter) - video0, audio = sourceCount(audioFilter) - audio0;
  const ProbedFile p = probeMedia(path);
  ASSERT_TRUE(p.opened);
  const int vi = streamIndexOf(p, AVMEDIA_TYPE_VIDEO), ai = streamIndexOf(p, AVMEDIA_TYPE_AUDIO);
  ASSERT_TRUE(vi >= 0 && ai >= 0);
  const ProbedStream& v = p.streams[size_t(vi)];
  const ProbedStream& a = p.streams[size_t(ai)];
  ASSERT_EQ(a.codec, AV_CODEC_ID_PCM_S16LE);
  const double frames = v.durationSeconds, sound = pcmSeconds(a);
  const testing::ProbedDrift drift = testing::probeSoundDrift(path, kFrame, std::min(frames, sound));
  std::printf(
      "[ sync     ] %s: %.3f s of frames (%lld packets), %.3f s of sound; camera: %lld frames sent, %lld "
      "dropped; microphone: %lld blocks sent, %lld dropped; worst drift %+.3f s at %.1f s over %d frames\n",
      c.name, frames, (long long)v.packets, sound, (long long)video.delivered, (long long)video.dropped,
      (long long)audio.delivered, (long long)audio.dropped, drift.worst, drift.at, drift.frames);
  // The camera went through the whole stretch (or the bound stopped a stalled one).
  EXPECT_GE(video.periods(), periods);
  // Every frame period the camera went through is in the file: its frame, or an empty chunk
  // for a frame it dropped.
  EXPECT_NEAR(frames, video.periods() * kFrame, kFrame);
  if (separateSound) {
    // Every 20 ms block the microphone went through.
    EXPECT_NEAR(sound, audio.periods() * 0.020, kFrame);
  }
  // A camera sends a frame when its period begins, a microphone a block when its period ends:
  // wherever the stop falls, the two totals of separate sources differ by up to a frame and a
  // block without any loss of step, which the comparisons with each source above and along the
  // file below look at instead.
  if (!separateSound) {
    EXPECT_NEAR(sound, frames, kFrame);
  }
  // In step all along the file, up to where the first of the two streams ended (a millisecond
  // for the rounding of times to 100 ns units and of sound to whole samples).
  EXPECT_GT(drift.frames, 0);
  EXPECT_LE(std::abs(drift.worst), kFrame + 0.001) << "at " << drift.at << " s";
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
  for (const SyncCase& c : {SyncCase{"divx-start", 4, 1}, SyncCase{"divx-ten-minutes", 600, 12}})
    expectInStep(
        rig, [](TRecorder& r, const QString& path) { return r.RecordDivX(path); }, c);
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

// ---- Each format's file against what the sources sent ----------------------------------------

// How much of the bottom right of a decoded DV picture of the test camera, where the overlay
// writes its lines, differs from the pattern the camera drew: the share of pixels off by more
// than DV coding moves a pixel.
double overlayAreaDifference(const std::vector<uint8_t>& dvFrame) {
  constexpr int w = 720, h = 576, stride = w * 3;
  std::vector<uint8_t> decoded(size_t(stride) * h), expected(size_t(stride) * h);
  dv::DvDecoder decoder;
  if (!decoder.decode(dvFrame, decoded.data(), w, h, stride)) return -1;
  const int64_t number = platform::devices::readFrameCounter(decoded.data(), w, h);
  if (number < 0) return -1;
  platform::devices::renderTestPattern(expected.data(), w, h, number, 0, {});
  int off = 0, n = 0;
  // Top-down rows 75 % to 100 %, columns 40 % to 95 %; the bottom-up buffers store row y at
  // h - 1 - y.
  for (int y = h * 3 / 4; y < h; ++y)
    for (int x = w * 2 / 5; x < w * 19 / 20; ++x, ++n) {
      int worst = 0;
      for (int c = 0; c < 3; ++c) {
        const size_t at = size_t(h - 1 - y) * stride + size_t(x) * 3 + c;
        worst = std::max(worst, std::abs(int(decoded[at]) - int(expected[at])));
      }
      off += worst > 96;
    }
  return double(off) / n;
}

// Samples the tees of one side (video or sound) dropped for a lagging branch: a loaded machine
// makes an encoding branch lag, and what the tee drops there never reaches the file.
int64_t teeDrops(Rig& rig, bool video) {
  int64_t n = 0;
  const std::vector<std::shared_ptr<IBaseFilter>> tees =
      video ? std::vector{rig.dm.VideoTee() ? rig.dm.VideoTee()->filter() : nullptr,
                          rig.dm.infdecvideo.filter(), rig.dm.infdumvideo.filter()}
            : std::vector{rig.dm.AudioTee() ? rig.dm.AudioTee()->filter() : nullptr,
                          rig.dm.infdecaudio.filter()};
  for (const auto& f : tees)
    if (auto tee = std::dynamic_pointer_cast<InfTee>(f)) n += tee->droppedSamples();
  return n;
}

enum class Sources { CameraAndMicrophone, Camera, Camcorder, MpegCardAndMicrophone, Microphone };

struct LengthCase {
  const char* name;
  Sources sources;
  std::function<bool(TRecorder&, Rig&, const QString&)> chain;
  AVCodecID video = AV_CODEC_ID_NONE;  // NONE: the file has no picture
  AVCodecID audio = AV_CODEC_ID_NONE;  // NONE: the file has no sound
  int height = 0;                      // 0: not looked at
  std::function<void(Rig&)> setup = nullptr;
  int overlay = -1;  // 1: the frames must show the overlay, 0: must not, -1: not looked at
};

// Seconds of sound a stream holds: counted from PCM bytes or MPEG audio frames, else the
// container's length.
double soundSeconds(const ProbedStream& a) {
  if (a.codec == AV_CODEC_ID_PCM_S16LE) return pcmSeconds(a);
  if (a.durationSeconds < 0 && a.codec == AV_CODEC_ID_MP3 && a.sampleRate > 0)
    return double(a.packets) * 1152 / a.sampleRate;
  return a.durationSeconds;
}

// Seconds of pictures: the stream's length, or its frames where the container gives none (type 1
// DV, whose frames carry the sound too).
double pictureSeconds(const ProbedStream& v) {
  return v.durationSeconds >= 0 ? v.durationSeconds : v.packets * kFrame;
}

TEST(RecordLengths, EveryFormatHoldsWhatTheSourcesSentWithinOneFrame) {
  const bool mp3 = TRecorder::Mp3EncoderAvailable();
  const LengthCase cases[] = {
      {"dv type 1 natif", Sources::Camcorder,
       [](TRecorder&, Rig& rig, const QString& f) {
         return rig.dm.CurrentVideoSource()->Device->BuildMuxGraph(f);
       },
       AV_CODEC_ID_DVVIDEO, AV_CODEC_ID_PCM_S16LE, 576},
      {"dv type 2 natif", Sources::Camcorder,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordDVType2(f); }, AV_CODEC_ID_DVVIDEO,
       AV_CODEC_ID_PCM_S16LE, 576},
      {"avi natif", Sources::CameraAndMicrophone,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordAvi(f); }, AV_CODEC_ID_RAWVIDEO,
       AV_CODEC_ID_PCM_S16LE, 576},
      {"dv type 2 (recomp)", Sources::CameraAndMicrophone,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordDVRecompressed(f); }, AV_CODEC_ID_DVVIDEO,
       AV_CODEC_ID_PCM_S16LE, 576,
       [](Rig& rig) {
         settings::TincrustRec overlay = settings::defaultIncrustRec();
         overlay.WhatIncrust = 3;  // the clock
         rig.dm.Superposer->setincrust(overlay);
         rig.dm.Superposer->SetOverlaySwitch(true);
       },
       1},
      {"dv type 2 (recomp) sans incrustation", Sources::Camera,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordDVRecompressed(f); }, AV_CODEC_ID_DVVIDEO,
       AV_CODEC_ID_NONE, 576, [](Rig& rig) { rig.dm.Superposer->SetOverlaySwitch(false); }, 0},
      {"Wmv", Sources::CameraAndMicrophone,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordWmv(f); }, AV_CODEC_ID_WMV2,
       AV_CODEC_ID_WMAV2},
      {"Wmv sans son", Sources::Camera, [](TRecorder& r, Rig&, const QString& f) { return r.RecordWmv(f); },
       AV_CODEC_ID_WMV2},
      {"divx demi taille mp3", Sources::CameraAndMicrophone,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordDivX(f); }, AV_CODEC_ID_MPEG4,
       mp3 ? AV_CODEC_ID_MP3 : AV_CODEC_ID_PCM_S16LE, 288, [](Rig& rig) { rig.setFlag("Want Mp3", true); }},
      {"divx demi taille pcm", Sources::CameraAndMicrophone,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordDivX(f); }, AV_CODEC_ID_MPEG4,
       AV_CODEC_ID_PCM_S16LE, 288, [](Rig& rig) { rig.setFlag("Want Mp3", false); }},
      {"Wav", Sources::Microphone, [](TRecorder& r, Rig&, const QString& f) { return r.RecordWav(f); },
       AV_CODEC_ID_NONE, AV_CODEC_ID_PCM_S16LE},
      {"mp3", Sources::Microphone, [](TRecorder& r, Rig&, const QString& f) { return r.RecordMp3(f); },
       AV_CODEC_ID_NONE, AV_CODEC_ID_MP3},
      {"flux mpeg2 natif", Sources::MpegCardAndMicrophone,
       [](TRecorder& r, Rig&, const QString& f) { return r.RecordStream(f); }, AV_CODEC_ID_MPEG2VIDEO,
       AV_CODEC_ID_MP2, 576},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.audio == AV_CODEC_ID_MP3 && !mp3) continue;
    const QByteArray devices = c.sources == Sources::Camcorder ? "dvcam Caméscope DV ; camera\n"
                               : c.sources == Sources::MpegCardAndMicrophone
                                   ? "mpegcard Carte MPEG\n" + kCameraAndMicrophone
                                   : kCameraAndMicrophone;
    Rig rig(devices);
    if (c.sources != Sources::Microphone) {
      ASSERT_TRUE(rig.connectVideo());
      if (c.sources != Sources::MpegCardAndMicrophone && c.sources != Sources::Camcorder) {
        ASSERT_TRUE(rig.selectPal());
      }
    }
    if (c.sources == Sources::Camcorder && !rig.dm.CurrentAudioSource()) {
      ASSERT_TRUE(rig.dm.Connect(*rig.audio.Items(0)));
    }
    if (c.sources == Sources::CameraAndMicrophone || c.sources == Sources::MpegCardAndMicrophone ||
        c.sources == Sources::Microphone) {
      ASSERT_TRUE(rig.connectAudio(QStringLiteral("Micro test")));
    }
    rig.setFlag("Demi Taille", true);
    rig.setEnum("Ratio DivX", 3);
    if (c.setup) c.setup(rig);
    const auto videoFilter = rig.dm.VideoCaptureFilter, audioFilter = rig.dm.AudioCaptureFilter;
    const SourceCount video0 = sourceCount(videoFilter), audio0 = sourceCount(audioFilter);
    const int64_t videoLost0 = teeDrops(rig, true), soundLost0 = teeDrops(rig, false);
    const QString path = rig.file(QString::fromUtf8(c.name).replace(QLatin1Char(' '), QLatin1Char('-')));
    ASSERT_TRUE(rig.record([&](TRecorder& r) { return c.chain(r, rig, path); }, 3000));
    const SourceCount video = sourceCount(videoFilter) - video0, audio = sourceCount(audioFilter) - audio0;
    const int64_t videoLost = teeDrops(rig, true) - videoLost0, soundLost = teeDrops(rig, false) - soundLost0;
    const ProbedFile p = probeMedia(path);
    ASSERT_TRUE(p.opened);
    const ProbedStream* v = streamOf(p, AVMEDIA_TYPE_VIDEO);
    const ProbedStream* a = streamOf(p, AVMEDIA_TYPE_AUDIO);
    ASSERT_EQ(v != nullptr, c.video != AV_CODEC_ID_NONE);
    ASSERT_EQ(a != nullptr, c.audio != AV_CODEC_ID_NONE);
    const double frames = v ? pictureSeconds(*v) : 0, sound = a ? soundSeconds(*a) : 0;
    std::printf(
        "[ lengths  ] %s: %.3f s of frames (%lld packets), %.3f s of sound; video source: %lld sent, "
        "%lld dropped; sound source: %lld sent, %lld dropped; tees dropped %lld frames, %lld blocks\n",
        c.name, frames, v ? (long long)v->packets : 0LL, sound, (long long)video.delivered,
        (long long)video.dropped, (long long)audio.delivered, (long long)audio.dropped, (long long)videoLost,
        (long long)soundLost);
    // A millisecond for the rounding of times to 100 ns units and of sound to whole samples.
    constexpr double kSlack = kFrame + 0.001;
    if (v) {
      EXPECT_EQ(v->codec, c.video) << avcodec_get_name(v->codec);
      if (c.height) {
        EXPECT_EQ(v->height, c.height);
      }
      // A frame for each frame the source sent, less those a lagging branch's tee let go; the
      // length also counts the periods of frames the source dropped where the file keeps their
      // place (an empty chunk in an AVI file).
      EXPECT_GE(v->packets, video.delivered - videoLost - 1);
      EXPECT_LE(v->packets, video.delivered + 1);
      EXPECT_GE(frames, (video.delivered - videoLost) * kFrame - kSlack);
      EXPECT_LE(frames, video.periods() * kFrame + kSlack);
    }
    if (a) {
      EXPECT_EQ(a->codec, c.audio) << avcodec_get_name(a->codec);
      // The camcorder's sound comes with its frames; a microphone sends 20 ms blocks. Encoded
      // sound ends on a whole frame of its codec, which the slack covers.
      const bool inFrames = audioFilter == videoFilter;
      const double sent = inFrames ? video.delivered * kFrame : audio.delivered * 0.020;
      const double lost = inFrames ? videoLost * kFrame : soundLost * 0.020;
      EXPECT_GE(sound, sent - lost - kSlack);
      EXPECT_LE(sound, sent + kSlack);
    }
    if (c.overlay >= 0) {
      // The recompressed frames carry the overlay: the bottom right differs from the camera's
      // pattern well beyond what DV coding changes, which the same chain without it shows.
      const auto packets = testing::probeVideoFrames(path, 10);
      ASSERT_FALSE(packets.empty());
      const double difference = overlayAreaDifference(packets.back());
      std::printf("[ overlay  ] %s: %.2f %% of the overlay's area changed\n", c.name, 100 * difference);
      ASSERT_GE(difference, 0) << "the frame counter could not be read";
      if (c.overlay) {
        EXPECT_GT(difference, 0.003);
      } else {
        EXPECT_LT(difference, 0.001);
      }
    }
  }
}

}  // namespace
}  // namespace vistrel::engine
