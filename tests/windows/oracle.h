// Oracle checks of the plug-in's own writers against the Windows functions they stand in for.
#pragma once

#include <cstdint>

#include "checker.h"

namespace serix::wintest {

// FormatRangeDate against FileTimeToSystemTime and wsprintfA for every day number from first
// to last: both date orders with "/", and all three separators for every sampleEvery-th day.
void CheckDatesAgainstSystemTime(Checker& checker, std::int32_t first, std::int32_t last,
                                 std::int32_t sampleEvery);

// The number writers against wsprintfA's "%ld", "%lu" and "%0" N "ld", N from 0 to 100 and
// written with leading zeros too.
void CheckNumbersAgainstWsprintf(Checker& checker);

// The error-number alert's text against wsprintfA's " error number %lu  ".
void CheckErrorTextAgainstWsprintf(Checker& checker);

}  // namespace serix::wintest
