// Our day-number arithmetic against the one Windows does: a day number becomes a FILETIME of
// whole days since 1 January 1601, FileTimeToSystemTime gives the calendar date, and wsprintfA
// writes it with "%02hd%c%02hd%c%04hd".
#include <windows.h>

#include <string>

#include "oracle.h"
#include "range/range_values.h"

namespace serix::wintest {
namespace {

constexpr std::int32_t kFirstFileTimeDay = 584389;  // 1 January 1601
constexpr std::int64_t kFileTimeUnitsPerDay = 864000000000;

bool SystemDateOf(std::int32_t dayNumber, SYSTEMTIME& date) {
  const std::int64_t units = std::int64_t{dayNumber - kFirstFileTimeDay} * kFileTimeUnitsPerDay;
  FILETIME fileTime;
  fileTime.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(units) & 0xFFFFFFFFu);
  fileTime.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(units) >> 32);
  return FileTimeToSystemTime(&fileTime, &date) != 0;
}

int WriteSystemDate(char* dest, const SYSTEMTIME& date, int dateOrder, char separator) {
  const bool dayFirst = dateOrder == kDateOrderDayFirst;
  return wsprintfA(dest, "%02hd%c%02hd%c%04hd", dayFirst ? date.wDay : date.wMonth, separator,
                   dayFirst ? date.wMonth : date.wDay, separator, date.wYear);
}

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
