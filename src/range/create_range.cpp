#include "range/create_range.h"

#include <cstring>

#include "format/decimal_text.h"
#include "host/host_calls.h"
#include "host/parameters.h"
#include "range/range_values.h"
#include "range/range_warning.h"
#include "range/range_writer.h"

namespace serix {
namespace {

struct RangeOptions {
  bool fieldSizeWarning = false;
  bool noReturnAtEnd = false;
  int dateOrder = kDateOrderNone;
  char dateSeparator = '/';
};

RangeOptions ReadRangeOptions(const char* options) {
  RangeOptions read;
  read.fieldSizeWarning = ContainsOption(options, "-fieldsizewarning");
  read.noReturnAtEnd = ContainsOption(options, "-noreturnatend");
  if (ContainsOption(options, "-DateMMDDYYYY")) {
    read.dateOrder = kDateOrderMonthFirst;
  } else if (ContainsOption(options, "-DateDDMMYYYY")) {
    read.dateOrder = kDateOrderDayFirst;
  }
  if (ContainsOption(options, "-DateUseDash")) {
    read.dateSeparator = '-';
  } else if (ContainsOption(options, "-DateUsePeriod")) {
    read.dateSeparator = '.';
  }
  return read;
}

// Reads the next parameter as a range value; false when it is empty or the host refused
// the argument.
bool ReadRangeValue(HostHandle argumentHandle, ParameterCursor& cursor, std::int32_t& value) {
  char text[ParameterCapacity + 1];
  if (!ReadNextParameter(argumentHandle, text, ParameterCapacity, cursor)) return false;
  if (text[0] == '\0') return false;
  ParseRangeValue(text, value);
  return true;
}

bool StepLeadsToEnd(std::int32_t start, std::int32_t step, std::int32_t end) {
  if (step == 0) return false;
  return step > 0 ? start <= end : start >= end;
}

}  // namespace

void CreateRange(HostHandle argumentHandle, HostHandle resultHandle) {
  ParameterCursor cursor = 0;
  // Every way out before the result is sized leaves it untouched: an empty start, step or end,
  // a range that cannot be walked, or an argument the host refused to lock.
  char options[ParameterCapacity + 1];
  if (!ReadNextParameter(argumentHandle, options, ParameterCapacity, cursor)) return;
  const RangeOptions range = ReadRangeOptions(options);

  char prefix[ParameterCapacity + 1];
  if (!ReadNextParameter(argumentHandle, prefix, ParameterCapacity, cursor)) return;
  std::int32_t start = 0;
  std::int32_t step = 0;
  std::int32_t end = 0;
  if (!ReadRangeValue(argumentHandle, cursor, start)) return;
  if (!ReadRangeValue(argumentHandle, cursor, step)) return;
  if (!ReadRangeValue(argumentHandle, cursor, end)) return;
  char suffix[ParameterCapacity + 1];
  if (!ReadNextParameter(argumentHandle, suffix, ParameterCapacity, cursor)) return;
  if (!StepLeadsToEnd(start, step, end)) return;

  char nonNegativeFormat[kNumberFormatSize];
  char negativeFormat[kNumberFormatSize];
  BuildNumberFormats(options, (start < 0 || end < 0) ? 1 : 0, nonNegativeFormat, negativeFormat);
  const RangeSpec spec{
      .prefix = prefix,
      .suffix = suffix,
      .start = start,
      .step = step,
      .end = end,
      .dateOrder = range.dateOrder,
      .dateSeparator = range.dateSeparator,
      .nonNegativeWidth = format::NumberFormatWidth(nonNegativeFormat),
      .negativeWidth = format::NumberFormatWidth(negativeFormat),
  };

  if (HostResizeAndLock(resultHandle, kResultWorkingSize) != 0) return;
  const RangeWritten written = WriteRange(*resultHandle, spec);
  HostUnlockHandle(resultHandle);

  std::int32_t length = written.length;
  bool incomplete = written.stoppedByRoom;
  if (length > kResultLimit) {
    length = kResultLimit;
    incomplete = true;
  } else if (range.noReturnAtEnd && length > 0) {
    --length;
  }
  HostSetHandleSize(resultHandle, static_cast<std::uint32_t>(length));

  if (range.fieldSizeWarning && incomplete) ShowRangeWarningIfDue();
}

}  // namespace serix
