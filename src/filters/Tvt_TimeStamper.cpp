#include "filters/Tvt_TimeStamper.h"

namespace vistrel::filters {

using namespace platform::media;

Tvt_TimeStamper::Tvt_TimeStamper()
    : TransInPlaceFilter(CLSID_vt_Timestamper, QStringLiteral("Orbano vt_Timestamper"), false) {}

HRESULT Tvt_TimeStamper::CheckInputType(const MediaType&) { return S_OK; }

HRESULT Tvt_TimeStamper::Transform(MediaSample& sample) { return processing_.Transform(sample); }

HRESULT Tvt_TimeStamper::onRun(REFERENCE_TIME start) {
  // The sources stamp from the new run's start again.
  processing_.RestartHold();
  return TransInPlaceFilter::onRun(start);
}

}  // namespace vistrel::filters
