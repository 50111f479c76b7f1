// Date-time patterns in the French locale, time codes, and the composition of the two lines.

#include "filters/OverlayText.h"

#include <gtest/gtest.h>

#include <QDate>
#include <cmath>

namespace vistrel::filters {
namespace {

double at(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, mo, d))) +
         (h * 3'600'000.0 + mi * 60'000.0 + s * 1000.0 + ms) / 86'400'000.0;
}

TEST(OverlayDateTimePattern, FrenchNamesAndFormats) {
  const double thursday = at(2026, 12, 10, 14, 5, 9, 7);
  const struct {
    const char* pattern;
    const char* text;
  } cases[] = {
      {"ddddd", "10/12/2026"},
      {"dddddd", "jeudi 10 décembre 2026"},
      {"t", "14:05"},
      {"tt", "14:05:09"},
      {"ddddd tt", "10/12/2026 14:05:09"},
      {"dddddd tt", "jeudi 10 décembre 2026 14:05:09"},
      {"ddddd t", "10/12/2026 14:05"},
      {"d mmm yyyy", "10 déc. 2026"},
      {"DDDDD", "10/12/2026"},
      {"d/m/yy", "10/12/26"},
      {"ddd dddd mmmm", "jeu. jeudi décembre"},
      {"hh:mm", "14:05"},  // minutes right after an hour
      {"h:n:s.zzz", "14:5:9.007"},
      {"'dd' \"mm\" dd", "dd mm 10"},
      {"KQWX%!", "KQWX%!"},  // no pattern letter: copied
      {"'open quote", "open quote"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatOverlayDateTime(QString::fromUtf8(c.pattern), thursday), QString::fromUtf8(c.text))
        << c.pattern;
}

TEST(OverlayDateTimePattern, MonthsAndEdgeValues) {
  EXPECT_EQ(FormatOverlayDateTime(QStringLiteral("d mmm yyyy"), at(2004, 2, 29)),
            QStringLiteral("29 févr. 2004"));
  EXPECT_EQ(FormatOverlayDateTime(QStringLiteral("mmm"), at(2004, 8, 1)), QStringLiteral("août"));
  EXPECT_EQ(FormatOverlayDateTime(QStringLiteral("ddddd tt"), 0.0), QStringLiteral("30/12/1899 00:00:00"));
  // A time that rounds up to midnight belongs to the next day.
  EXPECT_EQ(FormatOverlayDateTime(QStringLiteral("ddddd tt"), at(2026, 12, 31) - 1e-10),
            QStringLiteral("31/12/2026 00:00:00"));
  EXPECT_EQ(FormatOverlayDateTime(QStringLiteral("c"), at(2026, 1, 2)), QStringLiteral("02/01/2026"));
  EXPECT_EQ(FormatOverlayDateTime(QStringLiteral("c"), at(2026, 1, 2, 3, 4, 5)),
            QStringLiteral("02/01/2026 03:04:05"));
  for (double bad : std::initializer_list<double>{1e12, -1e12, std::nan(""), INFINITY})
    EXPECT_EQ(FormatOverlayDateTime(QStringLiteral("ddddd tt"), bad), QString()) << bad;
  EXPECT_EQ(OverlayDayOfMonth(at(2026, 12, 10, 23, 59, 59)), 10);
  EXPECT_EQ(OverlayDayOfMonth(0), 30);
}

TEST(OverlayDateTimePattern, LongPatternsAreFormattedWhole) {
  QString pattern;
  for (int i = 0; i < 20'000; ++i) pattern += QStringLiteral("dddddd ");
  const QString text = FormatOverlayDateTime(pattern, at(2026, 12, 10));
  EXPECT_EQ(text.count(QStringLiteral("jeudi 10 décembre 2026")), 20'000);
}

TEST(OverlayTimeCode, Format) {
  const uint8_t a[4] = {1, 2, 3, 4};
  const uint8_t b[4] = {23, 59, 59, 24};
  const uint8_t c[4] = {0, 0, 0, 0};
  EXPECT_EQ(FormatTimeCode(a), QStringLiteral("1:02:03:04"));
  EXPECT_EQ(FormatTimeCode(b), QStringLiteral("23:59:59:24"));
  EXPECT_EQ(FormatTimeCode(c), QStringLiteral("0:00:00:00"));
}

struct ComposeCase {
  const char* name;
  uint8_t what;
  const char* incrust1;
  const char* incrust2;
  bool dvSource, dateValid, timeCodeValid;
  const char* line1;
  const char* line2;
};

TEST(OverlayComposition, ByContent) {
  const ComposeCase cases[] = {
      {"dv date", 0, "", "", true, true, true, "10/12/2026", "14:05:09"},
      {"dv date without date", 0, "", "", true, false, true, "N/A", "N/A"},
      {"dv date without source", 0, "", "", false, true, true, "N/A", "N/A"},
      {"time code", 1, "", "", true, true, true, "", "1:02:03:04"},
      {"time code missing", 1, "", "", true, true, false, "", "N/A"},
      {"custom, codes in any case", 2, "Le %D à %t", "%T|%d|%R", true, true, true,
       "Le 10/12/2026 à 1:02:03:04", "1:02:03:04|14:05:09|00:00:01"},
      {"custom without date or time code", 2, "%D et %t", "%d%T", true, false, false, "N/A et N/A", "N/AN/A"},
      {"custom without codes", 2, "Vacances 100% été", "", true, true, true, "Vacances 100% été", ""},
      {"custom clock", 2, "%r", "[%R]", false, false, false, "01/01/2027", "[00:00:01]"},
      {"clock", 3, "", "", false, false, false, "01/01/2027", "00:00:01"},
      {"nothing", 4, "x", "y", true, true, true, "", ""},
      {"unknown content keeps the lines", 9, "x", "y", true, true, true, "before 1", "before 2"},
  };
  for (const auto& c : cases) {
    settings::TincrustRec rec;
    rec.WhatIncrust = c.what;
    rec.Incrust1 = QString::fromUtf8(c.incrust1);
    rec.Incrust2 = QString::fromUtf8(c.incrust2);
    OverlayTextInputs in;
    in.dvSource = c.dvSource;
    in.dvDateValid = c.dateValid;
    in.dvDateTime = at(2026, 12, 10, 14, 5, 9);
    in.timeCodeValid = c.timeCodeValid;
    in.timeCode[0] = 1, in.timeCode[1] = 2, in.timeCode[2] = 3, in.timeCode[3] = 4;
    in.now = at(2027, 1, 1, 0, 0, 1);
    QString l1 = QStringLiteral("before 1"), l2 = QStringLiteral("before 2");
    ComposeOverlayLines(rec, in, l1, l2);
    EXPECT_EQ(l1, QString::fromUtf8(c.line1)) << c.name;
    EXPECT_EQ(l2, QString::fromUtf8(c.line2)) << c.name;
  }
}

TEST(OverlayComposition, OffsetShiftsDvAndClockAndEmptyPatternsGiveNothing) {
  settings::TincrustRec rec;
  rec.DecalageHoraire = 1.5 / 24;  // an hour and a half
  OverlayTextInputs in;
  in.dvSource = in.dvDateValid = true;
  in.dvDateTime = at(2026, 12, 10, 23, 0, 0);
  in.now = at(2026, 6, 1, 8, 0, 0);
  QString l1, l2;
  rec.WhatIncrust = 0;
  ComposeOverlayLines(rec, in, l1, l2);
  EXPECT_EQ(l1, QStringLiteral("11/12/2026"));
  EXPECT_EQ(l2, QStringLiteral("00:30:00"));
  rec.WhatIncrust = 3;
  rec.FormatDate1.clear();
  ComposeOverlayLines(rec, in, l1, l2);
  EXPECT_EQ(l1, QString());
  EXPECT_EQ(l2, QStringLiteral("09:30:00"));
}

TEST(OverlayComposition, HugeTemplate) {
  settings::TincrustRec rec;
  rec.WhatIncrust = 2;
  rec.Incrust1 = QString(100'000, QChar(u'%'));
  rec.Incrust2 = QString(50'000, QChar(u'x')) + QStringLiteral("%d") + QString(50'000, QChar(u'y'));
  OverlayTextInputs in;
  QString l1, l2;
  ComposeOverlayLines(rec, in, l1, l2);
  EXPECT_EQ(l1.size(), 100'000);
  EXPECT_EQ(l2.size(), 100'003);
  EXPECT_TRUE(l2.contains(QStringLiteral("xN/Ay")));
}

}  // namespace
}  // namespace vistrel::filters
