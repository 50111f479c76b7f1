#pragma once

#include "platform/media/IBaseFilter.h"

namespace vistrel::platform::media {

using OAFilterState = FILTER_STATE;

class IMediaControl : public virtual Unknown {
 public:
  // Stopped -> paused -> running. User-interface thread.
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  // Synchronous and phased: sources stop and their threads are joined, then every filter stops
  // from downstream to upstream, then writers close their files.
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(int32_t timeoutMs, OAFilterState& state) = 0;
};

}  // namespace vistrel::platform::media
