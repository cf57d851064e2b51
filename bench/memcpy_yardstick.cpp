#include "memcpy_yardstick.h"

#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace serix::bench {
namespace {

constexpr int kBatches = 51;
constexpr int kCopiesPerBatch = 400;

}  // namespace

void CopyYardstick(char* destination, const char* source) {
  std::memcpy(destination, source, kYardstickBytes);
  benchmark::DoNotOptimize(destination);
  benchmark::ClobberMemory();
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double MeasureYardstickSeconds() {
  std::vector<char> source(kYardstickBytes, 'x');
  std::vector<char> destination(kYardstickBytes);
  for (int i = 0; i < kCopiesPerBatch; ++i) CopyYardstick(destination.data(), source.data());

  std::array<double, kBatches> perCopy{};
  for (double& seconds : perCopy) {
    const double started = ThreadCpuSeconds();
    for (int i = 0; i < kCopiesPerBatch; ++i) CopyYardstick(destination.data(), source.data());
    seconds = (ThreadCpuSeconds() - started) / kCopiesPerBatch;
  }
  std::nth_element(perCopy.begin(), perCopy.begin() + kBatches / 2, perCopy.end());
  return perCopy[kBatches / 2];
}

}  // namespace serix::bench
