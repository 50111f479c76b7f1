#pragma once

#include <vector>

#include "platform/media/MediaType.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// The capability block of one stream configuration entry (only sizes and frame intervals are
// kept: the callers read the type itself).
struct VIDEO_STREAM_CONFIG_CAPS {
  int32_t minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
  REFERENCE_TIME MinFrameInterval = 0, MaxFrameInterval = 0;
};

// Format configuration of an output pin. SetFormat before connection fixes the type the pin
// offers first; on a connected pin the pin reconnects with the new type (or refuses it).
class IAMStreamConfig : public virtual Unknown {
 public:
  virtual HRESULT SetFormat(const MediaType& type) = 0;
  virtual HRESULT GetFormat(MediaType& type) = 0;
  virtual HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& capsSize) = 0;
  virtual HRESULT GetStreamCaps(int32_t index, MediaType& type, std::vector<uint8_t>& caps) = 0;
};

}  // namespace vistrel::platform::media
