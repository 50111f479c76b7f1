#include "platform/media/dv/DvInterleave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/media/dv/DvAudio.h"
#include "platform/media/dv/DvCodec.h"

using namespace vistrel::platform::media::dv;

namespace {

std::vector<uint8_t> encodedFrame(System system) {
  const int height = system == System::Pal ? 576 : 480;
  std::vector<uint8_t> picture(static_cast<size_t>(720 * 3 * height), 0x60);
  DvEncoder encoder;
  EXPECT_TRUE(encoder.open(system));
  std::vector<uint8_t> frame(frameBytes(system));
  EXPECT_TRUE(encoder.encode({picture.data(), 720, height, 720 * 3}, frame));
  return frame;
}

std::vector<int16_t> tone(int samples, int start) {
  std::vector<int16_t> s(static_cast<size_t>(samples) * 2);
  for (int i = 0; i < samples; ++i) {
    const auto v = static_cast<int16_t>(12000 * std::sin((start + i) * 2 * M_PI * 1000 / 48000.0));
    s[static_cast<size_t>(2 * i)] = v;
    s[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(-v);
  }
  return s;
}

TEST(DvInterleave, SoundWrittenIntoFramesComesBackOutExactly) {
  const auto video = encodedFrame(System::Pal);
  DvMuxer muxer;
  ASSERT_TRUE(muxer.open(System::Pal, 48000)) << muxer.errorText().toStdString();
  std::vector<int16_t> sent;
  for (int i = 0; i < 10; ++i) {
    const auto sound = tone(1920, i * 1920);
    sent.insert(sent.end(), sound.begin(), sound.end());
    ASSERT_TRUE(muxer.addAudio(sound));
    ASSERT_TRUE(muxer.addVideo(video));
  }
  auto frames = muxer.takeFrames();
  muxer.close();
  ASSERT_GE(frames.size(), 9u);
  DvSplitter splitter;
  std::vector<int16_t> received;
  for (const auto& frame : frames) {
    ASSERT_EQ(frame.size(), kPalFrameBytes);
    SplitFrame parts;
    ASSERT_TRUE(splitter.split(frame, parts)) << splitter.errorText().toStdString();
    ASSERT_EQ(parts.audioStreams.size(), 1u);
    EXPECT_EQ(parts.audioStreams[0].sampleRate, 48000);
    EXPECT_EQ(parts.audioStreams[0].channels, 2);
    EXPECT_EQ(parts.audio[0].size(), 1920u * 2);
    EXPECT_EQ(parts.video.size(), kPalFrameBytes);
    received.insert(received.end(), parts.audio[0].begin(), parts.audio[0].end());
  }
  ASSERT_LE(received.size(), sent.size());
  EXPECT_TRUE(std::equal(received.begin(), received.end(), sent.begin()));
  // The picture is the encoder's: it decodes.
  DvDecoder decoder;
  std::vector<uint8_t> picture(720 * 3 * 576);
  EXPECT_TRUE(decoder.decode(frames[0], picture.data(), 720, 576, 2160));
  EXPECT_NEAR(picture[1000], 0x60, 8);
}

TEST(DvInterleave, VideoOnlyFramesAndRefusals) {
  DvMuxer muxer;
  EXPECT_FALSE(muxer.open(System::Pal, 22050));
  EXPECT_FALSE(muxer.open(System::Pal, 48000, 12));  // 12-bit sound is 32 kHz only
  ASSERT_TRUE(muxer.open(System::Ntsc, 0));
  const auto video = encodedFrame(System::Ntsc);
  ASSERT_TRUE(muxer.addVideo(video));
  EXPECT_FALSE(muxer.addVideo(std::vector<uint8_t>(1000)));
  auto frames = muxer.takeFrames();
  muxer.close();
  ASSERT_EQ(frames.size(), 1u);
  DvSplitter splitter;
  SplitFrame parts;
  ASSERT_TRUE(splitter.split(frames[0], parts));
  EXPECT_TRUE(parts.audioStreams.empty());
  EXPECT_FALSE(splitter.split(std::vector<uint8_t>(5000), parts));
  std::vector<uint8_t> noise(kPalFrameBytes);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919);
  splitter.split(noise, parts);  // garbage: refused or split, never a crash
}

// Pictures that come before their sound wait for it (never overwritten, never dropped), sound
// that stops holds them back a second at most, and the end of the stream sends out what waits.
// libavformat reads back the tone written, then silence, in every format the muxer writes.
TEST(DvInterleave, EveryPictureLeavesWithItsSoundWhenPicturesComeFirstAndSoundStops) {
  struct Case {
    System system;
    int rate, bits;
  };
  for (const Case& c :
       {Case{System::Pal, 48000, 16}, Case{System::Ntsc, 48000, 16}, Case{System::Pal, 32000, 16},
        Case{System::Ntsc, 32000, 16}, Case{System::Pal, 44100, 16}, Case{System::Ntsc, 32000, 12}}) {
    SCOPED_TRACE(testing::Message() << (c.system == System::Pal ? "PAL " : "NTSC ") << c.rate << " Hz "
                                    << c.bits << " bits");
    const auto video = encodedFrame(c.system);
    DvMuxer muxer;
    ASSERT_TRUE(muxer.open(c.system, c.rate, c.bits)) << muxer.errorText().toStdString();
    constexpr int kFrames = 80, kSounding = 40, kAhead = 6;
    int64_t sounding = 0;  // samples of the frames that get sound
    for (int i = 0; i < kSounding; ++i) sounding += samplesInFrame(c.system, c.rate, i);
    std::vector<int16_t> sent(static_cast<size_t>(sounding) * 2);
    for (size_t n = 0; n < sent.size() / 2; ++n) {
      const auto v = static_cast<int16_t>(9000 * std::sin(2 * M_PI * 440 * static_cast<double>(n) / c.rate));
      sent[2 * n] = v;
      sent[2 * n + 1] = static_cast<int16_t>(-v);
    }
    // Each picture comes kAhead frames before its sound, the sound in uneven pieces; past
    // kSounding frames the sound stops and the pictures go on.
    std::vector<std::vector<uint8_t>> frames;
    size_t fed = 0;
    for (int i = 0; i < kFrames; ++i) {
      ASSERT_TRUE(muxer.addVideo(video));
      if (i >= kAhead && fed < sent.size()) {
        const int uneven = samplesInFrame(c.system, c.rate, i - kAhead) + (i % 2 ? 97 : -97);
        const size_t piece = std::min(sent.size() - fed, size_t{2} * static_cast<size_t>(uneven));
        ASSERT_TRUE(muxer.addAudio(std::span<const int16_t>(sent).subspan(fed, piece)));
        fed += piece;
      }
      for (auto& f : muxer.takeFrames()) frames.push_back(std::move(f));
    }
    ASSERT_EQ(fed, sent.size());
    // The sound stopped: the pictures were held back a second at most.
    EXPECT_GE(frames.size(), static_cast<size_t>(kFrames - (c.system == System::Pal ? 25 : 30) - 1));
    muxer.flush();
    for (auto& f : muxer.takeFrames()) frames.push_back(std::move(f));
    ASSERT_EQ(frames.size(), static_cast<size_t>(kFrames));
    EXPECT_EQ(muxer.waitingFrames(), 0u);

    DvSplitter splitter;
    std::vector<int16_t> received;
    for (size_t i = 0; i < frames.size(); ++i) {
      SplitFrame parts;
      ASSERT_TRUE(splitter.split(frames[i], parts)) << splitter.errorText().toStdString();
      ASSERT_GE(parts.audioStreams.size(), 1u);
      EXPECT_EQ(parts.audioStreams[0].sampleRate, c.rate);
      ASSERT_EQ(parts.audio[0].size(),
                2u * static_cast<size_t>(samplesInFrame(c.system, c.rate, int64_t(i))));
      received.insert(received.end(), parts.audio[0].begin(), parts.audio[0].end());
    }
    ASSERT_GE(received.size(), sent.size());
    for (size_t n = 0; n < sent.size(); ++n)
      ASSERT_LE(std::abs(received[n] - sent[n]), c.bits == 12 ? 40 : 0) << n;
    EXPECT_TRUE(std::all_of(received.begin() + static_cast<ptrdiff_t>(sent.size()), received.end(),
                            [](int16_t v) { return v == 0; }));
  }
}

// Sound that runs on with no picture to carry it is not kept without end: the newest ten
// seconds wait, the oldest go, and the next picture carries the sound of ten seconds ago.
TEST(DvInterleave, SoundWithoutPicturesKeepsOnlyItsNewestSeconds) {
  DvMuxer muxer;
  ASSERT_TRUE(muxer.open(System::Pal, 32000));
  constexpr int kSeconds = DvMuxer::kMostWaitingSoundSeconds + 2;
  for (int second = 0; second < kSeconds; ++second) {
    // Each second's samples carry the second's number.
    ASSERT_TRUE(muxer.addAudio(std::vector<int16_t>(32000 * 2, static_cast<int16_t>(second + 1))));
  }
  ASSERT_TRUE(muxer.addVideo(encodedFrame(System::Pal)));
  const auto frames = muxer.takeFrames();
  ASSERT_EQ(frames.size(), 1u);
  AudioFormat format;
  std::vector<int16_t> sound;
  ASSERT_TRUE(readFrameAudio(frames[0], System::Pal, format, sound));
  EXPECT_EQ(sound.front(), kSeconds - DvMuxer::kMostWaitingSoundSeconds + 1);
}

}  // namespace
