#include "filters/Tvt_ControlFilter.h"

namespace vistrel::filters {

using namespace platform::media;

Tvt_ControlFilter::Tvt_ControlFilter()
    : TransInPlaceFilter(CLSID_vt_ControlFilter, QStringLiteral("Orbano vt_ControlFilter"), false) {}

void Tvt_ControlFilter::SetupImageByImage(std::function<void()> stopRoutine) {
  gate_.SetMarkSyncPoint(true);
  gate_.SetMarkDiscontinuity(true);
  gate_.SetStep(1);
  gate_.SetRenumber(true);
  gate_.Close();
  stopRoutine_ = std::move(stopRoutine);
}

HRESULT Tvt_ControlFilter::CheckInputType(const MediaType&) { return S_OK; }

HRESULT Tvt_ControlFilter::Transform(MediaSample& sample) {
  const ControlGate::Decision d = gate_.Pass();
  if (!d.pass) return S_FALSE;
  if (d.mediaStart && d.mediaStop) {
    const int64_t start = *d.mediaStart, stop = *d.mediaStop;
    sample.SetMediaTime(&start, &stop);
  }
  if (d.syncPoint) sample.SetSyncPoint(true);
  if (d.discontinuity) sample.SetDiscontinuity(true);
  return S_OK;
}

HRESULT Tvt_ControlFilter::Stop() {
  // The graph stops every filter, also those already stopped: the routine that finishes the
  // image-by-image file runs once per real stop.
  const bool wasActive = state() != State_Stopped;
  gate_.Stop();
  const HRESULT hr = TransInPlaceFilter::Stop();
  if (wasActive && stopRoutine_) stopRoutine_();
  return hr;
}

}  // namespace vistrel::filters
