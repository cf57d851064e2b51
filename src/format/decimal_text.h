// Decimal writing as the platform's printf-style formatter does it for "%ld", "%lu" and
// "%0" N "ld", without the formatter: the range loop writes thousands of numbers a call.
// Writers put the characters at dest, write no terminating zero, and return the count.
#pragma once

#include <cstdint>
#include <cstring>

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

// The two digits of value, 0 to 99, with a leading zero below 10: one table look-up and
// one two-character store.
inline constexpr char kTwoDigitTable[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
inline void WriteTwoDigits(char* dest, std::int64_t value) {
  std::memcpy(dest, kTwoDigitTable + 2 * value, 2);
}

// Adds amount, which may be negative, to the decimal number written in the count digits at
// digits, carrying and borrowing from digit to digit. The sum must lie between 0 and the
// largest number of count digits.
void AddToDigits(char* digits, int count, std::int64_t amount);

// The field width of a number format "%ld" (0) or "%0" digits "ld" (the digits' value,
// leading zeros ignored, held at 1000). Other texts give 0.
int NumberFormatWidth(const char* format);

// Writes value as the number format says, as the platform formatter would.
int FormatNumber(char* dest, const char* format, std::int32_t value);

}  // namespace serix::format
