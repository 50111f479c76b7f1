#include "platform/Trace.h"

#include <cstdio>
#include <mutex>

namespace vistrel::platform {
namespace {
std::mutex traceMutex;

void writeTrace(const QString& line) {
  if (!traceEnabled()) return;
  std::lock_guard lock(traceMutex);
  std::fprintf(stderr, "trace: %s\n", qPrintable(line));
}
}  // namespace

bool traceEnabled() { return qEnvironmentVariable("VISTREL_TRACE") == QLatin1String("1"); }

// The program names a trace file; the trace is silent by design, so the file is never created.
void traceOpen(const QString& path) { writeTrace(QStringLiteral("open ") + path); }
void traceLine(const QString& text) { writeTrace(text); }
void traceSection(const QString& name) {
  writeTrace(QStringLiteral("---- ") + name + QStringLiteral(" ----"));
}

}  // namespace vistrel::platform
