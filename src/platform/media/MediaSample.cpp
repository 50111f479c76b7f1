#include "platform/media/MediaSample.h"

namespace vistrel::platform::media {

MediaSample::MediaSample(std::shared_ptr<SampleBuffer> buffer) : buffer_(std::move(buffer)) {}

std::shared_ptr<MediaSample> MediaSample::create(int32_t size) {
  auto storage =
      std::make_shared<std::vector<uint8_t>>(static_cast<size_t>(size > 0 ? size : 0) + kSampleTailSlack);
  // The buffer object keeps the storage alive through its deleter.
  auto* raw = new SampleBuffer(storage->data(), size > 0 ? size : 0);
  std::shared_ptr<SampleBuffer> buffer(raw, [storage](SampleBuffer* b) { delete b; });
  return std::make_shared<MediaSample>(std::move(buffer));
}

std::shared_ptr<MediaSample> MediaSample::shareBuffer() const {
  auto copy = std::make_shared<MediaSample>(buffer_);
  copy->copyPropertiesFrom(*this);
  return copy;
}

HRESULT MediaSample::GetPointer(uint8_t** buffer) const {
  if (!buffer) return E_POINTER;
  *buffer = buffer_->data();
  return S_OK;
}

HRESULT MediaSample::SetActualDataLength(int32_t length) {
  if (length < 0 || length > buffer_->size()) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) const {
  if (!hasStart_) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (start) *start = start_;
  if (!hasStop_) {
    if (stop) *stop = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  if (stop) *stop = stop_;
  return S_OK;
}

HRESULT MediaSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
  hasStart_ = start != nullptr;
  hasStop_ = hasStart_ && stop != nullptr;
  start_ = hasStart_ ? *start : 0;
  stop_ = hasStop_ ? *stop : 0;
  return S_OK;
}

HRESULT MediaSample::GetMediaTime(int64_t* start, int64_t* stop) const {
  if (!hasMediaStart_) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (start) *start = mediaStart_;
  if (stop) *stop = hasMediaStop_ ? mediaStop_ : mediaStart_ + 1;
  return S_OK;
}

HRESULT MediaSample::SetMediaTime(const int64_t* start, const int64_t* stop) {
  hasMediaStart_ = start != nullptr;
  hasMediaStop_ = hasMediaStart_ && stop != nullptr;
  mediaStart_ = hasMediaStart_ ? *start : 0;
  mediaStop_ = hasMediaStop_ ? *stop : 0;
  return S_OK;
}

HRESULT MediaSample::GetMediaType(std::optional<MediaType>& type) const {
  type = type_;
  return type_ ? S_OK : S_FALSE;
}

HRESULT MediaSample::SetMediaType(const MediaType* type) {
  if (type)
    type_ = *type;
  else
    type_.reset();
  return S_OK;
}

void MediaSample::copyPropertiesFrom(const MediaSample& o) {
  actual_ = o.actual_ <= buffer_->size() ? o.actual_ : buffer_->size();
  hasStart_ = o.hasStart_;
  hasStop_ = o.hasStop_;
  start_ = o.start_;
  stop_ = o.stop_;
  hasMediaStart_ = o.hasMediaStart_;
  hasMediaStop_ = o.hasMediaStop_;
  mediaStart_ = o.mediaStart_;
  mediaStop_ = o.mediaStop_;
  sync_ = o.sync_;
  preroll_ = o.preroll_;
  discontinuity_ = o.discontinuity_;
  type_ = o.type_;
}

}  // namespace vistrel::platform::media
