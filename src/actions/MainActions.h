#pragma once
// The main window's action list `al`: the program's command vocabulary, 55 actions in a fixed
// order (the order decides lookups by switch or token and key dispatch) with their category,
// caption, keys, secondary keys, switch, token, image index, flags, toggle texts and hints.
//
// The handlers are the main window's: the builder asks `handlerFor` for each handler name the
// actions use ("saGrabexecute", "taMuteTrueExecute", "taMutefalseExecute", "saScriptprepare", ...)
// and installs what it answers (an empty function installs nothing). A toggle's true and false
// handlers take effect at its next SetChecked, as for every toggle.

#include <QString>
#include <QStringList>
#include <functional>

#include "actions/SuperAction.h"

namespace vistrel::actions {

using THandlerLookup = std::function<THandler(const QString& handlerName)>;

inline constexpr int kMainActionCount = 55;

// Appends the 55 actions to `al`.
void createMainActions(TActionList& al, const THandlerLookup& handlerFor);

// Every handler name the 55 actions ask for, in table order (prepare handlers before the execute
// handlers of their action).
QStringList mainActionHandlerNames();

}  // namespace vistrel::actions
