#include "filters/Tvt_SceneDetect.h"

namespace vistrel::filters {

using namespace platform::media;

bool IsDvMediaType(const MediaType& type) {
  return type.majortype == MEDIATYPE_Interleaved ||
         (type.majortype == MEDIATYPE_Video && type.subtype == MEDIASUBTYPE_dvsd);
}

Tvt_SceneDetect::Tvt_SceneDetect()
    : TransInPlaceFilter(CLSID_vt_SceneDetect, QStringLiteral("Orbano vt_SceneDetect"), false) {}

HRESULT Tvt_SceneDetect::CheckInputType(const MediaType& in) {
  return IsDvMediaType(in) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Tvt_SceneDetect::Transform(MediaSample& sample) {
  REFERENCE_TIME start = 0, stop = 0;
  if (FAILED(sample.GetTime(&start, &stop))) start = 0;
  const std::span<const uint8_t> frame(sample.data(), static_cast<size_t>(sample.GetActualDataLength()));
  const int64_t frameNumber = processing_.AnalyseFrame(frame, start);
  const int64_t next = frameNumber + 1;
  sample.SetMediaTime(&frameNumber, &next);
  return S_OK;
}

HRESULT Tvt_SceneDetect::Stop() {
  // A graph stops every filter, also those already stopped: only a real stop closes a scene, so
  // that a repeated stop writes no extra scene.
  const bool wasActive = state() != State_Stopped;
  if (wasActive) processing_.CloseLastScene();
  const HRESULT hr = TransInPlaceFilter::Stop();
  if (wasActive) processing_.Reset();
  return hr;
}

}  // namespace vistrel::filters
