// Day numbers and calendar dates, checked over every day the Windows conversion covers and
// across the whole 32-bit range.
#include "range/civil_date.h"

#include <gtest/gtest.h>

#include <chrono>

namespace serix::range {
namespace {

// Day number of 1 January 1970 on the plug-in's scale (1 January of year 1 is day 1).
constexpr std::int64_t kUnixEpochDay = 719163;

TEST(CivilDateTest, MatchesTheStandardCalendarOverTheSystemTimeYears) {
  using namespace std::chrono;
  for (std::int64_t day = 584389; day <= 11259330; ++day) {
    const year_month_day expected{sys_days{days{day - kUnixEpochDay}}};
    const CivilDate date = CivilFromDayNumber(day);
    ASSERT_EQ(date.year, static_cast<int>(expected.year())) << day;
    ASSERT_EQ(date.month, static_cast<int>(static_cast<unsigned>(expected.month()))) << day;
    ASSERT_EQ(date.day, static_cast<int>(static_cast<unsigned>(expected.day()))) << day;
  }
}

TEST(CivilDateTest, ConsecutiveDaysAcrossThe32BitRange) {
  // Walks the whole range in strides, checking each day against its successor and the
  // round trip; a stride not dividing 400 years reaches every position in the cycle.
  for (std::int64_t day = INT32_MIN; day < INT32_MAX; day += 9973) {
    const CivilDate date = CivilFromDayNumber(day);
    const CivilDate next = CivilFromDayNumber(day + 1);
    ASSERT_EQ(DayNumberFromCivil(date.year, date.month, date.day), day);
    const bool sameMonth =
        next.year == date.year && next.month == date.month && next.day == date.day + 1;
    const bool nextMonth =
        next.day == 1 && ((next.month == date.month + 1 && next.year == date.year) ||
                          (date.month == 12 && next.month == 1 && next.year == date.year + 1));
    ASSERT_TRUE(sameMonth || nextMonth) << day;
    ASSERT_GE(date.month, 1);
    ASSERT_LE(date.month, 12);
  }
}

}  // namespace
}  // namespace serix::range
