// Reading range values from parameter texts, building the two number formats of a range,
// and writing a day number as a date.
#pragma once

#include <cstdint>

namespace serix {

// Buffers for one number format, terminator included.
inline constexpr int kNumberFormatSize = 100;
// "-padding" pads numbers to at most this many characters (the widest format, "%0100ld").
inline constexpr int kMaxPaddingWidth = 100;

// Date orders: 0 numbers, 1 month first, 2 day first.
inline constexpr int kDateOrderNone = 0;
inline constexpr int kDateOrderMonthFirst = 1;
inline constexpr int kDateOrderDayFirst = 2;

// strtol, base 10, "C" locale: leading white space, one sign, the longest digit run; no
// digits read as 0; values beyond 32 bits are held at the nearest limit.
std::int32_t ParseRangeValue(const char* text, std::int32_t& value);

// Fills the formats for values of zero and above and for negative values from the width
// after "-padding" in the options text. The negative format is empty when negatives are
// not possible.
void BuildNumberFormats(const char* options, int negativesPossible,
                        char (&nonNegativeFormat)[kNumberFormatSize],
                        char (&negativeFormat)[kNumberFormatSize]);

// The longest text FormatRangeDate writes: two-digit day and month, two separators, a sign
// and a year of up to 8 digits for any 32-bit day number.
inline constexpr int kMaxDateLength = 15;

// Writes a date's year as FormatRangeDate does: at least four digits, with a minus sign before
// years before year 0; returns the count of characters.
int WriteDateYear(char* dest, std::int64_t year);

// Writes the date of dayNumber at dest, "MM/DD/YYYY" or "DD/MM/YYYY" with the separator given,
// the year in at least four digits; returns the count of characters (no terminator written).
int FormatRangeDate(std::int32_t dayNumber, int dateOrder, char separator, char* dest);

}  // namespace serix
