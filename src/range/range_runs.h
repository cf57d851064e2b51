// Runs of a range: stretches of consecutive values whose texts have the same shape, so that
// from one entry to the next only a few digits of the value change. Each writer lays the
// first value of a run into the entry template and writes entries, from value on, until
// the run ends, the range has no more values or the room test fails. Each returns the count
// of entries written, at least 1 when the cursor has room.
#pragma once

#include <cstdint>

#include "range/entry_template.h"
#include "range/range_writer.h"

namespace serix {

// Numbers: a run keeps the sign and the number of characters, so only the digits change.
std::int64_t WriteNumberRun(ResultCursor& out, EntryTemplate& entry, const RangeSpec& spec,
                            std::int64_t value, std::int64_t valuesLeft);

// Dates: a run stays within one month, so only the day changes.
std::int64_t WriteDateRun(ResultCursor& out, EntryTemplate& entry, const RangeSpec& spec,
                          std::int64_t value, std::int64_t valuesLeft);

}  // namespace serix
