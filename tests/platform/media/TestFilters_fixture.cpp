#include "platform/media/TestFilters.h"

#include <cstring>

namespace vistrel::testing {

namespace {
class PushPin : public BaseOutputPin {
 public:
  explicit PushPin(PushSource* f) : BaseOutputPin(f, QStringLiteral("Out")), src_(f) {}
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
  PushSource* src_;
};

class SinkPin : public BaseInputPin {
 public:
  explicit SinkPin(RecordingSink* f) : BaseInputPin(f, QStringLiteral("In")), sink_(f) {}
  HRESULT CheckMediaType(const MediaType& t) override {
    if (!sink_->accepted) return S_OK;
    return t.matches(*sink_->accepted) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int pos, MediaType& t) override {
    if (pos < 0 || pos >= static_cast<int>(sink_->proposed.size())) return VFW_S_NO_MORE_ITEMS;
    t = sink_->proposed[static_cast<size_t>(pos)];
    return S_OK;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& s) override {
    sink_->record(*s);
    return S_OK;
  }

 private:
  RecordingSink* sink_;
};

const GUID kTestClsid = makeGuid("{11111111-2222-3333-4444-555555555555}");
}  // namespace

PushSource::PushSource(std::vector<MediaType> types, int32_t size, StopLog* log, std::string tag)
    : BaseFilter(kTestClsid, QStringLiteral("Push source")),
      offered(std::move(types)),
      bufferSize(size),
      log_(log),
      tag_(std::move(tag)) {
  addPin(std::make_shared<PushPin>(this));
}

HRESULT PushSource::push(const std::vector<uint8_t>& bytes, REFERENCE_TIME start) {
  std::shared_ptr<MediaSample> s;
  HRESULT hr = out()->GetDeliveryBuffer(s, AM_GBF_NOWAIT);
  if (FAILED(hr)) return hr;
  hr = s->SetActualDataLength(static_cast<int32_t>(bytes.size()));
  if (FAILED(hr)) return hr;
  if (!bytes.empty()) std::memcpy(s->data(), bytes.data(), bytes.size());
  if (start >= 0) {
    REFERENCE_TIME stop = start + 1;
    s->SetTime(&start, &stop);
  }
  s->SetSyncPoint(true);
  return out()->Deliver(s);
}

HRESULT PushSource::onStop() {
  if (log_) log_->add(tag_);
  return S_OK;
}

RecordingSink::RecordingSink(std::optional<MediaType> acc, StopLog* log, std::string tag)
    : BaseFilter(kTestClsid, QStringLiteral("Recording sink")),
      accepted(std::move(acc)),
      log_(log),
      tag_(std::move(tag)) {
  addPin(std::make_shared<SinkPin>(this));
}

void RecordingSink::record(const MediaSample& s) {
  ReceivedSample r;
  r.bytes.assign(s.data(), s.data() + s.GetActualDataLength());
  r.pointer = s.data();
  r.hasTime = SUCCEEDED(s.GetTime(&r.start, nullptr));
  r.sync = s.IsSyncPoint() == S_OK;
  std::lock_guard g(lock_);
  received_.push_back(std::move(r));
}

std::vector<ReceivedSample> RecordingSink::received() {
  std::lock_guard g(lock_);
  return received_;
}

HRESULT RecordingSink::onStop() {
  if (log_) log_->add(tag_);
  return S_OK;
}

}  // namespace vistrel::testing
