// Dates written a year at a time. A year whose dates fall on the same days of the year as
// those of a year written before in the run (the same first day and the same length) is a
// copy of it with the year's digits stored anew (earlier_entries.h). Other years are written
// a month at a time: a month whose days are those of a month written before (the same first
// day for a forward step, the same last day for a backward one) is copied from it with the
// month's and year's digits stored anew; the rest day by day, where only the two digits of
// the day change, written after the entry template is copied. A run ends where the year's
// text would change its length; the next run lays its first date out afresh.
#include <algorithm>
#include <cstring>

#include "format/decimal_text.h"
#include "range/civil_date.h"
#include "range/earlier_entries.h"
#include "range/range_runs.h"
#include "range/range_values.h"

namespace serix {
namespace {

// How many dates, from day on in steps of step days, stay within a month of monthDays days.
// Divided in 32 bits, which i686 does in one instruction.
std::int64_t DatesInMonth(std::int64_t day, int monthDays, std::int64_t step) {
  if (step > 31 || step < -31) return 1;
  const auto dayOfMonth = static_cast<int>(day);
  const auto days = static_cast<int>(step);
  return (days > 0 ? (monthDays - dayOfMonth) / days : (dayOfMonth - 1) / -days) + 1;
}

// Writes count entries whose day of the month, day in the first, stands at dayAt in the
// template. The step after the last entry may leave the month.
template <EntrySize kSize>
void WriteDayEntriesOf(ResultCursor& out, const EntryTemplate& entry, int dayAt, std::int64_t day,
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

// Where day, month and year stand in an entry: "DD/MM/YYYY" or "MM/DD/YYYY".
struct DatePlaces {
  int dayAt;
  int monthAt;
  int yearAt;
  int yearLength;
};

void WriteDayEntries(ResultCursor& out, const EntryTemplate& entry, const DatePlaces& places,
                     std::int64_t day, std::int64_t step, std::int64_t count) {
  if (entry.length <= kEntryChunk) {
    WriteDayEntriesOf<EntrySize::kOneChunk>(out, entry, places.dayAt, day, step, count);
  } else {
    WriteDayEntriesOf<EntrySize::kAny>(out, entry, places.dayAt, day, step, count);
  }
}

// A month or a year written in full earlier in the run, to be copied.
struct EarlierDates {
  std::int64_t at;     // where its first entry begins in the result
  std::int64_t count;  // 0: none written yet
  std::int64_t year;
  int month;
};

// The last of them by key, up to 64 keys. The table is not cleared before use, which would
// take longer than a short range.
template <std::size_t kKeys>
class EarlierDatesByKey {
 public:
  EarlierDates Find(int key) const {
    return (kept_ >> static_cast<unsigned>(key) & 1) != 0 ? dates_[key] : EarlierDates{};
  }
  void Keep(int key, const EarlierDates& dates) {
    dates_[key] = dates;
    kept_ |= std::uint64_t{1} << static_cast<unsigned>(key);
  }

 private:
  static_assert(kKeys <= 64);
  EarlierDates dates_[kKeys];  // read only where kept_ has the key's bit
  std::uint64_t kept_ = 0;
};
using EarlierMonths = EarlierDatesByKey<32>;  // by key day, 1 to 31

// Copies count entries from the result's text at from, with the template's month and year
// put in where they are not the copied ones.
void CopyDates(ResultCursor& out, const EntryTemplate& entry, const DatePlaces& places,
               std::int64_t from, std::int64_t count, bool changeMonth, bool changeYear) {
  EntryChange changes[2];
  int changeCount = 0;
  if (changeMonth) changes[changeCount++] = {places.monthAt, 2, entry.text + places.monthAt};
  if (changeYear) {
    changes[changeCount++] = {places.yearAt, places.yearLength, entry.text + places.yearAt};
  }
  CopyEntriesChanged(out.dest + out.written, out.dest + from, count, entry.length, changes,
                     changeCount);
  out.written += count * entry.length;
}

// Writes count of the monthDates dates of a month, the first on day, copying those it shares
// with the earlier month of the same key day: forward, the first dates of both; backward,
// the last.
void WriteMonth(ResultCursor& out, const EntryTemplate& entry, const DatePlaces& places,
                const EarlierDates& earlier, std::int64_t year, int month, std::int64_t day,
                std::int64_t step, std::int64_t monthDates, std::int64_t count) {
  const bool forward = step > 0;
  const std::int64_t first = forward ? 0 : std::max<std::int64_t>(0, monthDates - earlier.count);
  const std::int64_t end = forward ? std::min(count, earlier.count) : count;
  // A copy pays only for a few entries.
  if (earlier.count == 0 || end - first < 2) {
    WriteDayEntries(out, entry, places, day, step, count);
    return;
  }
  WriteDayEntries(out, entry, places, day, step, first);
  const std::int64_t copiedFrom = forward ? 0 : earlier.count - monthDates + first;
  CopyDates(out, entry, places, earlier.at + copiedFrom * entry.length, end - first,
            earlier.month != month, earlier.year != year);
  WriteDayEntries(out, entry, places, day + end * step, step, count - end);
}

// Writes count dates of one year, the first on month and day as the template holds it, a
// month at a time; months[key day] are the months to copy from.
void WriteYearByMonths(ResultCursor& out, EntryTemplate& entry, const DatePlaces& places,
                       EarlierMonths& months, std::int64_t year, int month, std::int64_t day,
                       std::int64_t step, std::int64_t count) {
  for (;;) {
    int monthDays = range::DaysInMonth(year, month);
    const std::int64_t monthDates = DatesInMonth(day, monthDays, step);
    const std::int64_t written = std::min(monthDates, count);
    const auto keyDay = static_cast<int>(step > 0 ? day : day + (monthDates - 1) * step);
    const std::int64_t at = out.written;
    WriteMonth(out, entry, places, months.Find(keyDay), year, month, day, step, monthDates,
               written);
    if (written == monthDates) months.Keep(keyDay, {at, written, year, month});
    count -= written;
    if (count == 0) return;
    // Into the month of the next date, within the year.
    day += written * step;
    if (step > 0) {
      for (; day > monthDays; monthDays = range::DaysInMonth(year, month)) {
        day -= monthDays;
        ++month;
      }
    } else {
      while (day < 1) day += range::DaysInMonth(year, --month);
    }
    format::WriteTwoDigits(entry.text + places.monthAt, month);
  }
}

// Years are copied for steps of up to a month; their key is the day of the year, 0 to the
// step's size less 1, of their earliest date, and whether they are leap years.
constexpr std::int32_t kMaxYearCopyStep = 31;

}  // namespace

std::int64_t WriteDateRun(ResultCursor& out, EntryTemplate& entry, const RangeSpec& spec,
                          std::int64_t value, std::int64_t valuesLeft) {
  char text[kMaxDateLength];
  SetEntryValue(
      entry, text,
      FormatRangeDate(static_cast<std::int32_t>(value), spec.dateOrder, spec.dateSeparator, text));
  // Month and day always take two digits each, the year the rest of the value.
  const bool dayFirst = spec.dateOrder == kDateOrderDayFirst;
  const DatePlaces places{entry.valueAt + (dayFirst ? 0 : 3), entry.valueAt + (dayFirst ? 3 : 0),
                          entry.valueAt + 6, entry.valueLength - 6};
  const std::int64_t step = spec.step;
  const std::int64_t stepSize = step > 0 ? step : -step;
  // The year of a 32-bit day number has at most seven digits and a sign: copies store it in
  // each entry with one store.
  static_assert(range::CivilFromDayNumber(INT32_MAX).year <= 9999999 &&
                range::CivilFromDayNumber(INT32_MIN).year >= -9999999 && kMaxChangeWidth >= 8);
  const bool copiesYears = stepSize <= kMaxYearCopyStep;
  EarlierMonths months;
  EarlierDatesByKey<2 * kMaxYearCopyStep> years;  // by leap year and key day

  const range::CivilDate first = range::CivilFromDayNumber(value);
  std::int64_t year = first.year;
  int month = first.month;
  std::int64_t day = first.day;
  std::int64_t dayOfYear = range::DayOfYear(year, month, first.day);
  std::int64_t written = 0;
  for (;;) {
    const bool leap = range::IsLeapYear(year);
    const std::int64_t lastDayOfYear = leap ? 365 : 364;
    const std::int64_t yearDates =
        (step > 0 ? (lastDayOfYear - dayOfYear) / step : dayOfYear / stepSize) + 1;
    const std::int64_t count =
        out.EntriesWithRoom(entry.length, std::min(yearDates, valuesLeft - written));
    // A year that begins where its dates would begin: at the earliest, forward; at the
    // latest, backward.
    const bool wholeYear =
        copiesYears && (step > 0 ? dayOfYear < step : lastDayOfYear - dayOfYear < stepSize);
    const auto yearKey = static_cast<int>((leap ? kMaxYearCopyStep : 0) +
                                          (step > 0 ? dayOfYear : dayOfYear % stepSize));
    const EarlierDates earlier = wholeYear ? years.Find(yearKey) : EarlierDates{};
    const std::int64_t at = out.written;
    if (earlier.count >= count && count >= 2) {
      CopyDates(out, entry, places, earlier.at, count, false, true);
    } else {
      WriteYearByMonths(out, entry, places, months, year, month, day, step, count);
    }
    if (wholeYear && count == yearDates) years.Keep(yearKey, {at, count, year, 0});
    written += count;
    if (count < yearDates || written == valuesLeft) return written;

    if (stepSize > kMaxYearCopyStep) {
      // A step that may pass whole months or years: the next date converted afresh.
      const auto dayNumber = static_cast<std::int32_t>(value + written * step);
      if (FormatRangeDate(dayNumber, spec.dateOrder, spec.dateSeparator, text) !=
          entry.valueLength) {
        return written;
      }
      std::memcpy(entry.text + entry.valueAt, text, static_cast<std::size_t>(entry.valueLength));
      const range::CivilDate next = range::CivilFromDayNumber(dayNumber);
      year = next.year;
      month = next.month;
      day = next.day;
      dayOfYear = range::DayOfYear(year, month, next.day);
      continue;
    }
    // A step of at most a month: the next date lies in the first days of the next year, or
    // in the last days of the year before.
    const std::int64_t lastWritten = dayOfYear + (yearDates - 1) * step;
    if (step > 0) {
      ++year;
      dayOfYear = lastWritten + step - (lastDayOfYear + 1);
      month = 1;
      day = dayOfYear + 1;
    } else {
      --year;
      const std::int64_t lastDayBefore = range::IsLeapYear(year) ? 365 : 364;
      dayOfYear = lastWritten + step + lastDayBefore + 1;
      month = 12;
      day = 31 - (lastDayBefore - dayOfYear);
    }
    // The run ends where the year's text changes its length.
    if (WriteDateYear(text, year) != places.yearLength) return written;
    std::memcpy(entry.text + places.yearAt, text, static_cast<std::size_t>(places.yearLength));
    format::WriteTwoDigits(entry.text + places.monthAt, month);
    format::WriteTwoDigits(entry.text + places.dayAt, day);
  }
}

}  // namespace serix
