#pragma once
// Writes AVI files: one RIFF "AVI " holding the headers, the first "movi" list and the legacy
// "idx1" index, then as many RIFF "AVIX" extensions as the data needs past 1 GiB (OpenDML), each
// stream carrying an "indx" super index that points at the "ix##" standard index written at the
// end of every movi list. Every write goes straight to the file (no user-space buffer), so the
// file on disk is never behind the writer; close() patches the headers in place.
//
// Not thread-safe: one writer is driven by one thread at a time (a streaming thread, or the
// user-interface thread at stop).

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/media/avi/ByteSink.h"

namespace vistrel::platform::media::avi {

constexpr uint32_t fourcc(const char (&s)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

enum class StreamKind { Video, Audio, InterleavedDv };

struct StreamFormat {
  StreamKind kind = StreamKind::Video;
  uint32_t handler = 0;  // fccHandler: "dvsd", "XVID"...; 0 for audio
  // Time base of the stream: a chunk (or, with sampleSize > 0, a sample of sampleSize bytes)
  // lasts scale / rate seconds.
  uint32_t scale = 1;
  uint32_t rate = 25;
  uint32_t sampleSize = 0;  // 0: one chunk is one unit (video, compressed audio)
  QByteArray strf;          // the stream format block written as it is
  int16_t width = 0, height = 0;
};

class AviWriter {
 public:
  static constexpr uint64_t kRiffLimit = 1ull << 30;  // OpenDML starts a new RIFF past 1 GiB

  AviWriter() = default;
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Streams are declared before open(); their order gives the chunk numbers 00, 01, ...
  int addStream(const StreamFormat& format);
  // Whether the main header says the chunks are interleaved (AVIF_ISINTERLEAVED, the default):
  // the writer's caller knows whether it wrote them in time order across the streams.
  void setInterleaved(bool interleaved) { interleaved_ = interleaved; }
  // Creates (truncates) the file and writes provisional headers. False with errorText() set.
  bool open(const QString& path, uint64_t riffLimit = kRiffLimit);
  // The same into any sink (a downstream file writer's stream).
  bool open(std::unique_ptr<ByteSink> sink, uint64_t riffLimit = kRiffLimit);
  // Appends one chunk. False when the file could not be written (disk full, I/O error): the
  // writer then refuses further chunks, and close() still leaves a readable file.
  bool writeChunk(int stream, const char* data, uint32_t size, bool keyFrame = true);
  // Writes the indexes and final headers and releases the sink; true when all went to disk.
  bool close();

  bool isOpen() const { return sink_ != nullptr; }
  bool failed() const { return failed_; }
  const QString& errorText() const { return error_; }
  uint64_t bytesWritten() const { return position_; }
  uint32_t chunkCount(int stream) const {
    return static_cast<uint32_t>(streams_.at(static_cast<size_t>(stream)).totalChunks);
  }
  int riffCount() const { return static_cast<int>(riffs_.size()); }

 private:
  struct IndexEntry {
    uint64_t offset;  // of the chunk's data, in the file
    uint32_t size;
    bool keyFrame;
  };
  struct SuperEntry {
    uint64_t offset;
    uint32_t size;
    uint32_t duration;
  };
  struct Stream {
    StreamFormat format;
    uint32_t chunkId = 0;
    uint64_t strhDataOffset = 0, indxDataOffset = 0;
    uint64_t totalChunks = 0, totalBytes = 0, firstRiffChunks = 0;
    uint32_t maxChunk = 0;
    std::vector<IndexEntry> riffEntries;  // of the current movi list
    std::vector<SuperEntry> superEntries;
  };
  struct Riff {
    uint64_t offset;      // of "RIFF"
    uint64_t moviOffset;  // of "LIST" of its movi list
  };
  struct Idx1Entry {
    uint32_t chunkId, flags, offset, size;
  };

  bool put(const void* data, size_t size);
  bool putAt(uint64_t offset, const void* data, size_t size);
  bool put32(uint32_t v);
  bool put16(uint16_t v);
  bool put64(uint64_t v);
  bool putAt32(uint64_t offset, uint32_t v);
  bool writeHeaders();
  bool startRiff(bool first);
  bool finishRiff();
  bool writeStandardIndexes();
  bool patchHeaders();
  uint32_t durationOf(const Stream& s, uint64_t chunks, uint64_t bytes) const;
  void fail(const QString& why);

  std::vector<Stream> streams_;
  std::vector<Riff> riffs_;
  std::vector<Idx1Entry> idx1_;
  std::unique_ptr<ByteSink> sink_;
  uint64_t position_ = 0;
  uint64_t riffLimit_ = kRiffLimit;
  uint64_t avihDataOffset_ = 0, dmlhDataOffset_ = 0;
  bool failed_ = false;
  bool interleaved_ = true;
  QString error_;
};

}  // namespace vistrel::platform::media::avi
