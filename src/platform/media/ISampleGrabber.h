#pragma once

#include <memory>
#include <vector>

#include "platform/media/MediaSample.h"
#include "platform/media/MediaType.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Called on the streaming thread; must not wait for the user interface.
class ISampleGrabberCB : public virtual Unknown {
 public:
  virtual HRESULT SampleCB(double sampleTime, const std::shared_ptr<MediaSample>& sample) = 0;
  virtual HRESULT BufferCB(double sampleTime, const uint8_t* buffer, int32_t length) = 0;
};

class ISampleGrabber : public virtual Unknown {
 public:
  virtual HRESULT SetOneShot(bool oneShot) = 0;
  // The type the input accepts: a partial type acts with wildcards.
  virtual HRESULT SetMediaType(const MediaType& type) = 0;
  virtual HRESULT GetConnectedMediaType(MediaType& type) = 0;
  virtual HRESULT SetBufferSamples(bool buffer) = 0;
  // The last buffered sample: E_INVALIDARG-free, VFW_E_WRONG_STATE when nothing is buffered.
  virtual HRESULT GetCurrentBuffer(std::vector<uint8_t>& bytes) = 0;
  // which: 0 = SampleCB, 1 = BufferCB.
  virtual HRESULT SetCallback(const std::shared_ptr<ISampleGrabberCB>& callback, int32_t which) = 0;
};

}  // namespace vistrel::platform::media
