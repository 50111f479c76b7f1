#pragma once
// An input pin: accepts connections, owns the connection's default allocator and receives
// samples on the upstream streaming thread.

#include <atomic>

#include "platform/media/BasePin.h"
#include "platform/media/IMemInputPin.h"

namespace vistrel::platform::media {

class BaseInputPin : public BasePin, public IMemInputPin {
 public:
  BaseInputPin(BaseFilter* filter, QString name, const GUID& category = GUID_NULL);

  HRESULT Connect(const std::shared_ptr<IPin>& receivePin, const MediaType* type) override;
  HRESULT ReceiveConnection(const std::shared_ptr<IPin>& connector, const MediaType& type) override;

  HRESULT GetAllocator(std::shared_ptr<MemAllocator>& allocator) override;
  HRESULT NotifyAllocator(const std::shared_ptr<MemAllocator>& allocator, bool readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES& props) override;
  // Streaming thread. The base checks the state and hands the sample to receiveSample.
  HRESULT Receive(const std::shared_ptr<MediaSample>& sample) override;
  HRESULT ReceiveCanBlock() override { return S_FALSE; }

  HRESULT BreakConnect() override;
  const std::shared_ptr<MemAllocator>& allocator() const { return allocator_; }
  bool readOnly() const { return readOnly_; }

 protected:
  // The filter's processing of one sample (streaming thread).
  virtual HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) = 0;

  std::shared_ptr<MemAllocator> allocator_;
  bool readOnly_ = false;
};

}  // namespace vistrel::platform::media
