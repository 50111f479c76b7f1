#pragma once
// Infinite Pin Tee. Pin 0 is the input; outputs follow, and there is always exactly one
// unconnected output at the end, which offers the input's type. Connecting that spare adds a new
// spare. Disconnecting an output keeps the pin where it is (its index and identity do not change,
// so it can be connected again); trailing unconnected outputs are then trimmed to one.
// Each sample goes to every connected output as its own sample object over the shared buffer:
// no frame is copied, and a branch that changes times or flags, or drops, affects no other.

#include "platform/media/BaseFilter.h"
#include "platform/media/MediaSample.h"

namespace vistrel::platform::media {

class InfTee : public BaseFilter {
 public:
  InfTee();
  static std::shared_ptr<IBaseFilter> create();

  void pinConnected(BasePin& pin) override;
  void pinDisconnected(BasePin& pin) override;

  // Streaming thread: the input's Receive.
  HRESULT deliverToBranches(const std::shared_ptr<MediaSample>& sample);
  const MediaType* inputType() const;

 private:
  void addSpare();
  void trimSpares();
  int nextOutputNumber_ = 1;
};

}  // namespace vistrel::platform::media
