#pragma once
// Helpers of the encoder tests: a source filter that the test thread drives frame by frame (so
// that graphs run without real-time devices), synthetic pictures and tones, and a reader of
// written files through libavformat.

#include <QString>
#include <memory>
#include <vector>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/FilterGraph.h"

namespace vistrel::testing {

using namespace vistrel::platform::media;

// One output pin "out" offering exactly `type`.
class PushSource : public BaseFilter {
 public:
  explicit PushSource(const MediaType& type);
  static std::shared_ptr<PushSource> create(const MediaType& type);
  // Call while the graph runs: one sample with these bytes and times (stop < 0: start only).
  HRESULT push(const void* data, int32_t size, REFERENCE_TIME start, REFERENCE_TIME stop);
  std::shared_ptr<IPin> output();
  const MediaType& type() const { return type_; }

 private:
  MediaType type_;
};

// A moving gradient in RGB24 bottom-up rows (frame `n` of a sequence).
std::vector<uint8_t> rgbFrame(int width, int height, int n);
// Planar I420 of the same picture family.
std::vector<uint8_t> i420Frame(int width, int height, int n);
// `frames` stereo 16-bit samples of a 440 Hz tone; `phase` carries over.
std::vector<uint8_t> toneBlock(int frames, int rate, int channels, double& phase);

// Pushes `count` frames at `rate` fps and `seconds` of audio in 40 ms blocks, interleaved in time.
void pushAv(PushSource* video, PushSource* audio, int count, REFERENCE_TIME frameDuration, int width,
            int height, int rate, int channels);

// The encoder filters in the mapper, and the AVI multiplexer while the system filters lack it.
void registerFilters();

std::shared_ptr<IPin> pinOf(const std::shared_ptr<IBaseFilter>& filter, int index);
int pinCount(const std::shared_ptr<IBaseFilter>& filter);

struct StreamInfo {
  QString codec;  // libavcodec short name ("wmv2", "mp2"...)
  bool video = false;
  int width = 0, height = 0;
  double frameRate = 0;
  int sampleRate = 0, channels = 0;
  int64_t bitrate = 0;
  uint32_t codecTag = 0;
  int packets = 0;
  int decodedFrames = 0;  // frames the decoder gave back (pictures, or audio frames)
  double duration = 0;    // seconds, from the packets
};

struct FileInfo {
  bool opened = false;
  QString format;  // libavformat short name
  std::vector<StreamInfo> streams;
  const StreamInfo* first(bool video) const;
};

// Opens the file (or raw stream, `format` forces a demuxer), reads every packet and decodes it.
FileInfo probeFile(const QString& path, const char* format = nullptr);

}  // namespace vistrel::testing
