#include "catalogue/date_value.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace {

void ExpectParts(double value, TDateParts want) {
  const TDateParts p = DatePartsOf(value);
  EXPECT_EQ((std::array{p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, p.Millisecond}),
            (std::array{want.Year, want.Month, want.Day, want.Hour, want.Minute, want.Second, want.Millisecond}))
      << value;
}

}  // namespace

TEST(DateValue, KnownDaysAndTimes) {
  EXPECT_EQ(DateValueOf({1899, 12, 30}), 0);
  EXPECT_EQ(DateValueOf({1900, 1, 1}), 2);
  EXPECT_EQ(DateValueOf({2000, 2, 29, 12}), 36585.5);
  EXPECT_EQ(DateValueOf({2026, 12, 9, 6}), 46365.25);
  EXPECT_DOUBLE_EQ(DateValueOf({2024, 3, 1, 23, 59, 58}), 45352 + 86398.0 / 86400);
  ExpectParts(36585.5, {2000, 2, 29, 12});
  ExpectParts(45352 + 86398.0 / 86400, {2024, 3, 1, 23, 59, 58});
  // A time a hair before midnight rounds into the next day, never to 24:00.
  ExpectParts(2.9999999999, {1900, 1, 2});
  EXPECT_EQ(DayOfWeek(0), 6);        // Saturday
  EXPECT_EQ(DayOfWeek(46365.75), 3);  // 2026-12-09, a Wednesday
}

TEST(DateValue, BeforeTheFirstDayTheTimeStillCountsForwards) {
  EXPECT_EQ(DateValueOf({1899, 12, 29, 6}), -1.25);
  ExpectParts(-1.25, {1899, 12, 29, 6});
  ExpectParts(-0.5, {1899, 12, 30, 12});  // the whole part is -0: the first day itself
  EXPECT_EQ(DayOfWeek(-1.25), 5);
  EXPECT_EQ(DayOfWeek(-8), 5);
  const TDateParts first{1, 1, 1, 0, 0, 1};
  ExpectParts(DateValueOf(first), first);
}

TEST(DateValue, EveryDayOfFourCenturiesGoesAndComesBack) {
  const double start = DateValueOf({1800, 1, 1});
  int weekday = DayOfWeek(start);
  for (int d = 0; d < 146097; ++d) {
    const double v = start + d;
    const TDateParts p = DatePartsOf(v);
    ASSERT_EQ(DateValueOf(p), v);
    ASSERT_EQ(DayOfWeek(v), (weekday + d) % 7);
  }
}

TEST(DateValue, ValuesFromAFileThatNameNoDateStayInRange) {
  EXPECT_EQ(DatePartsOf(1e300).Year, 9999);
  EXPECT_EQ(DatePartsOf(-1e300).Year, 1);
  EXPECT_EQ(DatePartsOf(std::nan("")).Year, 1899);
  EXPECT_GE(DayOfWeek(std::numeric_limits<double>::infinity()), 0);
}
