// "Serx-CreateRange": a list of numbers or dates, one entry a line.
//
// Argument: options | prefix | start | step | end | suffix. Each entry is the prefix, the
// value, the suffix and a carriage return. Options: "-padding N" zero-pads numbers to N
// characters; "-DateMMDDYYYY" or "-DateDDMMYYYY" writes day numbers as dates, separated by
// "/" or, with "-DateUseDash" or "-DateUsePeriod", by "-" or "."; "-noreturnatend" drops the
// last carriage return; "-fieldsizewarning" warns when the range did not fit the 64000
// characters a result may hold. A missing start, step or end, a step of 0 or an end that the
// step does not lead to leaves the result untouched.
#pragma once

#include "host/call_block.h"

namespace serix {

void CreateRange(HostHandle argumentHandle, HostHandle resultHandle);

}  // namespace serix
