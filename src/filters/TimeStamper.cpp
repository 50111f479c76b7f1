#include "filters/TimeStamper.h"

namespace vistrel::filters {

using namespace platform::media;

HRESULT TimeStamper::Transform(MediaSample& sample) const {
  if (Drop()) return S_FALSE;
  if (StripTimes()) {
    sample.SetTime(nullptr, nullptr);
    sample.SetMediaTime(nullptr, nullptr);
  }
  return S_OK;
}

}  // namespace vistrel::filters
