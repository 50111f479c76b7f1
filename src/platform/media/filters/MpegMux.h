#pragma once
// MPEG multiplexers through libavformat: the MPEG-2 program-stream multiplexer (input MPEG-2
// video) and the MPEG-1 system-stream multiplexer (input MPEG-1 video). Pin 0 is the byte-stream
// output (MEDIATYPE_Stream), pin 1 the video input; once the video input is connected, pin 2, an
// audio input for MPEG audio (layer II or III, wave format 0x50 or 0x55), appears, and it goes
// again when the video input is disconnected while it is unconnected.
//
// The video may come in any cut: it is split into pictures, which get their decoding order from
// arrival and their display order from the picture headers (temporal reference, GOP headers), so
// streams with B-pictures are stamped right. Output samples carry their byte offset as start
// time for the File Writer; the stream end is written in the filter's own stop through the
// writer's IStream, after everything upstream has flushed.
//
// Threads: both inputs receive on their streaming threads, serialised by one lock; pin changes
// on the user-interface thread with the filter stopped.

#include <memory>
#include <mutex>

#include "platform/media/BaseFilter.h"
#include "platform/media/MediaSample.h"
#include "platform/media/MpegGuids.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_MpegProgramMux = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0131}");
constexpr GUID CLSID_MpegSystemMux = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0132}");
extern const char* const kMpegProgramMuxName;
extern const char* const kMpegSystemMuxName;

enum class MpegMuxKind { Program, System };

class MpegMux : public BaseFilter {
 public:
  explicit MpegMux(MpegMuxKind kind);
  ~MpegMux() override;
  static std::shared_ptr<IBaseFilter> createProgram();
  static std::shared_ptr<IBaseFilter> createSystem();

  MpegMuxKind kind() const { return kind_; }
  bool acceptsVideo(const MediaType& type) const;
  static bool acceptsAudio(const MediaType& type);

  void pinConnected(BasePin& pin) override;
  void pinDisconnected(BasePin& pin) override;

  // Streaming threads.
  HRESULT receiveVideo(const MediaSample& sample);
  HRESULT receiveAudio(const MediaSample& sample);
  // The muxer's byte output (under the lock).
  int writeBytes(const uint8_t* data, int size);

 protected:
  HRESULT onPause() override;
  HRESULT onStop() override;

 private:
  struct Output;
  void finish();

  MpegMuxKind kind_;
  std::mutex lock_;
  std::unique_ptr<Output> out_;
};

}  // namespace vistrel::platform::media
