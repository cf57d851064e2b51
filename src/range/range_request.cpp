#include "range/range_request.h"

#include "format/decimal_text.h"
#include "range/range_writer.h"

namespace serix {
namespace {

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
  // Numbers of zero and above are padded the same whether negatives can occur or not.
  char nonNegativeFormat[kNumberFormatSize];
  char negativeFormat[kNumberFormatSize];
  BuildNumberFormats(options, 0, nonNegativeFormat, negativeFormat);
  read.paddingWidth = format::NumberFormatWidth(nonNegativeFormat);
  return read;
}

// Reads the next parameter as a range value; false when it is empty or the host refused the
// argument.
bool ReadRangeValue(HostHandle argumentHandle, ParameterCursor& cursor, RangeValueRead& read,
                    int& parametersRead) {
  if (!ReadNextParameter(argumentHandle, read.text, ParameterCapacity, cursor)) return false;
  ++parametersRead;
  read.value = 0;
  if (read.text[0] == '\0') return false;
  ParseRangeValue(read.text, read.value);
  return true;
}

}  // namespace

bool ReadRangeRequest(HostHandle argumentHandle, RangeRequest& request) {
  ParameterCursor cursor = 0;
  request.parametersRead = 0;
  if (!ReadNextParameter(argumentHandle, request.optionsText, ParameterCapacity, cursor)) {
    return false;
  }
  ++request.parametersRead;
  request.options = ReadRangeOptions(request.optionsText);
  if (!ReadNextParameter(argumentHandle, request.prefix, ParameterCapacity, cursor)) return false;
  ++request.parametersRead;
  int& read = request.parametersRead;
  if (!ReadRangeValue(argumentHandle, cursor, request.start, read)) return false;
  if (!ReadRangeValue(argumentHandle, cursor, request.step, read)) return false;
  if (!ReadRangeValue(argumentHandle, cursor, request.end, read)) return false;
  if (!ReadNextParameter(argumentHandle, request.suffix, ParameterCapacity, cursor)) return false;
  ++request.parametersRead;
  return true;
}

bool RangeHasValues(const RangeRequest& request) {
  const std::int32_t step = request.step.value;
  if (request.parametersRead < kRangeParameterCount || step == 0) return false;
  return step > 0 ? request.start.value <= request.end.value
                  : request.start.value >= request.end.value;
}

RangeFit WriteRangeEntries(char* dest, const RangeRequest& request) {
  const std::int32_t start = request.start.value;
  const std::int32_t end = request.end.value;
  char nonNegativeFormat[kNumberFormatSize];
  char negativeFormat[kNumberFormatSize];
  BuildNumberFormats(request.optionsText, (start < 0 || end < 0) ? 1 : 0, nonNegativeFormat,
                     negativeFormat);
  const RangeSpec spec{
      .prefix = request.prefix,
      .suffix = request.suffix,
      .start = start,
      .step = request.step.value,
      .end = end,
      .dateOrder = request.options.dateOrder,
      .dateSeparator = request.options.dateSeparator,
      .nonNegativeWidth = format::NumberFormatWidth(nonNegativeFormat),
      .negativeWidth = format::NumberFormatWidth(negativeFormat),
  };
  const RangeWritten written = WriteRange(dest, spec);

  RangeFit fit{written.length, written.stoppedByRoom};
  if (fit.length > kResultLimit) {
    fit.length = kResultLimit;
    fit.incomplete = true;
  } else if (request.options.noReturnAtEnd && fit.length > 0) {
    --fit.length;
  }
  return fit;
}

}  // namespace serix
