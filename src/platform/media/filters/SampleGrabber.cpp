#include "platform/media/filters/SampleGrabber.h"

namespace vistrel::platform::media {

SampleGrabber::SampleGrabber()
    : TransInPlaceFilter(CLSID_SampleGrabber, QStringLiteral("SampleGrabber"), false) {}

std::shared_ptr<IBaseFilter> SampleGrabber::create() { return std::make_shared<SampleGrabber>(); }

HRESULT SampleGrabber::CheckInputType(const MediaType& in) {
  std::lock_guard g(lock_);
  if (!accepted_) return S_OK;
  return in.matches(*accepted_) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SampleGrabber::Transform(MediaSample& sample) {
  std::shared_ptr<ISampleGrabberCB> cb;
  int32_t which;
  {
    std::lock_guard g(lock_);
    if (oneShot_ && shotTaken_) return S_FALSE;
    shotTaken_ = true;
    if (bufferSamples_) {
      buffer_.assign(sample.data(), sample.data() + sample.GetActualDataLength());
      hasBuffer_ = true;
    }
    cb = callback_;
    which = which_;
  }
  if (cb) {
    REFERENCE_TIME start = 0, stop = 0;
    sample.GetTime(&start, &stop);
    const double t = static_cast<double>(start) / UNITS;
    if (which == 0) {
      auto self = std::dynamic_pointer_cast<MediaSample>(sample.weak_from_this().lock());
      if (self) cb->SampleCB(t, self);
    } else {
      cb->BufferCB(t, sample.data(), sample.GetActualDataLength());
    }
  }
  return S_OK;
}

HRESULT SampleGrabber::SetOneShot(bool oneShot) {
  std::lock_guard g(lock_);
  oneShot_ = oneShot;
  shotTaken_ = false;
  return S_OK;
}

HRESULT SampleGrabber::SetMediaType(const MediaType& type) {
  std::lock_guard g(lock_);
  accepted_ = type;
  return S_OK;
}

HRESULT SampleGrabber::GetConnectedMediaType(MediaType& type) {
  return inputPin()->ConnectionMediaType(type);
}

HRESULT SampleGrabber::SetBufferSamples(bool buffer) {
  std::lock_guard g(lock_);
  bufferSamples_ = buffer;
  return S_OK;
}

HRESULT SampleGrabber::GetCurrentBuffer(std::vector<uint8_t>& bytes) {
  std::lock_guard g(lock_);
  if (!hasBuffer_) return VFW_E_WRONG_STATE;
  bytes = buffer_;
  return S_OK;
}

HRESULT SampleGrabber::SetCallback(const std::shared_ptr<ISampleGrabberCB>& callback, int32_t which) {
  if (which != 0 && which != 1) return E_INVALIDARG;
  std::lock_guard g(lock_);
  callback_ = callback;
  which_ = which;
  return S_OK;
}

}  // namespace vistrel::platform::media
