#include "platform/media/filters/TestSource.h"

#include <cstring>

namespace vistrel::testing {

namespace {
class SourcePin : public BaseOutputPin {
 public:
  explicit SourcePin(TestSource* f) : BaseOutputPin(f, QStringLiteral("Out")), src_(f) {}
  HRESULT CheckMediaType(const MediaType& t) override {
    for (auto& o : src_->offered)
      if (o == t) return S_OK;
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int pos, MediaType& t) override {
    if (pos < 0) return E_INVALIDARG;
    if (pos >= static_cast<int>(src_->offered.size())) return VFW_S_NO_MORE_ITEMS;
    t = src_->offered[static_cast<size_t>(pos)];
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& a, ALLOCATOR_PROPERTIES& req) override {
    ALLOCATOR_PROPERTIES want = req, got;
    want.cBuffers = 4;
    want.cbBuffer = src_->bufferSize;
    return a.SetProperties(want, got);
  }

 private:
  TestSource* src_;
};

class SinkPin : public BaseInputPin {
 public:
  explicit SinkPin(TestSink* f) : BaseInputPin(f, QStringLiteral("In")), sink_(f) {}
  HRESULT CheckMediaType(const MediaType& t) override {
    return !sink_->accepts || sink_->accepts(t) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& s) override {
    sink_->record(*s);
    return S_OK;
  }

 private:
  TestSink* sink_;
};
}  // namespace

TestSink::TestSink(std::function<bool(const MediaType&)> a)
    : BaseFilter(makeGuid("{5E572222-2222-3333-4444-555555555555}"), QStringLiteral("Test sink")),
      accepts(std::move(a)) {
  addPin(std::make_shared<SinkPin>(this));
}

std::vector<SinkSample> TestSink::received() {
  std::lock_guard g(lock_);
  return received_;
}

void TestSink::record(const MediaSample& s) {
  if (onReceive) onReceive();
  SinkSample r;
  r.bytes.assign(s.data(), s.data() + s.GetActualDataLength());
  r.timed = SUCCEEDED(s.GetTime(&r.start, &r.stop));
  std::lock_guard g(lock_);
  received_.push_back(std::move(r));
}

TestSource::TestSource(std::vector<MediaType> types, int32_t size)
    : BaseFilter(makeGuid("{5E571111-2222-3333-4444-555555555555}"), QStringLiteral("Test source")),
      offered(std::move(types)),
      bufferSize(size) {
  addPin(std::make_shared<SourcePin>(this));
}

HRESULT TestSource::push(const std::vector<uint8_t>& bytes, std::optional<REFERENCE_TIME> start,
                         std::optional<REFERENCE_TIME> stop, const MediaType* changed) {
  std::shared_ptr<MediaSample> s;
  HRESULT hr = out()->GetDeliveryBuffer(s, AM_GBF_NOWAIT);
  if (FAILED(hr)) return hr;
  hr = s->SetActualDataLength(static_cast<int32_t>(bytes.size()));
  if (FAILED(hr)) return hr;
  if (!bytes.empty()) std::memcpy(s->data(), bytes.data(), bytes.size());
  if (start) {
    REFERENCE_TIME b = *start, e = stop.value_or(*start);
    s->SetTime(&b, stop ? &e : nullptr);
  }
  if (changed) s->SetMediaType(changed);
  return out()->Deliver(s);
}

}  // namespace vistrel::testing
