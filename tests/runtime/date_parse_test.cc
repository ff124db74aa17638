#include "runtime/date_parse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "runtime/convert.h"
#include "runtime/literal.h"
#include "tests/runtime/test_util.h"

namespace memo {
namespace {

constexpr double k20140710 = 41830.0;  // 2014-07-10 00:00
constexpr double kSecond = 1.0 / 86400.0;

// Parses a UTF-8 literal; NaN when refused.
double Parse(const char* utf8) {
  double day = 0;
  return ParseDateTime(Gbk(utf8), &day) ? day : std::nan("");
}

TEST(ParseDateTime, ChineseFormsAsTheGridShowsThem) {
  EXPECT_DOUBLE_EQ(Parse("2014年7月10日"), k20140710);
  EXPECT_NEAR(Parse("2014年7月10日9时"), k20140710 + 9 * 3600 * kSecond, 1e-9);
  EXPECT_NEAR(Parse("2014年7月10日9时5分"), k20140710 + (9 * 3600 + 5 * 60) * kSecond, 1e-9);
  EXPECT_NEAR(Parse("2014年7月10日9时5分7秒"), k20140710 + (9 * 3600 + 5 * 60 + 7) * kSecond, 1e-9);
  EXPECT_DOUBLE_EQ(Parse("2014年07月10日"), k20140710);
}

TEST(ParseDateTime, IsoFormsWithDashOrSlash) {
  EXPECT_DOUBLE_EQ(Parse("2014-07-10"), k20140710);
  EXPECT_DOUBLE_EQ(Parse("2014/7/10"), k20140710);
  EXPECT_NEAR(Parse("2014-07-10 09:05"), k20140710 + (9 * 3600 + 5 * 60) * kSecond, 1e-9);
  EXPECT_NEAR(Parse("2014-07-10 09:05:00"), k20140710 + (9 * 3600 + 5 * 60) * kSecond, 1e-9);
  EXPECT_NEAR(Parse("2014/07/10T23:59:59"), k20140710 + (86400 - 1) * kSecond, 1e-9);
  EXPECT_DOUBLE_EQ(Parse("  2014-07-10  "), k20140710);
}

TEST(ParseDateTime, EveryTextTheGridShowsParsesBackToItsValue) {
  const double values[] = {k20140710,
                           k20140710 + 9 * 3600 * kSecond,
                           k20140710 + (13 * 3600 + 1 * 60) * kSecond,
                           k20140710 + (23 * 3600 + 59 * 60 + 58) * kSecond,
                           2.0,
                           -700.0};
  for (double value : values) {
    std::string shown = testing::Consume(DateTimeToText(value));
    double back = 0;
    ASSERT_TRUE(ParseDateTime(shown, &back)) << value;
    EXPECT_NEAR(back, value, 1e-9);
  }
}

TEST(ParseDateTime, ImpossibleDatesAndTimesAreRefused) {
  EXPECT_TRUE(std::isnan(Parse("2014-02-30")));
  EXPECT_TRUE(std::isnan(Parse("2014-02-29")));   // not a leap year
  EXPECT_FALSE(std::isnan(Parse("2012-02-29")));  // a leap year
  EXPECT_TRUE(std::isnan(Parse("1900-02-29")));
  EXPECT_FALSE(std::isnan(Parse("2000-02-29")));
  EXPECT_TRUE(std::isnan(Parse("2014-13-01")));
  EXPECT_TRUE(std::isnan(Parse("2014-00-10")));
  EXPECT_TRUE(std::isnan(Parse("2014-07-00")));
  EXPECT_TRUE(std::isnan(Parse("2014-07-10 24:00")));
  EXPECT_TRUE(std::isnan(Parse("2014-07-10 09:60")));
  EXPECT_TRUE(std::isnan(Parse("2014-07-10 09:05:60")));
  EXPECT_TRUE(std::isnan(Parse("2014年2月30日")));
  EXPECT_TRUE(std::isnan(Parse("99-07-10")));  // year 99 is outside the calendar
  EXPECT_TRUE(std::isnan(Parse("10000-07-10")));
}

TEST(ParseDateTime, AnythingElseIsRefusedAndLeavesTheOutputAlone) {
  const char* refused[] = {"",
                           "   ",
                           "2014",
                           "2014-07",
                           "2014-07/10",
                           "2014-07-10 9",
                           "2014-07-10 09:05:",
                           "2014-07-10x",
                           "2014年7月",
                           "2014年7月10日9",
                           "2014年7月10日5分",
                           "2014年7月10日9时5分7",
                           "2014年7月10日9时x",
                           "今天",
                           "2014-007-10",
                           "+2014-07-10",
                           "2014-07-10 09:05:00 x"};
  for (const char* text : refused) {
    double day = 123.0;
    EXPECT_FALSE(ParseDateTime(Gbk(text), &day)) << text;
    EXPECT_EQ(day, 123.0) << text;
  }
}

TEST(ParseDateTime, DatesBeforeTheEpochKeepTheirTimeOfDay) {
  // 1899-12-29 06:00 is -1.25: the integer part is the date, the fraction's magnitude the time.
  EXPECT_NEAR(Parse("1899-12-29 06:00"), -1.25, 1e-9);
  EXPECT_DOUBLE_EQ(Parse("100-01-01"), -657434.0);
}

}  // namespace
}  // namespace memo
