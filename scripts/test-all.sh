#!/usr/bin/env bash
# Builds and runs every test: the native unit and acceptance tests, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows DLL under Wine (acceptance,
# resources and the oracle tests against the real Windows functions), and a bounded run of
# each fuzzer. Installs what is missing first. SERIX_STAGES="native sanitize" runs a subset.
set -euo pipefail
cd "$(dirname "$0")/.."

stages="${SERIX_STAGES:-native sanitize win32 fuzz}"
fuzz_seconds="${SERIX_FUZZ_SECONDS:-60}"
jobs="${SERIX_JOBS:-$(nproc)}"

scripts/setup-deps.sh all

run_preset() {
  local preset="$1"
  echo "== $preset: configure and build" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test" >&2
  ctest --preset "$preset"
}

for stage in $stages; do
  case "$stage" in
    native) run_preset default ;;
    sanitize) run_preset sanitize ;;
    win32) run_preset win32 ;;
    fuzz) scripts/fuzz.sh "$fuzz_seconds" ;;
    *) echo "unknown stage: $stage" >&2; exit 2 ;;
  esac
done
echo "== all stages passed: $stages" >&2
