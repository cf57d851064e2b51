#!/usr/bin/env bash
# Builds and runs every test: the native unit and acceptance tests, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the Windows DLL under Wine (acceptance,
# resources and the oracle tests against the real Windows functions), the WebAssembly build's
# serix-host.js under Node (acceptance), the playground page of the release zip in Chromium, a
# bounded run of each fuzzer, and the coverage floor of the plug-in's core. Installs what is
# missing first. SERIX_STAGES="native sanitize" runs a subset.
set -euo pipefail
cd "$(dirname "$0")/.."

stages="${SERIX_STAGES:-native sanitize win32 wasm browser fuzz coverage}"
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

build_preset() {
  echo "== $1: configure and build" >&2
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
}

# ctest with the preset and any further arguments, its counts added.
test_preset() {
  local status=0
  echo "== $1: test" >&2
  ctest --preset "$@" 2>&1 | tee "$log" || status=$?
  count_ctest
  return "$status"
}

run_preset() {
  build_preset "$1"
  test_preset "$1"
}

# Why the Windows tests cannot run on the 32-bit build here, or nothing when they can: some
# kernels are booted without 32-bit support, and 32-bit Wine cannot start there; and a mirror
# out of step can keep wine32:i386 from being installed.
no_32bit_reason() {
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "wine32:i386 could not be installed"
  elif ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "this machine runs no 32-bit programs"
  fi
}

# The Windows build under Wine. Where 32-bit Wine cannot run, the 32-bit plug-in is still
# built and its file checked, and the Windows tests run on the same sources built for 64-bit
# Windows, under 64-bit Wine.
windows_note=""
run_windows() {
  local reason
  reason="$(no_32bit_reason)"
  if [ -z "$reason" ]; then
    run_preset win32
    return
  fi
  echo "== win32: $reason; the Windows tests run on the 64-bit build (preset win64) under" \
    "64-bit Wine" >&2
  windows_note=" (Windows tests on the 64-bit build: $reason)"
  build_preset win32
  test_preset win32 -R '^dll_file$'
  run_preset win64
}

# The browser tests, their counts added from node's TAP summary ("# pass N", "# fail N").
run_browser() {
  echo "== browser: the playground page of the release zip in Chromium" >&2
  local status=0 passes fails
  scripts/browser-test.sh 2>&1 | tee "$log" || status=$?
  passes="$(sed -nE 's/^# pass ([0-9]+)$/\1/p' "$log" | tail -n 1)"
  fails="$(sed -nE 's/^# fail ([0-9]+)$/\1/p' "$log" | tail -n 1)"
  passed=$((passed + ${passes:-0}))
  failed=$((failed + ${fails:-0}))
  # A run that failed before any test counts as one failure.
  if [ "$status" -ne 0 ] && [ "${fails:-0}" -eq 0 ]; then failed=$((failed + 1)); fi
  return "$status"
}

for stage in $stages; do
  case "$stage" in
    native) run_preset default ;;
    sanitize) run_preset sanitize ;;
    win32) run_windows ;;
    wasm) run_preset wasm ;;
    browser) run_browser ;;
    fuzz) scripts/fuzz.sh "$fuzz_seconds" ;;
    coverage) scripts/coverage.sh ;;
    *) echo "unknown stage: $stage" >&2; exit 2 ;;
  esac
done
echo "== stages run: $stages" >&2
echo "tests: $passed passed, $failed failed$windows_note"
