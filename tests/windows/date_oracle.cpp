// FormatRangeDate, our own day arithmetic, against the date Windows writes for every day.
#include <string>

#include "oracle.h"
#include "range/range_values.h"
#include "windows_reference.h"

namespace serix::wintest {
namespace {

void CompareDate(Checker& checker, std::int32_t dayNumber, const SYSTEMTIME& date, int dateOrder,
                 char separator) {
  char expected[64];
  char actual[64];
  const int expectedLength = WriteSystemDate(expected, date, dateOrder, separator);
  const int actualLength = FormatRangeDate(dayNumber, dateOrder, separator, actual);
  checker.Equal(std::string_view(expected, static_cast<std::size_t>(expectedLength)),
                std::string_view(actual, static_cast<std::size_t>(actualLength)), [&] {
                  return "day " + std::to_string(dayNumber) + " order " +
                         std::to_string(dateOrder) + " separator " + separator;
                });
}

}  // namespace

void CheckDatesAgainstSystemTime(Checker& checker, std::int32_t first, std::int32_t last,
                                 std::int32_t sampleEvery) {
  for (std::int32_t day = first; day <= last; ++day) {
    SYSTEMTIME date;
    if (!checker.True(SystemDateOf(day, date), "FileTimeToSystemTime accepts the day")) continue;
    for (const int order : {kDateOrderMonthFirst, kDateOrderDayFirst}) {
      CompareDate(checker, day, date, order, '/');
      if (day % sampleEvery == 0) {
        CompareDate(checker, day, date, order, '-');
        CompareDate(checker, day, date, order, '.');
      }
    }
  }
}

}  // namespace serix::wintest
