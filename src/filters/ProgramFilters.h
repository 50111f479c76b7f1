#pragma once
// Registers the program's own filters (resizer, scene detector, WAV writer, DV header filter,
// control filter) in the filter mapper with their class ids and display names, so that they can
// be created by class id. Their merit keeps intelligent connect from inserting them on its own:
// the engine places them where it wants them. Idempotent; user-interface thread.

#include "platform/media/FilterMapper.h"

namespace vistrel::filters {

void RegisterProgramFilters(platform::media::FilterMapper& mapper);

}  // namespace vistrel::filters
