#include "sources/Sources.h"

#include <gtest/gtest.h>

#include "platform/media/MpegGuids.h"
#include "sources/DeviceTestSupport.h"

using namespace vistrel::platform::media;
using namespace vistrel::sources;
using namespace vistrel::sources::testing;

namespace {

MediaType videoInfo2(const GUID& formatType, int width, int height, uint32_t ax, uint32_t ay,
                     REFERENCE_TIME avg) {
  MediaType mt(MEDIATYPE_Video,
               formatType == FORMAT_MPEG2Video ? MEDIASUBTYPE_MPEG2_VIDEO : MEDIASUBTYPE_YUY2, formatType);
  VIDEOINFOHEADER2 v;
  v.bmiHeader.biWidth = width;
  v.bmiHeader.biHeight = height;
  v.bmiHeader.biCompression = makeFourcc('Y', 'U', 'Y', '2');
  v.dwPictAspectRatioX = ax;
  v.dwPictAspectRatioY = ay;
  v.AvgTimePerFrame = avg;
  // An MPEG-2 block goes on past the header; the description reads the header only.
  std::vector<uint8_t> block(sizeof v + 16, 0);
  std::memcpy(block.data(), &v, sizeof v);
  mt.setFormat(block.data(), block.size());
  return mt;
}

}  // namespace

TEST(SourceNames, FollowTheDeviceAndItsStreams) {
  auto engine = makeEngine();
  struct Case {
    QString device;
    int32_t instance, video, audio;
    bool isVideo;
    int32_t stream;
    QString name;
  };
  const std::vector<Case> cases = {
      {"Webcam", 1, 1, 0, true, 1, "Webcam"},
      {"Card", 1, 1, 1, true, 1, "Card - Video"},
      {"Card", 1, 1, 1, false, 1, "Card - Audio"},
      {"Mic", 1, 0, 1, false, 1, "Mic"},
      {"Card", 1, 2, 2, true, 2, "Card #2"},
      {"Card", 1, 2, 2, false, 2, "Card#2"},
      {"Card", 2, 2, 2, false, 2, "Card #2#2"},
      {"DV Source", 1, 1, 1, true, 1, "DV Source - Video"},
      {"DV Source", 2, 1, 1, true, 1, "DV Source #2 - Video"},
      {"DV Source", 2, 1, 1, false, 1, "DV Source #2 - Audio"},
  };
  for (const Case& c : cases) {
    FakeDevice device(*engine, c.device, c.instance, c.video, c.audio);
    std::unique_ptr<TavFlux> source;
    if (c.isVideo)
      source = std::make_unique<TVideoSource>(&device, c.stream);
    else
      source = std::make_unique<TAudioSource>(&device, c.stream);
    EXPECT_TRUE(source->Valid());
    EXPECT_EQ(source->SourceName, c.name);
    EXPECT_EQ(source->Stream, c.stream);
    EXPECT_EQ(source->Device, &device);
    EXPECT_FALSE(source->Connected);
    EXPECT_EQ(source->SceneDetector, nullptr);
  }
}

TEST(SourceNames, StreamNumbersOutsideTheDeviceGiveEmptySourcesThatAreNotListed) {
  auto engine = makeEngine();
  FakeDevice device(*engine, "Card", 1, 1, 2);
  TvideoSourcesList video;
  TAudioSourcesList audio;
  for (int32_t s : {0, 2, -1}) EXPECT_EQ(video.Add(std::make_unique<TVideoSource>(&device, s)), nullptr) << s;
  for (int32_t s : {0, 3}) EXPECT_EQ(audio.Add(std::make_unique<TAudioSource>(&device, s)), nullptr) << s;
  EXPECT_EQ(video.Add(std::make_unique<TVideoSource>(nullptr, 1)), nullptr);
  EXPECT_EQ(video.Count(), 0);
  EXPECT_EQ(audio.Count(), 0);
}

TEST(SourceLists, FindIsExactCaseSensitiveAndTakesTheFirst) {
  auto engine = makeEngine();
  FakeDevice a(*engine, "Cam", 1), b(*engine, "Cam", 1), c(*engine, "cam", 1);
  TvideoSourcesList list;
  TVideoSource* first = list.Add(std::make_unique<TVideoSource>(&a, 1));
  list.Add(std::make_unique<TVideoSource>(&b, 1));
  TVideoSource* lower = list.Add(std::make_unique<TVideoSource>(&c, 1));
  EXPECT_EQ(list.Find("Cam"), first);
  EXPECT_EQ(list.Find("cam"), lower);
  EXPECT_EQ(list.Find("Cam "), nullptr);
  EXPECT_EQ(list.Find(""), nullptr);
  EXPECT_EQ(list.IndexOf("cam"), 2);
  EXPECT_EQ(list.Items(3), nullptr);
  EXPECT_EQ(list.Items(-1), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(SourceLists, OneSourcePerStreamOfEveryDevice) {
  auto engine = makeEngine();
  TCaptureDeviceList devices(*engine);
  devices.Add(std::make_unique<FakeDevice>(*engine, "Card", 1, 2, 1));
  devices.Add(std::make_unique<FakeDevice>(*engine, "Mic", 1, 0, 2));
  TvideoSourcesList video;
  TAudioSourcesList audio;
  AddDeviceSources(devices, video, audio);
  ASSERT_EQ(video.Count(), 2);
  ASSERT_EQ(audio.Count(), 3);
  EXPECT_EQ(video.Items(0)->SourceName, "Card - Video");
  EXPECT_EQ(video.Items(1)->SourceName, "Card #2");
  EXPECT_EQ(audio.Items(0)->SourceName, "Card - Audio");
  EXPECT_EQ(audio.Items(1)->SourceName, "Mic");
  EXPECT_EQ(audio.Items(2)->SourceName, "Mic#2");
}

TEST(FourCC, PrintableCodesOnly) {
  const std::vector<std::pair<uint32_t, QString>> cases = {{makeFourcc('Y', 'U', 'Y', '2'), "YUY2"},
                                                           {makeFourcc('d', 'v', 's', 'd'), "dvsd"},
                                                           {makeFourcc('M', 'J', 'P', 'G'), "MJPG"},
                                                           {0, ""},
                                                           {3, ""} /* BI_BITFIELDS */,
                                                           {0x1FFFFFFF, ""},
                                                           {makeFourcc(31, 'a', 'b', 'c'), ""},
                                                           {makeFourcc('a', 'b', 31, 'c'), ""}};
  for (const auto& [code, text] : cases) EXPECT_EQ(FourCCText(code), text) << code;
}

TEST(VideoDescription, FromTheRawStreamsType) {
  struct Case {
    const char* what;
    MediaType type;
    bool ratioNormal;
    TConnectedVideo expected;
  };
  MediaType yuy2 = MediaType::video(MEDIASUBTYPE_YUY2, 640, 480, 16, makeFourcc('Y', 'U', 'Y', '2'), 333667);
  MediaType rgb = MediaType::rgb24(320, 240, 0);
  MediaType mpeg1(MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Payload, FORMAT_MPEGVideo);
  {
    VIDEOINFOHEADER v;
    v.bmiHeader.biWidth = 352;
    v.bmiHeader.biHeight = 288;
    v.AvgTimePerFrame = 400000;
    mpeg1.setFormat(v);
  }
  MediaType temporal = yuy2;
  temporal.bTemporalCompression = true;
  const std::vector<Case> cases = {
      {"YUY2", yuy2, true, {640, 480, "YUY2", 0, 0, 333667, 10000000.0 / 333667, false}},
      {"temporal flag", temporal, true, {640, 480, "YUY2", 0, 0, 333667, 10000000.0 / 333667, true}},
      {"RGB, no rate", rgb, true, {320, 240, "", 0, 0, 400000, 25.0, false}},
      {"MPEG-1", mpeg1, true, {352, 288, "MPEG1", 0, 0, 400000, 25.0, false}},
      {"VideoInfo2",
       videoInfo2(FORMAT_VideoInfo2, 720, 576, 16, 9, 400000),
       true,
       {720, 576, "YUY2", 0, 0, 400000, 25.0, false}},
      {"MPEG-2 0:0",
       videoInfo2(FORMAT_MPEG2Video, 720, 576, 0, 0, 400000),
       true,
       {720, 576, "MPEG2", 4, 3, 400000, 25.0, true}},
      {"MPEG-2 0:0 kept",
       videoInfo2(FORMAT_MPEG2Video, 720, 576, 0, 0, 400000),
       false,
       {720, 576, "MPEG2", 0, 0, 400000, 25.0, true}},
      {"MPEG-2 one side 0",
       videoInfo2(FORMAT_MPEG2Video, 720, 576, 16, 0, 400000),
       true,
       {720, 576, "MPEG2", 4, 3, 400000, 25.0, true}},
      {"MPEG-2 size as aspect",
       videoInfo2(FORMAT_MPEG2Video, 720, 576, 720, 576, 400000),
       true,
       {720, 576, "MPEG2", 4, 3, 400000, 25.0, true}},
      {"MPEG-2 16:9",
       videoInfo2(FORMAT_MPEG2Video, 720, 576, 16, 9, 400000),
       true,
       {720, 576, "MPEG2", 16, 9, 400000, 25.0, true}},
      {"duration 999",
       videoInfo2(FORMAT_MPEG2Video, 720, 480, 4, 3, 999),
       true,
       {720, 480, "MPEG2", 4, 3, 400000, 25.0, true}},
      {"duration 1000",
       videoInfo2(FORMAT_MPEG2Video, 720, 480, 4, 3, 1000),
       true,
       {720, 480, "MPEG2", 4, 3, 1000, 10000.0, true}},
      {"low 32 bits",
       videoInfo2(FORMAT_MPEG2Video, 720, 480, 4, 3, (int64_t(1) << 32) + 400000),
       true,
       {720, 480, "MPEG2", 4, 3, 400000, 25.0, true}},
  };
  for (const Case& c : cases) {
    TConnectedVideo d;
    d.VideoFourCC = "old";
    d.AspectX = 7;
    ASSERT_TRUE(DescribeVideo(c.type, c.ratioNormal, d)) << c.what;
    EXPECT_EQ(d.VideoWidth, c.expected.VideoWidth) << c.what;
    EXPECT_EQ(d.VideoHeight, c.expected.VideoHeight) << c.what;
    EXPECT_EQ(d.VideoFourCC, c.expected.VideoFourCC) << c.what;
    EXPECT_EQ(d.AspectX, c.expected.AspectX) << c.what;
    EXPECT_EQ(d.AspectY, c.expected.AspectY) << c.what;
    EXPECT_EQ(d.FrameDuration, c.expected.FrameDuration) << c.what;
    EXPECT_DOUBLE_EQ(d.FramesPerSecond, c.expected.FramesPerSecond) << c.what;
    EXPECT_EQ(d.TemporalCompression, c.expected.TemporalCompression) << c.what;
  }
}

TEST(VideoDescription, OtherOrDamagedFormatsLeaveThePreviousValues) {
  MediaType dv(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
  MediaType shortBlock(MEDIATYPE_Video, MEDIASUBTYPE_RGB24, FORMAT_VideoInfo);
  shortBlock.format.assign(10, 0xFF);
  MediaType shortMpeg2(MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO, FORMAT_MPEG2Video);
  shortMpeg2.format.assign(20, 0xFF);
  for (const MediaType& type : {dv, shortBlock, shortMpeg2, MediaType()}) {
    TConnectedVideo d{1, 2, "KEEP", 3, 4, 5, 6.0, true};
    EXPECT_FALSE(DescribeVideo(type, true, d));
    EXPECT_EQ(d.VideoWidth, 1);
    EXPECT_EQ(d.VideoFourCC, "KEEP");
    EXPECT_EQ(d.FrameDuration, 5u);
  }
}

TEST(AudioDescription, FromTheWaveFormatOnly) {
  TConnectedAudio d;
  ASSERT_TRUE(DescribeAudio(MediaType::pcm(44100, 1, 16), d));
  EXPECT_EQ(d.AudioRate, 44100);
  EXPECT_EQ(d.AudioBits, 16);
  EXPECT_EQ(d.AudioChannels, 1);
  EXPECT_EQ(AudioDescriptionText(d), "44100 Hz 16 bits 1 canaux");
  EXPECT_FALSE(DescribeAudio(MediaType(MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_None), d));
  EXPECT_EQ(d.AudioRate, 44100);
}

TEST(VideoDescription, Text) {
  TConnectedVideo d{720, 576, "dvsd", 0, 0, 400000, 25.0, false};
  EXPECT_EQ(VideoDescriptionText(d), "dvsd - 720x576 - 25.00 fps");
  d.FrameDuration = 333667;
  d.FramesPerSecond = 10000000.0 / 333667;
  EXPECT_EQ(VideoDescriptionText(d), "dvsd - 720x576 - 29.97 fps");
  d.FrameDuration = 0;
  EXPECT_EQ(VideoDescriptionText(d), "dvsd - 720x576");
}
