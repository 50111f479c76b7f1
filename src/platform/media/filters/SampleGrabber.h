#pragma once
// Sample Grabber: a pass-through whose input accepts only the type set with SetMediaType (a
// partial type acts with wildcards); it can buffer the last sample and call a callback on the
// streaming thread. Used as a probe sink and as a frame tap.

#include <mutex>

#include "platform/media/ISampleGrabber.h"
#include "platform/media/TransInPlaceFilter.h"

namespace vistrel::platform::media {

class SampleGrabber : public TransInPlaceFilter, public ISampleGrabber {
 public:
  SampleGrabber();
  static std::shared_ptr<IBaseFilter> create();

  HRESULT CheckInputType(const MediaType& in) override;
  HRESULT Transform(MediaSample& sample) override;

  HRESULT SetOneShot(bool oneShot) override;
  HRESULT SetMediaType(const MediaType& type) override;
  HRESULT GetConnectedMediaType(MediaType& type) override;
  HRESULT SetBufferSamples(bool buffer) override;
  HRESULT GetCurrentBuffer(std::vector<uint8_t>& bytes) override;
  HRESULT SetCallback(const std::shared_ptr<ISampleGrabberCB>& callback, int32_t which) override;

 private:
  std::mutex lock_;
  std::optional<MediaType> accepted_;
  bool oneShot_ = false;
  bool bufferSamples_ = false;
  bool shotTaken_ = false;
  std::vector<uint8_t> buffer_;
  bool hasBuffer_ = false;
  std::shared_ptr<ISampleGrabberCB> callback_;
  int32_t which_ = 0;
};

}  // namespace vistrel::platform::media
