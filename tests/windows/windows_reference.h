// What Windows itself writes for a day number: the day becomes a FILETIME of whole days since
// 1 January 1601, FileTimeToSystemTime gives the calendar date, and wsprintfA writes it with
// "%02hd%c%02hd%c%04hd". The reference the plug-in's own date writing is checked against.
#pragma once

#include <windows.h>

#include <cstdint>

namespace serix::wintest {

// False when FileTimeToSystemTime refuses the day (before 1601, or past 30827).
bool SystemDateOf(std::int32_t dayNumber, SYSTEMTIME& date);

// Month first for any date order but 2 (day first); returns wsprintfA's count.
int WriteSystemDate(char* dest, const SYSTEMTIME& date, int dateOrder, char separator);

}  // namespace serix::wintest
