#include "script/StdLib.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <cmath>
#include <random>

namespace vistrel::script {

namespace {

std::mt19937_64& rng() {
  thread_local std::mt19937_64 g{std::random_device{}()};
  return g;
}

const QDate kEpoch(1899, 12, 30);

double toDateTime(const QDateTime& dt) {
  return double(kEpoch.daysTo(dt.date())) + double(dt.time().msecsSinceStartOfDay()) / 86400000.0;
}

QDateTime fromDateTime(double d) {
  if (!std::isfinite(d) || std::fabs(d) > 3.0e6) return QDateTime();
  const double day = std::floor(d);
  qint64 ms = qint64(std::llround((d - day) * 86400000.0));
  qint64 days = qint64(day);
  if (ms >= 86400000) {
    ms -= 86400000;
    ++days;
  }
  return QDateTime(kEpoch.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms)));
}

double checkedReal(Ctx& c, double x) {
  if (!std::isfinite(x)) runtimeError(c, QStringLiteral("Invalid floating point operation"));
  return x;
}

int64_t toInt64(Ctx& c, double x) {
  if (!(x >= -9.2233720368547e18 && x <= 9.2233720368547e18))
    runtimeError(c, QStringLiteral("Invalid floating point operation"));
  return int64_t(x);
}

QString floatToStr(double v) {
  if (std::isnan(v)) return QStringLiteral("NAN");
  if (std::isinf(v)) return v > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  QString s = QString::number(v, 'g', 15);
  return s.replace(QStringLiteral("e+"), QStringLiteral("E")).replace(u'e', u'E');
}

QString pad(const QString& s, int width, bool left) {
  if (s.size() >= width) return s;
  return left ? s.leftJustified(width) : s.rightJustified(width);
}

QString thousands(double v, int prec) {
  QString s = QString::number(std::fabs(v), 'f', prec);
  const qsizetype dot = s.indexOf(u'.');
  qsizetype end = dot < 0 ? s.size() : dot;
  for (qsizetype k = end - 3; k > 0; k -= 3) s.insert(k, u',');
  return v < 0 ? u'-' + s : s;
}

}  // namespace

int64_t randomInt(int64_t range) {
  if (range <= 0) return 0;
  return int64_t(std::uniform_int_distribution<uint64_t>(0, uint64_t(range) - 1)(rng()));
}

double randomReal() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng()); }

QString formatText(const QString& f, const std::vector<FormatArg>& args, QString* error) {
  QString out;
  size_t next = 0;
  const qsizetype n = f.size();
  auto fail = [&](const QString& spec) {
    *error = QStringLiteral("Format '%1' invalid or incompatible with argument").arg(spec);
    return QString();
  };
  for (qsizetype k = 0; k < n; ++k) {
    if (f[k] != u'%') {
      out.append(f[k]);
      continue;
    }
    const qsizetype start = k;
    if (++k >= n) return fail(f.mid(start));
    if (f[k] == u'%') {
      out.append(u'%');
      continue;
    }
    auto number = [&](bool& any) {
      int64_t v = 0;
      any = false;
      if (k < n && f[k] == u'*') {
        ++k;
        any = true;
        if (next >= args.size() || args[next].kind != FormatArg::Int) return int64_t(-1);
        return args[next++].i;
      }
      while (k < n && f[k].isDigit()) {
        v = std::min<int64_t>(v * 10 + (f[k].unicode() - '0'), 100000);
        ++k;
        any = true;
      }
      return v;
    };
    bool any = false;
    int64_t v = number(any);
    if (any && k < n && f[k] == u':') {
      next = size_t(v);
      ++k;
      v = number(any);
    }
    bool left = false;
    if (!any && k < n && f[k] == u'-') {
      left = true;
      ++k;
      v = number(any);
    }
    const int width = any ? int(std::clamp<int64_t>(v, 0, 100000)) : 0;
    int prec = -1;
    if (k < n && f[k] == u'.') {
      ++k;
      bool p = false;
      prec = int(std::clamp<int64_t>(number(p), 0, 100));
    }
    if (k >= n) return fail(f.mid(start));
    const QChar type = f[k].toLower();
    const QString spec = f.mid(start, k - start + 1);
    if (next >= args.size()) return fail(spec);
    const FormatArg& a = args[next++];
    QString piece;
    switch (type.unicode()) {
      case 'd':
      case 'u':
        if (a.kind != FormatArg::Int) return fail(spec);
        piece = QString::number(type == u'u' ? int64_t(uint32_t(a.i)) : a.i);
        if (prec > 0) {
          const bool neg = piece.startsWith(u'-');
          QString digits = neg ? piece.mid(1) : piece;
          piece = (neg ? QStringLiteral("-") : QString()) + digits.rightJustified(prec, u'0');
        }
        break;
      case 'x':
        if (a.kind != FormatArg::Int) return fail(spec);
        piece = QString::number(quint64(a.i), 16).toUpper();
        if (prec > 0) piece = piece.rightJustified(prec, u'0');
        break;
      case 's':
        if (a.kind == FormatArg::Str)
          piece = a.s;
        else if (a.kind == FormatArg::Char)
          piece = QString(QChar(char16_t(a.i)));
        else
          return fail(spec);
        if (prec >= 0) piece = piece.left(prec);
        break;
      case 'f':
      case 'e':
      case 'g':
      case 'n':
      case 'm': {
        double x;
        if (a.kind == FormatArg::Real)
          x = a.f;
        else
          return fail(spec);
        if (type == u'f')
          piece = QString::number(x, 'f', prec < 0 ? 2 : prec);
        else if (type == u'e')
          piece = QString::number(x, 'E', prec < 0 ? 15 : std::max(prec - 1, 0));
        else if (type == u'g')
          piece = floatToStr(prec < 0 ? x : QString::number(x, 'g', prec).toDouble());
        else
          piece = thousands(x, prec < 0 ? 2 : prec);
        break;
      }
      default: return fail(spec);
    }
    out += pad(piece, width, left);
  }
  return out;
}

QString formatDateTime(const QString& f, double d) {
  const QDateTime dt = fromDateTime(d);
  const QDate date = dt.date();
  const QTime time = dt.time();
  const QLocale loc = QLocale::system();
  QString out;
  const qsizetype n = f.size();
  bool ampm = false;
  {
    const QString low = f.toLower();
    ampm = low.contains(QStringLiteral("am/pm")) || low.contains(QStringLiteral("a/p")) ||
           low.contains(QStringLiteral("ampm"));
  }
  bool lastWasHour = false;
  auto run = [&](qsizetype k, QChar c) {
    qsizetype e = k;
    while (e < n && f[e].toLower() == c) ++e;
    return e - k;
  };
  for (qsizetype k = 0; k < n;) {
    const QChar ch = f[k];
    const QChar c = ch.toLower();
    if (ch == u'"' || ch == u'\'') {
      const qsizetype end = f.indexOf(ch, k + 1);
      if (end < 0) {
        out += f.mid(k + 1);
        break;
      }
      out += f.mid(k + 1, end - k - 1);
      k = end + 1;
      continue;
    }
    if (c == u'a') {
      const QString rest = f.mid(k, 5).toLower();
      if (rest.startsWith(QStringLiteral("am/pm"))) {
        out += time.hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm");
        k += 5;
        continue;
      }
      if (rest.startsWith(QStringLiteral("a/p"))) {
        out += time.hour() < 12 ? QStringLiteral("a") : QStringLiteral("p");
        k += 3;
        continue;
      }
      if (rest.startsWith(QStringLiteral("ampm"))) {
        out += time.hour() < 12 ? loc.amText() : loc.pmText();
        k += 4;
        continue;
      }
    }
    const qsizetype len = run(k, c);
    switch (c.unicode()) {
      case 'y':
        out += len <= 2 ? QStringLiteral("%1").arg(date.year() % 100, 2, 10, QChar(u'0'))
                        : QString::number(date.year());
        break;
      case 'm':
        if (lastWasHour && len <= 2)
          out += len == 1 ? QString::number(time.minute())
                          : QStringLiteral("%1").arg(time.minute(), 2, 10, QChar(u'0'));
        else if (len == 1)
          out += QString::number(date.month());
        else if (len == 2)
          out += QStringLiteral("%1").arg(date.month(), 2, 10, QChar(u'0'));
        else if (len == 3)
          out += loc.monthName(date.month(), QLocale::ShortFormat);
        else
          out += loc.monthName(date.month(), QLocale::LongFormat);
        break;
      case 'd':
        if (len == 1)
          out += QString::number(date.day());
        else if (len == 2)
          out += QStringLiteral("%1").arg(date.day(), 2, 10, QChar(u'0'));
        else if (len == 3)
          out += loc.dayName(date.dayOfWeek(), QLocale::ShortFormat);
        else if (len == 4)
          out += loc.dayName(date.dayOfWeek(), QLocale::LongFormat);
        else if (len == 5)
          out += loc.toString(date, QLocale::ShortFormat);
        else
          out += loc.toString(date, QLocale::LongFormat);
        break;
      case 'h': {
        int h = time.hour();
        if (ampm) h = h % 12 == 0 ? 12 : h % 12;
        out += len == 1 ? QString::number(h) : QStringLiteral("%1").arg(h, 2, 10, QChar(u'0'));
        break;
      }
      case 'n':
        out += len == 1 ? QString::number(time.minute())
                        : QStringLiteral("%1").arg(time.minute(), 2, 10, QChar(u'0'));
        break;
      case 's':
        out += len == 1 ? QString::number(time.second())
                        : QStringLiteral("%1").arg(time.second(), 2, 10, QChar(u'0'));
        break;
      case 'z':
        out += len < 3 ? QString::number(time.msec())
                       : QStringLiteral("%1").arg(time.msec(), 3, 10, QChar(u'0'));
        break;
      case 't': out += loc.toString(time, len == 1 ? QLocale::ShortFormat : QLocale::LongFormat); break;
      case 'c':
        out += loc.toString(date, QLocale::ShortFormat);
        if (time.msecsSinceStartOfDay() != 0) out += u' ' + loc.toString(time, QLocale::LongFormat);
        break;
      case '/':
        out +=
            loc.dateFormat(QLocale::ShortFormat).contains(u'.') ? QStringLiteral(".") : QStringLiteral("/");
        break;
      default: out += f.mid(k, len); break;
    }
    lastWasHour = c == u'h' || (lastWasHour && (c == u':' || c.isSpace()));
    k += len;
  }
  return out;
}

void registerStandardRoutines(const std::function<void(const char*, NativeFn)>& add) {
  add("function IntToStr(Value: Int64): string;", [](Ctx&, Value* a, Value& r) {
    // Small numbers are shared texts: building strings from digits then allocates nothing.
    static const std::vector<QString> small = [] {
      std::vector<QString> v;
      for (int k = 0; k < 1024; ++k) v.push_back(QString::number(k));
      return v;
    }();
    const int64_t x = a[0].i;
    r.s = x >= 0 && x < 1024 ? small[size_t(x)] : QString::number(x);
  });
  add("function StrToInt(const S: string): Int64;", [](Ctx& c, Value* a, Value& r) {
    bool ok = false;
    const QString t = a[0].s.trimmed();
    r.i = t.startsWith(u'$') ? t.mid(1).toLongLong(&ok, 16) : t.toLongLong(&ok);
    if (!ok) runtimeError(c, QStringLiteral("'%1' is not a valid integer value").arg(a[0].s));
  });
  add("function StrToIntDef(const S: string; Default: Int64): Int64;", [](Ctx&, Value* a, Value& r) {
    bool ok = false;
    const QString t = a[0].s.trimmed();
    r.i = t.startsWith(u'$') ? t.mid(1).toLongLong(&ok, 16) : t.toLongLong(&ok);
    if (!ok) r.i = a[1].i;
  });
  add("function FloatToStr(Value: Extended): string;",
      [](Ctx&, Value* a, Value& r) { r.s = floatToStr(a[0].f); });
  add("function StrToFloat(const S: string): Extended;", [](Ctx& c, Value* a, Value& r) {
    bool ok = false;
    r.f = a[0].s.trimmed().toDouble(&ok);
    if (!ok) runtimeError(c, QStringLiteral("'%1' is not a valid floating point value").arg(a[0].s));
  });
  add("function IntToHex(Value: Int64; Digits: Integer): string;", [](Ctx&, Value* a, Value& r) {
    r.s = QString::number(quint64(a[0].i), 16)
              .toUpper()
              .rightJustified(int(std::clamp<int64_t>(a[1].i, 0, 64)), u'0');
  });
  add("function Pos(const SubStr, S: string): Integer;",
      [](Ctx&, Value* a, Value& r) { r.i = a[0].s.isEmpty() ? 0 : a[1].s.indexOf(a[0].s) + 1; });
  add("procedure Delete(var S: string; Index, Count: Integer);", [](Ctx&, Value* a, Value&) {
    QString& s = a[0].ref->s;
    const int64_t k = a[1].i, cnt = a[2].i;
    if (k < 1 || k > s.size() || cnt <= 0) return;
    s.remove(qsizetype(k - 1), qsizetype(std::min<int64_t>(cnt, s.size() - k + 1)));
  });
  add("procedure Insert(const Source: string; var S: string; Index: Integer);", [](Ctx&, Value* a, Value&) {
    QString& s = a[1].ref->s;
    const int64_t k = std::clamp<int64_t>(a[2].i, 1, s.size() + 1);
    s.insert(qsizetype(k - 1), a[0].s);
  });
  add("function UpperCase(const S: string): string;",
      [](Ctx&, Value* a, Value& r) { r.s = a[0].s.toUpper(); });
  add("function LowerCase(const S: string): string;",
      [](Ctx&, Value* a, Value& r) { r.s = a[0].s.toLower(); });
  add("function AnsiUpperCase(const S: string): string;",
      [](Ctx&, Value* a, Value& r) { r.s = a[0].s.toUpper(); });
  add("function AnsiLowerCase(const S: string): string;",
      [](Ctx&, Value* a, Value& r) { r.s = a[0].s.toLower(); });
  add("function Trim(const S: string): string;", [](Ctx&, Value* a, Value& r) {
    const QString& s = a[0].s;
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= 32) ++b;
    while (e > b && s[e - 1].unicode() <= 32) --e;
    r.s = s.mid(b, e - b);
  });
  add("function TrimLeft(const S: string): string;", [](Ctx&, Value* a, Value& r) {
    const QString& s = a[0].s;
    qsizetype b = 0;
    while (b < s.size() && s[b].unicode() <= 32) ++b;
    r.s = s.mid(b);
  });
  add("function TrimRight(const S: string): string;", [](Ctx&, Value* a, Value& r) {
    const QString& s = a[0].s;
    qsizetype e = s.size();
    while (e > 0 && s[e - 1].unicode() <= 32) --e;
    r.s = s.left(e);
  });
  add("function StringOfChar(C: Char; Count: Integer): string;", [](Ctx& c, Value* a, Value& r) {
    if (a[1].i > (int64_t(1) << 28)) runtimeError(c, QStringLiteral("Out of memory"));
    r.s = QString(qsizetype(std::max<int64_t>(a[1].i, 0)), QChar(char16_t(a[0].i)));
  });
  add("function CompareText(const S1, S2: string): Integer;",
      [](Ctx&, Value* a, Value& r) { r.i = QString::compare(a[0].s, a[1].s, Qt::CaseInsensitive); });
  add("function CompareStr(const S1, S2: string): Integer;",
      [](Ctx&, Value* a, Value& r) { r.i = QString::compare(a[0].s, a[1].s, Qt::CaseSensitive); });
  add("function SameText(const S1, S2: string): Boolean;",
      [](Ctx&, Value* a, Value& r) { r.i = QString::compare(a[0].s, a[1].s, Qt::CaseInsensitive) == 0; });
  add("function QuotedStr(const S: string): string;", [](Ctx&, Value* a, Value& r) {
    r.s = u'\'' + QString(a[0].s).replace(QStringLiteral("'"), QStringLiteral("''")) + u'\'';
  });
  add("function StringReplace(const S, OldPattern, NewPattern: string; All, IgnoreCase: Boolean): string;",
      [](Ctx&, Value* a, Value& r) {
        const Qt::CaseSensitivity cs = a[4].i ? Qt::CaseInsensitive : Qt::CaseSensitive;
        if (a[1].s.isEmpty()) {
          r.s = a[0].s;
        } else if (a[3].i) {
          r.s = QString(a[0].s).replace(a[1].s, a[2].s, cs);
        } else {
          r.s = a[0].s;
          const qsizetype k = r.s.indexOf(a[1].s, 0, cs);
          if (k >= 0) r.s.replace(k, a[1].s.size(), a[2].s);
        }
      });
  add("function Now: TDateTime;",
      [](Ctx&, Value*, Value& r) { r.f = toDateTime(QDateTime::currentDateTime()); });
  add("function Date: TDateTime;",
      [](Ctx&, Value*, Value& r) { r.f = std::floor(toDateTime(QDateTime::currentDateTime())); });
  add("function Time: TDateTime;", [](Ctx&, Value*, Value& r) {
    const double d = toDateTime(QDateTime::currentDateTime());
    r.f = d - std::floor(d);
  });
  add("function FormatDateTime(const Format: string; DateTime: TDateTime): string;",
      [](Ctx&, Value* a, Value& r) { r.s = formatDateTime(a[0].s, a[1].f); });
  add("function DateToStr(DateTime: TDateTime): string;",
      [](Ctx&, Value* a, Value& r) { r.s = formatDateTime(QStringLiteral("ddddd"), a[0].f); });
  add("function TimeToStr(DateTime: TDateTime): string;",
      [](Ctx&, Value* a, Value& r) { r.s = formatDateTime(QStringLiteral("tt"), a[0].f); });
  add("function DateTimeToStr(DateTime: TDateTime): string;",
      [](Ctx&, Value* a, Value& r) { r.s = formatDateTime(QStringLiteral("c"), a[0].f); });
  add("function EncodeDate(Year, Month, Day: Word): TDateTime;", [](Ctx& c, Value* a, Value& r) {
    const QDate d(int(a[0].i), int(a[1].i), int(a[2].i));
    if (!d.isValid()) runtimeError(c, QStringLiteral("Invalid argument to date encode"));
    r.f = double(kEpoch.daysTo(d));
  });
  add("function EncodeTime(Hour, Min, Sec, MSec: Word): TDateTime;", [](Ctx& c, Value* a, Value& r) {
    const QTime t(int(a[0].i), int(a[1].i), int(a[2].i), int(a[3].i));
    if (!t.isValid()) runtimeError(c, QStringLiteral("Invalid argument to time encode"));
    r.f = double(t.msecsSinceStartOfDay()) / 86400000.0;
  });
  add("procedure DecodeDate(DateTime: TDateTime; var Year, Month, Day: Word);", [](Ctx&, Value* a, Value&) {
    const QDate d = fromDateTime(a[0].f).date();
    a[1].ref->i = d.year();
    a[2].ref->i = d.month();
    a[3].ref->i = d.day();
  });
  add("procedure DecodeTime(DateTime: TDateTime; var Hour, Min, Sec, MSec: Word);",
      [](Ctx&, Value* a, Value&) {
        const QTime t = fromDateTime(a[0].f).time();
        a[1].ref->i = t.hour();
        a[2].ref->i = t.minute();
        a[3].ref->i = t.second();
        a[4].ref->i = t.msec();
      });
  add("function DayOfWeek(DateTime: TDateTime): Integer;", [](Ctx&, Value* a, Value& r) {
    r.i = fromDateTime(a[0].f).date().dayOfWeek() % 7 + 1;  // Sunday is 1
  });
  add("function Round(X: Extended): Int64;",
      [](Ctx& c, Value* a, Value& r) { r.i = toInt64(c, std::nearbyint(a[0].f)); });
  add("function Trunc(X: Extended): Int64;",
      [](Ctx& c, Value* a, Value& r) { r.i = toInt64(c, std::trunc(a[0].f)); });
  add("function Frac(X: Extended): Extended;",
      [](Ctx&, Value* a, Value& r) { r.f = a[0].f - std::trunc(a[0].f); });
  add("function Int(X: Extended): Extended;", [](Ctx&, Value* a, Value& r) { r.f = std::trunc(a[0].f); });
  add("function Sqrt(X: Extended): Extended;", [](Ctx& c, Value* a, Value& r) {
    if (a[0].f < 0) runtimeError(c, QStringLiteral("Invalid floating point operation"));
    r.f = std::sqrt(a[0].f);
  });
  add("function Sin(X: Extended): Extended;", [](Ctx&, Value* a, Value& r) { r.f = std::sin(a[0].f); });
  add("function Cos(X: Extended): Extended;", [](Ctx&, Value* a, Value& r) { r.f = std::cos(a[0].f); });
  add("function ArcTan(X: Extended): Extended;", [](Ctx&, Value* a, Value& r) { r.f = std::atan(a[0].f); });
  add("function Exp(X: Extended): Extended;",
      [](Ctx& c, Value* a, Value& r) { r.f = checkedReal(c, std::exp(a[0].f)); });
  add("function Ln(X: Extended): Extended;", [](Ctx& c, Value* a, Value& r) {
    if (a[0].f <= 0) runtimeError(c, QStringLiteral("Invalid floating point operation"));
    r.f = std::log(a[0].f);
  });
  add("function Power(Base, Exponent: Extended): Extended;",
      [](Ctx& c, Value* a, Value& r) { r.f = checkedReal(c, std::pow(a[0].f, a[1].f)); });
  add("function Odd(X: Int64): Boolean;", [](Ctx&, Value* a, Value& r) { r.i = (a[0].i & 1) != 0; });
  add("procedure Randomize;", [](Ctx&, Value*, Value&) { rng().seed(std::random_device{}()); });
  add("function ExceptionMessage: string;", [](Ctx& c, Value*, Value& r) { r.s = c.exceptionMessage; });
  add("function GetExceptionMessage: string;", [](Ctx& c, Value*, Value& r) { r.s = c.exceptionMessage; });
  add("function BoolToStr(B: Boolean; UseBoolStrs: Boolean = False): string;", [](Ctx&, Value* a, Value& r) {
    r.s = a[1].i ? (a[0].i ? QStringLiteral("True") : QStringLiteral("False"))
                 : (a[0].i ? QStringLiteral("-1") : QStringLiteral("0"));
  });
}

}  // namespace vistrel::script
