#pragma once
// DV Muxer: a dvsd video input and a PCM sound input (stereo 16-bit, 48 000, 44 100 or 32 000
// Hz) in, interleaved DV out, the sound written into the frames' audio blocks (as 16-bit, or as
// 12-bit at 32 000 Hz when asked). Pins: the inputs first, the output last; the program asks
// for the output by its direction. Without a connected sound input the frames go out as they
// come. The inputs run on their own streaming threads; a frame leaves, on whichever thread
// completed it, once its video and the sound of its duration have arrived, or after waiting a
// second for sound that does not come (with the sound there is, the rest silent): no picture is
// ever dropped, and the frames still waiting when the graph stops go out in its first stop phase.
// The frames' subcode and VAUX packs (time code, recording date) are left as the encoder wrote
// them. The lock guards the muxing only: frames are delivered after it is released.

#include <mutex>

#include "platform/media/BaseFilter.h"
#include "platform/media/IDVEnc.h"
#include "platform/media/MediaSample.h"
#include "platform/media/dv/DvInterleave.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_DVMux = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0104}");

class DvMuxer : public BaseFilter {
 public:
  DvMuxer();
  static std::shared_ptr<IBaseFilter> create();

  // How 32 000 Hz sound is written, 16 (the default) or 12 bits; taken when the graph pauses.
  // Other values, and 12 with another rate, write 16-bit.
  void setAudioBits(int bits);

  // The information block the output announces: the video system, and the sound of the
  // connected sound input (none without one), so that a splitter downstream and the AVI Mux see
  // what the frames hold.
  DVINFO outputInfo();

  // Streaming threads of the two inputs.
  HRESULT addVideo(const MediaSample& sample);
  HRESULT addAudio(const MediaSample& sample);

  // The graph's first stop phase, upstream halted: the waiting frames go out.
  void haltStreaming() override;

 protected:
  HRESULT onPause() override;
  HRESULT onStop() override;

 private:
  struct Timed {
    std::vector<uint8_t> frame;
    REFERENCE_TIME start, stop;
  };
  // Under the lock: the frames the muxer completed, with their times.
  std::vector<Timed> takeTimed();
  void deliver(const std::vector<Timed>& frames);

  std::mutex lock_;
  dv::DvMuxer muxer_;
  dv::System system_ = dv::System::Pal;
  REFERENCE_TIME frameDuration_ = 400000;
  int64_t delivered_ = 0;
  REFERENCE_TIME firstStart_ = -1;
  int audioBits_ = 16;
};

}  // namespace vistrel::platform::media
