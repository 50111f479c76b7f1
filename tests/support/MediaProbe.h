#pragma once
// What libavformat makes of a file the program wrote: its streams and every packet, so that a
// test checks files the way players read them.

#include <QString>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
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

// One packet as the demuxer found it: where it lies in the file and when it plays.
struct ProbedPacket {
  int stream = -1;
  int64_t position = -1;  // byte offset in the file, -1 when unknown
  double seconds = 0;     // presentation time, from the stream's start
  int size = 0;
};

// Every packet of the file in file order (empty packets that the demuxer skips are not listed,
// but they count in the times of the packets after them).
std::vector<ProbedPacket> probePackets(const QString& path);

// The data of the first `limit` non-empty packets of the file's video stream, in order.
std::vector<std::vector<uint8_t>> probeVideoFrames(const QString& path, int limit = 1 << 30);

// Along a file with frames and 16-bit PCM sound interleaved in time order (AVI), the sound
// written before each frame against that frame's time. A sound stream that lost or gained
// blocks, or frames lost without their place kept, show up where it happened.
struct ProbedDrift {
  double worst = 0;  // seconds, sound ahead (+) or behind (-)
  double at = 0;     // the time of the frame where it is worst
  int frames = 0;    // frames looked at
};
// Frames whose period ends after `upTo` seconds are not looked at (where one stream ended).
ProbedDrift probeSoundDrift(const QString& path, double frameSeconds, double upTo);

}  // namespace vistrel::testing
