// The range writer against the simple one: byte for byte over many seeded random ranges
// (numbers and dates, any step, padding, prefixes and suffixes up to the limit), and both
// against known texts where digits carry, signs change, months and years turn over.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "format/decimal_text.h"
#include "range/range_values.h"
#include "range/range_writer.h"

namespace serix::testing {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

// A range as CreateRange would build it from its parameters.
struct RangeCase {
  std::string prefix;
  std::string suffix;
  std::int32_t start = 0;
  std::int32_t step = 1;
  std::int32_t end = 0;
  std::string options;  // "-padding N" or empty; read as CreateRange reads it
  int dateOrder = kDateOrderNone;
  char dateSeparator = '/';

  RangeSpec Spec() const {
    char nonNegativeFormat[kNumberFormatSize];
    char negativeFormat[kNumberFormatSize];
    BuildNumberFormats(options.c_str(), (start < 0 || end < 0) ? 1 : 0, nonNegativeFormat,
                       negativeFormat);
    return {prefix,
            suffix,
            start,
            step,
            end,
            dateOrder,
            dateSeparator,
            format::NumberFormatWidth(nonNegativeFormat),
            format::NumberFormatWidth(negativeFormat)};
  }

  std::string Describe() const {
    return "start " + std::to_string(start) + " step " + std::to_string(step) + " end " +
           std::to_string(end) + " options '" + options + "' dateOrder " +
           std::to_string(dateOrder) + " separator '" + dateSeparator + "' prefix length " +
           std::to_string(prefix.size()) + " suffix length " + std::to_string(suffix.size());
  }
};

struct Written {
  std::string text;
  std::int32_t length = 0;
  bool stoppedByRoom = false;
};

// Runs a writer on a buffer of exactly the working size, so that the sanitizers see any
// write past it.
template <typename Writer>
Written Run(Writer writer, const RangeSpec& spec) {
  std::vector<char> result(kResultWorkingSize, '\x7F');
  const RangeWritten written = writer(result.data(), spec);
  EXPECT_GE(written.length, 0);
  EXPECT_LE(written.length, static_cast<std::int32_t>(kResultWorkingSize));
  return {std::string(result.data(), static_cast<std::size_t>(written.length)), written.length,
          written.stoppedByRoom};
}

// The fast and the simple writer agree on the text, its length and whether the room ran
// out; returns the fast writer's outcome.
Written ExpectSameAsSimple(const RangeCase& range) {
  SCOPED_TRACE(range.Describe());
  const RangeSpec spec = range.Spec();
  const Written simple = Run(WriteRangeSimple, spec);
  const Written fast = Run(WriteRange, spec);
  EXPECT_EQ(fast.length, simple.length);
  EXPECT_EQ(fast.stoppedByRoom, simple.stoppedByRoom);
  if (fast.text != simple.text) {
    std::size_t first = 0;
    while (first < fast.text.size() && first < simple.text.size() &&
           fast.text[first] == simple.text[first]) {
      ++first;
    }
    ADD_FAILURE() << "texts differ from character " << first << ": fast '"
                  << fast.text.substr(first, 40) << "' simple '" << simple.text.substr(first, 40)
                  << "'";
  }
  return fast;
}

// Seeded random ranges, the same on every run.
class RandomRanges {
 public:
  explicit RandomRanges(std::uint64_t seed) : engine_(seed) {}

  std::int64_t Between(std::int64_t low, std::int64_t high) {
    return std::uniform_int_distribution<std::int64_t>(low, high)(engine_);
  }
  bool OneIn(int chances) { return Between(1, chances) == 1; }

  // Values near the places where texts change shape: zero, powers of ten, the 32-bit limits.
  std::int32_t Value() {
    switch (Between(0, 4)) {
      case 0:
        return Clamp(Between(kMin, kMax));
      case 1:
        return Clamp(Between(-1000, 1000));
      case 2: {
        std::int64_t power = 1;
        for (std::int64_t i = Between(1, 9); i > 0; --i) power *= 10;
        return Clamp((OneIn(2) ? power : -power) + Between(-300, 300));
      }
      case 3:
        return Clamp(std::int64_t{kMax} - Between(0, 1000));
      default:
        return Clamp(std::int64_t{kMin} + Between(0, 1000));
    }
  }

  // Steps of every size, either sign.
  std::int32_t Step() {
    std::int64_t size = 1;
    switch (Between(0, 6)) {
      case 0:
        size = Between(1, 9);
        break;
      case 1:
        size = Between(10, 99);
        break;
      case 2:
        size = Between(100, 999);
        break;
      case 6:
        size = Between(1000, 100000);
        break;
      case 3:
        size = Between(100000, kMax);
        break;
      case 4:
        size = 1;
        break;
      default:
        size = Between(1, 3);
        break;
    }
    if (OneIn(2)) return static_cast<std::int32_t>(size);
    return OneIn(200) ? kMin : static_cast<std::int32_t>(-size);
  }

  // An end that start reaches in the step's direction: close by, far off, or at the limit.
  std::int32_t EndFor(std::int32_t start, std::int32_t step) {
    const std::int64_t limit = step > 0 ? kMax : kMin;
    switch (Between(0, 3)) {
      case 0:
        return static_cast<std::int32_t>(limit);
      case 1:
        return start;
      default: {
        const std::int64_t end = std::int64_t{start} + step * Between(0, 20000);
        return step > 0 ? Clamp(std::min(end, limit)) : Clamp(std::max(end, limit));
      }
    }
  }

  // Affixes of every length up to a parameter's 1000 characters.
  std::string Affix() {
    std::int64_t length = 0;
    switch (Between(0, 3)) {
      case 0:
        length = 0;
        break;
      case 1:
        length = Between(1, 12);
        break;
      case 2:
        length = Between(13, 200);
        break;
      default:
        length = Between(200, 1000);
        break;
    }
    std::string text;
    for (std::int64_t i = 0; i < length; ++i) text += static_cast<char>(Between(' ', '~'));
    return text;
  }

  std::string PaddingOption() {
    if (OneIn(3)) return {};
    return "-padding " + std::to_string(OneIn(4) ? Between(90, 120) : Between(0, 14));
  }

  // Day numbers around the dates of every day-first and month-first text: before year 1,
  // the usual years, years of five digits and the far ends of 32 bits.
  std::int32_t DayNumber() {
    switch (Between(0, 4)) {
      case 0:
        return Clamp(Between(584389, 3652059));
      case 1:
        return Clamp(Between(3652059 - 800, 3652059 + 800));
      case 2:
        return Clamp(Between(-800, 800));
      case 3:
        return Clamp(Between(-400000, 11259330 + 400000));
      default:
        return Value();
    }
  }

  std::int32_t DayStep() {
    switch (Between(0, 3)) {
      case 0:
        return static_cast<std::int32_t>(OneIn(2) ? Between(1, 3) : -Between(1, 3));
      case 1:
        return static_cast<std::int32_t>(OneIn(2) ? Between(4, 62) : -Between(4, 62));
      case 2:
        return static_cast<std::int32_t>(OneIn(2) ? Between(63, 1000) : -Between(63, 1000));
      default:
        return Step();
    }
  }

 private:
  static std::int32_t Clamp(std::int64_t value) {
    return static_cast<std::int32_t>(
        std::max<std::int64_t>(kMin, std::min<std::int64_t>(kMax, value)));
  }

  std::mt19937_64 engine_;
};

TEST(RangeWriterPropertyTest, RandomNumberRangesMatchTheSimpleWriter) {
  RandomRanges random(20260101);
  int stoppedByRoom = 0;
  for (int i = 0; i < 2500; ++i) {
    RangeCase range;
    range.start = random.Value();
    range.step = random.Step();
    range.end = random.EndFor(range.start, range.step);
    range.options = random.PaddingOption();
    range.prefix = random.Affix();
    range.suffix = random.Affix();
    stoppedByRoom += ExpectSameAsSimple(range).stoppedByRoom ? 1 : 0;
    if (::testing::Test::HasFailure()) return;
  }
  // Both ways of ending a range were met many times.
  EXPECT_GT(stoppedByRoom, 500);
  EXPECT_LT(stoppedByRoom, 2400);
}

TEST(RangeWriterPropertyTest, RandomDateRangesMatchTheSimpleWriter) {
  RandomRanges random(730120);
  const char separators[] = {'/', '-', '.'};
  for (int i = 0; i < 2500; ++i) {
    RangeCase range;
    range.dateOrder = random.OneIn(2) ? kDateOrderMonthFirst : kDateOrderDayFirst;
    range.dateSeparator = separators[random.Between(0, 2)];
    range.start = random.DayNumber();
    range.step = random.DayStep();
    range.end = random.EndFor(range.start, range.step);
    range.options = random.PaddingOption();  // has no effect on dates
    range.prefix = random.Affix();
    range.suffix = random.Affix();
    ExpectSameAsSimple(range);
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(RangeWriterPropertyTest, EntriesCutAtTheLimitAtEveryOffset) {
  // Entries of one length, the last one passing 64000 characters by 0 to 12 of them.
  for (int prefixLength = 0; prefixLength <= 24; ++prefixLength) {
    for (int suffixLength = 0; suffixLength <= 3; ++suffixLength) {
      RangeCase range;
      range.prefix = std::string(static_cast<std::size_t>(prefixLength), 'p');
      range.suffix = std::string(static_cast<std::size_t>(suffixLength), 's');
      range.start = 1000000000;
      range.step = 1;
      range.end = kMax;
      const Written written = ExpectSameAsSimple(range);
      EXPECT_TRUE(written.stoppedByRoom);
      EXPECT_GT(written.length, kResultLimit - prefixLength - suffixLength);
    }
  }
}

TEST(RangeWriterPropertyTest, AffixesGivenAsEmptyViewsWithoutAddress) {
  for (const auto writer : {WriteRange, WriteRangeSimple}) {
    const RangeSpec spec{{}, {}, 9, 1, 10, kDateOrderNone, '/', 0, 0};
    std::vector<char> result(kResultWorkingSize);
    const RangeWritten written = writer(result.data(), spec);
    EXPECT_EQ(std::string(result.data(), static_cast<std::size_t>(written.length)), "9\r10\r");
    EXPECT_FALSE(written.stoppedByRoom);
  }
}

struct KnownRange {
  RangeCase range;
  std::vector<std::string> entries;
};

std::string Entries(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) text += entry + '\r';
  return text;
}

RangeCase Numbers(std::int32_t start, std::int32_t step, std::int32_t end,
                  std::string options = {}) {
  RangeCase range;
  range.start = start;
  range.step = step;
  range.end = end;
  range.options = std::move(options);
  return range;
}

RangeCase Dates(std::int32_t start, std::int32_t step, std::int32_t end, int order,
                char separator) {
  RangeCase range = Numbers(start, step, end);
  range.dateOrder = order;
  range.dateSeparator = separator;
  return range;
}

TEST(RangeWriterPropertyTest, NumbersWhereDigitsCarryAndSignsChange) {
  const std::vector<KnownRange> cases = {
      {Numbers(8, 1, 11), {"8", "9", "10", "11"}},
      {Numbers(98, 1, 101), {"98", "99", "100", "101"}},
      {Numbers(101, -1, 98), {"101", "100", "99", "98"}},
      {Numbers(998, 1, 1000, "-padding 3"), {"998", "999", "1000"}},
      {Numbers(1001, -1, 999, "-padding 3"), {"1001", "1000", "999"}},
      {Numbers(-11, 1, -8), {"-11", "-10", "-9", "-8"}},
      {Numbers(-8, -1, -11), {"-8", "-9", "-10", "-11"}},
      {Numbers(-101, 1, -99, "-padding 2"), {"-101", "-100", "-99"}},
      {Numbers(-2, 1, 2), {"-2", "-1", "0", "1", "2"}},
      {Numbers(2, -1, -2), {"2", "1", "0", "-1", "-2"}},
      {Numbers(-2, 1, 1, "-padding 3"), {"-002", "-001", "000", "001"}},
      {Numbers(15, -7, -20), {"15", "8", "1", "-6", "-13", "-20"}},
      {Numbers(-95, 90, 200), {"-95", "-5", "85", "175"}},
      {Numbers(950, 100, 1250), {"950", "1050", "1150", "1250"}},
      {Numbers(9950, 150, 10400), {"9950", "10100", "10250", "10400"}},
      {Numbers(-10, 199, 600), {"-10", "189", "388", "587"}},
      {Numbers(1099, -101, 800), {"1099", "998", "897"}},
      {Numbers(10099, -50, 9900), {"10099", "10049", "9999", "9949"}},
      {Numbers(2147483640, 3, kMax), {"2147483640", "2147483643", "2147483646"}},
      {Numbers(-2147483640, -5, kMin), {"-2147483640", "-2147483645"}},
      {Numbers(kMax - 1, 1, kMax), {"2147483646", "2147483647"}},
      {Numbers(kMin + 1, -1, kMin), {"-2147483647", "-2147483648"}},
      {Numbers(kMin, kMax, kMax), {"-2147483648", "-1", "2147483646"}},
      {Numbers(kMax, kMin, kMin), {"2147483647", "-1"}},
      {Numbers(-1, 1, 1, "-padding 100"),
       {std::string("-").append(98, '0') + "1", std::string(100, '0'), std::string(99, '0') + "1"}},
  };
  for (const KnownRange& known : cases) {
    const Written written = ExpectSameAsSimple(known.range);
    EXPECT_EQ(written.text, Entries(known.entries)) << known.range.Describe();
    EXPECT_FALSE(written.stoppedByRoom);
  }
}

TEST(RangeWriterPropertyTest, DatesWhereMonthsAndYearsTurnOver) {
  constexpr int kMonthFirst = kDateOrderMonthFirst;
  constexpr int kDayFirst = kDateOrderDayFirst;
  const std::vector<KnownRange> cases = {
      {Dates(730148, 1, 730152, kMonthFirst, '/'),
       {"01/29/2000", "01/30/2000", "01/31/2000", "02/01/2000", "02/02/2000"}},
      {Dates(730178, 1, 730181, kMonthFirst, '/'),
       {"02/28/2000", "02/29/2000", "03/01/2000", "03/02/2000"}},
      {Dates(730180, -1, 730177, kDayFirst, '-'),
       {"01-03-2000", "29-02-2000", "28-02-2000", "27-02-2000"}},
      {Dates(693653, 1, 693656, kMonthFirst, '/'),
       {"02/27/1900", "02/28/1900", "03/01/1900", "03/02/1900"}},
      {Dates(730484, 1, 730487, kDayFirst, '.'),
       {"30.12.2000", "31.12.2000", "01.01.2001", "02.01.2001"}},
      {Dates(730121, -1, 730118, kMonthFirst, '/'),
       {"01/02/2000", "01/01/2000", "12/31/1999", "12/30/1999"}},
      {Dates(3652058, 1, 3652061, kMonthFirst, '/'),
       {"12/30/9999", "12/31/9999", "01/01/10000", "01/02/10000"}},
      {Dates(3652061, -2, 3652057, kDayFirst, '/'), {"02/01/10000", "31/12/9999", "29/12/9999"}},
      {Dates(730120, 31, 730220, kMonthFirst, '/'),
       {"01/01/2000", "02/01/2000", "03/03/2000", "04/03/2000"}},
      {Dates(730150, 29, 730208, kDayFirst, '/'), {"31/01/2000", "29/02/2000", "29/03/2000"}},
      {Dates(730120, 366, 730852, kMonthFirst, '/'), {"01/01/2000", "01/01/2001", "01/02/2002"}},
      {Dates(584388, 1, 584390, kMonthFirst, '/'), {"12/31/1600", "01/01/1601", "01/02/1601"}},
      {Dates(-1, 1, 2, kMonthFirst, '/'), {"12/30/0000", "12/31/0000", "01/01/0001", "01/02/0001"}},
      {Dates(-365, -1, -367, kDayFirst, '.'), {"01.01.0000", "31.12.-0001", "30.12.-0001"}},
  };
  for (const KnownRange& known : cases) {
    const Written written = ExpectSameAsSimple(known.range);
    EXPECT_EQ(written.text, Entries(known.entries)) << known.range.Describe();
    EXPECT_FALSE(written.stoppedByRoom);
  }
}

}  // namespace
}  // namespace serix::testing
