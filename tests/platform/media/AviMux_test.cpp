#include "platform/media/filters/AviMux.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <csignal>

#include "platform/media/AviLayout.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/TestFilters.h"
#include "platform/media/filters/FileWriter.h"
#include "support/MediaProbe.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;

namespace {

std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

constexpr int kWidth = 64, kHeight = 48, kFrame = kWidth * kHeight * 3;

struct MuxGraph {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<PushSource> video = std::make_shared<PushSource>(
      std::vector<MediaType>{MediaType::rgb24(kWidth, kHeight, UNITS / 25)}, kFrame);
  std::shared_ptr<PushSource> audio =
      std::make_shared<PushSource>(std::vector<MediaType>{MediaType::pcm(48000, 2, 16)}, 1920 * 4);
  std::shared_ptr<IBaseFilter> mux = AviMux::create();
  std::shared_ptr<IBaseFilter> writer = FileWriter::create();

  explicit MuxGraph(const QString& path) {
    interfaceOf<IFileSinkFilter>(writer)->SetFileName(path, nullptr);
    for (auto [f, n] : {std::pair{std::static_pointer_cast<IBaseFilter>(video), "video"},
                        std::pair{std::static_pointer_cast<IBaseFilter>(audio), "audio"},
                        std::pair{mux, "mux"}, std::pair{writer, "writer"}})
      graph->AddFilter(f, QString::fromLatin1(n));
  }
};

TEST(AviMux, TheOutputComesFirstAndAFreeInputIsAlwaysLast) {
  vistrel::testing::TempRoot root;
  MuxGraph g(root.file(QStringLiteral("pins.avi")));
  auto pins = pinsOf(g.mux);
  ASSERT_EQ(pins.size(), 2u);
  PIN_DIRECTION dir;
  pins[0]->QueryDirection(dir);
  EXPECT_EQ(dir, PINDIR_OUTPUT);
  ASSERT_EQ(g.graph->ConnectDirect(g.video->outPin(), pins[1], nullptr), S_OK);
  pins = pinsOf(g.mux);
  ASSERT_EQ(pins.size(), 3u);
  ASSERT_EQ(g.graph->ConnectDirect(g.audio->outPin(), pins[2], nullptr), S_OK);
  EXPECT_EQ(pinsOf(g.mux).size(), 4u);
  // Disconnecting the video input removes it; the audio input keeps its identity.
  const auto audioInput = pins[2];
  g.graph->Disconnect(g.video->outPin());
  g.graph->Disconnect(pins[1]);
  pins = pinsOf(g.mux);
  ASSERT_EQ(pins.size(), 3u);
  EXPECT_EQ(pins[1], audioInput);
  // A type the mux cannot store is refused.
  auto stream =
      std::make_shared<PushSource>(std::vector<MediaType>{MediaType(MEDIATYPE_Stream, MEDIASUBTYPE_Avi)});
  g.graph->AddFilter(stream, QStringLiteral("stream"));
  EXPECT_NE(g.graph->ConnectDirect(stream->outPin(), pins[2], nullptr), S_OK);
}

TEST(AviMux, ACaptureGraphWritesAFileThatPlaysWithItsDroppedFramesFilled) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("capture.avi"));
  MuxGraph g(path);
  ASSERT_EQ(g.graph->ConnectDirect(g.video->outPin(), pinsOf(g.mux)[1], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(g.audio->outPin(), pinsOf(g.mux)[2], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(pinsOf(g.mux)[0], pinsOf(g.writer)[0], nullptr), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  const std::vector<uint8_t> frame(kFrame, 0x80), sound(1920 * 4, 0);
  for (int i = 0; i < 50; ++i) {
    if (i < 20 || i > 22) {  // frames 20 to 22 are lost upstream
      ASSERT_EQ(g.video->push(frame, i * (UNITS / 25)), S_OK);
    }
    ASSERT_EQ(g.audio->push(sound, i * (UNITS / 25)), S_OK);
  }
  ASSERT_EQ(g.graph->Stop(), S_OK);
  const auto probed = vistrel::testing::probeMedia(path);
  ASSERT_TRUE(probed.opened);
  ASSERT_EQ(probed.streams.size(), 2u);
  EXPECT_EQ(probed.streams[0].type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(probed.streams[0].width, kWidth);
  EXPECT_EQ(probed.streams[0].bytes, 47 * kFrame);
  EXPECT_NEAR(probed.streams[0].durationSeconds, 2.0, 0.001);  // 50 frames: the gap is kept
  EXPECT_EQ(probed.streams[1].codec, AV_CODEC_ID_PCM_S16LE);
  EXPECT_EQ(probed.streams[1].bytes, 50 * 1920 * 4);
  EXPECT_NEAR(probed.durationSeconds, 2.0, 0.05);
}

TEST(AviMux, InterleavingSettingsAreKept) {
  auto mux = std::make_shared<AviMux>();
  InterleavingMode mode;
  EXPECT_EQ(mux->put_Mode(INTERLEAVE_NONE), S_OK);
  mux->get_Mode(&mode);
  EXPECT_EQ(mode, INTERLEAVE_NONE);
  EXPECT_EQ(mux->put_Mode(static_cast<InterleavingMode>(9)), E_INVALIDARG);
  EXPECT_EQ(mux->get_Mode(nullptr), E_POINTER);
  REFERENCE_TIME leaving = 0, preroll = -1;
  mux->get_Interleaving(&leaving, &preroll);
  EXPECT_EQ(leaving, 0);  // chunk by chunk, no preroll
  EXPECT_EQ(preroll, 0);
  const REFERENCE_TIME half = UNITS / 2, negative = -1;
  EXPECT_EQ(mux->put_Interleaving(&half, &half), S_OK);
  EXPECT_EQ(mux->put_Interleaving(&negative, nullptr), E_INVALIDARG);
  EXPECT_EQ(mux->put_Interleaving(nullptr, &negative), E_INVALIDARG);
  mux->get_Interleaving(&leaving, &preroll);
  EXPECT_EQ(leaving, half);
  EXPECT_EQ(preroll, half);
}

TEST(AviMux, StreamFormatsFollowTheInputTypes) {
  const auto video = AviMux::streamFormatFor(MediaType::rgb24(720, 576, 400000));
  ASSERT_TRUE(video);
  EXPECT_EQ(video->scale, 1u);
  EXPECT_EQ(video->rate, 25u);
  EXPECT_EQ(video->strf.size(), 40);
  const auto ntsc = AviMux::streamFormatFor(MediaType::rgb24(720, 480, 333667));
  EXPECT_EQ(double(ntsc->rate) / ntsc->scale, 10000000.0 / 333667);
  const auto sound = AviMux::streamFormatFor(MediaType::pcm(44100, 2, 16));
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->strf.size(), 18);
  EXPECT_EQ(sound->rate, 176400u);
  MediaType dv(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
  dv.format.assign(32, 0);
  const auto iavs = AviMux::streamFormatFor(dv);
  ASSERT_TRUE(iavs);
  EXPECT_EQ(iavs->kind, vistrel::platform::media::avi::StreamKind::InterleavedDv);
  EXPECT_EQ(iavs->strf.size(), 32);
  MediaType shortBlock = MediaType::rgb24(8, 8, 400000);
  shortBlock.format.resize(20);
  EXPECT_FALSE(AviMux::streamFormatFor(shortBlock));
  EXPECT_FALSE(AviMux::streamFormatFor(MediaType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx)));
}

// Disk full while recording. The child half runs in a process of its own, re-started from this
// test program, whose file size limit is 1 MiB and which ignores SIGXFSZ: its writes past the
// limit fail with EFBIG as on a full disk. It must raise one error event, keep going without
// writing and stop normally; the parent then reads the file back.
constexpr char kDiskFullFile[] = "VISTREL_TEST_DISK_FULL_FILE";
constexpr rlim_t kLimit = 1 << 20;
constexpr int kPushed = 300;  // about 2.8 MB of video and sound

TEST(AviMux, DiskFullChild) {
  if (qEnvironmentVariableIsEmpty(kDiskFullFile))
    GTEST_SKIP() << "run by DiskFullRaisesAnErrorAndKeepsTheFile";
  alarm(120);  // a watchdog: a hang kills the child, and the parent sees it fail
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{kLimit, kLimit};
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  MuxGraph g(qEnvironmentVariable(kDiskFullFile));
  ASSERT_EQ(g.graph->ConnectDirect(g.video->outPin(), pinsOf(g.mux)[1], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(g.audio->outPin(), pinsOf(g.mux)[2], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(pinsOf(g.mux)[0], pinsOf(g.writer)[0], nullptr), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);
  const std::vector<uint8_t> frame(kFrame, 0x80), sound(1920 * 4, 0);
  for (int i = 0; i < kPushed; ++i) {
    EXPECT_TRUE(SUCCEEDED(g.video->push(frame, i * (UNITS / 25))));
    EXPECT_TRUE(SUCCEEDED(g.audio->push(sound, i * (UNITS / 25))));
  }
  ASSERT_EQ(g.graph->Stop(), S_OK);
  int errors = 0;
  GraphEvent ev;
  while (g.graph->GetEvent(ev, 0) == S_OK) {
    if (ev.code == EC_ERRORABORT) ++errors;
    g.graph->FreeEventParams(ev);
  }
  EXPECT_EQ(errors, 1);
}

TEST(AviMux, DiskFullRaisesAnErrorAndKeepsTheFile) {
  if (!qEnvironmentVariableIsEmpty(kDiskFullFile)) GTEST_SKIP();
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("full.avi"));
  QProcess child;
  auto env = QProcessEnvironment::systemEnvironment();
  env.insert(QString::fromLatin1(kDiskFullFile), path);
  child.setProcessEnvironment(env);
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--gtest_filter=AviMux.DiskFullChild")});
  ASSERT_TRUE(child.waitForFinished(-1));
  ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
  ASSERT_EQ(child.exitCode(), 0);
  EXPECT_LE(QFile(path).size(), static_cast<qint64>(kLimit));
  EXPECT_GT(QFile(path).size(), static_cast<qint64>(kLimit) / 2);
  // What reached the disk plays: whole frames, their sound, up to where the disk filled.
  const auto probed = vistrel::testing::probeMedia(path);
  ASSERT_TRUE(probed.opened);
  ASSERT_EQ(probed.streams.size(), 2u);
  EXPECT_GT(probed.streams[0].packets, 50);
  EXPECT_LT(probed.streams[0].packets, kPushed);
  EXPECT_EQ(probed.streams[0].bytes, probed.streams[0].packets * kFrame);
  EXPECT_NEAR(static_cast<double>(probed.streams[1].bytes) / (1920 * 4), probed.streams[0].packets, 1.0);
}

TEST(AviMux, AnUnwritableFolderFailsTheStartAndLeavesNothing) {
  vistrel::testing::TempRoot root;
  root.write(QStringLiteral("plain-file"), "x");
  const QString path = root.file(QStringLiteral("plain-file/capture.avi"));  // its folder is a file
  MuxGraph g(path);
  ASSERT_EQ(g.graph->ConnectDirect(g.video->outPin(), pinsOf(g.mux)[1], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(pinsOf(g.mux)[0], pinsOf(g.writer)[0], nullptr), S_OK);
  EXPECT_TRUE(FAILED(g.graph->Run()));
  const std::vector<uint8_t> frame(kFrame, 0x80);
  g.video->push(frame, 0);  // refused or dropped, never written nor waited on
  EXPECT_EQ(g.graph->Stop(), S_OK);
  EXPECT_FALSE(QFile::exists(path));
}

// The chunk ids of the first movi list, in file order (the standard indexes left out).
std::vector<std::string> movieChunks(const QByteArray& file) {
  std::vector<std::string> ids;
  const qsizetype movi = file.indexOf("movi");
  if (movi < 8) return ids;
  const auto le32 = [&](qsizetype at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(file[at])) |
           static_cast<uint32_t>(static_cast<uint8_t>(file[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(file[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(file[at + 3])) << 24;
  };
  const qsizetype end = movi + static_cast<qsizetype>(le32(movi - 4));
  for (qsizetype at = movi + 4; at + 8 <= end && at + 8 <= file.size();) {
    const std::string id = file.mid(at, 4).toStdString();
    if (id.rfind("ix", 0) != 0) ids.push_back(id);
    at += 8 + static_cast<qsizetype>((le32(at + 4) + 1) & ~1u);
  }
  return ids;
}

// Ten frames of video run ahead of their sound, as a late sound card delivers. Without
// interleaving the chunks go to the file as they come and the header does not claim the file
// interleaved; interleaved, they go in time order one interleave period at a time (each
// stream's chunks of a period together), the sound the preroll earlier than its time.
TEST(AviMux, InterleavedModesWriteTheChunksByPeriodWithTheSoundsPreroll) {
  const auto periods = [](int videoPerGroup, int soundAhead) {
    std::vector<std::string> order;
    for (int a = 0; a < soundAhead; ++a) order.push_back("01wb");
    for (int first = 0, sound = soundAhead; first < 10; first += videoPerGroup) {
      for (int v = first; v < std::min(10, first + videoPerGroup); ++v) order.push_back("00dc");
      for (; sound < std::min(10, first + videoPerGroup + soundAhead); ++sound) order.push_back("01wb");
    }
    return order;
  };
  std::vector<std::string> asTheyCame(10, "00dc");
  asTheyCame.resize(20, "01wb");
  struct Case {
    InterleavingMode mode;
    REFERENCE_TIME leaving, preroll;
    std::vector<std::string> order;
  };
  const REFERENCE_TIME frame = UNITS / 25;
  constexpr REFERENCE_TIME kUnset = -1;  // put_Interleaving is not called
  for (const Case& c :
       {Case{INTERLEAVE_NONE, frame, 0, asTheyCame}, Case{INTERLEAVE_NONE_BUFFERED, frame, 0, asTheyCame},
        Case{INTERLEAVE_CAPTURE, kUnset, 0, periods(1, 0)},  // the default: chunk by chunk
        Case{INTERLEAVE_CAPTURE, frame, 0, periods(1, 0)}, Case{INTERLEAVE_FULL, frame, 0, periods(1, 0)},
        Case{INTERLEAVE_CAPTURE, 4 * frame, 0, periods(4, 0)},
        Case{INTERLEAVE_CAPTURE, frame, 3 * frame, periods(1, 3)},
        Case{INTERLEAVE_FULL, UNITS, 0, asTheyCame}}) {  // all in the first second
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " period " << c.leaving << " preroll "
                                    << c.preroll);
    vistrel::testing::TempRoot root;
    const QString path = root.file(QStringLiteral("order.avi"));
    MuxGraph g(path);
    auto interleaving = interfaceOf<IConfigInterleaving>(g.mux);
    ASSERT_EQ(interleaving->put_Mode(c.mode), S_OK);
    if (c.leaving != kUnset) {
      ASSERT_EQ(interleaving->put_Interleaving(&c.leaving, &c.preroll), S_OK);
    }
    ASSERT_EQ(g.graph->ConnectDirect(g.video->outPin(), pinsOf(g.mux)[1], nullptr), S_OK);
    ASSERT_EQ(g.graph->ConnectDirect(g.audio->outPin(), pinsOf(g.mux)[2], nullptr), S_OK);
    ASSERT_EQ(g.graph->ConnectDirect(pinsOf(g.mux)[0], pinsOf(g.writer)[0], nullptr), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    const std::vector<uint8_t> picture(kFrame, 0x80), sound(1920 * 4, 0);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(g.video->push(picture, i * frame), S_OK);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(g.audio->push(sound, i * frame), S_OK);
    ASSERT_EQ(g.graph->Stop(), S_OK);
    EXPECT_EQ(movieChunks(root.read(QStringLiteral("order.avi"))), c.order);
    const auto layout = vistrel::testing::readAviLayout(path);
    const bool interleaved = c.mode == INTERLEAVE_CAPTURE || c.mode == INTERLEAVE_FULL;
    EXPECT_EQ((layout.avihFlags & 0x100) != 0, interleaved);  // AVIF_ISINTERLEAVED
    const auto probed = vistrel::testing::probeMedia(path);
    ASSERT_TRUE(probed.opened);
    EXPECT_EQ(probed.streams[0].packets, 10);
    EXPECT_EQ(probed.streams[1].bytes, 10 * 1920 * 4);
  }
}

TEST(AviMux, AStreamThatFallsSilentHoldsTheOthersBackOnlyAWhile) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("silent.avi"));
  MuxGraph g(path);
  ASSERT_EQ(g.graph->ConnectDirect(g.video->outPin(), pinsOf(g.mux)[1], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(g.audio->outPin(), pinsOf(g.mux)[2], nullptr), S_OK);
  ASSERT_EQ(g.graph->ConnectDirect(pinsOf(g.mux)[0], pinsOf(g.writer)[0], nullptr), S_OK);
  ASSERT_EQ(g.graph->Run(), S_OK);  // capture interleaving, the default
  const std::vector<uint8_t> frame(kFrame, 0x80);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(g.video->push(frame, i * (UNITS / 25)), S_OK);
  // Four seconds of video and no sound: all but the last two seconds are on disk already.
  EXPECT_GE(QFile(path).size(), 45 * kFrame);
  ASSERT_EQ(g.graph->Stop(), S_OK);
  const auto probed = vistrel::testing::probeMedia(path);
  ASSERT_TRUE(probed.opened);
  EXPECT_EQ(probed.streams[0].packets, 100);
}

// Past 1 GiB through the AVI Mux and the File Writer, video and sound: an OpenDML file. The first
// RIFF keeps the legacy index, an AVIX RIFF follows, each stream's super index points at the
// standard index of each movi list, and libavformat reads every frame and the whole sound.
// Plain frames of a constant colour keep it quick: the cost is the disk's.
TEST(AviMux, ARecordingPastOneGibibyteIsAnOpenDmlFileThatReadsBackWhole) {
  vistrel::testing::TempRoot root;
  const QString path = root.file(QStringLiteral("big.avi"));
  constexpr int kBigFrame = 720 * 576 * 3, kFrames = 900;  // 1.13 GB of pictures, 36 s
  auto graph = FilterGraph::create();
  auto video =
      std::make_shared<PushSource>(std::vector<MediaType>{MediaType::rgb24(720, 576, UNITS / 25)}, kBigFrame);
  auto audio = std::make_shared<PushSource>(std::vector<MediaType>{MediaType::pcm(48000, 2, 16)}, 1920 * 4);
  auto mux = AviMux::create();
  auto writer = FileWriter::create();
  interfaceOf<IFileSinkFilter>(writer)->SetFileName(path, nullptr);
  for (auto [f, n] : {std::pair{std::static_pointer_cast<IBaseFilter>(video), "video"},
                      std::pair{std::static_pointer_cast<IBaseFilter>(audio), "audio"}, std::pair{mux, "mux"},
                      std::pair{writer, "writer"}})
    graph->AddFilter(f, QString::fromLatin1(n));
  ASSERT_EQ(graph->ConnectDirect(video->outPin(), pinsOf(mux)[1], nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(audio->outPin(), pinsOf(mux)[2], nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinsOf(mux)[0], pinsOf(writer)[0], nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  const std::vector<uint8_t> picture(kBigFrame, 0x30), sound(1920 * 4, 0x05);
  for (int i = 0; i < kFrames; ++i) {
    ASSERT_EQ(video->push(picture, i * (UNITS / 25)), S_OK);
    ASSERT_EQ(audio->push(sound, i * (UNITS / 25)), S_OK);
  }
  ASSERT_EQ(graph->Stop(), S_OK);
  EXPECT_GT(QFile(path).size(), int64_t{kFrames} * kBigFrame);

  const auto layout = vistrel::testing::readAviLayout(path);
  ASSERT_TRUE(layout.valid);
  EXPECT_EQ(layout.riffForms, (std::vector<std::string>{"AVI ", "AVIX"}));
  EXPECT_TRUE(layout.hasIdx1);
  EXPECT_GT(layout.avihTotalFrames, 0u);  // the frames of the first RIFF
  EXPECT_LT(layout.avihTotalFrames, static_cast<uint32_t>(kFrames));
  ASSERT_EQ(layout.streams.size(), 2u);
  for (const auto& stream : layout.streams) {
    EXPECT_TRUE(stream.hasIndx);
    EXPECT_EQ(stream.indxEntries, 2u);  // one standard index per movi list
  }
  ASSERT_EQ(layout.standardIndexes.size(), 2u);
  for (const auto& indexes : layout.standardIndexes)
    EXPECT_EQ(indexes, (std::vector<std::string>{"ix00", "ix01"}));

  const auto probed = vistrel::testing::probeMedia(path);
  ASSERT_TRUE(probed.opened);
  ASSERT_EQ(probed.streams.size(), 2u);
  EXPECT_EQ(probed.streams[0].packets, kFrames);
  EXPECT_EQ(probed.streams[0].bytes, int64_t{kFrames} * kBigFrame);
  EXPECT_EQ(probed.streams[1].bytes, int64_t{kFrames} * 1920 * 4);
  EXPECT_NEAR(probed.durationSeconds, kFrames / 25.0, 0.05);
  QFile::remove(path);
}

}  // namespace
