#pragma once
// Interleaved DV: video frames carrying their sound in their audio blocks, as camcorders write
// them. The splitter takes one frame apart into its video frame and its sound (one stereo PCM
// stream per pair of channels, 12-bit sound decoded to 16-bit); the muxer writes PCM sound into
// the audio blocks of video frames. Both go through libavformat's DV format code. One object per
// stream, used by one thread at a time. 16-bit sound at 48 000 and 32 000 Hz is muxed by
// libavformat; 12-bit sound and 44 100 Hz, which it does not write, by our own packing (DvAudio.h).

#include <QString>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "platform/media/dv/DvAudio.h"
#include "platform/media/dv/DvFrame.h"

struct AVFormatContext;
struct AVIOContext;
struct AVPacket;

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
  DvMuxer();
  ~DvMuxer();
  DvMuxer(const DvMuxer&) = delete;
  DvMuxer& operator=(const DvMuxer&) = delete;

  // One stereo stream of 16-bit samples at 48 000, 44 100 or 32 000 Hz, written into the frames
  // with `bits` 16 or 12 (32 000 Hz only), or no sound (sampleRate 0).
  bool open(System system, int sampleRate, int bits = 16);
  void close();
  // Queues sound (interleaved stereo samples) and video frames; complete interleaved frames come
  // out of takeFrames() as soon as a video frame has the sound of its duration.
  bool addAudio(std::span<const int16_t> samples);
  bool addVideo(std::span<const uint8_t> frame);
  std::vector<std::vector<uint8_t>> takeFrames();
  const QString& errorText() const { return error_; }

 private:
  static int collect(void* opaque, uint8_t* data, int size);
  void release();
  // Our own packing: a frame leaves once the sound of its duration is queued.
  void packReady();

  AVFormatContext* context_ = nullptr;
  AVIOContext* io_ = nullptr;
  AVPacket* packet_ = nullptr;
  System system_ = System::Pal;
  int sampleRate_ = 0;
  bool ownPacking_ = false;
  AudioFormat format_;
  std::deque<std::vector<uint8_t>> waitingVideo_;
  std::deque<int16_t> waitingAudio_;
  int64_t videoCount_ = 0, audioSamples_ = 0;
  std::vector<uint8_t> pending_;
  std::vector<std::vector<uint8_t>> ready_;
  QString error_;
};

}  // namespace vistrel::platform::media::dv
