#pragma once
// Interleaved DV: video frames carrying their sound in their audio blocks, as camcorders write
// them. The splitter takes one frame apart into its video frame and its sound (one stereo PCM
// stream per pair of channels, 12-bit sound decoded to 16-bit); the muxer writes PCM sound into
// the audio blocks of video frames. One object per stream, used by one thread at a time. The
// splitter reads through libavformat's DV demuxer; the muxer writes every sound format with our
// own packing (DvAudio.h), which leaves the frames' subcode and VAUX packs (time code, recording
// date) as the encoder wrote them.

#include <QString>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "platform/media/dv/DvAudio.h"
#include "platform/media/dv/DvFrame.h"

namespace vistrel::platform::media::dv {

struct AudioStreamInfo {
  int sampleRate = 0;  // 48000, 44100 or 32000
  int channels = 2;
};

struct SplitFrame {
  std::vector<uint8_t> video;                 // the whole frame (its video blocks are untouched)
  std::vector<std::vector<int16_t>> audio;    // interleaved samples, one vector per stream
  std::vector<AudioStreamInfo> audioStreams;  // what each stream is
};

class DvSplitter {
 public:
  // False for a frame that is not a whole DV frame (the caller drops it).
  bool split(std::span<const uint8_t> frame, SplitFrame& out);
  const QString& errorText() const { return error_; }

 private:
  QString error_;
};

class DvMuxer {
 public:
  // One stereo stream of 16-bit samples at 48 000, 44 100 or 32 000 Hz, written into the frames
  // with `bits` 16 or 12 (32 000 Hz only), or no sound (sampleRate 0: the frames go out as they
  // come, their audio blocks untouched).
  bool open(System system, int sampleRate, int bits = 16);
  // Forgets what waits (see flush()).
  void close();
  // Queue sound (interleaved stereo samples) and video frames. A frame leaves through
  // takeFrames() as soon as the sound of its duration (the unlocked 1600/1602... sequence for
  // NTSC) is queued; no frame is ever dropped. Frames wait for their sound one second at most,
  // then leave with the sound there is, the rest silent, so that sound that stops does not stop
  // the pictures. Sound queued with no picture to carry it is kept up to kMostWaitingSoundSeconds,
  // the oldest then dropped.
  bool addAudio(std::span<const int16_t> samples);
  bool addVideo(std::span<const uint8_t> frame);
  // Sends every waiting frame out with the sound there is (the end of a stream).
  void flush();
  std::vector<std::vector<uint8_t>> takeFrames();
  // Frames still waiting for their sound.
  size_t waitingFrames() const { return waitingVideo_.size(); }
  const QString& errorText() const { return error_; }

  static constexpr int kMostWaitingSoundSeconds = 10;

 private:
  // Frames leave while their sound is there, or while more than a second of frames wait, or
  // all of them when `everything`.
  void packReady(bool everything);

  System system_ = System::Pal;
  int sampleRate_ = 0;
  bool open_ = false;
  AudioFormat format_;
  std::deque<std::vector<uint8_t>> waitingVideo_;
  std::deque<int16_t> waitingAudio_;
  int64_t videoCount_ = 0;
  std::vector<std::vector<uint8_t>> ready_;
  QString error_;
};

}  // namespace vistrel::platform::media::dv
