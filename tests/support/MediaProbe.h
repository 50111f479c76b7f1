#pragma once
// What libavformat makes of a file the program wrote: its streams and every packet, so that a
// test checks files the way players read them.

#include <QString>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace vistrel::testing {

struct ProbedStream {
  AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
  AVCodecID codec = AV_CODEC_ID_NONE;
  uint32_t codecTag = 0;
  int width = 0, height = 0, sampleRate = 0, channels = 0;
  int64_t packets = 0, bytes = 0;
  double durationSeconds = 0;  // from the container, or -1
};

struct ProbedFile {
  bool opened = false;
  QString format;
  std::vector<ProbedStream> streams;
  double durationSeconds = -1;
};

// Opens the file and, when `readPackets`, reads every packet to its end.
ProbedFile probeMedia(const QString& path, bool readPackets = true);

}  // namespace vistrel::testing
