#include "platform/media/dv/DvAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/media/dv/DvCodec.h"
#include "platform/media/dv/DvInterleave.h"

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

// A loud stereo tone, the right channel in opposite phase, from sample `start` on.
std::vector<int16_t> tone(int samples, int64_t start, int rate) {
  std::vector<int16_t> s(static_cast<size_t>(samples) * 2);
  for (int i = 0; i < samples; ++i) {
    const double t = static_cast<double>(start + i) / rate;
    s[static_cast<size_t>(2 * i)] = static_cast<int16_t>(30000 * std::sin(2 * M_PI * 700 * t));
    s[static_cast<size_t>(2 * i + 1)] = static_cast<int16_t>(-20000 * std::sin(2 * M_PI * 300 * t));
  }
  return s;
}

// The step of the 12-bit code around a 16-bit value: 1 below 512, doubling every octave above.
int compandingStep(int v) {
  const int m = v < 0 ? -1 - v : v;
  int step = 1;
  for (int edge = 512; m >= edge && step < 64; edge *= 2) step *= 2;
  return step;
}

TEST(DvAudio, TwelveBitCompandingKeepsEverySampleWithinItsStep) {
  struct Case {
    int16_t sample;
    uint16_t code;
    int16_t back;
  };
  for (const Case& c :
       {Case{0, 0x000, 0}, Case{511, 0x1FF, 511}, Case{512, 0x200, 512}, Case{513, 0x200, 512},
        Case{1023, 0x2FF, 1022}, Case{1024, 0x300, 1024}, Case{32767, 0x7FF, 32704}, Case{-1, 0xFFF, -1},
        Case{-512, 0xE00, -512}, Case{-513, 0xDFF, -513}, Case{-32768, 0x800, -32705}}) {
    EXPECT_EQ(compress12(c.sample), c.code) << c.sample;
    EXPECT_EQ(expand12(c.code), c.back) << c.sample;
  }
  int previous = -32768;
  for (int v = -32768; v <= 32767; ++v) {
    const int back = expand12(compress12(static_cast<int16_t>(v)));
    ASSERT_LT(std::abs(back - v), compandingStep(v)) << v;
    ASSERT_GE(back, previous) << v;  // monotonic: loud stays louder
    previous = back;
  }
  // Every code is its own reconstruction's code.
  for (int code = 0; code < 0x1000; ++code)
    ASSERT_EQ(compress12(expand12(static_cast<uint16_t>(code))), code) << code;
}

TEST(DvAudio, SampleCountsFollowTheFrameRate) {
  // PAL frames hold a fixed share; NTSC spreads the fraction over the frames.
  EXPECT_EQ(samplesInFrame(System::Pal, 32000, 7), 1280);
  EXPECT_EQ(samplesInFrame(System::Pal, 44100, 7), 1764);
  struct Case {
    int rate, frames;
    int64_t total;
  };
  for (const Case& c : {Case{48000, 5, 8008}, Case{32000, 15, 16016}, Case{44100, 100, 147147}}) {
    int64_t total = 0;
    for (int i = 0; i < c.frames; ++i) {
      const int n = samplesInFrame(System::Ntsc, c.rate, i);
      EXPECT_GE(n, minSamplesPerFrame(System::Ntsc, c.rate));
      EXPECT_LE(n, maxSamplesPerFrame(System::Ntsc, c.rate));
      total += n;
    }
    EXPECT_EQ(total, c.total) << c.rate;
  }
}

TEST(DvAudio, SoundWrittenIntoAFrameReadsBack) {
  struct Case {
    System system;
    AudioFormat format;
  };
  for (const Case& c :
       {Case{System::Pal, {48000, 16}}, Case{System::Pal, {44100, 16}}, Case{System::Pal, {32000, 16}},
        Case{System::Pal, {32000, 12}}, Case{System::Ntsc, {48000, 16}}, Case{System::Ntsc, {32000, 12}}}) {
    SCOPED_TRACE(testing::Message() << c.format.sampleRate << " Hz " << c.format.bits << " bits "
                                    << (c.system == System::Pal ? "PAL" : "NTSC"));
    auto frame = encodedFrame(c.system);
    const auto video = frame;
    // The fullest frame the format allows: every slot used.
    const int samples = maxSamplesPerFrame(c.system, c.format.sampleRate);
    const auto sent = tone(samples, 0, c.format.sampleRate);
    ASSERT_TRUE(writeFrameAudio(frame, c.system, c.format, sent));
    AudioFormat read;
    std::vector<int16_t> back;
    ASSERT_TRUE(readFrameAudio(frame, c.system, read, back));
    EXPECT_EQ(read, c.format);
    ASSERT_EQ(back.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
      const int16_t expected = c.format.bits == 12 ? expand12(compress12(sent[i])) : sent[i];
      ASSERT_EQ(back[i], expected) << i;
    }
    // Only the audio blocks changed: header, subcode, VAUX and video blocks are the encoder's.
    for (size_t block = 0; block < frame.size() / kBlockBytes; ++block) {
      const size_t inSequence = block % 150;
      const bool audio = inSequence >= 6 && (inSequence - 6) % 16 == 0;
      if (audio) continue;
      ASSERT_TRUE(std::equal(frame.begin() + static_cast<ptrdiff_t>(block * kBlockBytes),
                             frame.begin() + static_cast<ptrdiff_t>((block + 1) * kBlockBytes),
                             video.begin() + static_cast<ptrdiff_t>(block * kBlockBytes)))
          << block;
    }
  }
}

TEST(DvAudio, TheSourcePackSaysWhatTheFrameHolds) {
  auto frame = encodedFrame(System::Pal);
  ASSERT_TRUE(writeFrameAudio(frame, System::Pal, {32000, 12}, tone(1280, 0, 32000)));
  // The program's pack decoder reads the first sequence's pack at byte 4323.
  EXPECT_EQ(frame[4323], 0x50);
  EXPECT_EQ((frame[4327] >> 3) & 7, 2);  // 32 kHz
  EXPECT_EQ(frame[4327] & 7, 1);         // 12-bit
  EXPECT_EQ(frame[4324] & 0x3F, 1280 - 1264);
  EXPECT_EQ(frame[4323 + 16 * 80], 0x51);  // the source control pack, in the next audio block
  // The second half of the sequences holds the empty second pair: audio mode "no sound".
  const size_t secondHalfPack = 6 * kSequenceBytes + 4323;
  EXPECT_EQ(frame[secondHalfPack], 0x50);
  EXPECT_EQ(frame[secondHalfPack + 2] & 0x0F, 0x0F);
  EXPECT_EQ(frame[4325] & 0x0F, 0x00);
}

TEST(DvAudio, WhatCannotBeWrittenIsRefusedUntouched) {
  auto frame = encodedFrame(System::Pal);
  const auto before = frame;
  struct Case {
    AudioFormat format;
    int samples;
  };
  for (const Case& c : {Case{{48000, 12}, 1920}, Case{{22050, 16}, 882}, Case{{32000, 8}, 1280},
                        Case{{32000, 12}, 1263}, Case{{32000, 12}, 1297}, Case{{48000, 16}, 1945}}) {
    EXPECT_FALSE(writeFrameAudio(frame, System::Pal, c.format, tone(c.samples, 0, 32000)))
        << c.format.sampleRate << " " << c.format.bits << " " << c.samples;
  }
  std::vector<uint8_t> shortFrame(kNtscFrameBytes);
  EXPECT_FALSE(writeFrameAudio(shortFrame, System::Pal, {32000, 12}, tone(1280, 0, 32000)));
  EXPECT_EQ(frame, before);
  AudioFormat format;
  std::vector<int16_t> back;
  std::vector<uint8_t> blank(kPalFrameBytes, 0xFF);
  EXPECT_FALSE(readFrameAudio(blank, System::Pal, format, back));
  EXPECT_FALSE(readFrameAudio(shortFrame, System::Pal, format, back));
}

// The independent check: libavformat's DV demuxer, which the DV Splitter uses, reads our 12-bit
// and 44.1 kHz frames as the tone we wrote.
TEST(DvAudio, LibavformatReadsOurPackingBack) {
  struct Case {
    System system;
    AudioFormat format;
  };
  for (const Case& c :
       {Case{System::Pal, {32000, 12}}, Case{System::Ntsc, {32000, 12}}, Case{System::Pal, {44100, 16}}}) {
    SCOPED_TRACE(testing::Message() << c.format.sampleRate << " Hz " << c.format.bits << " bits "
                                    << (c.system == System::Pal ? "PAL" : "NTSC"));
    const int rate = c.format.sampleRate;
    const auto video = encodedFrame(c.system);
    DvMuxer muxer;
    ASSERT_TRUE(muxer.open(c.system, rate, c.format.bits)) << muxer.errorText().toStdString();
    constexpr int kFrames = 16;
    int64_t total = 0;
    for (int i = 0; i < kFrames; ++i) total += samplesInFrame(c.system, rate, i);
    const auto sent = tone(static_cast<int>(total) + 500, 0, rate);
    // Sound in uneven pieces, the video frames between them.
    size_t fed = 0;
    for (int i = 0; i < kFrames; ++i) {
      const size_t piece =
          std::min(sent.size() - fed, size_t{2 * 1000 + 2 * 37 * static_cast<size_t>(i % 3)});
      ASSERT_TRUE(muxer.addAudio(std::span<const int16_t>(sent).subspan(fed, piece)));
      fed += piece;
      ASSERT_TRUE(muxer.addVideo(video));
    }
    ASSERT_TRUE(muxer.addAudio(std::span<const int16_t>(sent).subspan(fed)));
    const auto frames = muxer.takeFrames();
    ASSERT_EQ(frames.size(), static_cast<size_t>(kFrames));
    DvSplitter splitter;
    std::vector<int16_t> received;
    for (size_t i = 0; i < frames.size(); ++i) {
      SplitFrame parts;
      ASSERT_TRUE(splitter.split(frames[i], parts)) << splitter.errorText().toStdString();
      ASSERT_GE(parts.audioStreams.size(), 1u);
      EXPECT_EQ(parts.audioStreams[0].sampleRate, rate);
      EXPECT_EQ(parts.audioStreams[0].channels, 2);
      EXPECT_EQ(parts.audio[0].size(), 2u * static_cast<size_t>(samplesInFrame(c.system, rate, int64_t(i))));
      received.insert(received.end(), parts.audio[0].begin(), parts.audio[0].end());
      // The video is the encoder's and decodes.
      EXPECT_EQ(parts.video.size(), frameBytes(c.system));
    }
    ASSERT_EQ(received.size(), static_cast<size_t>(total) * 2);
    for (size_t i = 0; i < received.size(); ++i)
      ASSERT_LT(std::abs(received[i] - sent[i]), c.format.bits == 12 ? compandingStep(sent[i]) : 1) << i;
  }
}

TEST(DvAudio, PicturesAreNotHeldBackLongWhenTheSoundStops) {
  const auto video = encodedFrame(System::Pal);
  DvMuxer muxer;
  ASSERT_TRUE(muxer.open(System::Pal, 32000, 12));
  ASSERT_TRUE(muxer.addAudio(tone(1280 + 300, 0, 32000)));  // one frame's sound and a little more
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(muxer.addVideo(video));
  const auto frames = muxer.takeFrames();
  ASSERT_GE(frames.size(), 30u);  // at most a second waits
  AudioFormat format;
  std::vector<int16_t> first, second, third;
  ASSERT_TRUE(readFrameAudio(frames[0], System::Pal, format, first));
  ASSERT_TRUE(readFrameAudio(frames[1], System::Pal, format, second));
  ASSERT_TRUE(readFrameAudio(frames[2], System::Pal, format, third));
  EXPECT_EQ(second.size(), 1280u * 2);
  EXPECT_NE(second[10], 0);        // the sound that was left
  EXPECT_EQ(second[2 * 1000], 0);  // then silence
  EXPECT_TRUE(std::all_of(third.begin(), third.end(), [](int16_t v) { return v == 0; }));
}

}  // namespace
