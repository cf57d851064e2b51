// Decimal writing as the platform's printf-style formatter does it for "%ld", "%lu" and
// "%0" N "ld", without the formatter: the range loop writes thousands of numbers a call.
// Writers put the characters at dest, write no terminating zero, and return the count.
#pragma once

#include <cstdint>

namespace serix::format {

// Longest text of a 64-bit value: a sign and 19 digits.
inline constexpr int kMaxDecimalLength = 20;

// "%ld": the shortest decimal form, "-" before a negative value.
int WriteDecimal(char* dest, std::int64_t value);

// "%lu".
int WriteUnsigned(char* dest, std::uint64_t value);

// "%0" width "ld": the decimal form with "0" characters between the sign and the digits until
// the text is width characters long; never cut.
int WriteZeroPadded(char* dest, std::int64_t value, int width);

// The field width of a number format "%ld" (0) or "%0" digits "ld" (the digits' value,
// leading zeros ignored, held at 1000). Other texts give 0.
int NumberFormatWidth(const char* format);

// Writes value as the number format says, as the platform formatter would.
int FormatNumber(char* dest, const char* format, std::int32_t value);

}  // namespace serix::format
