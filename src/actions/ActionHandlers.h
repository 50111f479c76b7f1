#pragma once
// Handlers of the main window's actions that are pure action logic, for the main window to
// answer with when the action list is built.

#include <QString>
#include <QWidget>
#include <functional>

#include "actions/CustomScript.h"

namespace vistrel::actions {

// The preparation of an action that takes its argument from a control (the source boxes, the
// capture format box): sets ActionProceed and adds the control's current text to ActionArgs.
THandler makeArgumentPrepare(std::function<QString()> currentText);

// Asks for a command file ("*.txt"); empty when none was chosen.
using TFileChooser = std::function<QString()>;
TFileChooser commandFileDialog(QWidget* parent);

// saScriptprepare: cancels the execution unless a file is chosen, whose path becomes the argument.
// A failure of the chooser leaves the execution cancelled.
THandler makeScriptPrepare(TFileChooser choose);
// saScriptexecute: runs the command file named by the argument through `script`.
THandler makeScriptExecute(TScript& script);

}  // namespace vistrel::actions
