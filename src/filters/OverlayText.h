#pragma once
// The text the overlay writes: date-time patterns in the French locale's names and formats, the
// DV time code, and the two lines composed from the overlay description. Plain functions, safe on
// any thread.

#include <QString>
#include <cstdint>

#include "settings/IncrustRec.h"

namespace vistrel::filters {

// Formats `value` (days since 30 December 1899, fraction = time of day) with a date-time pattern:
// "c" short date and long time, "d" day, "dd" two-digit day, "ddd" short day name, "dddd" day
// name, "ddddd" short date, "dddddd" long date, "m"/"mm" month (minutes right after an hour),
// "mmm" short month name, "mmmm" month name, "yy"/"yyyy" year, "h"/"hh" hour, "n"/"nn" minute,
// "s"/"ss" second, "z"/"zzz" milliseconds, "t" short time, "tt" long time, "/" and ":" the
// separators, text in single or double quotes as written; letters in either case; every other
// character is copied. A value outside years 1 to 9999 (or not finite) gives an empty text.
QString FormatOverlayDateTime(const QString& pattern, double value);

// "%d:%.2d:%.2d:%.2d" of hours, minutes, seconds and frames.
QString FormatTimeCode(const uint8_t timeCode[4]);

// Day of month of a date-time value (0 for a value out of range).
int OverlayDayOfMonth(double value);

// What the composition knows of the current frame.
struct OverlayTextInputs {
  bool dvSource = false;       // a DV information source is set
  bool dvDateValid = false;    // its matched record's date is valid
  double dvDateTime = 0;       // that record's recording date-time
  bool timeCodeValid = false;  // its matched record's time code is valid
  uint8_t timeCode[4] = {0, 0, 0, 0};
  double now = 0;  // local date and time
};

// Composes the two lines for `rec.WhatIncrust`; a value outside 0-4 leaves the lines unchanged.
// Only the parts the chosen content needs are formatted.
void ComposeOverlayLines(const settings::TincrustRec& rec, const OverlayTextInputs& in, QString& line1,
                         QString& line2);

}  // namespace vistrel::filters
