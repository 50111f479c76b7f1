#include "platform/media/filters/DvVideoEncoder.h"

#include <QDateTime>

namespace vistrel::platform::media {

DvVideoEncoder::DvVideoEncoder() : TransformFilter(CLSID_DVVideoEnc, QStringLiteral("DV Video Encoder")) {}

std::shared_ptr<IBaseFilter> DvVideoEncoder::create() { return std::make_shared<DvVideoEncoder>(); }

MediaType DvVideoEncoder::dvType(dv::System system) {
  const int height = system == dv::System::Pal ? 576 : 480;
  MediaType type = MediaType::video(MEDIASUBTYPE_dvsd, 720, height, 24, makeFourcc('d', 'v', 's', 'd'),
                                    system == dv::System::Pal ? 400000 : 333667);
  type.lSampleSize = static_cast<uint32_t>(dv::frameBytes(system));
  type.bFixedSizeSamples = true;
  type.bTemporalCompression = false;
  return type;
}

HRESULT DvVideoEncoder::put_IFormatResolution(int videoFormat, int dvFormat, int resolution, bool,
                                              const DVINFO*) {
  if (videoFormat != DVENCODERVIDEOFORMAT_PAL && videoFormat != DVENCODERVIDEOFORMAT_NTSC)
    return E_INVALIDARG;
  if (dvFormat != DVENCODERFORMAT_DVSD || resolution != DVENCODERRESOLUTION_720x480) return E_INVALIDARG;
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  system_ = videoFormat == DVENCODERVIDEOFORMAT_PAL ? dv::System::Pal : dv::System::Ntsc;
  return S_OK;
}

HRESULT DvVideoEncoder::get_IFormatResolution(int* videoFormat, int* dvFormat, int* resolution, bool,
                                              DVINFO*) {
  if (videoFormat)
    *videoFormat = system_ == dv::System::Pal ? DVENCODERVIDEOFORMAT_PAL : DVENCODERVIDEOFORMAT_NTSC;
  if (dvFormat) *dvFormat = DVENCODERFORMAT_DVSD;
  if (resolution) *resolution = DVENCODERRESOLUTION_720x480;
  return S_OK;
}

HRESULT DvVideoEncoder::CheckInputType(const MediaType& in) {
  if (in.majortype != MEDIATYPE_Video || in.subtype != MEDIASUBTYPE_RGB24) return VFW_E_TYPE_NOT_ACCEPTED;
  const auto bmi = in.bitmapHeader();
  // Capture pictures are bottom-up (positive height).
  if (!bmi || bmi->biWidth <= 0 || bmi->biHeight <= 0 || bmi->biBitCount != 24)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT DvVideoEncoder::CheckTransform(const MediaType& in, const MediaType& out) {
  if (FAILED(CheckInputType(in))) return VFW_E_TYPE_NOT_ACCEPTED;
  return out.matches(dvType(system_)) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DvVideoEncoder::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0 || !inputPin()->isConnected()) return VFW_S_NO_MORE_ITEMS;
  type = dvType(system_);
  return S_OK;
}

HRESULT DvVideoEncoder::DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) {
  request.cBuffers = std::max<int32_t>(request.cBuffers, 4);
  request.cbBuffer = static_cast<int32_t>(dv::frameBytes(system_));
  ALLOCATOR_PROPERTIES actual;
  const HRESULT hr = allocator.SetProperties(request, actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request.cbBuffer ? E_FAIL : S_OK;
}

HRESULT DvVideoEncoder::StartStreaming() {
  frameNumber_ = 0;
  return encoder_.open(system_) ? S_OK : E_FAIL;
}

HRESULT DvVideoEncoder::Transform(MediaSample& in, MediaSample& out) {
  const auto bmi = inputPin()->currentMediaType().bitmapHeader();
  if (!bmi) return E_UNEXPECTED;
  const int height = bmi->biHeight;
  const int stride = static_cast<int>(dibRowBytes(bmi->biWidth, 24));
  if (in.GetActualDataLength() < stride * height) return S_FALSE;  // a short picture is dropped
  const size_t bytes = dv::frameBytes(system_);
  if (out.GetSize() < static_cast<int32_t>(bytes)) return E_FAIL;
  std::span<uint8_t> frame(out.data(), bytes);
  const dv::RgbPicture picture{in.data(), bmi->biWidth, height, stride};
  if (!encoder_.encode(picture, frame)) return S_FALSE;
  dv::writeTimeCode(frame, system_, dv::timeCodeOfFrame(frameNumber_++, system_));
  const QDateTime now = QDateTime::currentDateTime();
  dv::writeRecordingDateTime(frame, system_,
                             {now.date().year(), now.date().month(), now.date().day(), now.time().hour(),
                              now.time().minute(), now.time().second()});
  dv::writeAspect(frame, system_, false);
  out.SetActualDataLength(static_cast<int32_t>(bytes));
  out.SetSyncPoint(true);
  return S_OK;
}

}  // namespace vistrel::platform::media
