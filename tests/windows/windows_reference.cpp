#include "windows_reference.h"

#include "range/range_values.h"

namespace serix::wintest {
namespace {

constexpr std::int32_t kFirstFileTimeDay = 584389;  // 1 January 1601
constexpr std::int64_t kFileTimeUnitsPerDay = 864000000000;

}  // namespace

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

}  // namespace serix::wintest
