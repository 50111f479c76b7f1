#pragma once
// The WAV writer in the graph ("WavDest filter"): a copy filter from uncompressed audio to the
// bytes of a RIFF WAVE file for the file writer behind it. Each sample is stamped with its byte
// offset in the file; at the stop the header is written at offset 0 through the downstream
// pin's stream interface.
//
// Threads: Receive and Transform on the audio source's streaming thread; the stop on the
// user-interface thread, after the last sample and before the file writer closes the file.

#include "filters/WaveFile.h"
#include "platform/media/TransformFilter.h"

namespace vistrel::filters {

constexpr platform::media::GUID CLSID_WavDest =
    platform::media::makeGuid("{A220513C-2CB8-40FB-AD3C-21618731874C}");

class Tvt_WaveDest : public platform::media::TransformFilter {
 public:
  Tvt_WaveDest();
  static std::shared_ptr<Tvt_WaveDest> create() { return std::make_shared<Tvt_WaveDest>(); }

  const WaveFilePlacer& processing() const { return placer_; }
  // The result of the last header write (S_OK, or why the file has no header).
  platform::media::HRESULT LastHeaderResult() const { return headerResult_; }

  platform::media::HRESULT CheckInputType(const platform::media::MediaType& in) override;
  // The output pin takes only the WAVE byte stream.
  platform::media::HRESULT CheckTransform(const platform::media::MediaType& in,
                                          const platform::media::MediaType& out) override;
  platform::media::HRESULT DecideBufferSize(platform::media::MemAllocator& allocator,
                                            platform::media::ALLOCATOR_PROPERTIES& request) override;
  platform::media::HRESULT GetMediaType(int position, platform::media::MediaType& type) override;
  platform::media::HRESULT StartStreaming() override;
  platform::media::HRESULT StopStreaming() override;
  // Streaming thread: bytes the downstream refused are not counted.
  platform::media::HRESULT Receive(const std::shared_ptr<platform::media::MediaSample>& sample) override;
  platform::media::HRESULT Transform(platform::media::MediaSample& in,
                                     platform::media::MediaSample& out) override;

 private:
  WaveFilePlacer placer_;
  platform::media::HRESULT headerResult_ = platform::media::S_OK;
};

}  // namespace vistrel::filters
