#pragma once
// ACM Wrapper: PCM in, PCM out at another rate, channel count or sample size (8 or 16 bits, 1 or
// 2 channels, 8 000 to 192 000 Hz). Pin 0 is the input, pin 1 the output; the output carries
// IAMStreamConfig. SetFormat before the output connects fixes the one type it offers; on a
// connected output (graph stopped) the output reconnects to its peer with the new type, and keeps
// the old one when the peer refuses. The conversion reads only the rate, channel count and bits
// of each block: a block whose alignment or byte rate disagree with them is taken as given.
//
// Threads: Receive runs on the upstream streaming thread and may wait for a free output buffer
// (the downstream pool), never for the user interface. Everything else runs on the user-interface
// thread with the filter stopped.

#include "platform/media/BaseFilter.h"
#include "platform/media/MediaSample.h"
#include "platform/media/filters/AudioResampler.h"

namespace vistrel::platform::media {

class AcmWrapper : public BaseFilter {
 public:
  AcmWrapper();
  static std::shared_ptr<IBaseFilter> create();

  // PCM the converter handles, on either side.
  static bool acceptsFormat(const MediaType& type);
  // The types the output proposes after the input's own, best first.
  static std::vector<MediaType> commonFormats();

  // Upstream streaming thread.
  HRESULT convert(const MediaSample& in);

 protected:
  HRESULT onPause() override;
  HRESULT onStop() override;

 private:
  class InputPin;
  class OutputPin;
  OutputPin* output() const;

  AudioResampler resampler_;
  WAVEFORMATEX in_{}, out_{};
  bool ready_ = false;  // streaming thread once running; set while stopped
};

}  // namespace vistrel::platform::media
