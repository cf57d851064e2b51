#include "range/create_range.h"

#include "host/host_calls.h"
#include "range/range_request.h"
#include "range/range_warning.h"
#include "range/range_writer.h"

namespace serix {

void CreateRange(HostHandle argumentHandle, HostHandle resultHandle) {
  // Every way out before the result is sized leaves it untouched: an empty start, step or end,
  // a range that cannot be walked, or an argument the host refused to lock.
  RangeRequest request;
  if (!ReadRangeRequest(argumentHandle, request)) return;
  if (!RangeHasValues(request)) return;

  if (HostResizeAndLock(resultHandle, kResultWorkingSize) != 0) return;
  const RangeFit fit = WriteRangeEntries(*resultHandle, request);
  HostUnlockHandle(resultHandle);
  HostSetHandleSize(resultHandle, static_cast<std::uint32_t>(fit.length));

  if (request.options.fieldSizeWarning && fit.incomplete) ShowRangeWarningIfDue();
}

}  // namespace serix
