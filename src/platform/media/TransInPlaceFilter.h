#pragma once
// The in-place base: one input and one output pin of the same type; each sample is handed to
// Transform and passed on as the same object when Transform answers S_OK (S_FALSE drops it). A
// filter that modifies data says so at construction; it then gets a writable copy whenever the
// buffer is shared with another sample (a tee's other branches).
//
// Threads: Receive and Transform run on the upstream filter's streaming thread; everything else
// on the user-interface thread with the filter stopped.

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::platform::media {

class TransInPlaceFilter : public BaseFilter {
 public:
  TransInPlaceFilter(const GUID& clsid, QString name, bool modifiesData);

  virtual HRESULT CheckInputType(const MediaType& in) = 0;
  // S_OK passes the sample on, S_FALSE drops it, an error stops the stream.
  virtual HRESULT Transform(MediaSample& sample) = 0;

  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }
  virtual HRESULT Receive(const std::shared_ptr<MediaSample>& sample);

  bool modifiesData() const { return modifiesData_; }
  BaseInputPin* inputPin() const;
  BaseOutputPin* outputPin() const;

 protected:
  HRESULT onPause() override { return StartStreaming(); }
  HRESULT onStop() override { return StopStreaming(); }

 private:
  bool modifiesData_;
};

}  // namespace vistrel::platform::media
