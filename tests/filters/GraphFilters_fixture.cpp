#include "filters/GraphFilters.h"

#include <cstring>

namespace vistrel::filters::testing {
namespace {

const GUID kFixtureClsid = makeGuid("{0F117E25-7E57-4000-8000-000000000001}");

class FeedPin : public BaseOutputPin {
 public:
  explicit FeedPin(FeedSource* f) : BaseOutputPin(f, QStringLiteral("Out")), source_(f) {}
  HRESULT CheckMediaType(const MediaType& t) override {
    return t == source_->type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& t) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    t = source_->type;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    ALLOCATOR_PROPERTIES want = request, got;
    want.cBuffers = source_->buffers;
    want.cbBuffer = source_->bufferSize;
    want.cbAlign = 1;
    return allocator.SetProperties(want, got);
  }

 private:
  FeedSource* source_;
};

class KeepPin : public BaseInputPin {
 public:
  explicit KeepPin(KeepSink* f) : BaseInputPin(f, QStringLiteral("In")), sink_(f) {}
  HRESULT CheckMediaType(const MediaType& t) override {
    return t.majortype.isNull() ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override { return sink_->take(*sample); }

 private:
  KeepSink* sink_;
};

}  // namespace

FeedSource::FeedSource(MediaType t, int32_t size, int32_t count)
    : BaseFilter(kFixtureClsid, QStringLiteral("Feed source")),
      type(std::move(t)),
      bufferSize(size),
      buffers(count) {
  addPin(std::make_shared<FeedPin>(this));
}

HRESULT FeedSource::push(const std::vector<uint8_t>& bytes, std::optional<REFERENCE_TIME> start,
                         const MediaType* changed) {
  std::shared_ptr<MediaSample> sample;
  HRESULT hr = out()->GetDeliveryBuffer(sample, AM_GBF_NOWAIT);
  if (FAILED(hr)) return hr;
  hr = sample->SetActualDataLength(static_cast<int32_t>(bytes.size()));
  if (FAILED(hr)) return hr;
  if (!bytes.empty()) std::memcpy(sample->data(), bytes.data(), bytes.size());
  if (start) {
    REFERENCE_TIME s = *start, e = *start + 400'000;
    sample->SetTime(&s, &e);
  }
  if (changed) sample->SetMediaType(changed);
  return out()->Deliver(sample);
}

KeepSink::KeepSink() : BaseFilter(kFixtureClsid, QStringLiteral("Keep sink")) {
  addPin(std::make_shared<KeepPin>(this));
}

HRESULT KeepSink::take(const MediaSample& sample) {
  Received r;
  r.bytes.assign(sample.data(), sample.data() + sample.GetActualDataLength());
  REFERENCE_TIME start = 0, stop = 0;
  if (sample.GetTime(&start, &stop) == S_OK) r.time = std::pair{start, stop};
  int64_t ms = 0, me = 0;
  if (sample.GetMediaTime(&ms, &me) == S_OK) r.mediaTime = std::pair{ms, me};
  r.sync = sample.IsSyncPoint() == S_OK;
  r.discontinuity = sample.IsDiscontinuity() == S_OK;
  std::optional<MediaType> changed;
  if (sample.GetMediaType(changed) == S_OK) r.changed = changed;
  std::lock_guard g(lock_);
  const HRESULT answer = refuse_;
  refuse_ = S_OK;
  if (answer == S_OK) received_.push_back(std::move(r));
  return answer;
}

std::vector<Received> KeepSink::received() {
  std::lock_guard g(lock_);
  return received_;
}

}  // namespace vistrel::filters::testing
