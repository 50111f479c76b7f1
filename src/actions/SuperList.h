#pragma once
// A parsed command: the action it targets, how it was written and its value.

#include <QPointer>
#include <QString>
#include <vector>

#include "actions/SuperAction.h"

namespace vistrel::actions {

enum class TSwitchMode {
  smPlus = 0,   // "+name": sets the state false first, so a toggle switches its feature on
  smMinus = 1,  // "-name": sets the state true first, so a toggle switches its feature off
  smSlash = 2,  // "/name": keeps the state (a toggle re-synchronises), so a toggle inverts
  smBare = 3,   // no prefix: no state change
};

struct TActionEx {
  QPointer<TCustomSuperAction> Action;  // none once the action is gone
  TSwitchMode Mode = TSwitchMode::smBare;
  QString Value;
};

// Ordered; owns its items.
using TSuperList = std::vector<TActionEx>;

}  // namespace vistrel::actions
