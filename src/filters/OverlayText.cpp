#include "filters/OverlayText.h"

#include <QDate>
#include <cmath>

namespace vistrel::filters {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;
// 1 January of year 1 and 31 December 9999, in days since 30 December 1899.
constexpr double kMinDate = -693593.0;
constexpr double kMaxDate = 2958466.0;

const char16_t* const kShortDays[7] = {u"dim.", u"lun.", u"mar.", u"mer.", u"jeu.", u"ven.", u"sam."};
const char16_t* const kLongDays[7] = {u"dimanche", u"lundi",    u"mardi", u"mercredi",
                                      u"jeudi",    u"vendredi", u"samedi"};
const char16_t* const kShortMonths[12] = {u"janv.", u"févr.", u"mars",  u"avr.", u"mai",  u"juin",
                                          u"juil.", u"août",  u"sept.", u"oct.", u"nov.", u"déc."};
const char16_t* const kLongMonths[12] = {u"janvier",   u"février", u"mars",     u"avril",
                                         u"mai",       u"juin",    u"juillet",  u"août",
                                         u"septembre", u"octobre", u"novembre", u"décembre"};
// The French locale's formats, in the same pattern language.
const QString kShortDate = QStringLiteral("dd/mm/yyyy");
const QString kLongDate = QStringLiteral("dddd d mmmm yyyy");
const QString kShortTime = QStringLiteral("hh:nn");
const QString kLongTime = QStringLiteral("hh:nn:ss");

struct Decoded {
  int year, month, day, dayOfWeek;  // dayOfWeek 0 = Sunday
  int hour, minute, second, ms;
  bool hasTime;
};

// Whole days towards zero and the time of day from the fraction's magnitude, as the date-time
// type of the platform reads them.
bool decode(double value, Decoded& d) {
  if (!std::isfinite(value) || value < kMinDate || value >= kMaxDate) return false;
  double whole = std::trunc(value);
  int64_t ms = std::llround(std::fabs(value - whole) * kMsPerDay);
  if (ms >= kMsPerDay) {  // rounding reached the next day
    ms -= kMsPerDay;
    whole += value < 0 ? -1 : 1;
  }
  const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(whole));
  if (!date.isValid()) return false;
  d.year = date.year();
  d.month = date.month();
  d.day = date.day();
  d.dayOfWeek = date.dayOfWeek() % 7;
  d.hour = static_cast<int>(ms / 3'600'000);
  d.minute = static_cast<int>(ms / 60'000 % 60);
  d.second = static_cast<int>(ms / 1000 % 60);
  d.ms = static_cast<int>(ms % 1000);
  d.hasTime = ms != 0;
  return true;
}

void appendNumber(QString& out, int value, int digits) {
  out += QString::number(value).rightJustified(digits, u'0');
}

int runLength(const QString& p, qsizetype i, QChar lower) {
  int n = 0;
  while (i + n < p.size() && p[i + n].toLower() == lower) ++n;
  return n;
}

// `depth` stops a locale format from expanding into itself.
void formatInto(QString& out, const QString& pattern, const Decoded& d, int depth) {
  bool afterHour = false;
  qsizetype i = 0;
  while (i < pattern.size()) {
    const QChar c = pattern[i];
    const QChar lower = c.toLower();
    if (c == u'\'' || c == u'"') {
      const qsizetype end = pattern.indexOf(c, i + 1);
      const qsizetype stop = end < 0 ? pattern.size() : end;
      out += QStringView(pattern).mid(i + 1, stop - i - 1);
      i = end < 0 ? pattern.size() : end + 1;
      continue;
    }
    if (lower == u'd') {
      const int n = runLength(pattern, i, u'd');
      i += n;
      switch (n) {
        case 1: appendNumber(out, d.day, 1); break;
        case 2: appendNumber(out, d.day, 2); break;
        case 3: out += QString::fromUtf16(kShortDays[d.dayOfWeek]); break;
        case 4: out += QString::fromUtf16(kLongDays[d.dayOfWeek]); break;
        case 5:
          if (depth < 2) formatInto(out, kShortDate, d, depth + 1);
          break;
        default:
          if (depth < 2) formatInto(out, kLongDate, d, depth + 1);
          break;
      }
      afterHour = false;
      continue;
    }
    if (lower == u'm') {
      const int n = runLength(pattern, i, u'm');
      i += n;
      if (afterHour && n <= 2) {
        appendNumber(out, d.minute, n);
      } else if (n <= 2) {
        appendNumber(out, d.month, n);
      } else if (n == 3) {
        out += QString::fromUtf16(kShortMonths[d.month - 1]);
      } else {
        out += QString::fromUtf16(kLongMonths[d.month - 1]);
      }
      afterHour = false;
      continue;
    }
    if (lower == u'y') {
      const int n = runLength(pattern, i, u'y');
      i += n;
      if (n <= 2)
        appendNumber(out, d.year % 100, 2);
      else
        appendNumber(out, d.year, 4);
      afterHour = false;
      continue;
    }
    if (lower == u'h' || lower == u'n' || lower == u's') {
      const int n = runLength(pattern, i, lower);
      i += n;
      const int value = lower == u'h' ? d.hour : lower == u'n' ? d.minute : d.second;
      appendNumber(out, value, n >= 2 ? 2 : 1);
      afterHour = lower == u'h';
      continue;
    }
    if (lower == u'z') {
      const int n = runLength(pattern, i, u'z');
      i += n;
      appendNumber(out, d.ms, n >= 3 ? 3 : 1);
      afterHour = false;
      continue;
    }
    if (lower == u't') {
      const int n = runLength(pattern, i, u't');
      i += n;
      if (depth < 2) formatInto(out, n == 1 ? kShortTime : kLongTime, d, depth + 1);
      afterHour = false;
      continue;
    }
    if (lower == u'c') {
      ++i;
      if (depth < 2) {
        formatInto(out, kShortDate, d, depth + 1);
        if (d.hasTime) {
          out += u' ';
          formatInto(out, kLongTime, d, depth + 1);
        }
      }
      afterHour = false;
      continue;
    }
    // "/" and ":" are the French separators themselves; everything else is copied too.
    out += c;
    ++i;
  }
}

}  // namespace

QString FormatOverlayDateTime(const QString& pattern, double value) {
  if (pattern.isEmpty()) return {};
  Decoded d;
  if (!decode(value, d)) return {};
  QString out;
  out.reserve(pattern.size() + 16);
  formatInto(out, pattern, d, 0);
  return out;
}

QString FormatTimeCode(const uint8_t timeCode[4]) {
  return QStringLiteral("%1:%2:%3:%4")
      .arg(timeCode[0])
      .arg(timeCode[1], 2, 10, QChar(u'0'))
      .arg(timeCode[2], 2, 10, QChar(u'0'))
      .arg(timeCode[3], 2, 10, QChar(u'0'));
}

int OverlayDayOfMonth(double value) {
  Decoded d;
  return decode(value, d) ? d.day : 0;
}

void ComposeOverlayLines(const settings::TincrustRec& rec, const OverlayTextInputs& in, QString& line1,
                         QString& line2) {
  const QString na = QStringLiteral("N/A");
  const double offset = rec.DecalageHoraire;
  auto dvLine = [&](const QString& pattern) {
    if (in.dvSource && in.dvDateValid) return FormatOverlayDateTime(pattern, in.dvDateTime + offset);
    return na;
  };
  auto timeCode = [&] { return in.dvSource && in.timeCodeValid ? FormatTimeCode(in.timeCode) : na; };
  auto clockLine = [&](const QString& pattern) { return FormatOverlayDateTime(pattern, in.now + offset); };

  switch (rec.WhatIncrust) {
    case 0:
      line1 = dvLine(rec.FormatDate1);
      line2 = dvLine(rec.FormatDate2);
      break;
    case 1:
      line1.clear();
      line2 = timeCode();
      break;
    case 2: {
      auto fill = [&](const QString& tmpl, const QString& pattern) {
        QString s = tmpl;
        if (!s.contains(u'%')) return s;
        if (s.contains(QStringLiteral("%D"), Qt::CaseInsensitive))
          s.replace(QStringLiteral("%D"), dvLine(pattern), Qt::CaseInsensitive);
        if (s.contains(QStringLiteral("%T"), Qt::CaseInsensitive))
          s.replace(QStringLiteral("%T"), timeCode(), Qt::CaseInsensitive);
        if (s.contains(QStringLiteral("%R"), Qt::CaseInsensitive))
          s.replace(QStringLiteral("%R"), clockLine(pattern), Qt::CaseInsensitive);
        return s;
      };
      line1 = fill(rec.Incrust1, rec.FormatDate1);
      line2 = fill(rec.Incrust2, rec.FormatDate2);
      break;
    }
    case 3:
      line1 = clockLine(rec.FormatDate1);
      line2 = clockLine(rec.FormatDate2);
      break;
    case 4:
      line1.clear();
      line2.clear();
      break;
    default: break;
  }
}

}  // namespace vistrel::filters
