#pragma once
// How a multiplexer interleaves its streams.

#include "platform/media/Result.h"
#include "platform/media/Unknown.h"
#include "platform/media/VideoInfoHeader.h"

namespace vistrel::platform::media {

enum InterleavingMode {
  INTERLEAVE_NONE = 0,
  INTERLEAVE_CAPTURE = 1,
  INTERLEAVE_FULL = 2,
  INTERLEAVE_NONE_BUFFERED = 3
};

class IConfigInterleaving : public virtual Unknown {
 public:
  virtual HRESULT put_Mode(InterleavingMode mode) = 0;
  virtual HRESULT get_Mode(InterleavingMode* mode) = 0;
  virtual HRESULT put_Interleaving(const REFERENCE_TIME* leaving, const REFERENCE_TIME* preroll) = 0;
  virtual HRESULT get_Interleaving(REFERENCE_TIME* leaving, REFERENCE_TIME* preroll) = 0;
};

}  // namespace vistrel::platform::media
