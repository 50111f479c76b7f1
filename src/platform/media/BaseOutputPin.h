#pragma once
// An output pin: negotiates the connection and the allocator, and delivers samples to its peer
// on the streaming thread of its filter.

#include "platform/media/BasePin.h"
#include "platform/media/IMemInputPin.h"
#include "platform/media/MemAllocator.h"

namespace vistrel::platform::media {

class BaseOutputPin : public BasePin {
 public:
  BaseOutputPin(BaseFilter* filter, QString name, const GUID& category = GUID_NULL);

  HRESULT Connect(const std::shared_ptr<IPin>& receivePin, const MediaType* type) override;
  HRESULT ReceiveConnection(const std::shared_ptr<IPin>& connector, const MediaType& type) override;

  // Sets the allocator's properties for this connection (called once the type is fixed).
  virtual HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) = 0;

  // Streaming thread. A new sample from this connection's pool; AM_GBF_NOWAIT never blocks.
  HRESULT GetDeliveryBuffer(std::shared_ptr<MediaSample>& sample, uint32_t flags = 0);
  // Streaming thread. Hands the sample to the peer's Receive; VFW_E_NOT_CONNECTED without one.
  HRESULT Deliver(const std::shared_ptr<MediaSample>& sample);
  const std::shared_ptr<MemAllocator>& allocator() const { return allocator_; }
  const std::shared_ptr<IMemInputPin>& connectedInput() const { return input_; }

  HRESULT CompleteConnect(const std::shared_ptr<IPin>& peer) override;
  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;

 protected:
  // Tries one complete type: our check, the peer's acceptance, then the allocator.
  HRESULT attemptConnection(const std::shared_ptr<IPin>& receivePin, const MediaType& type);

  std::shared_ptr<MemAllocator> allocator_;
  std::shared_ptr<IMemInputPin> input_;
};

}  // namespace vistrel::platform::media
