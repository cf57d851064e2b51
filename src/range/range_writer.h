// Writing the entries of a range into the locked result text: prefix, value, suffix and a
// carriage return each, for as long as the value lies in the range and the entry starts
// within the result limit.
#pragma once

#include <cstdint>
#include <string_view>

namespace serix {

inline constexpr std::int32_t kResultLimit = 64000;
// Requested before writing; holds the overshoot of the last entry (its value and its
// carriage return may pass the limit).
inline constexpr std::uint32_t kResultWorkingSize = 65000;
inline constexpr char kEntryTerminator = '\r';

struct RangeSpec {
  std::string_view prefix;  // at most 1000 characters, as a parameter holds
  std::string_view suffix;  // likewise
  std::int32_t start;
  std::int32_t step;  // not 0
  std::int32_t end;   // reachable from start in the step's direction
  int dateOrder;      // 0 numbers, 1 month first, 2 day first
  char dateSeparator;
  int nonNegativeWidth;  // zero-padding widths, 0 to 100; 0 writes plain numbers
  int negativeWidth;
};

struct RangeWritten {
  std::int32_t length;  // may pass the limit by the last entry's value and terminator
  bool stoppedByRoom;   // values of the range were left unwritten
};

// Writes the entries at dest, which has room for kResultWorkingSize characters. Characters
// between the end of the entries and kResultWorkingSize may be written too.
RangeWritten WriteRange(char* dest, const RangeSpec& spec);

// The same entries written one value at a time with the general formatters: the plain
// statement of what WriteRange does, which the tests hold it to, and the writer of inputs
// outside the limits noted in RangeSpec. Writes nothing past the entries.
RangeWritten WriteRangeSimple(char* dest, const RangeSpec& spec);

}  // namespace serix
