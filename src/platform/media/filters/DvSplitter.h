#pragma once
// DV Splitter: interleaved DV in; when its input connects it creates a video output (dvsd) and
// one PCM output per sound stream the input's DV information block announces (0 to 2; 48 000,
// 44 100 or 32 000 Hz, 12-bit sound delivered as 16-bit). Pins: the input, then the outputs,
// which go away when the input disconnects. A frame that cannot be taken apart is dropped and
// counted. Receive runs on the upstream streaming thread.

#include <atomic>
#include <mutex>

#include "platform/media/BaseFilter.h"
#include "platform/media/MediaSample.h"
#include "platform/media/dv/DvInterleave.h"

namespace vistrel::platform::media {

constexpr GUID CLSID_DVSplitter = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0103}");

class DvSplitter : public BaseFilter {
 public:
  DvSplitter();
  static std::shared_ptr<IBaseFilter> create();

  void pinConnected(BasePin& pin) override;
  void pinDisconnected(BasePin& pin) override;

  // Streaming thread.
  HRESULT split(const MediaSample& sample);
  int64_t framesDropped() const { return dropped_.load(); }
  // The sound streams an input type announces: sample rates, 0 to 2 of them.
  static std::vector<int> announcedAudio(const MediaType& input);

 private:
  dv::DvSplitter splitter_;
  dv::SplitFrame parts_;
  std::atomic<int64_t> dropped_{0};
};

}  // namespace vistrel::platform::media
