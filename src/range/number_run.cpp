// Numbers written by adding the step to their text. The last two digits come from a binary
// counter of 0 to 99 and a table, written after the entry is copied; the digits before them
// stay in the entry template and change only when the counter carries or borrows (or with
// every entry, for steps of 100 or more). A run ends before the sign or the number of digits
// would change; the next run lays its first value out afresh with the general formatter.
#include <algorithm>
#include <cstring>
#include <utility>

#include "format/decimal_text.h"
#include "range/range_runs.h"

namespace serix {
namespace {

// The largest number with so many digits, held at INT64_MAX from 19 digits on.
std::int64_t LargestOfDigits(int digits) {
  std::int64_t largest = 9;
  for (int i = 1; i < digits; ++i) {
    if (largest > (INT64_MAX - 9) / 10) return INT64_MAX;
    largest = largest * 10 + 9;
  }
  return largest;
}

std::int64_t Magnitude(std::int64_t value) {
  return value < 0 ? -value : value;  // values and steps are 32-bit: no overflow
}

// How many values, from magnitude on in steps of change, keep a text of fieldDigits digits
// after the sign. A padded field (fieldDigits at the padding width) keeps its length down
// to 0, or to 1 for negative values, whose sign would change at 0.
std::int64_t ValuesOfSameShape(std::int64_t magnitude, std::int64_t change, int fieldDigits,
                               bool padded, bool negative, std::int64_t valuesLeft) {
  std::int64_t stepsLeft = 0;
  if (change > 0) {
    stepsLeft = (LargestOfDigits(fieldDigits) - magnitude) / change;
  } else {
    const std::int64_t smallest =
        padded ? (negative ? 1 : 0) : LargestOfDigits(fieldDigits - 1) + 1;
    stepsLeft = (magnitude - smallest) / -change;
  }
  return std::min(stepsLeft, valuesLeft - 1) + 1;
}

// Lays out in next the entry of current with its leading digits carried by carry, 1 or -1.
void LayOutCarry(char* next, const char* current, int digitsAt, int leadingCount,
                 std::int64_t carry) {
  std::memcpy(next + digitsAt, current + digitsAt, static_cast<std::size_t>(leadingCount));
  format::AddToDigits(next + digitsAt, leadingCount, carry);
}

// Writes count entries whose digits after the sign, fieldDigits of them, start at digitsAt
// in the template, the magnitude changing by change, -99 to 99, from one entry to the next.
// The last two digits are written from a counter after the entry is copied; the digits
// before them change only when the counter passes 99 or 0. The entry that follows such a
// carry is laid out in the second copy of the template a whole carry ahead: copying from
// bytes just written would wait until the processor has stored them. The step after the
// last entry may carry out of the field: the next run lays its value out afresh.
template <EntrySize kSize>
void WriteSmallStepEntries(ResultCursor& out, EntryTemplate& entry, int digitsAt, int fieldDigits,
                           std::int64_t magnitude, std::int64_t change, std::int64_t count) {
  const int leadingCount = fieldDigits - 2;
  const int lastTwoAt = digitsAt + leadingCount;
  const std::int64_t carry = change > 0 ? 1 : -1;
  std::int64_t lastTwo = magnitude % 100;
  char* current = entry.text;
  char* next = entry.nextText;
  std::memcpy(next, current, static_cast<std::size_t>(entry.length + kEntryChunk));
  format::AddToDigits(next + digitsAt, leadingCount, carry);

  // Locals, so that the stores into the result cannot be taken to change them.
  const int length = entry.length;
  char* at = out.dest + out.written;
  char* const end = at + count * length;
  for (; at < end; at += length) {
    CopyEntryOf<kSize>(at, current, length);
    format::WriteTwoDigits(at + lastTwoAt, lastTwo);
    lastTwo += change;
    if (static_cast<std::uint64_t>(lastTwo) > 99) {
      lastTwo -= carry * 100;
      std::swap(current, next);
      LayOutCarry(next, current, digitsAt, leadingCount, carry);
    }
  }
  out.written += count * length;
}

// The same for steps of 100 and more: every entry changes digits of the template.
void WriteLargeStepEntries(ResultCursor& out, EntryTemplate& entry, int digitsAt, int fieldDigits,
                           std::int64_t change, std::int64_t count) {
  char* const digits = entry.text + digitsAt;
  for (std::int64_t i = 0; i < count; ++i) {
    if (i > 0) format::AddToDigits(digits, fieldDigits, change);
    CopyEntry(out.dest + out.written, entry.text, entry.length);
    out.written += entry.length;
  }
}

void WriteTemplateEntry(ResultCursor& out, const EntryTemplate& entry) {
  CopyEntry(out.dest + out.written, entry.text, entry.length);
  out.written += entry.length;
}

}  // namespace

std::int64_t WriteNumberRun(ResultCursor& out, EntryTemplate& entry, const RangeSpec& spec,
                            std::int64_t value, std::int64_t valuesLeft) {
  const bool negative = value < 0;
  const int width = negative ? spec.negativeWidth : spec.nonNegativeWidth;
  char text[kMaxValueLength];
  const int length = format::WriteZeroPadded(text, value, width);
  SetEntryValue(entry, text, length);

  const int signLength = negative ? 1 : 0;
  const int fieldDigits = length - signLength;
  if (fieldDigits < 2) {
    // A single digit has no last two; such values are few in any range.
    WriteTemplateEntry(out, entry);
    return 1;
  }
  const std::int64_t magnitude = Magnitude(value);
  const std::int64_t stepSize = Magnitude(spec.step);
  // The magnitude grows when the step leads away from zero.
  const std::int64_t change = negative == (spec.step < 0) ? stepSize : -stepSize;
  const bool padded = fieldDigits == width - signLength;
  const std::int64_t count = out.EntriesWithRoom(
      entry.length,
      ValuesOfSameShape(magnitude, change, fieldDigits, padded, negative, valuesLeft));
  const int digitsAt = entry.valueAt + signLength;
  if (stepSize < 100 && entry.length <= kEntryChunk) {
    WriteSmallStepEntries<EntrySize::kOneChunk>(out, entry, digitsAt, fieldDigits, magnitude,
                                                change, count);
  } else if (stepSize < 100) {
    WriteSmallStepEntries<EntrySize::kAny>(out, entry, digitsAt, fieldDigits, magnitude, change,
                                           count);
  } else {
    WriteLargeStepEntries(out, entry, digitsAt, fieldDigits, change, count);
  }
  return count;
}

}  // namespace serix
