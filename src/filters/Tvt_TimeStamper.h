#pragma once
// The time-stamper in the graph: an in-place filter ("Orbano vt_Timestamper") that accepts every
// type, never modifies the data and applies TimeStamper to each sample. The switches keep their
// values across runs and rebuilds.

#include "filters/TimeStamper.h"
#include "platform/media/TransInPlaceFilter.h"

namespace vistrel::filters {

constexpr platform::media::GUID CLSID_vt_Timestamper =
    platform::media::makeGuid("{E5307FC4-8823-4F58-A01D-D8C863F8BBA8}");

class Tvt_TimeStamper : public platform::media::TransInPlaceFilter {
 public:
  Tvt_TimeStamper();
  static std::shared_ptr<Tvt_TimeStamper> create() { return std::make_shared<Tvt_TimeStamper>(); }

  void SetDrop(bool drop) { processing_.SetDrop(drop); }
  // The capture freeze (see TimeStamper::Hold), at the graph's stream time now.
  void Hold(bool on) { processing_.Hold(on, streamTime()); }
  void StripTimesOn() { processing_.StripTimesOn(); }
  void PassThrough() { processing_.PassThrough(); }
  void SetTag(int32_t tag) { processing_.SetTag(tag); }
  int32_t Tag() const { return processing_.Tag(); }
  const TimeStamper& processing() const { return processing_; }

  platform::media::HRESULT CheckInputType(const platform::media::MediaType& in) override;
  // Streaming thread.
  platform::media::HRESULT Transform(platform::media::MediaSample& sample) override;

 protected:
  platform::media::HRESULT onRun(platform::media::REFERENCE_TIME start) override;

 private:
  TimeStamper processing_;
};

}  // namespace vistrel::filters
