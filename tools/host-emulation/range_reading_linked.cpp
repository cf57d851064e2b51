// How the linked plug-in reads an argument: its parameters, and what Serx-CreateRange makes of
// them. Its own reading, run inside a call of the emulated host, and for a range its own writing
// into a scratch buffer to learn whether the range is complete. The host adds no rule of its own.
#include <memory>

#include "host/host_calls.h"
#include "host/parameters.h"
#include "host_platform.h"
#include "range/range_request.h"
#include "range/range_writer.h"
#include "settings/prefs_record.h"

namespace serix::host {
namespace {

constexpr std::uint32_t kCreateRangeIndex = 1;

// Start and end are days when the options ask for dates; the step is a count of days.
RangeValueReading ValueReading(const RangeValueRead& read, const RangeOptions& options, bool day) {
  RangeValueReading value{read.text, read.value, {}};
  if (day && options.dateOrder != kDateOrderNone) {
    char date[kMaxDateLength];
    const int length = FormatRangeDate(read.value, options.dateOrder, options.dateSeparator, date);
    value.date.assign(date, static_cast<std::size_t>(length));
  }
  return value;
}

void Report(const RangeRequest& request, RangeReading& reading) {
  const int read = request.parametersRead;
  const RangeOptions& options = request.options;
  if (read >= 1) {
    reading.paddingWidth = options.paddingWidth;
    reading.dateOrder = options.dateOrder;
    reading.dateSeparator = options.dateSeparator;
    reading.returnAtEnd = !options.noReturnAtEnd;
    reading.warning = options.fieldSizeWarning;
  }
  if (read >= 2) reading.prefix = request.prefix;
  if (read >= 3) reading.start = ValueReading(request.start, options, true);
  if (read >= 4) reading.step = ValueReading(request.step, options, false);
  if (read >= 5) reading.end = ValueReading(request.end, options, true);
  if (read >= 6) reading.suffix = request.suffix;
}

}  // namespace

bool ReadRangeArgument(EmulatedHost& host, std::string_view argument, RangeReading& reading,
                       std::string& why) {
  auto request = std::make_unique<RangeRequest>();
  bool read = false;
  BeginPluginCall();
  reading.call = host.CallWith(kCreateRangeIndex, argument, [&](CallBlock* block) {
    SetCurrentCallBlock(block);
    read = ReadRangeRequest(block->argumentHandle, *request);
  });
  reading.effects = EndPluginCall();
  if (request->parametersRead == 0) {
    why = "the plug-in could not read the argument";
    return false;
  }
  Report(*request, reading);
  reading.writes = read && RangeHasValues(*request);
  if (reading.writes) {
    auto scratch = std::make_unique<char[]>(kResultWorkingSize);
    reading.incomplete = WriteRangeEntries(scratch.get(), *request).incomplete;
  }
  return true;
}

bool ReadParameters(EmulatedHost& host, std::string_view argument, int count,
                    ParameterReading& reading, std::string& why) {
  bool read = true;
  BeginPluginCall();
  host.CallWith(kCreateRangeIndex, argument, [&](CallBlock* block) {
    SetCurrentCallBlock(block);
    ParameterCursor cursor = 0;
    for (int i = 0; i < count && read; ++i) {
      char parameter[ParameterCapacity + 1];
      read = ReadNextParameter(block->argumentHandle, parameter, ParameterCapacity, cursor);
      reading.parameters.emplace_back(parameter);
    }
    reading.separator = GetSeparatorToken();
  });
  reading.effects = EndPluginCall();
  if (!read) why = "the plug-in could not read the argument";
  return read;
}

}  // namespace serix::host
