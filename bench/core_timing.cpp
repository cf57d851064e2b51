// serix-core-timing: the benchmarks' Serx-CreateRange calls timed with a plain clock, so that
// the same program runs natively and in WebAssembly (under Node) and the two can be compared
// call for call. Prints one line a case: its name and the median nanoseconds of one call over
// 15 batches of at least 50 ms. scripts/bench-web.sh runs both and writes the ratios.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "emulated_host.h"
#include "linked_plugin.h"
#include "range_cases.h"

namespace serix::bench {
namespace {

constexpr std::uint32_t kCreateRangeIndex = 1;
constexpr int kBatches = 15;
constexpr std::chrono::milliseconds kLeastBatch{50};

using Clock = std::chrono::steady_clock;

host::EmulatedHost& LeanHost() {
  static host::EmulatedHost host(host::LinkedPlugin(), host::kLeanHost);
  return host;
}

// Calls in one batch, doubled until a batch takes long enough for the clock.
long CallsPerBatch(std::string_view argument) {
  for (long calls = 1;; calls *= 2) {
    const Clock::time_point started = Clock::now();
    for (long i = 0; i < calls; ++i) LeanHost().CallFunction(kCreateRangeIndex, argument);
    if (Clock::now() - started >= kLeastBatch) return calls;
  }
}

double MedianNanoseconds(std::string_view argument) {
  const long calls = CallsPerBatch(argument);
  std::array<double, kBatches> perCall{};
  for (double& nanoseconds : perCall) {
    const Clock::time_point started = Clock::now();
    for (long i = 0; i < calls; ++i) LeanHost().CallFunction(kCreateRangeIndex, argument);
    const std::chrono::duration<double, std::nano> took = Clock::now() - started;
    nanoseconds = took.count() / static_cast<double>(calls);
  }
  std::nth_element(perCall.begin(), perCall.begin() + kBatches / 2, perCall.end());
  return perCall[kBatches / 2];
}

}  // namespace
}  // namespace serix::bench

int main() {
  using namespace serix::bench;
  if (LeanHost().Initialise(4) != 4) {
    std::fprintf(stderr, "serix-core-timing: the plug-in refused to initialise\n");
    return 1;
  }
  for (const RangeCase& range : kRangeCases) {
    LeanHost().CallFunction(kCreateRangeIndex, range.argument);
    if (LeanHost().ResultText().size() != range.expectedLength) {
      std::fprintf(stderr, "serix-core-timing: %s gave %zu characters, not %zu\n",
                   std::string(range.name).c_str(), LeanHost().ResultText().size(),
                   range.expectedLength);
      return 1;
    }
    std::printf("%s %.1f\n", std::string(range.name).c_str(), MedianNanoseconds(range.argument));
  }
  return 0;
}
