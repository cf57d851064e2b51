// Reading range values, building the number formats, and writing dates.
#include "range/range_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace serix {
namespace {

TEST(ParseRangeValueTest, ReadsLikeStrtolInBase10) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"42", 42},
      {"  -17", -17},
      {"+5", 5},
      {"007", 7},
      {"12abc", 12},
      {"4.5", 4},
      {"1e3", 1},
      {"0x1F", 0},
      {"abc", 0},
      {"-", 0},
      {"+-5", 0},
      {"     ", 0},
      {"", 0},
      {"\t\n\v\f\r 9", 9},
      {"\xA0"
       "9",
       0},  // only ASCII white space is skipped
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999", 2147483647},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"-99999999999", INT32_MIN},
      {std::string(500, '9'), 2147483647},
      {std::string("-").append(500, '9'), INT32_MIN},
      {"0000000000000000000000012", 12},
      {"12/31/2000", 12},
      {"- 5", 0},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(::testing::Message() << "'" << text.substr(0, 30) << "'");
    std::int32_t stored = -99;
    EXPECT_EQ(ParseRangeValue(text.c_str(), stored), expected);
    EXPECT_EQ(stored, expected);
  }
}

struct FormatCase {
  std::string options;
  int negativesPossible;
  std::string nonNegative;
  std::string negative;
};

TEST(BuildNumberFormatsTest, WidthFromTheDigitsAfterThePaddingWord) {
  const std::vector<FormatCase> cases = {
      {"", 1, "%ld", "%ld"},
      {"-fieldsizewarning", 0, "%ld", "%ld"},
      {"-padding", 1, "%ld", "%ld"},
      {"-padding -4", 1, "%ld", "%ld"},
      {"-padding 3", 0, "%03ld", ""},
      {"-padding 3", 1, "%03ld", "%04ld"},
      {"-PADDING 4", 0, "%04ld", ""},
      {"-padding=05", 0, "%005ld", ""},
      {"-paddings 2", 0, "%02ld", ""},
      {"-padding abc 12 xyz", 0, "%012ld", ""},
      {"-padding 3x4", 0, "%03ld", ""},
      {"-padding 5 -DateUseDash", 0, "%05ld", ""},
      {"-padding 2 -padding 6", 0, "%02ld", ""},
      {"x-Paddingy7", 0, "%07ld", ""},
      {"-padding 0", 1, "%00ld", "%01ld"},
      {"-padding 007", 1, "%0007ld", "%08ld"},
      {"-padding 99", 1, "%099ld", "%0100ld"},
      {"-padding 100", 1, "%0100ld", "%0100ld"},
      {"-padding 101", 1, "%0100ld", "%0100ld"},
      {"-padding 250", 1, "%0100ld", "%0100ld"},
      {"-padding 99999999999", 1, "%0100ld", "%0100ld"},
      {"-padding 0100", 0, "%00100ld", ""},
  };
  for (const FormatCase& test : cases) {
    SCOPED_TRACE(test.options + " / " + std::to_string(test.negativesPossible));
    char nonNegative[kNumberFormatSize];
    char negative[kNumberFormatSize];
    BuildNumberFormats(test.options.c_str(), test.negativesPossible, nonNegative, negative);
    EXPECT_EQ(nonNegative, test.nonNegative);
    EXPECT_EQ(negative, test.negative);
  }
}

TEST(BuildNumberFormatsTest, WidthWithTooManyLeadingZerosStillFitsTheBuffer) {
  // 95 digits fit between "%0" and "ld"; more are written as their value.
  const std::string fits = std::string(94, '0') + "5";
  const std::string overflows = std::string(300, '0') + "5";
  char nonNegative[kNumberFormatSize];
  char negative[kNumberFormatSize];
  BuildNumberFormats(("-padding " + fits).c_str(), 1, nonNegative, negative);
  EXPECT_EQ(nonNegative, "%0" + fits + "ld");
  EXPECT_STREQ(negative, "%06ld");
  BuildNumberFormats(("-padding " + overflows).c_str(), 1, nonNegative, negative);
  EXPECT_STREQ(nonNegative, "%05ld");
  EXPECT_STREQ(negative, "%06ld");
  BuildNumberFormats(("-padding " + std::string(2000, '0')).c_str(), 1, nonNegative, negative);
  EXPECT_STREQ(nonNegative, "%00ld");
  EXPECT_STREQ(negative, "%01ld");
}

struct DateCase {
  std::int32_t dayNumber;
  int order;
  char separator;
  std::string text;
};

TEST(FormatRangeDateTest, WritesTheProlepticGregorianDate) {
  const std::vector<DateCase> cases = {
      {730120, 1, '/', "01/01/2000"},
      {730150, 1, '/', "01/31/2000"},
      {730150, 2, '.', "31.01.2000"},
      {730179, 1, '-', "02-29-2000"},
      {730180, 2, '-', "01-03-2000"},
      {731035, 1, '.', "07.04.2002"},
      {584389, 2, '/', "01/01/1601"},
      {3652059, 1, '/', "12/31/9999"},
      {3652060, 1, '/', "01/01/10000"},
      {693654, 1, '/', "02/28/1900"},
      {693655, 1, '/', "03/01/1900"},
      {730178, 1, '/', "02/28/2000"},
      {730850, 1, '/', "12/31/2001"},
      {11259330, 2, '/', "31/12/30827"},
      {11259331, 1, '/', "01/01/30828"},
      {584388, 1, '/', "12/31/1600"},
      {1, 2, '/', "01/01/0001"},
      {0, 1, '/', "12/31/0000"},
      {-366, 1, '/', "12/31/-0001"},
      {INT32_MAX, 1, '/', "07/11/5879611"},
      {INT32_MIN, 2, '.', "22.06.-5879610"},
      {730120, 0, '/', "01/01/2000"},
  };
  for (const DateCase& test : cases) {
    SCOPED_TRACE(test.dayNumber);
    char text[kMaxDateLength + 1];
    const int length = FormatRangeDate(test.dayNumber, test.order, test.separator, text);
    EXPECT_EQ(std::string(text, static_cast<std::size_t>(length)), test.text);
  }
}

}  // namespace
}  // namespace serix
