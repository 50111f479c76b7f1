#include "settings/SettingsContext.h"

#include <charconv>
#include <cmath>
#include <string>

#include "platform/Environment.h"
#include "settings/SavePreferences.h"

namespace vistrel::settings {
namespace {

TSavePreferences storeMode = spNone;
std::optional<QLocale> localeOverride;
std::function<QDateTime()> clockOverride;

// The first character of a date or time format that is no field letter and no quote.
QString firstSeparator(const QString& format, const QString& fallback) {
  for (QChar c : format) {
    if (!c.isLetter() && c != QLatin1Char('\'') && !c.isSpace()) return QString(c);
  }
  return fallback;
}

bool isBlank(QChar c) { return c.unicode() <= 0x20; }

QStringView trimmedView(QStringView text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

}  // namespace

TSavePreferences currentStoreMode() { return storeMode; }
void setCurrentStoreMode(TSavePreferences mode) { storeMode = mode; }

QLocale settingsLocale() { return localeOverride ? *localeOverride : QLocale::system(); }
void setSettingsLocale(std::optional<QLocale> locale) { localeOverride = std::move(locale); }

QDateTime settingsNow() { return clockOverride ? clockOverride() : QDateTime::currentDateTime(); }
void setSettingsClock(std::function<QDateTime()> clock) { clockOverride = std::move(clock); }

QString dateSeparator(const QLocale& locale) {
  return firstSeparator(locale.dateFormat(QLocale::ShortFormat), QStringLiteral("/"));
}

QString timeSeparator(const QLocale& locale) {
  return firstSeparator(locale.timeFormat(QLocale::ShortFormat), QStringLiteral(":"));
}

QString formatSaveDateTime(const QDateTime& when, const QLocale& locale) {
  const QString d = dateSeparator(locale), t = timeSeparator(locale);
  const QDate date = when.date();
  const QTime time = when.time();
  auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
  return two(date.day()) + d + two(date.month()) + d +
         QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + QLatin1Char(' ') +
         two(time.hour()) + t + two(time.minute()) + t + two(time.second());
}

QString formatReal(double value, const QString& decimalSeparator) {
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
  if (value == 0) return QStringLiteral("0");
  // Fifteen significant digits, rounded once by the C library.
  // to_chars ignores the C locale, which Qt sets from the user's environment.
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, 14).ptr;
  QString digits;
  int exponent = 0;
  {
    const QString s = QString::fromLatin1(buffer, end - buffer);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    digits = s.left(e);
    digits.remove(QLatin1Char('.'));
    exponent = s.mid(e + 1).toInt();
  }
  while (digits.size() > 1 && digits.endsWith(QLatin1Char('0'))) digits.chop(1);
  QString out = value < 0 ? QStringLiteral("-") : QString();
  if (exponent >= 15 || exponent < -5) {
    out += digits.left(1);
    if (digits.size() > 1) out += decimalSeparator + digits.mid(1);
    out += QLatin1Char('E') + QString::number(exponent);
    return out;
  }
  if (exponent >= 0) {
    if (digits.size() <= exponent + 1) {
      out += digits + QString(exponent + 1 - digits.size(), QLatin1Char('0'));
    } else {
      out += digits.left(exponent + 1) + decimalSeparator + digits.mid(exponent + 1);
    }
  } else {
    out += QLatin1Char('0') + decimalSeparator + QString(-exponent - 1, QLatin1Char('0')) + digits;
  }
  return out;
}

std::optional<double> parseReal(const QString& text, const QString& decimalSeparator) {
  const QStringView t = trimmedView(text);
  if (t.isEmpty()) return std::nullopt;
  if (t.compare(u"NAN", Qt::CaseInsensitive) == 0) return std::nan("");
  if (t.compare(u"INF", Qt::CaseInsensitive) == 0 || t.compare(u"+INF", Qt::CaseInsensitive) == 0)
    return HUGE_VAL;
  if (t.compare(u"-INF", Qt::CaseInsensitive) == 0) return -HUGE_VAL;
  // Rebuild the number in the C form for from_chars (which takes no leading "+").
  std::string c;
  qsizetype i = 0;
  if (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')) {
    if (t[i] == QLatin1Char('-')) c += '-';
    ++i;
  }
  qsizetype mantissaDigits = 0;
  while (i < t.size() && t[i].unicode() >= '0' && t[i].unicode() <= '9')
    c += char(t[i++].unicode()), ++mantissaDigits;
  if (!decimalSeparator.isEmpty() && t.mid(i).startsWith(decimalSeparator)) {
    i += decimalSeparator.size();
    c += '.';
    while (i < t.size() && t[i].unicode() >= '0' && t[i].unicode() <= '9')
      c += char(t[i++].unicode()), ++mantissaDigits;
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
    c += 'e';
    ++i;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) c += char(t[i++].unicode());
    qsizetype exponentDigits = 0;
    while (i < t.size() && t[i].unicode() >= '0' && t[i].unicode() <= '9')
      c += char(t[i++].unicode()), ++exponentDigits;
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;
  double result = 0;
  const auto [ptr, error] = std::from_chars(c.data(), c.data() + c.size(), result);
  if (error != std::errc() || ptr != c.data() + c.size()) return std::nullopt;
  return result;
}

std::optional<int32_t> parseInteger(const QString& text) {
  const QStringView t = trimmedView(text);
  qsizetype i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
    negative = t[i++] == QLatin1Char('-');
  if (i == t.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < t.size(); ++i) {
    const char16_t c = t[i].unicode();
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return int32_t(value);
}

QString parameterIniFile() { return platform::programFolder() + QStringLiteral("Vistrel.ini"); }

}  // namespace vistrel::settings
