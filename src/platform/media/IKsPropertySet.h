#pragma once

#include <cstdint>
#include <vector>

#include "platform/media/Guid.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// Property sets of a pin; the pin category (AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY) is a GUID.
class IKsPropertySet : public virtual Unknown {
 public:
  virtual HRESULT Get(const GUID& set, uint32_t id, void* data, uint32_t size, uint32_t* returned) = 0;
  virtual HRESULT QuerySupported(const GUID& set, uint32_t id, uint32_t* support) = 0;
};

}  // namespace vistrel::platform::media
