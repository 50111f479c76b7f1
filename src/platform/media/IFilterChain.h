#pragma once

#include <memory>

#include "platform/media/IBaseFilter.h"

namespace vistrel::platform::media {

class IFilterChain : public virtual Unknown {
 public:
  // Removes `start`, `end` and every filter on the simple chain between them (a tee with one
  // connected output and its spare counts as a link of the chain). Null end: to the chain's end.
  virtual HRESULT RemoveChain(const std::shared_ptr<IBaseFilter>& start,
                              const std::shared_ptr<IBaseFilter>& end) = 0;
};

}  // namespace vistrel::platform::media
