// Day numbers and proleptic Gregorian dates: day 1 is 1 January of year 1, day 584389 is
// 1 January 1601, and consecutive days have consecutive numbers. Branch-light arithmetic
// after Howard Hinnant's civil_from_days, valid for every 32-bit day number and beyond.
#pragma once

#include <cstdint>

namespace serix::range {

struct CivilDate {
  std::int64_t year;  // astronomical: year 0 is 1 BC
  int month;          // 1 to 12
  int day;            // 1 to 31
};

// Day number of 1 March of year 0 is -305; counting from there puts 29 February last.
constexpr CivilDate CivilFromDayNumber(std::int64_t dayNumber) {
  constexpr std::int64_t kDaysPerEra = 146097;
  const std::int64_t fromMarchYear0 = dayNumber + 305;
  const std::int64_t era =
      (fromMarchYear0 >= 0 ? fromMarchYear0 : fromMarchYear0 - (kDaysPerEra - 1)) / kDaysPerEra;
  const std::int64_t dayOfEra = fromMarchYear0 - era * kDaysPerEra;  // [0, 146096]
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;  // [0, 399]
  const std::int64_t dayOfYear =
      dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);  // [0, 365]
  const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;         // [0, 11], March = 0
  const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

constexpr std::int64_t DayNumberFromCivil(std::int64_t year, int month, int day) {
  const std::int64_t marchYear = month <= 2 ? year - 1 : year;
  const std::int64_t era = (marchYear >= 0 ? marchYear : marchYear - 399) / 400;
  const std::int64_t yearOfEra = marchYear - era * 400;
  const std::int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;
  const std::int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 305;
}

constexpr bool IsLeapYear(std::int64_t year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

constexpr int DaysInMonth(std::int64_t year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1 January of the year to the date: 0 to 365.
constexpr int DayOfYear(std::int64_t year, int month, int day) {
  constexpr int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  return kDaysBefore[month - 1] + day - 1 + (month > 2 && IsLeapYear(year) ? 1 : 0);
}

static_assert(DayOfYear(2000, 3, 1) == 60 && DayOfYear(1900, 3, 1) == 59 &&
              DayOfYear(2000, 12, 31) == 365 && DayOfYear(-4, 12, 31) == 365);
static_assert(DayNumberFromCivil(1, 1, 1) == 1);
static_assert(DayNumberFromCivil(1601, 1, 1) == 584389);
static_assert(DayNumberFromCivil(2000, 1, 1) == 730120);
static_assert(DayNumberFromCivil(2000, 2, 29) == 730179);
static_assert(DayNumberFromCivil(9999, 12, 31) == 3652059);
static_assert(DayNumberFromCivil(30827, 12, 31) == 11259330);
static_assert(CivilFromDayNumber(1).year == 1 && CivilFromDayNumber(1).month == 1);
static_assert(CivilFromDayNumber(0).year == 0 && CivilFromDayNumber(0).month == 12 &&
              CivilFromDayNumber(0).day == 31);
static_assert(CivilFromDayNumber(693654).month == 2 && CivilFromDayNumber(693655).month == 3);
static_assert(DaysInMonth(2000, 2) == 29 && DaysInMonth(1900, 2) == 28 && DaysInMonth(0, 2) == 29 &&
              DaysInMonth(-4, 2) == 29 && DaysInMonth(-100, 2) == 28 &&
              DaysInMonth(2001, 12) == 31);

}  // namespace serix::range
