#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each for SECONDS (default 60), starting
# from its committed seed corpus under fuzz/corpus/<target>/; fuzz-pe-image starts from the win32
# build's Serix.fmx too (SERIX_FMX names another; built first when missing).
#
#   scripts/fuzz.sh [SECONDS]
#
# New inputs go to a working corpus in the build directory, so the committed seeds stay small;
# an input that fails is saved as <build>/fuzz-artifacts/<target>/crash-* and the script ends
# with status 1 after running the other targets. SERIX_FUZZ_BUILD_DIR names another build
# directory (default build/fuzz).
set -uo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${SERIX_FUZZ_BUILD_DIR:-$root/build/fuzz}"

cd "$root"
cmake --preset fuzz -B "$build" >/dev/null || exit 1

targets=(fuzz-entry fuzz-session fuzz-range-writer fuzz-pe-image)
cmake --build "$build" -j2 --target "${targets[@]}" || exit 1

# The module the PE reader's fuzzing starts from: a build output, so never committed.
serix_fmx="${SERIX_FMX:-$root/build/win32/Serix.fmx}"
if [ -z "${SERIX_FMX:-}" ] && [ ! -f "$serix_fmx" ]; then
  echo "== building $serix_fmx for fuzz-pe-image's seeds" >&2
  { cmake --preset win32 && cmake --build --preset win32 --target serix_fmx; } \
    >"$build/serix_fmx-build.log" 2>&1 || { tail -n 30 "$build/serix_fmx-build.log" >&2; exit 1; }
fi
[ -f "$serix_fmx" ] || { echo "fuzz: no module at $serix_fmx" >&2; exit 1; }
mkdir -p "$build/fuzz-corpus/fuzz-pe-image"
cp "$serix_fmx" "$build/fuzz-corpus/fuzz-pe-image/Serix.fmx"

status=0
for target in "${targets[@]}"; do
  work="$build/fuzz-corpus/$target"
  artifacts="$build/fuzz-artifacts/$target"
  mkdir -p "$work" "$artifacts"
  options=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  [ -f "fuzz/$target.dict" ] && options+=(-dict="fuzz/$target.dict")
  log="$build/fuzz-$target.log"
  echo "== $target for ${seconds}s (log: $log)" >&2
  if "$build/fuzz/$target" "${options[@]}" "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
    grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done )' "$log" >&2 || true
  else
    tail -n 60 "$log" >&2
    echo "== $target FAILED; inputs in $artifacts" >&2
    status=1
  fi
done
exit $status
