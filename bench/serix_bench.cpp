// Benchmarks of "Serx-CreateRange" called as the host calls it: through FMExternCallProc, with
// the emulated host in this process and the preferences read from the in-memory registry at
// every call. Each benchmark reports x_memcpy, its CPU time per call divided by the time of
// one 64000-byte memcpy measured at start-up in the same run, and x_memcpy_target, the most
// it should take. scripts/bench.sh builds and runs it with repetitions.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "emulated_host.h"
#include "linked_plugin.h"
#include "memcpy_yardstick.h"
#include "range_cases.h"

namespace serix::bench {
namespace {

constexpr std::uint32_t kCreateRangeIndex = 1;
constexpr std::int64_t kResultLimit = 64000;
constexpr std::size_t kResultWorkingSize = 65000;

double yardstickSeconds = 0;

// x_memcpy: the CPU time of one iteration over the yardstick's. The benchmark library's own
// CPU time covers the same loop; this is measured alongside it with the same clock.
class RatioTimer {
 public:
  RatioTimer() : started_(ThreadCpuSeconds()) {}
  void Report(benchmark::State& state) const {
    if (state.iterations() == 0) return;
    const double perIteration =
        (ThreadCpuSeconds() - started_) / static_cast<double>(state.iterations());
    state.counters["x_memcpy"] = perIteration / yardstickSeconds;
  }

 private:
  double started_;
};

host::EmulatedHost& LeanHost() {
  static host::EmulatedHost host(host::LinkedPlugin(), host::kLeanHost);
  return host;
}

// Case 1 written with one snprintf per value, as a plain implementation would.
std::int64_t WritePlainNumbersWithSnprintf(char* dest) {
  std::int64_t written = 0;
  for (long value = 1; value <= 100000 && written <= kResultLimit; ++value) {
    const auto room =
        static_cast<std::size_t>(static_cast<std::int64_t>(kResultWorkingSize) - written);
    written += std::snprintf(dest + written, room, "%ld", value);
    dest[written++] = '\r';
  }
  return written < kResultLimit ? written : kResultLimit;
}

std::string PlainNumbersExpected() {
  std::string text(kResultWorkingSize, '\0');
  text.resize(static_cast<std::size_t>(WritePlainNumbersWithSnprintf(text.data())));
  return text;
}

// Fails the benchmark when the plug-in's result is not what this range must give.
bool ResultLooksRight(benchmark::State& state, std::string_view argument, std::string_view expected,
                      std::size_t expectedLength) {
  host::EmulatedHost& host = LeanHost();
  host.CallFunction(kCreateRangeIndex, argument);
  const std::string_view result = host.ResultText();
  if (result.size() != expectedLength || (!expected.empty() && result != expected)) {
    state.SkipWithError("unexpected result");
    return false;
  }
  return true;
}

// One call of Serx-CreateRange a iteration. targetRatio, the most x_memcpy that this case
// should take, goes into the output beside it.
void CreateRange(benchmark::State& state, double targetRatio, std::string_view argument,
                 std::size_t expectedLength, std::string_view expected = {}) {
  if (!ResultLooksRight(state, argument, expected, expectedLength)) return;
  host::EmulatedHost& host = LeanHost();
  const RatioTimer timer;
  for (auto _ : state) {
    host.CallFunction(kCreateRangeIndex, argument);
    benchmark::DoNotOptimize(host.ResultText().data());
  }
  timer.Report(state);
  state.counters["x_memcpy_target"] = targetRatio;
}

void BM_Yardstick_Memcpy64000(benchmark::State& state) {
  std::vector<char> source(kYardstickBytes, 'x');
  std::vector<char> destination(kYardstickBytes);
  const RatioTimer timer;
  for (auto _ : state) CopyYardstick(destination.data(), source.data());
  timer.Report(state);
}

void BM_Baseline_SnprintfPerValue(benchmark::State& state) {
  std::vector<char> dest(kResultWorkingSize);
  const RatioTimer timer;
  for (auto _ : state) {
    benchmark::DoNotOptimize(WritePlainNumbersWithSnprintf(dest.data()));
    benchmark::ClobberMemory();
  }
  timer.Report(state);
}

// Case 1 is checked byte for byte against snprintf, the others by their length.
void RegisterRangeCases() {
  for (const RangeCase& range : kRangeCases) {
    const std::string name = "BM_" + std::string(range.name);
    benchmark::RegisterBenchmark(name.c_str(), [range](benchmark::State& state) {
      static const std::string plainNumbers = PlainNumbersExpected();
      CreateRange(state, range.targetRatio, range.argument, range.expectedLength,
                  range.name == "PlainNumbers" ? std::string_view(plainNumbers)
                                               : std::string_view());
    });
  }
}

BENCHMARK(BM_Yardstick_Memcpy64000);
BENCHMARK(BM_Baseline_SnprintfPerValue);

}  // namespace
}  // namespace serix::bench

int main(int argc, char** argv) {
  serix::bench::RegisterRangeCases();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  serix::bench::yardstickSeconds = serix::bench::MeasureYardstickSeconds();
  char yardstickNanoseconds[32];
  std::snprintf(yardstickNanoseconds, sizeof yardstickNanoseconds, "%.1f",
                serix::bench::yardstickSeconds * 1e9);
  benchmark::AddCustomContext("memcpy_64000_ns", yardstickNanoseconds);
  if (serix::bench::LeanHost().Initialise(4) != 4) {
    std::fprintf(stderr, "serix-bench: the plug-in refused to initialise\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
