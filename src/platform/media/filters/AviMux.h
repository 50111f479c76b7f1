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
  struct Track {
    REFERENCE_TIME firstStart = -1;
    int64_t written = 0;  // chunks written, empty ones included
    REFERENCE_TIME frameDuration = 0;
  };
  void addInput();

  std::mutex lock_;
  std::optional<avi::AviWriter> writer_;
  std::vector<Track> tracks_;
  bool errorRaised_ = false;
  InterleavingMode mode_ = INTERLEAVE_CAPTURE;
  REFERENCE_TIME leaving_ = UNITS, preroll_ = 0;
  int nextInputNumber_ = 1;
};

}  // namespace vistrel::platform::media
