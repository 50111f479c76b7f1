#pragma once
// The macro recorder shared by every abstract action of the process: while MacroLines points to a
// list, actions applied through their script routines append their script lines to it; while
// MacroNesting is set, actions applied from inside another action's handlers record nothing.
// User-interface thread only, unguarded.

#include <QStringList>

namespace vistrel::actions {

inline QStringList* MacroLines = nullptr;
inline bool MacroNesting = false;

}  // namespace vistrel::actions
