#pragma once

#include "platform/media/Guid.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// The class identity of an object ({0000010C-0000-0000-C000-000000000046}).
class IPersist : public virtual Unknown {
 public:
  virtual HRESULT GetClassID(GUID& clsid) = 0;
};

}  // namespace vistrel::platform::media
