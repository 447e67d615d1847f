// Date values as the catalogue keeps them: a double counting days since 1899-12-30 00:00, its
// fraction the time of day. Before that day the whole part counts backwards while the fraction
// still counts forwards (-1.25 is 1899-12-29 06:00), as the format has always had it.
#pragma once

struct TDateParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The value of a calendar date and time (proleptic Gregorian calendar). The parts are taken as
// given: they are expected to name a real date and time.
double DateValueOf(const TDateParts& parts);
// The calendar date and time of a value, to the nearest millisecond.
TDateParts DatePartsOf(double value);
// The weekday of a value: 0 Sunday to 6 Saturday.
int DayOfWeek(double value);
