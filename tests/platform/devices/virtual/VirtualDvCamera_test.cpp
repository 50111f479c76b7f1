#include "platform/devices/virtual/VirtualDvCamera.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cstring>

#include "platform/devices/virtual/FrameSink.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IDVEnc.h"
#include "platform/media/filters/DvSplitter.h"
#include "platform/ui/MessageBoxes.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::devices;
using namespace vistrel::platform::media;
namespace dv = vistrel::platform::media::dv;
using vistrel::platform::ui::MessageKind;
using vistrel::platform::ui::ScriptedMessageBoxes;

namespace {

int bcd(uint32_t b, uint32_t tensMask) { return static_cast<int>(((b >> 4) & tensMask) * 10 + (b & 0xF)); }

// The recording date and time as the program's pack decoder reads them: the 0x62 and 0x63 packs
// of the third VAUX block of the first DIF sequence. Invalid when either pack is absent.
QDateTime recordingDateOf(const std::vector<uint8_t>& frame) {
  const uint8_t* date = frame.data() + 458;
  const uint8_t* time = frame.data() + 463;
  if (date[0] != 0x62 || time[0] != 0x63) return {};
  const int year = bcd(date[4], 0xF);
  return QDateTime(QDate(year < 75 ? 2000 + year : 1900 + year, bcd(date[3], 1), bcd(date[2], 3)),
                   QTime(bcd(time[4], 3), bcd(time[3], 7), bcd(time[2], 7)));
}

uint32_t timecodeWord(VirtualDvCamera& cam) {
  TIMECODE_SAMPLE s;
  s.dwFlags = ED_DEVCAP_TIMECODE_READ;
  EXPECT_EQ(cam.GetTimecode(s), S_OK);
  return s.timecode.dwFrames;
}

dv::TimeCode packTimeCode(const std::vector<uint8_t>& frame, dv::System system) {
  dv::TimeCode code{-1, -1, -1, -1};
  EXPECT_TRUE(readTimeCodePack(frame, system, code));
  return code;
}

DvCameraSettings deck(std::initializer_list<const char*> options) {
  QStringList list;
  for (const char* o : options) list << QString::fromUtf8(o);
  DvCameraSettings s = dvCameraSettings(list);
  EXPECT_TRUE(s.error.isEmpty()) << s.error.toStdString();
  return s;
}

TEST(VirtualDvCamera, OneInterleavedCapturePinAnnouncingItsSound) {
  struct Case {
    const char* audio;
    std::vector<int> announced;
  };
  for (const Case& c : {Case{"audio=48000", {48000}}, Case{"audio=32000", {32000}}, Case{"silent", {}}}) {
    auto cam = std::make_shared<VirtualDvCamera>(QStringLiteral("Deck"), deck({"frames=10", c.audio}));
    ASSERT_TRUE(cam->valid());
    ASSERT_EQ(cam->pinCount(), 1);
    BasePin* pin = cam->pin(0);
    EXPECT_EQ(pin->direction(), PINDIR_OUTPUT);
    EXPECT_EQ(pin->category(), PIN_CATEGORY_CAPTURE);
    std::shared_ptr<IEnumMediaTypes> types;
    pin->EnumMediaTypes(types);
    auto all = types->all();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].majortype, MEDIATYPE_Interleaved);
    EXPECT_EQ(all[0].subtype, MEDIASUBTYPE_dvsd);
    EXPECT_EQ(all[0].formattype, FORMAT_DvInfo);
    EXPECT_EQ(all[0].lSampleSize, 144000u);
    EXPECT_EQ(DvSplitter::announcedAudio(all[0]), c.announced) << c.audio;
  }
  // 12-bit sound: one stream (the empty second pair is not announced), its quantization in the
  // source pack.
  auto cam =
      std::make_shared<VirtualDvCamera>(QStringLiteral("Deck"), deck({"frames=10", "audio=32000", "12bit"}));
  ASSERT_TRUE(cam->valid());
  EXPECT_EQ(DvSplitter::announcedAudio(cam->mediaType()), (std::vector<int>{32000}));
  DVINFO info;
  std::memcpy(&info, cam->mediaType().format.data(), sizeof info);
  EXPECT_EQ((info.dwDVAAuxSrc >> 24) & 7, 1u);
}

TEST(VirtualDvCamera, TheTransportDrivesFramesAndTimeCode) {
  auto cam = std::make_shared<VirtualDvCamera>(QStringLiteral("Deck"), deck({"frames=3000", "stopped"}));
  ASSERT_TRUE(cam->valid());
  std::vector<uint8_t> frame(144000);
  int32_t mode = 0;
  cam->get_Mode(mode);
  EXPECT_EQ(mode, ED_MODE_STOP);
  EXPECT_FALSE(cam->nextFrame(frame, 0));  // no frames at stop
  EXPECT_EQ(timecodeWord(*cam), 0u);

  ASSERT_EQ(cam->put_Mode(ED_MODE_PLAY), S_OK);
  for (int i = 0; i < 30; ++i) ASSERT_TRUE(cam->nextFrame(frame, i));
  // The 30th frame sent was frame 29: 0:00:01:04 on the tape and in the frame itself.
  dv::TimeCode code = packTimeCode(frame, dv::System::Pal);
  EXPECT_EQ(code.seconds, 1);
  EXPECT_EQ(code.frames, 4);
  EXPECT_EQ(timecodeWord(*cam), timecodeToBcd(0, 0, 1, 5));  // the heads are on the next frame

  ASSERT_EQ(cam->put_Mode(ED_MODE_FREEZE), S_OK);
  const uint32_t frozen = timecodeWord(*cam);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(cam->nextFrame(frame, i));
    EXPECT_EQ(packTimeCode(frame, dv::System::Pal).frames, 5);
  }
  EXPECT_EQ(timecodeWord(*cam), frozen);

  ASSERT_EQ(cam->put_Mode(ED_MODE_FF), S_OK);
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(cam->nextFrame(frame, i));  // winding: nothing sent
  EXPECT_EQ(cam->tapePosition(), 230);
  EXPECT_EQ(timecodeWord(*cam), timecodeToBcd(0, 0, 9, 5));

  ASSERT_EQ(cam->put_Mode(ED_MODE_REW), S_OK);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(cam->nextFrame(frame, i));
  EXPECT_EQ(cam->tapePosition(), 0);  // rewound to the start, where the deck stops
  cam->get_Mode(mode);
  EXPECT_EQ(mode, ED_MODE_STOP);

  EXPECT_EQ(cam->put_Mode(12345), E_INVALIDARG);
  TIMECODE_SAMPLE wrongFlags;
  wrongFlags.dwFlags = 0;
  EXPECT_EQ(cam->GetTimecode(wrongFlags), E_INVALIDARG);
}

TEST(VirtualDvCamera, TheTapeCarriesItsRecordingDatesAndBreaks) {
  auto cam = std::make_shared<VirtualDvCamera>(
      QStringLiteral("Deck"),
      deck({"frames=200", "date=2006-07-14T09:59:58", "break=50+7200", "undated=100+20"}));
  ASSERT_TRUE(cam->valid());
  std::vector<uint8_t> frame(144000);
  std::vector<QDateTime> dates;
  for (int i = 0; i < 130; ++i) {
    ASSERT_TRUE(cam->nextFrame(frame, i));
    dates.push_back(recordingDateOf(frame));
  }
  EXPECT_EQ(dates[0], QDateTime(QDate(2006, 7, 14), QTime(9, 59, 58)));
  EXPECT_EQ(dates[49], QDateTime(QDate(2006, 7, 14), QTime(9, 59, 59)));
  EXPECT_EQ(dates[50], QDateTime(QDate(2006, 7, 14), QTime(12, 0, 0)));  // the break
  EXPECT_FALSE(dates[100].isValid());
  EXPECT_FALSE(dates[119].isValid());
  EXPECT_EQ(dates[120], QDateTime(QDate(2006, 7, 14), QTime(12, 0, 2)));
}

TEST(VirtualDvCamera, DeviceTypeAndCameraMode) {
  int32_t type = 0;
  double unused = 0;
  auto vcr = std::make_shared<VirtualDvCamera>(QStringLiteral("Deck"), deck({"frames=10"}));
  ASSERT_EQ(vcr->GetCapability(ED_DEVCAP_DEVICE_TYPE, type, unused), S_OK);
  EXPECT_EQ(type, ED_DEVTYPE_VCR);
  EXPECT_EQ(vcr->GetCapability(4121, type, unused), E_INVALIDARG);

  auto camera = std::make_shared<VirtualDvCamera>(QStringLiteral("Camcorder"), deck({"camera", "stopped"}));
  ASSERT_TRUE(camera->valid());
  ASSERT_EQ(camera->GetCapability(ED_DEVCAP_DEVICE_TYPE, type, unused), S_OK);
  EXPECT_EQ(type, ED_DEVTYPE_CAMERA);
  // Live frames whatever the transport was told, dated today.
  EXPECT_EQ(camera->put_Mode(ED_MODE_STOP), S_OK);
  std::vector<uint8_t> frame(144000);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(camera->nextFrame(frame, i));
  EXPECT_EQ(packTimeCode(frame, dv::System::Pal).frames, 2);
  EXPECT_EQ(recordingDateOf(frame).date(), QDate::currentDate());
  EXPECT_EQ(timecodeWord(*camera), timecodeToBcd(0, 0, 0, 2));
}

TEST(VirtualDvCamera, StreamsInAGraphIntoTheDvSplitter) {
  auto graph = FilterGraph::create();
  auto cam = std::make_shared<VirtualDvCamera>(QStringLiteral("Deck"), deck({"ntsc", "frames=600"}));
  auto splitter = DvSplitter::create();
  auto sink = std::make_shared<vistrel::testing::FrameSink>();
  ASSERT_EQ(graph->AddFilter(cam, QStringLiteral("DV")), S_OK);
  ASSERT_EQ(graph->AddFilter(splitter, QStringLiteral("Splitter")), S_OK);
  ASSERT_EQ(graph->AddFilter(sink, QStringLiteral("Sink")), S_OK);
  std::shared_ptr<IEnumPins> pins;
  splitter->EnumPins(pins);
  ASSERT_EQ(graph->ConnectDirect(cam->pin(0)->queryInterface<IPin>(), pins->all().at(0), nullptr), S_OK);
  splitter->EnumPins(pins);
  auto outputs = pins->all();
  ASSERT_EQ(outputs.size(), 3u);  // video and one sound stream
  std::shared_ptr<IEnumPins> sinkPins;
  sink->EnumPins(sinkPins);
  ASSERT_EQ(graph->ConnectDirect(outputs[1], sinkPins->all().at(0), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  ASSERT_TRUE(sink->waitFor(5));
  graph->Stop();
  auto got = sink->samples();
  for (const auto& s : got) {
    EXPECT_EQ(s.bytes.size(), 120000u);
    EXPECT_GE(s.stop - s.start, 333000);
  }
  for (size_t i = 1; i < got.size(); ++i)  // playing: every frame the next one on the tape
    EXPECT_EQ(packTimeCode(got[i].bytes, dv::System::Ntsc).frames,
              (packTimeCode(got[i - 1].bytes, dv::System::Ntsc).frames + 1) % 30);
  int32_t delivered = 0;
  cam->GetNumNotDropped(delivered);
  EXPECT_GE(delivered, 5);
}

TEST(VirtualDvCamera, ATapeFileIsPlayedAndAFileThatIsNotDvIsRefused) {
  vistrel::testing::TempRoot root;
  DvTapeDescription d;
  d.frames = 12;
  DvTape tape(d, 2);
  QByteArray bytes;
  std::vector<uint8_t> frame(tape.frameBytes());
  for (int i = 0; i < 12; ++i) {
    ASSERT_TRUE(tape.frameAt(i, frame));
    bytes.append(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
  }
  bytes.append(1000, '\0');  // a truncated last frame is left out
  root.write(QStringLiteral("tape.dv"), bytes);
  root.write(QStringLiteral("notes.dv"), QByteArray(300000, 'x'));
  root.write(QStringLiteral("short.dv"), bytes.left(5000));

  auto cam = std::make_shared<VirtualDvCamera>(
      QStringLiteral("Deck"), deck({("file=" + root.file("tape.dv").toStdString()).c_str()}));
  ASSERT_TRUE(cam->valid()) << cam->errorText().toStdString();
  for (int i = 0; i < 11; ++i) ASSERT_TRUE(cam->nextFrame(frame, i));
  EXPECT_EQ(timecodeWord(*cam), timecodeToBcd(0, 0, 0, 11));  // read from the tape's subcode
  EXPECT_TRUE(cam->nextFrame(frame, 11));
  EXPECT_FALSE(cam->nextFrame(frame, 12));  // the end: the deck stopped

  struct Bad {
    const char* file;
    const char* why;
  };
  auto* boxes = vistrel::platform::ui::setMessageBoxService(std::make_unique<ScriptedMessageBoxes>());
  for (const Bad& b :
       {Bad{"notes.dv", "n'est pas un fichier DV : il ne commence pas par un bloc d'en-tête DV"},
        Bad{"short.dv", "n'est pas un fichier DV : il est plus court qu'une image DV"},
        Bad{"missing.dv", "ne peut pas être ouvert"}}) {
    const QString path = root.file(QString::fromUtf8(b.file));
    auto bad = std::make_shared<VirtualDvCamera>(QStringLiteral("Deck"),
                                                 deck({("file=" + path.toStdString()).c_str()}));
    EXPECT_FALSE(bad->valid());
    EXPECT_TRUE(bad->errorText().contains(QString::fromUtf8(b.why))) << bad->errorText().toStdString();
    // The user is told, with the file and the reason, as an error.
    const auto& asked = static_cast<ScriptedMessageBoxes*>(boxes)->asked();
    ASSERT_EQ(asked.size(), 1u) << b.file;
    EXPECT_EQ(asked[0].kind, MessageKind::Error);
    EXPECT_TRUE(asked[0].text.contains(path));
    EXPECT_TRUE(asked[0].text.contains(QString::fromUtf8(b.why))) << asked[0].text.toStdString();
    EXPECT_TRUE(asked[0].text.contains(QStringLiteral("« Deck »")));
    // Bound again (a refresh of the device lists): refused again, not told again.
    EXPECT_FALSE(std::make_shared<VirtualDvCamera>(QStringLiteral("Deck"),
                                                   deck({("file=" + path.toStdString()).c_str()}))
                     ->valid());
    EXPECT_EQ(static_cast<ScriptedMessageBoxes*>(boxes)->asked().size(), 1u);
    static_cast<ScriptedMessageBoxes*>(boxes)->clearAsked();
    EXPECT_EQ(bad->pinCount(), 1);
    std::shared_ptr<IEnumMediaTypes> types;
    bad->pin(0)->EnumMediaTypes(types);
    EXPECT_TRUE(types->all().empty());
    EXPECT_EQ(bad->put_Mode(ED_MODE_PLAY), E_FAIL);
  }
  vistrel::platform::ui::setMessageBoxService(nullptr);
}

TEST(DvCameraSettings, OptionsOfTheDeviceFileLine) {
  DvCameraSettings s = dvCameraSettings(
      {"NTSC", "camera", "stopped", "frames=250", "audio=32000", "break=10", "undated=20+5", "wide=30+4"});
  EXPECT_TRUE(s.error.isEmpty());
  EXPECT_EQ(s.tape.system, dv::System::Ntsc);
  EXPECT_TRUE(s.cameraMode);
  EXPECT_EQ(s.initialMode, ED_MODE_STOP);
  EXPECT_EQ(s.tape.frames, 250);
  EXPECT_EQ(s.tape.sampleRate, 32000);
  ASSERT_EQ(s.tape.features.size(), 3u);
  EXPECT_EQ(s.tape.features[0].kind, DvTapeFeature::RecordingBreak);
  EXPECT_EQ(s.tape.features[0].jumpSeconds, 3600);
  EXPECT_EQ(s.tape.features[1].frames, 5);
  EXPECT_EQ(s.tape.features[2].kind, DvTapeFeature::Wide);
  EXPECT_EQ(s.tape.features[2].frames, 4);
  for (const char* bad : {"frames=-3", "frames=x", "audio=22050", "undated=5", "date=yesterday", "turbo",
                          "file=", "break=1+2+3", "12bit"})
    EXPECT_FALSE(dvCameraSettings({QString::fromUtf8(bad)}).error.isEmpty()) << bad;
  const DvCameraSettings twelve = dvCameraSettings({"audio=32000", "12bit"});
  EXPECT_TRUE(twelve.error.isEmpty());
  EXPECT_EQ(twelve.tape.audioBits, 12);
  EXPECT_EQ(dvCameraSettings({"12bit", "audio=48000"}).tape.audioBits, 16);  // 12-bit exists at 32 kHz only
  EXPECT_EQ(dvCameraSettings({}).initialMode, ED_MODE_PLAY);
}

}  // namespace
