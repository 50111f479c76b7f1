// The standard routines of the script language that have a fixed Pascal signature.
#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "script/Runtime.h"

namespace vistrel::script {

// Calls add once per routine with its declaration text and implementation.
void registerStandardRoutines(const std::function<void(const char* declaration, NativeFn fn)>& add);

struct FormatArg {
  enum Kind { Int, Real, Str, Char, Bool } kind = Int;
  int64_t i = 0;
  double f = 0;
  QString s;
};

// Delphi-style Format: %d %u %x %s %f %e %g %n %m with [index:][-][width][.precision]. On a
// mismatch returns an empty text and sets *error.
QString formatText(const QString& format, const std::vector<FormatArg>& args, QString* error);

// Delphi-style FormatDateTime over a TDateTime (days since 1899-12-30).
QString formatDateTime(const QString& format, double dateTime);

int64_t randomInt(int64_t range);
double randomReal();

}  // namespace vistrel::script
