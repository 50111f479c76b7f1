#include "filters/Tvt_TimeStamper.h"

namespace vistrel::filters {

using namespace platform::media;

Tvt_TimeStamper::Tvt_TimeStamper()
    : TransInPlaceFilter(CLSID_vt_Timestamper, QStringLiteral("Orbano vt_Timestamper"), false) {}

HRESULT Tvt_TimeStamper::CheckInputType(const MediaType&) { return S_OK; }

HRESULT Tvt_TimeStamper::Transform(MediaSample& sample) { return processing_.Transform(sample); }

}  // namespace vistrel::filters
