#pragma once
// AVI Mux: video, sound and interleaved DV inputs written into one AVI file (OpenDML past 1 GiB)
// through the seekable stream of the File Writer connected to its output. Pins: the output first,
// then the inputs; a new input appears at the end each time one connects, so there is always one
// free input.
//
// The file is written as the samples arrive (each input on its own streaming thread; the writer
// is shared under a lock that only streaming threads take). Video samples carry their times: a
// gap left by dropped frames is filled with empty chunks so that sound stays in step. The stop
// (after the File Writer's own stop, which keeps its file open until the graph's last phase)
// writes the indexes and the final headers. A write failure (disk full) raises EC_ERRORABORT
// once; the samples that follow are dropped and the file written so far stays readable.
//
// Interleaving (IConfigInterleaving): INTERLEAVE_NONE (and NONE_BUFFERED) writes each sample as
// it comes, and the main header does not claim the file interleaved. INTERLEAVE_CAPTURE and
// INTERLEAVE_FULL write the chunks in time order across the streams, chunk by chunk (the default,
// an interleave period of 0) or one period (put_Interleaving) at a time: each stream's chunks of a
// period together, the streams in their input order. Sound is written the preroll earlier than
// its time (0 by default), so that it leads the pictures it goes with. The finer the period, the
// less of one stream a file cut short (disk full, a crash) holds without the other. A sample waits (a copy,
// never blocking its thread) until every stream has one queued, and the first in that order is written; a
// stream that falls silent holds the others back for at most 2 s of stream time (capture) or 10 s (full), and
// the stop writes what is left in order.

#include <deque>
#include <mutex>
#include <optional>

#include "platform/media/BaseFilter.h"
#include "platform/media/IConfigInterleaving.h"
#include "platform/media/MediaSample.h"
#include "platform/media/avi/AviWriter.h"

namespace vistrel::platform::media {

class AviMux : public BaseFilter, public IConfigInterleaving {
 public:
  AviMux();
  static std::shared_ptr<IBaseFilter> create();

  HRESULT put_Mode(InterleavingMode mode) override;
  HRESULT get_Mode(InterleavingMode* mode) override;
  HRESULT put_Interleaving(const REFERENCE_TIME* leaving, const REFERENCE_TIME* preroll) override;
  HRESULT get_Interleaving(REFERENCE_TIME* leaving, REFERENCE_TIME* preroll) override;

  void pinConnected(BasePin& pin) override;
  void pinDisconnected(BasePin& pin) override;

  // Streaming thread of the input: writes one sample of stream `stream`.
  HRESULT write(int stream, const MediaSample& sample);
  // The stream description an input type gives; nullopt for a type the mux cannot store.
  static std::optional<avi::StreamFormat> streamFormatFor(const MediaType& type);

 protected:
  HRESULT onPause() override;
  HRESULT onStop() override;

 private:
  struct Pending {
    std::vector<uint8_t> data;
    bool timed;
    REFERENCE_TIME start;
    bool sync;
    REFERENCE_TIME key;  // its time among the streams' chunks
    int64_t period;      // its interleave period (the preroll taken off sound)
  };
  struct Track {
    REFERENCE_TIME firstStart = -1;
    int64_t written = 0;  // chunks written, empty ones included
    REFERENCE_TIME frameDuration = 0;
    uint32_t bytesPerSecond = 0;  // sound: to place untimed samples
    bool sound = false;
    int64_t bytesSeen = 0;
    int64_t samplesSeen = 0;
    std::deque<Pending> queue;
  };
  void addInput();
  // Under the lock: writes one chunk of `stream` (filling a gap left by lost frames first).
  bool writeNow(int stream, const uint8_t* data, uint32_t size, bool timed, REFERENCE_TIME start, bool sync);
  // Under the lock: writes queued chunks in time order, all of them when `everything`.
  void drain(bool everything);
  void raiseError();

  std::mutex lock_;
  std::optional<avi::AviWriter> writer_;
  std::vector<Track> tracks_;
  bool errorRaised_ = false;
  InterleavingMode mode_ = INTERLEAVE_CAPTURE;
  REFERENCE_TIME leaving_ = 0, preroll_ = 0;
  size_t queuedBytes_ = 0;
  int nextInputNumber_ = 1;
};

}  // namespace vistrel::platform::media
