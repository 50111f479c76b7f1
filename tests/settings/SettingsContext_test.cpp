#include "settings/SettingsContext.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vistrel::settings {
namespace {

struct RealCase {
  double value;
  const char* comma;
};

class FormatRealTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(FormatRealTest, GeneralFormWithTheGivenSeparator) {
  const RealCase& c = GetParam();
  EXPECT_EQ(formatReal(c.value, QStringLiteral(",")), QString::fromUtf8(c.comma));
  QString point = QString::fromUtf8(c.comma);
  point.replace(QLatin1Char(','), QLatin1Char('.'));
  EXPECT_EQ(formatReal(c.value, QStringLiteral(".")), point);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatRealTest,
    ::testing::Values(RealCase{18.0, "18"}, RealCase{0.0, "0"}, RealCase{-0.0, "0"}, RealCase{0.5, "0,5"},
                      RealCase{-2.25, "-2,25"}, RealCase{29.97, "29,97"},
                      RealCase{1.0 / 3, "0,333333333333333"}, RealCase{2.0 / 3, "0,666666666666667"},
                      RealCase{-1.0 / 24, "-0,0416666666666667"}, RealCase{0.00001, "0,00001"},
                      RealCase{0.000001, "1E-6"}, RealCase{1.5e-7, "1,5E-7"},
                      RealCase{123456789012345.0, "123456789012345"},
                      RealCase{999999999999999.0, "999999999999999"}, RealCase{1e15, "1E15"},
                      RealCase{1.25e20, "1,25E20"}, RealCase{100.0, "100"}, RealCase{0.1 + 0.2, "0,3"}));

TEST(FormatReal, NonFiniteValuesHaveNames) {
  EXPECT_EQ(formatReal(std::nan(""), QStringLiteral(",")), QStringLiteral("NAN"));
  EXPECT_EQ(formatReal(HUGE_VAL, QStringLiteral(",")), QStringLiteral("INF"));
  EXPECT_EQ(formatReal(-HUGE_VAL, QStringLiteral(",")), QStringLiteral("-INF"));
}

struct ParseCase {
  const char* text;
  const char* separator;
  std::optional<double> expected;
};

class ParseRealTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRealTest, AcceptsOnlyTheLocaleForm) {
  const ParseCase& c = GetParam();
  const auto result = parseReal(QString::fromUtf8(c.text), QString::fromUtf8(c.separator));
  ASSERT_EQ(result.has_value(), c.expected.has_value()) << c.text;
  if (c.expected) {
    EXPECT_DOUBLE_EQ(*result, *c.expected) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseRealTest,
    ::testing::Values(ParseCase{"18", ",", 18.0}, ParseCase{"0,5", ",", 0.5},
                      ParseCase{"0,5", ".", std::nullopt}, ParseCase{"0.5", ",", std::nullopt},
                      ParseCase{"0.5", ".", 0.5}, ParseCase{" -2,25 ", ",", -2.25}, ParseCase{"+3", ",", 3.0},
                      ParseCase{"1E-6", ",", 1e-6}, ParseCase{"1,5e20", ",", 1.5e20},
                      ParseCase{",5", ",", 0.5}, ParseCase{"5,", ",", 5.0}, ParseCase{"", ",", std::nullopt},
                      ParseCase{",", ",", std::nullopt}, ParseCase{"1E", ",", std::nullopt},
                      ParseCase{"abc", ",", std::nullopt}, ParseCase{"1 000", ",", std::nullopt},
                      ParseCase{"1E999", ",", std::nullopt}, ParseCase{"-", ",", std::nullopt}));

TEST(ParseReal, RoundTripsEveryFormattedValue) {
  for (double v : {18.0, 0.5, -1.0 / 24, 1e-6, 1.25e20, 29.97, 123456.789}) {
    for (const char* sep : {",", "."}) {
      const auto back = parseReal(formatReal(v, QString::fromLatin1(sep)), QString::fromLatin1(sep));
      ASSERT_TRUE(back.has_value());
      EXPECT_NEAR(*back, v, std::fabs(v) * 1e-14);
    }
  }
}

TEST(ParseInteger, SignedDecimalWithinRange) {
  EXPECT_EQ(parseInteger(QStringLiteral("5000")), 5000);
  EXPECT_EQ(parseInteger(QStringLiteral(" -1 ")), -1);
  EXPECT_EQ(parseInteger(QStringLiteral("+7")), 7);
  EXPECT_EQ(parseInteger(QStringLiteral("2147483647")), INT32_MAX);
  EXPECT_EQ(parseInteger(QStringLiteral("-2147483648")), INT32_MIN);
  EXPECT_EQ(parseInteger(QStringLiteral("2147483648")), std::nullopt);
  EXPECT_EQ(parseInteger(QStringLiteral("99999999999999999999")), std::nullopt);
  EXPECT_EQ(parseInteger(QStringLiteral("abc")), std::nullopt);
  EXPECT_EQ(parseInteger(QStringLiteral("12a")), std::nullopt);
  EXPECT_EQ(parseInteger(QStringLiteral("")), std::nullopt);
  EXPECT_EQ(parseInteger(QStringLiteral("-")), std::nullopt);
  EXPECT_EQ(parseInteger(QStringLiteral("1.5")), std::nullopt);
}

TEST(SaveDateTime, UsesTheLocaleSeparators) {
  const QDateTime when(QDate(2026, 12, 1), QTime(9, 5, 3));
  EXPECT_EQ(formatSaveDateTime(when, QLocale(QLocale::German, QLocale::Germany)),
            QStringLiteral("01.12.2026 09:05:03"));
  EXPECT_EQ(formatSaveDateTime(when, QLocale(QLocale::English, QLocale::UnitedStates)),
            QStringLiteral("01/12/2026 09:05:03"));
  EXPECT_EQ(formatSaveDateTime(when, QLocale(QLocale::French, QLocale::France)),
            QStringLiteral("01/12/2026 09:05:03"));
}

TEST(SettingsLocale, CanBeReplacedAndRestored) {
  setSettingsLocale(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(settingsLocale().decimalPoint(), QStringLiteral(","));
  setSettingsLocale(QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_EQ(settingsLocale().decimalPoint(), QStringLiteral("."));
  setSettingsLocale(std::nullopt);
  EXPECT_EQ(settingsLocale(), QLocale::system());
}

}  // namespace
}  // namespace vistrel::settings
