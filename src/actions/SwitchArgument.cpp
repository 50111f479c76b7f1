#include "actions/SwitchArgument.h"

namespace vistrel::actions {

bool SwitchPrefixMode(QChar c, TSwitchMode& mode) {
  switch (c.unicode()) {
    case u'+': mode = TSwitchMode::smPlus; return true;
    case u'-': mode = TSwitchMode::smMinus; return true;
    case u'/': mode = TSwitchMode::smSlash; return true;
    default: mode = TSwitchMode::smBare; return false;
  }
}

SwitchArgument SplitSwitchArgument(const QString& argument) {
  SwitchArgument parsed;
  if (argument.isEmpty() || !SwitchPrefixMode(argument.at(0), parsed.Mode)) {
    parsed.Value = argument;
    return parsed;
  }
  const qsizetype eq = argument.indexOf(u'=', 1);
  parsed.Name = eq >= 0 ? argument.mid(1, eq - 1) : argument.mid(1);
  if (eq >= 0) parsed.Value = argument.mid(eq + 1);
  return parsed;
}

}  // namespace vistrel::actions
