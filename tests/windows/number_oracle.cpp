// Our decimal writers against wsprintfA, which the plug-in's number and message texts must
// match byte for byte: plain "%ld", zero-padded "%0" N "ld" for every width the plug-in can
// ask for (also written with leading zeros), "%lu", and the error-number alert's text.
#include <windows.h>

#include <climits>
#include <string>
#include <vector>

#include "capturing_platform.h"
#include "format/decimal_text.h"
#include "oracle.h"
#include "range/range_values.h"
#include "resources/resource_texts.h"
#include "settings/alerts.h"

namespace serix::wintest {
namespace {

// wsprintfA writes at most this many characters.
constexpr int kFormatterBufferSize = 1025;

// A fixed pseudo-random sequence, the same on every run.
class Lcg {
 public:
  std::uint32_t Next() {
    state_ = state_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<std::uint32_t>(state_ >> 32);
  }

 private:
  std::uint64_t state_ = 0x5E41C0DEu;
};

// Values of every decimal length, both signs, the 32-bit limits, and a pseudo-random spread.
std::vector<std::int32_t> SignedSamples() {
  std::vector<std::int32_t> values{0, INT32_MAX, INT32_MIN, INT32_MIN + 1, INT32_MAX - 1};
  std::int64_t low = 1;
  for (int digits = 1; digits <= 10; ++digits, low *= 10) {
    const std::int64_t high = std::min<std::int64_t>(low * 10 - 1, INT32_MAX);
    for (const std::int64_t magnitude : {low, high, low + (high - low) / 3}) {
      values.push_back(static_cast<std::int32_t>(magnitude));
      values.push_back(static_cast<std::int32_t>(-magnitude));
    }
  }
  Lcg random;
  for (int i = 0; i < 2000; ++i) {
    // Spread evenly over the decimal lengths rather than over the values.
    const std::uint32_t digits = random.Next() % 10 + 1;
    std::uint32_t magnitude = random.Next();
    if (digits < 10) {
      std::uint32_t limit = 1;
      for (std::uint32_t d = 0; d < digits; ++d) limit *= 10;
      magnitude %= limit;
    }
    const auto value = static_cast<std::int32_t>(magnitude);  // any 32-bit pattern
    values.push_back(i % 2 == 0 ? value : static_cast<std::int32_t>(0u - magnitude));
  }
  return values;
}

std::vector<std::uint32_t> UnsignedSamples() {
  std::vector<std::uint32_t> values{0, 1, 5, 234, 1021, UINT32_MAX, 0x80000000u, 0x7FFFFFFFu};
  std::uint64_t low = 1;
  for (int digits = 1; digits <= 10; ++digits, low *= 10) {
    const std::uint64_t high = std::min<std::uint64_t>(low * 10 - 1, UINT32_MAX);
    values.push_back(static_cast<std::uint32_t>(low));
    values.push_back(static_cast<std::uint32_t>(high));
  }
  Lcg random;
  for (int i = 0; i < 2000; ++i) values.push_back(random.Next() >> (random.Next() % 32));
  return values;
}

// The formats the plug-in can build: "%ld", and "%0" N "ld" for N from 0 to 100, written
// plain, with one leading zero, and with as many leading zeros as the 100-character format
// buffer holds.
std::vector<std::string> NumberFormats() {
  std::vector<std::string> formats{"%ld"};
  for (int width = 0; width <= kMaxPaddingWidth; ++width) {
    const std::string digits = std::to_string(width);
    formats.push_back("%0" + digits + "ld");
    formats.push_back("%00" + digits + "ld");
    const std::size_t longest = kNumberFormatSize - 1 - 4;  // "%0", "ld", terminator
    formats.push_back("%0" + std::string(longest - digits.size(), '0') + digits + "ld");
  }
  return formats;
}

std::string_view Text(const char* buffer, int length) {
  return {buffer, static_cast<std::size_t>(length)};
}

void CheckFormats(Checker& checker, const std::vector<std::int32_t>& values) {
  char expected[kFormatterBufferSize];
  char actual[kFormatterBufferSize];
  for (const std::string& format : NumberFormats()) {
    for (const std::int32_t value : values) {
      const int expectedLength = wsprintfA(expected, format.c_str(), static_cast<long>(value));
      const int actualLength = format::FormatNumber(actual, format.c_str(), value);
      checker.Equal(Text(expected, expectedLength), Text(actual, actualLength),
                    [&] { return "FormatNumber \"" + format + "\" " + std::to_string(value); });
    }
  }
}

void CheckWidths(Checker& checker, const std::vector<std::int32_t>& values) {
  char expected[kFormatterBufferSize];
  char actual[kFormatterBufferSize];
  for (const std::int32_t value : values) {
    const int plainLength = wsprintfA(expected, "%ld", static_cast<long>(value));
    const int decimalLength = format::WriteDecimal(actual, value);
    checker.Equal(Text(expected, plainLength), Text(actual, decimalLength),
                  [&] { return "WriteDecimal " + std::to_string(value); });
    for (int width = 0; width <= kMaxPaddingWidth; ++width) {
      const std::string format = "%0" + std::to_string(width) + "ld";
      const int expectedLength = wsprintfA(expected, format.c_str(), static_cast<long>(value));
      const int actualLength = format::WriteZeroPadded(actual, value, width);
      checker.Equal(Text(expected, expectedLength), Text(actual, actualLength), [&] {
        return "WriteZeroPadded width " + std::to_string(width) + " " + std::to_string(value);
      });
    }
  }
}

void CheckUnsigned(Checker& checker) {
  char expected[kFormatterBufferSize];
  char actual[kFormatterBufferSize];
  for (const std::uint32_t value : UnsignedSamples()) {
    const int expectedLength = wsprintfA(expected, "%lu", static_cast<unsigned long>(value));
    const int actualLength = format::WriteUnsigned(actual, value);
    checker.Equal(Text(expected, expectedLength), Text(actual, actualLength),
                  [&] { return "WriteUnsigned " + std::to_string(value); });
  }
}

}  // namespace

void CheckNumbersAgainstWsprintf(Checker& checker) {
  const std::vector<std::int32_t> values = SignedSamples();
  CheckFormats(checker, values);
  CheckWidths(checker, values);
  CheckUnsigned(checker);
}

void CheckErrorTextAgainstWsprintf(Checker& checker) {
  char expected[kFormatterBufferSize];
  for (const std::uint32_t number : UnsignedSamples()) {
    const int expectedLength =
        wsprintfA(expected, " error number %lu  ", static_cast<unsigned long>(number));
    ClearCapturedMessages();
    ShowErrorNumberAlert(SERIX_IDS_PREFS_ERROR_CAPTION, number);
    const auto& shown = CapturedMessages();
    if (!checker.EqualNumber(1, static_cast<long long>(shown.size()),
                             "one message box for the error number")) {
      continue;
    }
    checker.Equal(Text(expected, expectedLength), shown.front().text,
                  [&] { return "error-number text for " + std::to_string(number); });
  }
}

}  // namespace serix::wintest
