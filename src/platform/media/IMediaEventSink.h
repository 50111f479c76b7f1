#pragma once

#include "platform/media/GraphEvent.h"
#include "platform/media/Result.h"

namespace vistrel::platform::media {

// Filters raise events here. Any thread; never blocks.
class IMediaEventSink : public virtual Unknown {
 public:
  virtual HRESULT Notify(const GraphEvent& event) = 0;
};

}  // namespace vistrel::platform::media
