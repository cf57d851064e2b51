#include "range/range_values.h"

#include <cstring>

#include "format/decimal_text.h"
#include "host/parameters.h"
#include "range/civil_date.h"

namespace serix {
namespace {

constexpr char kPaddingOption[] = "-padding";
constexpr char kPlainFormat[] = "%ld";
constexpr char kWidestFormat[] = "%0100ld";
// At most this many characters after the option word are looked at for the width.
constexpr int kPaddingTextLimit = 999;

bool IsWhiteSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// "%0", the width text and "ld", terminated.
void WriteWidthFormat(char (&format)[kNumberFormatSize], const char* width, std::size_t length) {
  format[0] = '%';
  format[1] = '0';
  std::memcpy(format + 2, width, length);
  std::memcpy(format + 2 + length, "ld", 3);
}

void WriteWidthFormat(char (&format)[kNumberFormatSize], std::int32_t width) {
  char digits[format::kMaxDecimalLength];
  const int length = format::WriteDecimal(digits, width);
  WriteWidthFormat(format, digits, static_cast<std::size_t>(length));
}

int TwoDigits(char* dest, int value) {
  dest[0] = static_cast<char>('0' + value / 10);
  dest[1] = static_cast<char>('0' + value % 10);
  return 2;
}

}  // namespace

std::int32_t ParseRangeValue(const char* text, std::int32_t& value) {
  while (IsWhiteSpace(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '+' || *text == '-') ++text;
  // Accumulate the magnitude, stopping as soon as it passes the 32-bit limits.
  constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
  std::int64_t magnitude = 0;
  for (; IsDigit(*text); ++text) {
    magnitude = magnitude * 10 + (*text - '0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  value = signedValue > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(signedValue);
  return value;
}

void BuildNumberFormats(const char* options, int negativesPossible,
                        char (&nonNegativeFormat)[kNumberFormatSize],
                        char (&negativeFormat)[kNumberFormatSize]) {
  const auto optionsLength = static_cast<std::int32_t>(std::strlen(options));
  constexpr auto kOptionLength = static_cast<std::int32_t>(sizeof kPaddingOption - 1);
  const std::int32_t found =
      FindText(options, optionsLength, kPaddingOption, kOptionLength, 0, 1, false);

  // The width digits: the first run of digits in the text after the option word, up to the
  // next "-".
  const char* widthDigits = nullptr;
  std::size_t widthLength = 0;
  if (found >= 0) {
    const char* text = options + found + kOptionLength;
    int taken = 0;
    while (taken < kPaddingTextLimit && text[taken] != '\0' && text[taken] != '-' &&
           !IsDigit(text[taken])) {
      ++taken;
    }
    if (taken < kPaddingTextLimit && IsDigit(text[taken])) {
      widthDigits = text + taken;
      while (taken + static_cast<int>(widthLength) < kPaddingTextLimit &&
             IsDigit(widthDigits[widthLength])) {
        ++widthLength;
      }
    }
  }
  if (widthDigits == nullptr) {
    std::memcpy(nonNegativeFormat, kPlainFormat, sizeof kPlainFormat);
    std::memcpy(negativeFormat, kPlainFormat, sizeof kPlainFormat);
    return;
  }

  char widthText[kPaddingTextLimit + 1];
  std::memcpy(widthText, widthDigits, widthLength);
  widthText[widthLength] = '\0';
  std::int32_t width = 0;
  ParseRangeValue(widthText, width);

  // "%0", the digits and "ld" must fit the buffer; digits with very many leading zeros are
  // written as their value instead, which pads the same.
  constexpr std::size_t kMaxWrittenDigits = kNumberFormatSize - 5;
  if (width > kMaxPaddingWidth) {
    std::memcpy(nonNegativeFormat, kWidestFormat, sizeof kWidestFormat);
  } else if (widthLength <= kMaxWrittenDigits) {
    WriteWidthFormat(nonNegativeFormat, widthDigits, widthLength);
  } else {
    WriteWidthFormat(nonNegativeFormat, width);
  }

  if (negativesPossible == 0) {
    negativeFormat[0] = '\0';
  } else if (width < kMaxPaddingWidth) {
    WriteWidthFormat(negativeFormat, width + 1);
  } else {
    std::memcpy(negativeFormat, kWidestFormat, sizeof kWidestFormat);
  }
}

int FormatRangeDate(std::int32_t dayNumber, int dateOrder, char separator, char* dest) {
  const range::CivilDate date = range::CivilFromDayNumber(dayNumber);
  const bool dayFirst = dateOrder == kDateOrderDayFirst;
  int length = TwoDigits(dest, dayFirst ? date.day : date.month);
  dest[length++] = separator;
  length += TwoDigits(dest + length, dayFirst ? date.month : date.day);
  dest[length++] = separator;
  return length + WriteDateYear(dest + length, date.year);
}

int WriteDateYear(char* dest, std::int64_t year) {
  // At least four digits; the minus sign of years before year 0 comes on top.
  return format::WriteZeroPadded(dest, year, year < 0 ? 5 : 4);
}

}  // namespace serix
