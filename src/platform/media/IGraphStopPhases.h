#pragma once

#include "platform/media/Unknown.h"

namespace vistrel::platform::media {

// The extra steps of the graph's phased Stop, for filters that need them. User-interface thread.
class IGraphStopPhases : public virtual Unknown {
 public:
  // Phase 1, before any filter stops: sources stop producing and join their threads, so that no
  // sample is in flight when the filters' own stops run.
  virtual void haltStreaming() {}
  // Phase 3, after every filter stopped: writers close their files.
  virtual void closeFiles() {}
};

}  // namespace vistrel::platform::media
