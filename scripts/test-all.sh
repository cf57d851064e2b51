#!/usr/bin/env bash
# Builds and runs every test: the native unit and acceptance tests, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows DLL under Wine (acceptance,
# resources and the oracle tests against the real Windows functions), a bounded run of each
# fuzzer, and the coverage floor of the plug-in's core. Installs what is missing first. SERIX_STAGES="native sanitize" runs a subset.
set -euo pipefail
cd "$(dirname "$0")/.."

stages="${SERIX_STAGES:-native sanitize win32 fuzz coverage}"
fuzz_seconds="${SERIX_FUZZ_SECONDS:-60}"
jobs="${SERIX_JOBS:-$(nproc)}"

scripts/setup-deps.sh all

passed=0
failed=0
log="$(mktemp)"
trap 'rm -f "$log"' EXIT

# Adds the counts of ctest's closing line ("N% tests passed, F tests failed out of T").
count_ctest() {
  local line total failures
  line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  [ -n "$line" ] || return 0
  total="$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")"
  failures="$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")"
  passed=$((passed + total - failures))
  failed=$((failed + failures))
}

run_preset() {
  local preset="$1" status=0
  echo "== $preset: configure and build" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  echo "== $preset: test" >&2
  ctest --preset "$preset" 2>&1 | tee "$log" || status=$?
  count_ctest
  return "$status"
}

for stage in $stages; do
  case "$stage" in
    native) run_preset default ;;
    sanitize) run_preset sanitize ;;
    win32) run_preset win32 ;;
    fuzz) scripts/fuzz.sh "$fuzz_seconds" ;;
    coverage) scripts/coverage.sh ;;
    *) echo "unknown stage: $stage" >&2; exit 2 ;;
  esac
done
echo "== stages run: $stages" >&2
echo "tests: $passed passed, $failed failed"
