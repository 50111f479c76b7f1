#pragma once
// The copy-transform base: one input and one output pin; each input sample is transformed into a
// separate output sample from the output connection's pool. A filter supplies only the type
// checks, the output type, the buffer size and Transform; the base does the negotiation, copies
// the input sample's properties to the output sample before Transform, and delivers the output
// when Transform answers S_OK (S_FALSE drops it).
//
// Threads: Receive and Transform run on the upstream filter's streaming thread; everything else
// on the user-interface thread with the filter stopped. Receive may block waiting for a free
// output buffer (the downstream pool), never for the user interface.

#include "platform/media/BaseFilter.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::platform::media {

class TransformFilter : public BaseFilter {
 public:
  TransformFilter(const GUID& clsid, QString name);

  // Supplied by the filter.
  virtual HRESULT CheckInputType(const MediaType& in) = 0;
  virtual HRESULT CheckTransform(const MediaType& in, const MediaType& out) = 0;
  virtual HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) = 0;
  // Position 0 is the output type; E_INVALIDARG below 0, VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetMediaType(int position, MediaType& type) = 0;
  // S_OK delivers the output sample, S_FALSE drops it, an error stops the stream.
  virtual HRESULT Transform(MediaSample& in, MediaSample& out) = 0;

  // Optional overrides.
  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }
  // A pin's media type was set (connection).
  virtual HRESULT SetMediaType(PIN_DIRECTION, const MediaType&) { return S_OK; }
  virtual HRESULT CompleteConnect(PIN_DIRECTION, const std::shared_ptr<IPin>&) { return S_OK; }
  virtual HRESULT BreakConnect(PIN_DIRECTION) { return S_OK; }
  // The receive step: the default takes an output buffer, copies the properties, transforms and
  // delivers. Overrides wrap it (call TransformFilter::Receive).
  virtual HRESULT Receive(const std::shared_ptr<MediaSample>& sample);

  BaseInputPin* inputPin() const;
  BaseOutputPin* outputPin() const;

 protected:
  HRESULT onPause() override { return StartStreaming(); }
  HRESULT onStop() override { return StopStreaming(); }
};

}  // namespace vistrel::platform::media
