#pragma once
// The common shape of our encoder filters: pin 0 the input, pin 1 the output. Unlike the copy
// transform, one input sample gives zero, one or several output samples (codecs buffer), and
// what a codec still holds is flushed once, in the graph's first stop phase while everything
// downstream still runs. Samples arriving after that flush are dropped.
//
// Threads: encode() runs on the upstream streaming thread under the filter's streaming lock,
// flush() on the user-interface thread under the same lock; the hooks about types run on the
// user-interface thread with the filter stopped.

#include <mutex>

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::platform::media {

class EncoderFilter : public BaseFilter {
 public:
  EncoderFilter(const GUID& clsid, QString name, QString inputName, QString outputName);

  BaseInputPin* inputPin() const;
  BaseOutputPin* outputPin() const;
  void haltStreaming() override;
  void pinConnected(BasePin& pin) override;
  void pinDisconnected(BasePin& pin) override;

  // Delivery of one coded unit (streaming thread, inside encode or flush).
  HRESULT deliver(const uint8_t* data, size_t size, const REFERENCE_TIME* start, const REFERENCE_TIME* stop,
                  bool sync);

  // Hooks.
  virtual HRESULT checkInputType(const MediaType& type) = 0;
  // The output types for the connected input, preferred first (VFW_S_NO_MORE_ITEMS past them).
  virtual HRESULT outputType(int position, MediaType& type) = 0;
  virtual int32_t outputBufferSize() = 0;
  // Stopped -> paused: open the codec for the connected types.
  virtual HRESULT startEncoding() = 0;
  virtual void stopEncoding() = 0;
  virtual HRESULT encode(const MediaSample& sample) = 0;
  virtual HRESULT flush() { return S_OK; }
  // The input was connected or disconnected (the output's types may change).
  virtual void inputChanged() {}

 protected:
  HRESULT onPause() override;
  HRESULT onStop() override;

  HRESULT receive(const std::shared_ptr<MediaSample>& sample);

 private:
  friend class EncoderInputPin;
  std::mutex streamLock_;
  bool flushed_ = false;
  bool streaming_ = false;
};

}  // namespace vistrel::platform::media
