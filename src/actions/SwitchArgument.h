#pragma once
// How a command-line argument names its action: "+name=value", "-name", "/name", or a bare value
// for the default action. Shared by the main window's and the application manager's processors.

#include <QChar>
#include <QString>

#include "actions/SuperList.h"

namespace vistrel::actions {

// The mode a leading '+', '-' or '/' gives; smBare and false for anything else.
bool SwitchPrefixMode(QChar c, TSwitchMode& mode);

struct SwitchArgument {
  TSwitchMode Mode = TSwitchMode::smBare;
  QString Name;   // empty for a bare value
  QString Value;  // after the first '=' following the name, or the whole bare argument
};

SwitchArgument SplitSwitchArgument(const QString& argument);

}  // namespace vistrel::actions
