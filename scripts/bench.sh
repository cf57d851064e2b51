#!/usr/bin/env bash
# Builds serix-bench (preset "bench", Release) and runs it with repetitions, printing the
# medians and writing every repetition and aggregate as JSON. Each benchmark's x_memcpy is
# its CPU time over that of one 64000-byte memcpy measured in the same run.
#
#   scripts/bench.sh [benchmark arguments...]      e.g. --benchmark_filter=PlainNumbers
#
# SERIX_BENCH_BUILD_DIR names another build directory (default build/bench),
# SERIX_BENCH_REPETITIONS the repetitions (default 15). The JSON goes to
# <build>/serix-bench.json.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${SERIX_BENCH_BUILD_DIR:-$root/build/bench}"
repetitions="${SERIX_BENCH_REPETITIONS:-15}"

cd "$root"
scripts/setup-deps.sh bench
cmake --preset bench -B "$build" >/dev/null
cmake --build "$build" -j2 --target serix-bench >/dev/null

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "compiler: $(c++ --version | head -n 1)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/serix-bench" --benchmark_repetitions="$repetitions" \
  --benchmark_report_aggregates_only=true --benchmark_out="$build/serix-bench.json" \
  --benchmark_out_format=json "$@"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "JSON: $build/serix-bench.json"
