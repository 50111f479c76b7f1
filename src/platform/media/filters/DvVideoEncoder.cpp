#include "platform/media/filters/DvVideoEncoder.h"

#include <QDateTime>

#include "platform/media/filters/DvInfo.h"

namespace vistrel::platform::media {

DvVideoEncoder::DvVideoEncoder() : TransformFilter(CLSID_DVVideoEnc, QStringLiteral("DV Video Encoder")) {}

std::shared_ptr<IBaseFilter> DvVideoEncoder::create() { return std::make_shared<DvVideoEncoder>(); }

DVINFO DvVideoEncoder::frameInfo(dv::System system) {
  static const auto infoOf = [](dv::System of) {
    const int height = of == dv::System::Pal ? 576 : 480;
    const std::vector<uint8_t> grey(static_cast<size_t>(720 * 3 * height), 0x80);
    std::vector<uint8_t> frame(dv::frameBytes(of), 0xFF);
    dv::DvEncoder encoder;
    if (encoder.open(of) && encoder.encode({grey.data(), 720, height, 720 * 3}, frame))
      dv::writeAspect(frame, of, false);  // as Transform leaves every frame
    return dvInfoOfFrame(frame, of);
  };
  static const DVINFO pal = infoOf(dv::System::Pal), ntsc = infoOf(dv::System::Ntsc);
  return system == dv::System::Pal ? pal : ntsc;
}

MediaType DvVideoEncoder::dvType(dv::System system) { return dvsdVideoType(system, frameInfo(system)); }

MediaType DvVideoEncoder::outputType() const {
  return givenInfo_ ? dvsdVideoType(system_, *givenInfo_) : dvType(system_);
}

HRESULT DvVideoEncoder::put_IFormatResolution(int videoFormat, int dvFormat, int resolution, bool withDvInfo,
                                              const DVINFO* info) {
  if (videoFormat != DVENCODERVIDEOFORMAT_PAL && videoFormat != DVENCODERVIDEOFORMAT_NTSC)
    return E_INVALIDARG;
  if (dvFormat != DVENCODERFORMAT_DVSD || resolution != DVENCODERRESOLUTION_720x480) return E_INVALIDARG;
  if (withDvInfo && !info) return E_POINTER;
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  system_ = videoFormat == DVENCODERVIDEOFORMAT_PAL ? dv::System::Pal : dv::System::Ntsc;
  // A block given with the settings replaces the frames' packs in the output type; without one
  // the type goes back to announcing the frames' own.
  givenInfo_ = withDvInfo ? std::optional<DVINFO>(*info) : std::nullopt;
  return S_OK;
}

HRESULT DvVideoEncoder::get_IFormatResolution(int* videoFormat, int* dvFormat, int* resolution,
                                              bool withDvInfo, DVINFO* info) {
  if (withDvInfo && !info) return E_POINTER;
  if (videoFormat)
    *videoFormat = system_ == dv::System::Pal ? DVENCODERVIDEOFORMAT_PAL : DVENCODERVIDEOFORMAT_NTSC;
  if (dvFormat) *dvFormat = DVENCODERFORMAT_DVSD;
  if (resolution) *resolution = DVENCODERRESOLUTION_720x480;
  if (withDvInfo) *info = givenInfo_ ? *givenInfo_ : frameInfo(system_);
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
  return out.matches(outputType()) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DvVideoEncoder::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0 || !inputPin()->isConnected()) return VFW_S_NO_MORE_ITEMS;
  type = outputType();
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
