#pragma once
// The system device enumerator: the monikers of a category, from the device backends (video and
// audio input devices) and from the filter mapper (compressors, legacy filters, renderers).
// User-interface thread.

#include "platform/media/IMoniker.h"

namespace vistrel::platform::media {

class SystemDeviceEnum : public virtual Unknown {
 public:
  static std::shared_ptr<SystemDeviceEnum> create();
  // S_OK with an enumerator; for an empty category S_FALSE and no enumerator, as the platform
  // answers (callers treat it as an empty list).
  HRESULT CreateClassEnumerator(const GUID& category, std::shared_ptr<IEnumMoniker>& monikers,
                                uint32_t flags = 0);
  // Convenience: the list itself, empty for an empty category.
  std::vector<std::shared_ptr<IMoniker>> monikers(const GUID& category);
};

}  // namespace vistrel::platform::media
