#include "platform/devices/virtual/FrameSink.h"

#include <chrono>

namespace vistrel::testing {

using namespace vistrel::platform::media;

namespace {
class SinkInput : public BaseInputPin {
 public:
  explicit SinkInput(FrameSink* f) : BaseInputPin(f, QStringLiteral("In")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return owner_->accepted().isNull() || type.subtype == owner_->accepted() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    SinkSample s;
    s.bytes.assign(sample->data(), sample->data() + sample->GetActualDataLength());
    sample->GetTime(&s.start, &s.stop);
    owner_->add(std::move(s));
    return S_OK;
  }

 private:
  FrameSink* owner_;
};
}  // namespace

FrameSink::FrameSink(const GUID& subtype)
    : BaseFilter(CLSID_NullRenderer, QStringLiteral("Frame Sink")), accepted_(subtype) {
  addPin(std::make_shared<SinkInput>(this));
}

void FrameSink::add(SinkSample s) {
  {
    std::lock_guard g(lock_);
    samples_.push_back(std::move(s));
  }
  arrived_.notify_all();
}

bool FrameSink::waitFor(size_t n) {
  std::unique_lock g(lock_);
  return arrived_.wait_for(g, std::chrono::seconds(20), [&] { return samples_.size() >= n; });
}

std::vector<SinkSample> FrameSink::samples() {
  std::lock_guard g(lock_);
  return samples_;
}

size_t FrameSink::count() {
  std::lock_guard g(lock_);
  return samples_.size();
}

}  // namespace vistrel::testing
