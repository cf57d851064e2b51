// Decimal writing compared with the C library's printf, the convention the platform
// formatter follows for "%ld" and "%0" N "ld".
#include "format/decimal_text.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

namespace serix::format {
namespace {

std::vector<std::int64_t> ValuesOfEveryDigitCount() {
  std::vector<std::int64_t> values = {0, INT32_MIN, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1};
  for (std::int64_t power = 1; power <= 1000000000; power *= 10) {
    for (const std::int64_t near : {power - 1, power, power + 1, 2 * power + 3}) {
      values.push_back(near);
      values.push_back(-near);
    }
  }
  return values;
}

TEST(DecimalTextTest, ZeroPaddedMatchesPrintfForEveryWidth) {
  int compared = 0;
  for (const std::int64_t value : ValuesOfEveryDigitCount()) {
    for (int width = 0; width <= 100; ++width) {
      char expected[128];
      std::snprintf(expected, sizeof expected, "%0*" PRId64, width, value);
      char written[128];
      const int length = WriteZeroPadded(written, value, width);
      ASSERT_EQ(std::string(written, static_cast<std::size_t>(length)), expected)
          << "value " << value << " width " << width;
      ++compared;
    }
  }
  EXPECT_GT(compared, 8000);
}

TEST(DecimalTextTest, FormatTextsGiveTheirWidth) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"%ld", 0},         {"%03ld", 3}, {"%0007ld", 7}, {"%0100ld", 100},
      {"%00ld", 0},       {"%01ld", 1}, {"", 0},        {"%0" + std::string(300, '0') + "5ld", 5},
      {"%099999ld", 1000}};
  for (const auto& [format, width] : cases) {
    SCOPED_TRACE(format);
    EXPECT_EQ(NumberFormatWidth(format.c_str()), width);
  }
}

TEST(DecimalTextTest, FormatNumberFollowsTheFormat) {
  char text[128];
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(FormatNumber(text, "%04ld", -2))), "-002");
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(FormatNumber(text, "%ld", INT32_MIN))),
            "-2147483648");
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(FormatNumber(text, "%03ld", 1234))), "1234");
}

TEST(DecimalTextTest, UnsignedAndSignedExtremes) {
  char text[32];
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(WriteUnsigned(text, 0))), "0");
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(WriteUnsigned(text, UINT32_MAX))),
            "4294967295");
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(WriteUnsigned(text, UINT64_MAX))),
            "18446744073709551615");
  EXPECT_EQ(std::string(text, static_cast<std::size_t>(WriteDecimal(text, INT64_MIN))),
            "-9223372036854775808");
}

}  // namespace
}  // namespace serix::format
