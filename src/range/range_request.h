// Serx-CreateRange in two halves: reading the argument (the option words that apply and the
// five parameters after them, as the plug-in takes them) and writing the range it asks for.
// Hosts that have the plug-in linked in read an argument with the first half alone, to show
// how the plug-in read it.
#pragma once

#include <cstdint>

#include "host/call_block.h"
#include "host/parameters.h"
#include "range/range_values.h"

namespace serix {

// The option words as they apply.
struct RangeOptions {
  bool fieldSizeWarning = false;
  bool noReturnAtEnd = false;
  int dateOrder = kDateOrderNone;
  char dateSeparator = '/';
  int paddingWidth = 0;  // the width of numbers of zero and above, 0 to 100; 0 pads nothing
};

// A parameter as the plug-in holds it: at most ParameterCapacity characters, up to its first
// zero byte.
struct RangeValueRead {
  char text[ParameterCapacity + 1];
  std::int32_t value;
};

inline constexpr int kRangeParameterCount = 6;  // options, prefix, start, step, end, suffix

struct RangeRequest {
  char optionsText[ParameterCapacity + 1];
  RangeOptions options;
  char prefix[ParameterCapacity + 1];
  RangeValueRead start;
  RangeValueRead step;
  RangeValueRead end;
  char suffix[ParameterCapacity + 1];
  // Parameters read, in the order above: the reading stops after an empty start, step or end
  // and before a parameter whose argument the host refused to lock.
  int parametersRead;
};

// Reads the argument as Serx-CreateRange does; true when all six parameters were read.
[[nodiscard]] bool ReadRangeRequest(HostHandle argumentHandle, RangeRequest& request);

// Whether a request read in full asks for values: a step other than 0 that leads to the end.
bool RangeHasValues(const RangeRequest& request);

struct RangeFit {
  std::int32_t length;  // the result's length, at most kResultLimit
  bool incomplete;      // values were left out or the last entry was cut
};

// Writes the range of a request that has values at dest, which has room for
// kResultWorkingSize characters, and fits it to the result limit and the return at the end.
RangeFit WriteRangeEntries(char* dest, const RangeRequest& request);

}  // namespace serix
