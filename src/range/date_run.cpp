// Dates written by stepping the day: within a month only the two digits of the day change,
// written after the entry is copied; at the end of a month the month's two digits in the
// template are rewritten and the day carried into the next month. A run ends at the end of
// the year, or when a step passes a whole month; the next run lays its first date out
// afresh with the day-number conversion.
#include <algorithm>

#include "format/decimal_text.h"
#include "range/civil_date.h"
#include "range/range_runs.h"
#include "range/range_values.h"

namespace serix {
namespace {

// How many dates, from day on in steps of step days, stay within a month of monthDays days.
std::int64_t DatesInMonth(std::int64_t day, int monthDays, std::int64_t step, std::int64_t wanted) {
  const std::int64_t stepsLeft = step > 0 ? (monthDays - day) / step : (day - 1) / -step;
  return std::min(stepsLeft, wanted - 1) + 1;
}

// Writes count entries whose day of the month, day in the first, stands at dayAt in the
// template. The step after the last entry may leave the month: the caller carries it.
template <EntrySize kSize>
void WriteDayEntries(ResultCursor& out, const EntryTemplate& entry, int dayAt, std::int64_t day,
                     std::int64_t step, std::int64_t count) {
  const int length = entry.length;
  char* at = out.dest + out.written;
  char* const end = at + count * length;
  for (; at < end; at += length) {
    CopyEntryOf<kSize>(at, entry.text, length);
    format::WriteTwoDigits(at + dayAt, day);
    day += step;
  }
  out.written += count * length;
}

// Moves day, counted from the first of month and just outside it, into the next month (or
// the one before, stepping back); false when that leaves the year or passes a whole month.
bool CarryIntoNextMonth(std::int64_t year, int& month, std::int64_t& day) {
  if (day > 0) {
    day -= range::DaysInMonth(year, month);
    if (++month > 12) return false;
    return day <= range::DaysInMonth(year, month);
  }
  if (--month < 1) return false;
  day += range::DaysInMonth(year, month);
  return day >= 1;
}

}  // namespace

std::int64_t WriteDateRun(ResultCursor& out, EntryTemplate& entry, const RangeSpec& spec,
                          std::int64_t value, std::int64_t valuesLeft) {
  const auto dayNumber = static_cast<std::int32_t>(value);
  char text[kMaxDateLength];
  SetEntryValue(entry, text, FormatRangeDate(dayNumber, spec.dateOrder, spec.dateSeparator, text));
  const range::CivilDate date = range::CivilFromDayNumber(dayNumber);

  // "DD/MM/..." or "MM/DD/...": month and day always take two digits each.
  const bool dayFirst = spec.dateOrder == kDateOrderDayFirst;
  const int dayAt = entry.valueAt + (dayFirst ? 0 : 3);
  const int monthAt = entry.valueAt + (dayFirst ? 3 : 0);
  int month = date.month;
  std::int64_t day = date.day;
  std::int64_t written = 0;
  for (;;) {
    const std::int64_t wanted =
        DatesInMonth(day, range::DaysInMonth(date.year, month), spec.step, valuesLeft - written);
    const std::int64_t count = out.EntriesWithRoom(entry.length, wanted);
    if (entry.length <= kEntryChunk) {
      WriteDayEntries<EntrySize::kOneChunk>(out, entry, dayAt, day, spec.step, count);
    } else {
      WriteDayEntries<EntrySize::kAny>(out, entry, dayAt, day, spec.step, count);
    }
    written += count;
    if (count < wanted || written == valuesLeft) return written;
    day += count * spec.step;
    if (!CarryIntoNextMonth(date.year, month, day)) return written;
    format::WriteTwoDigits(entry.text + monthAt, month);
  }
}

}  // namespace serix
