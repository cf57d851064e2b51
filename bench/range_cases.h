// The Serx-CreateRange calls that the benchmarks time, natively with Google Benchmark
// (serix_bench.cpp) and natively and in WebAssembly with a plain timer (core_timing.cpp).
#pragma once

#include <cstddef>
#include <string_view>

namespace serix::bench {

struct RangeCase {
  std::string_view label;  // as docs/performance.md numbers the cases
  std::string_view name;   // the benchmark's name, BM_ and this
  std::string_view argument;
  std::size_t expectedLength;  // of the result, checked before timing
  double targetRatio;          // the most x_memcpy this case should take
  // The most instructions an entry this case should take inside the shipped i686 module
  // (scripts/bench-dll.sh); 0: none set.
  double moduleInstructionsPerEntryTarget;
};

inline constexpr RangeCase kRangeCases[] = {
    {"1", "PlainNumbers", "||1|1|100000|", 64000, 5, 13.0},
    // "Item 000001, " CR: 14 characters an entry; the room test stops it after 4571 entries.
    {"2", "PaddedWithPrefixAndSuffix", "-padding 6|Item |1|1|100000|, ", 63994, 5, 13.3},
    // 571428572 values: the range runs until the room test stops it.
    {"3", "LargeValuesNegativeStep", "||2000000000|-7|-2000000000|", 64000, 5, 17.5},
    // 69881 days from 1 January 2000, 11 characters an entry.
    {"4a", "DatesMonthFirst", "-DateMMDDYYYY||730120|1|800000|", 64000, 5, 15.0},
    // Every third day from 1 January 1601, day first with periods.
    {"4b", "DatesDayFirstEveryThirdDay", "-DateDDMMYYYY -DateUsePeriod||584389|3|3652059|", 64000,
     5, 30.0},
    // "1" CR ... "9" CR "10" CR.
    {"5", "TenValues", "||1|1|10|", 21, 1, 0},
};

}  // namespace serix::bench
