// Numbers written by adding the step to their text. The first entries of a run come one by one
// from the entry template: the last two digits from a binary counter of 0 to 99 and a table,
// written after the entry is copied; the digits before them stay in the template and change
// only when the counter carries or borrows (or with every entry, for steps of 100 or more).
// Once a run is long enough, the rest comes in stretches copied from earlier in the run
// (earlier_entries.h). A run ends before the sign or the number of digits would change; the
// next run lays its first value out afresh with the general formatter.
#include <algorithm>
#include <cstring>
#include <numeric>
#include <utility>

#include "format/decimal_text.h"
#include "range/earlier_entries.h"
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

// Where the entries of a run repeat: with lowDigits the last digits of the magnitude and its
// high digits the rest, the entry `back` entries before any other has the same low digits and
// high digits highShift apart. A stretch of entries with the same high digits is then a copy
// of the stretch `back` entries before it, with the high digits that differ stored anew.
struct EarlierEntries {
  std::uint32_t unit;  // 10 to the power lowDigits
  int lowDigits;
  std::int64_t back;
  std::uint32_t highShift;
};

// With the last lowDigits digits, unit = 10^lowDigits, as the low ones; false when the field
// has no digits above them.
bool EarlierEntriesFor(std::uint32_t unit, int lowDigits, std::uint32_t stepSize, int fieldDigits,
                       EarlierEntries& earlier) {
  if (fieldDigits <= lowDigits) return false;
  const std::uint32_t common = std::gcd(unit, stepSize);
  earlier = {unit, lowDigits, unit / common, stepSize / common};
  return true;
}

// The first copies of a run: at least the last two digits low, and so many that a stretch of
// equal high digits holds at least stretchEntries entries, if the run has more than `back`
// entries; false otherwise.
bool FirstEarlierEntries(std::uint32_t stepSize, int fieldDigits, std::int64_t runEntries,
                         std::uint32_t stretchEntries, EarlierEntries& earlier) {
  std::uint32_t unit = 100;
  int lowDigits = 2;
  while (unit / stretchEntries < stepSize) {
    if (unit > UINT32_MAX / 10) return false;
    unit *= 10;
    ++lowDigits;
  }
  return EarlierEntriesFor(unit, lowDigits, stepSize, fieldDigits, earlier) &&
         earlier.back < runEntries;
}

// Stretches of fewer entries than kLongStretch cost more than writing their entries one by
// one from the template; stretches down to kShortStretch entries are taken where longer ones
// would come only after the run has ended.
constexpr std::uint32_t kLongStretch = 50;
constexpr std::uint32_t kShortStretch = 10;

// One more low digit than earlier has: longer stretches, copied from further back.
bool CoarserEarlierEntries(const EarlierEntries& earlier, std::uint32_t stepSize, int fieldDigits,
                           EarlierEntries& coarser) {
  return earlier.unit <= UINT32_MAX / 10 &&
         EarlierEntriesFor(earlier.unit * 10, earlier.lowDigits + 1, stepSize, fieldDigits,
                           coarser);
}

// The last digits in which high differs from earlierHigh, written to digits; returns how many.
int ChangedHighDigits(std::uint32_t high, std::uint32_t earlierHigh,
                      char (&digits)[kMaxChangeWidth]) {
  int width = 0;
  for (std::uint32_t a = high, b = earlierHigh; a != b; a /= 10, b /= 10) ++width;
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + high % 10);
    high /= 10;
  }
  return width;
}

// Writes count entries after the first entriesInRun of a run, at least earlier.back, in
// stretches of equal high digits; the magnitude of the first is magnitude and changes by
// change from one entry to the next. digitsAt: where the fieldDigits digits begin in an entry.
void WriteFromEarlierEntries(ResultCursor& out, int length, int digitsAt, int fieldDigits,
                             EarlierEntries earlier, std::int64_t entriesInRun,
                             std::int64_t magnitude, std::int64_t change, std::int64_t count) {
  const bool growing = change > 0;
  const auto stepSize = static_cast<std::uint32_t>(growing ? change : -change);
  EarlierEntries coarser{};
  bool hasCoarser = CoarserEarlierEntries(earlier, stepSize, fieldDigits, coarser);
  // Copies come from a whole number of periods back, enough for a copy not to wait for the
  // stores of the text it copies.
  std::int64_t periods = 0;
  std::int64_t periodsWanted = 0;
  // 32 bits: magnitudes are at most 2^31, and 32-bit division is one instruction on i686.
  auto current = static_cast<std::uint32_t>(magnitude);
  while (count > 0) {
    // Once the run is long enough, one more low digit: longer stretches.
    while (hasCoarser && coarser.back <= entriesInRun) {
      earlier = coarser;
      hasCoarser = CoarserEarlierEntries(earlier, stepSize, fieldDigits, coarser);
      periods = 0;
    }
    const std::int64_t periodSize = earlier.back * length;
    if (periods == 0) periodsWanted = (kLeastCopyDistance + periodSize - 1) / periodSize;
    if (periods < periodsWanted) periods = std::min(entriesInRun / earlier.back, periodsWanted);

    const std::uint32_t high = current / earlier.unit;
    const std::uint32_t low = current % earlier.unit;
    const std::uint32_t stepsLeft = (growing ? earlier.unit - 1 - low : low) / stepSize;
    const std::int64_t stretch = std::min<std::int64_t>(std::int64_t{stepsLeft} + 1, count);
    const auto shift = static_cast<std::uint32_t>(periods) * earlier.highShift;
    char digits[kMaxChangeWidth];
    const int width = ChangedHighDigits(high, growing ? high - shift : high + shift, digits);
    const EntryChange highDigits{digitsAt + fieldDigits - earlier.lowDigits - width, width, digits};
    char* const at = out.dest + out.written;
    CopyEntriesChanged(at, at - periods * periodSize, stretch, length, &highDigits, 1);
    out.written += stretch * length;
    entriesInRun += stretch;
    count -= stretch;
    // Unsigned: past the last stretch the magnitude may wrap, unused.
    const auto moved = static_cast<std::uint32_t>(stretch) * stepSize;
    current = growing ? current + moved : current - moved;
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
  EarlierEntries earlier{};
  // A run of a few entries, as of a short range, goes one by one.
  const bool copies =
      count > kShortStretch && (FirstEarlierEntries(static_cast<std::uint32_t>(stepSize),
                                                    fieldDigits, count, kLongStretch, earlier) ||
                                FirstEarlierEntries(static_cast<std::uint32_t>(stepSize),
                                                    fieldDigits, count, kShortStretch, earlier));
  const std::int64_t oneByOne = copies ? earlier.back : count;
  if (stepSize < 100 && entry.length <= kEntryChunk) {
    WriteSmallStepEntries<EntrySize::kOneChunk>(out, entry, digitsAt, fieldDigits, magnitude,
                                                change, oneByOne);
  } else if (stepSize < 100) {
    WriteSmallStepEntries<EntrySize::kAny>(out, entry, digitsAt, fieldDigits, magnitude, change,
                                           oneByOne);
  } else {
    WriteLargeStepEntries(out, entry, digitsAt, fieldDigits, change, oneByOne);
  }
  if (copies) {
    WriteFromEarlierEntries(out, entry.length, digitsAt, fieldDigits, earlier, oneByOne,
                            magnitude + oneByOne * change, change, count - oneByOne);
  }
  return count;
}

}  // namespace serix
