#include <cstring>

#include "format/decimal_text.h"
#include "range/range_values.h"
#include "range/range_writer.h"

namespace serix {

RangeWritten WriteRangeSimple(char* dest, const RangeSpec& spec) {
  // The value is kept in 64 bits: a step past the 32-bit limits ends the range instead of
  // wrapping around.
  const std::int64_t end = spec.end;
  const auto inRange = [&](std::int64_t value) {
    return spec.step > 0 ? value <= end : value >= end;
  };
  const auto prefixLength = static_cast<std::int64_t>(spec.prefix.size());
  const auto suffixLength = static_cast<std::int64_t>(spec.suffix.size());

  std::int64_t value = spec.start;
  std::int64_t written = 0;
  while (inRange(value) && written + prefixLength + suffixLength <= kResultLimit) {
    // An empty view may carry no address, which memcpy must never be given.
    if (prefixLength != 0) std::memcpy(dest + written, spec.prefix.data(), spec.prefix.size());
    written += prefixLength;
    char* const at = dest + written;
    if (spec.dateOrder != kDateOrderNone) {
      written +=
          FormatRangeDate(static_cast<std::int32_t>(value), spec.dateOrder, spec.dateSeparator, at);
    } else {
      written += format::WriteZeroPadded(at, value,
                                         value >= 0 ? spec.nonNegativeWidth : spec.negativeWidth);
    }
    value += spec.step;
    if (suffixLength != 0) std::memcpy(dest + written, spec.suffix.data(), spec.suffix.size());
    written += suffixLength;
    dest[written++] = kEntryTerminator;
  }
  return {static_cast<std::int32_t>(written), inRange(value)};
}

}  // namespace serix
