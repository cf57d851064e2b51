#include "format/decimal_text.h"

#include <cstring>

namespace serix::format {
namespace {

constexpr int kMaxWidth = 1000;

// Writes the digits of magnitude right-aligned ending at end; returns how many.
int WriteDigitsBackwards(char* end, std::uint64_t magnitude) {
  int count = 0;
  do {
    *--end = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
    ++count;
  } while (magnitude != 0);
  return count;
}

std::uint64_t MagnitudeOf(std::int64_t value) {
  // Negating in unsigned arithmetic is defined for the most negative value too.
  return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

}  // namespace

int WriteUnsigned(char* dest, std::uint64_t value) {
  char digits[kMaxDecimalLength];
  const int count = WriteDigitsBackwards(digits + sizeof digits, value);
  std::memcpy(dest, digits + sizeof digits - count, static_cast<std::size_t>(count));
  return count;
}

int WriteDecimal(char* dest, std::int64_t value) {
  return WriteZeroPadded(dest, value, 0);
}

int WriteZeroPadded(char* dest, std::int64_t value, int width) {
  char digits[kMaxDecimalLength];
  const int digitCount = WriteDigitsBackwards(digits + sizeof digits, MagnitudeOf(value));
  int length = 0;
  if (value < 0) dest[length++] = '-';
  const int zeros = width - length - digitCount;
  for (int i = 0; i < zeros; ++i) dest[length++] = '0';
  std::memcpy(dest + length, digits + sizeof digits - digitCount,
              static_cast<std::size_t>(digitCount));
  return length + digitCount;
}

void AddToDigits(char* digits, int count, std::int64_t amount) {
  for (int i = count - 1; i >= 0 && amount != 0; --i) {
    // The remainder has the sign of amount; a digit outside 0 to 9 carries or borrows.
    std::int64_t digit = (digits[i] - '0') + amount % 10;
    amount /= 10;
    if (digit > 9) {
      digit -= 10;
      ++amount;
    } else if (digit < 0) {
      digit += 10;
      --amount;
    }
    digits[i] = static_cast<char>('0' + digit);
  }
}

int NumberFormatWidth(const char* format) {
  if (format[0] != '%' || format[1] != '0') return 0;
  int width = 0;
  for (const char* digit = format + 2; *digit >= '0' && *digit <= '9'; ++digit) {
    width = width * 10 + (*digit - '0');
    if (width > kMaxWidth) width = kMaxWidth;
  }
  return width;
}

int FormatNumber(char* dest, const char* format, std::int32_t value) {
  return WriteZeroPadded(dest, value, NumberFormatWidth(format));
}

}  // namespace serix::format
