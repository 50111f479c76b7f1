#pragma once
// What the settings take from the user's environment: the locale that formats reals and dates,
// the clock, and the places of the two stores. Tests replace the locale and the clock.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace vistrel::settings {

// The registry key of the parameter list, relative to HKEY_CURRENT_USER (the leading backslash
// makes it absolute), which is also the name of its ini section.
inline const QString kStorePath = QStringLiteral("\\Software\\Orbano\\Vistrel");
// Written in place of an empty top-level string, so that an empty value is told from a missing one.
inline const QString kEmptyMarker = QStringLiteral("#@vide\u00A7#");

// The locale whose separators the settings use: QLocale::system() unless a test set another.
QLocale settingsLocale();
void setSettingsLocale(std::optional<QLocale> locale);
// The current local date and time: the system clock unless a test set another.
QDateTime settingsNow();
void setSettingsClock(std::function<QDateTime()> clock);

// "dd/mm/yyyy hh:mm:ss" with the locale's date and time separators in place of "/" and ":".
QString formatSaveDateTime(const QDateTime& when, const QLocale& locale);
// The date and time separators of a locale ("/" and ":" when its formats show none).
QString dateSeparator(const QLocale& locale);
QString timeSeparator(const QLocale& locale);

// The general decimal form of a real: at most 15 significant digits, no trailing zeros, the given
// decimal separator; scientific ("1,5E-7", "1E20") only for magnitudes below 0.00001 or with more
// than 15 integer digits.
QString formatReal(double value, const QString& decimalSeparator);
// The inverse: optional sign, digits, optional separator and digits, optional exponent; also
// "INF", "-INF" and "NAN". Blanks around the text are accepted. nullopt when it is no number.
std::optional<double> parseReal(const QString& text, const QString& decimalSeparator);
// A signed 32-bit decimal ("-" for negatives, an optional "+"); blanks around it are accepted.
std::optional<int32_t> parseInteger(const QString& text);

// The ini file of the parameter list: the program folder + "Vistrel.ini".
QString parameterIniFile();

}  // namespace vistrel::settings
