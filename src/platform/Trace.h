#pragma once
// The main window's progress trace. Silent by default: nothing is written and no file created.
// VISTREL_TRACE=1 sends the lines to standard error instead. Thread-safe.

#include <QString>

namespace vistrel::platform {

void traceOpen(const QString& path);
void traceLine(const QString& text);
void traceSection(const QString& name);
bool traceEnabled();

}  // namespace vistrel::platform
