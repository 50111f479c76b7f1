#include "platform/devices/v4l2/CollectingSink.h"

namespace vistrel::testing {

using namespace vistrel::platform::media;

namespace {
class CollectingInput : public BaseInputPin {
 public:
  explicit CollectingInput(CollectingSink* f) : BaseInputPin(f, QStringLiteral("In")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType&) override { return S_OK; }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    CollectedSample s;
    s.bytes.assign(sample->data(), sample->data() + sample->GetActualDataLength());
    sample->GetTime(&s.start, &s.stop);
    owner_->add(std::move(s));
    return S_OK;
  }

 private:
  CollectingSink* owner_;
};
}  // namespace

CollectingSink::CollectingSink() : BaseFilter(CLSID_NullRenderer, QStringLiteral("Collecting Sink")) {
  addPin(std::make_shared<CollectingInput>(this));
}

void CollectingSink::add(CollectedSample s) {
  {
    std::lock_guard g(lock_);
    samples_.push_back(std::move(s));
  }
  arrived_.notify_all();
}

bool CollectingSink::waitFor(size_t n) {
  std::unique_lock g(lock_);
  return arrived_.wait_for(g, std::chrono::seconds(10), [&] { return samples_.size() >= n; });
}

std::vector<CollectedSample> CollectingSink::samples() {
  std::lock_guard g(lock_);
  return samples_;
}

}  // namespace vistrel::testing
