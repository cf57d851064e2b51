// The range written run by run from an entry template (range_runs.h): per entry, one short
// copy and a two-digit store, with no formatting and no per-entry tests beyond the room
// test and the end of the run.
#include "range/range_writer.h"

#include "range/entry_template.h"
#include "range/range_runs.h"
#include "range/range_values.h"

namespace serix {
namespace {

bool FitsEntryTemplate(const RangeSpec& spec) {
  const auto fitsWidth = [](int width) { return width >= 0 && width <= kMaxValueLength; };
  return spec.step != 0 && spec.prefix.size() <= kMaxAffixLength &&
         spec.suffix.size() <= kMaxAffixLength && fitsWidth(spec.nonNegativeWidth) &&
         fitsWidth(spec.negativeWidth);
}

// The count of values from start to end in steps of step, in 64 bits: the range ends with
// the last value that fits in 32 bits.
std::int64_t ValueCount(const RangeSpec& spec) {
  const std::int64_t span = std::int64_t{spec.end} - spec.start;
  if (spec.step > 0 ? span < 0 : span > 0) return 0;
  return span / spec.step + 1;
}

}  // namespace

RangeWritten WriteRange(char* dest, const RangeSpec& spec) {
  if (!FitsEntryTemplate(spec)) return WriteRangeSimple(dest, spec);

  EntryTemplate entry;
  StartEntryTemplate(entry, spec.prefix, spec.suffix);
  const auto affixLength = static_cast<std::int64_t>(spec.prefix.size() + spec.suffix.size());
  ResultCursor out{dest, 0, kResultLimit - affixLength};

  std::int64_t value = spec.start;
  std::int64_t valuesLeft = ValueCount(spec);
  while (valuesLeft > 0 && out.HasRoom()) {
    const std::int64_t entries = spec.dateOrder != kDateOrderNone
                                     ? WriteDateRun(out, entry, spec, value, valuesLeft)
                                     : WriteNumberRun(out, entry, spec, value, valuesLeft);
    value += entries * spec.step;
    valuesLeft -= entries;
  }
  return {static_cast<std::int32_t>(out.written), valuesLeft > 0};
}

}  // namespace serix
