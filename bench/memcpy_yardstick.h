// The yardstick every benchmark is measured against: one memcpy of a full 64000-character
// result between two buffers that stay in the cache.
#pragma once

#include <cstddef>

namespace serix::bench {

inline constexpr std::size_t kYardstickBytes = 64000;

// Copies kYardstickBytes from source to destination so that the compiler cannot drop it.
void CopyYardstick(char* destination, const char* source);

// Thread CPU seconds of one yardstick copy: the median over many timed batches.
double MeasureYardstickSeconds();

// Thread CPU time now, in seconds, as the benchmark library measures CPU time.
double ThreadCpuSeconds();

}  // namespace serix::bench
