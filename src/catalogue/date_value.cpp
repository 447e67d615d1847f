#include "catalogue/date_value.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr std::int64_t kMsPerDay = 86400000;

// Days from 1970-01-01 to a civil date, and back (H. Hinnant's algorithms, valid for any year).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}
void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);

// A value as whole days and milliseconds into the day. A value read from a file may be
// anything: it is kept within the years 1 to 9999, and a value that is not a number counts as 0.
void Split(double value, std::int64_t& days, std::int64_t& ms) {
  // 0001-01-01 and 9999-12-31, each to its last millisecond.
  constexpr double kLastMs = 86399999.0 / kMsPerDay, kFirst = -693593 - kLastMs, kLast = 2958465 + kLastMs;
  if (std::isnan(value)) value = 0;
  value = value < kFirst ? kFirst : value > kLast ? kLast : value;
  days = static_cast<std::int64_t>(std::trunc(value));
  ms = std::llround(std::fabs(value - static_cast<double>(days)) * kMsPerDay);
  if (ms >= kMsPerDay) {  // rounded up into the next day
    ms -= kMsPerDay;
    days += value < 0 ? -1 : 1;
  }
}

}  // namespace

double DateValueOf(const TDateParts& p) {
  const std::int64_t days = DaysFromCivil(p.Year, p.Month, p.Day) - kEpoch;
  const double time =
      static_cast<double>(((p.Hour * 60 + p.Minute) * 60 + p.Second) * std::int64_t{1000} + p.Millisecond) / kMsPerDay;
  return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

TDateParts DatePartsOf(double value) {
  std::int64_t days = 0, ms = 0;
  Split(value, days, ms);
  TDateParts p;
  CivilFromDays(days + kEpoch, p.Year, p.Month, p.Day);
  p.Millisecond = static_cast<int>(ms % 1000);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Hour = static_cast<int>(ms / 3600000);
  return p;
}

int DayOfWeek(double value) {
  std::int64_t days = 0, ms = 0;
  Split(value, days, ms);
  // 1899-12-30 was a Saturday.
  return static_cast<int>(((days + 6) % 7 + 7) % 7);
}
