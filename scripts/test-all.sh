#!/usr/bin/env bash
# Builds and runs every test: the README's quick start on a new Debian 12 root (its call, then
# setup and a configure of every preset; scripts/fresh-machine.sh), the native unit and
# acceptance tests, the same under
# AddressSanitizer and UndefinedBehaviorSanitizer, the same built for 32-bit x86 (natively or
# under qemu-i386) with every acceptance file and the guide's examples once more through
# scripts/run-dll.sh on the release's Serix.fmx (its ctest's label dll), the Windows DLL under
# Wine (acceptance, resources and the oracle tests against the real Windows functions), the
# WebAssembly build's serix-host.js under Node (acceptance), the playground page of the
# release zip in Chromium, a bounded run of each fuzzer, and the coverage floor of the
# plug-in's core. Installs what is missing first.
# SERIX_STAGES="native sanitize" runs a subset.
#
# Every stage runs, whatever happened before it. The closing line counts every test:
# ctest's, node's and the new root's from their JUnit reports, the fuzz and coverage stages as
# one test each,
# and a step that failed before its tests could report (setup, configure, build) as one
# failed test. Exit status 1 when anything failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

stages="${SERIX_STAGES:-fresh native sanitize i386 win32 wasm browser fuzz coverage}"
fuzz_seconds="${SERIX_FUZZ_SECONDS:-60}"
jobs="${SERIX_JOBS:-$(nproc)}"

passed=0
failed=0
reports="$(mktemp -d)"
trap 'rm -rf "$reports"' EXIT

# One failed test for a step that could not run its tests.
step_failed() {
  echo "== FAILED: $1" >&2
  failed=$((failed + 1))
}

# Adds the tests of the JUnit report $1 to the counts and sets report_failures. A test that
# ctest did not run counts as failed, as ctest counts it, unless the test itself asked to be
# skipped (SKIP_RETURN_CODE, SKIP_REGULAR_EXPRESSION); such a test, and one that node skipped,
# counts as neither. False when there is no report to read.
report_failures=0
count_report() {
  local passes failures
  report_failures=0
  [ -s "$1" ] || return 1
  passes="$(xmllint --xpath \
    'count(//testcase[not(failure) and not(skipped) and not(@status="disabled")])' "$1")" ||
    return 1
  failures="$(xmllint --xpath 'count(//testcase[failure or (@status="notrun" and
    not(starts-with(skipped/@message, "SKIP_")))])' "$1")" || return 1
  passed=$((passed + passes))
  failed=$((failed + failures))
  report_failures=$failures
}

# Runs a command that writes the JUnit report $2, named $1 for people, and counts its tests.
# A command that failed with no failed test in its report (it could not start, found no
# tests, or wrote no report) counts as one failure.
run_reported() {
  local name=$1 report=$2 status=0
  shift 2
  rm -f "$report"
  "$@" || status=$?
  if ! count_report "$report"; then
    step_failed "$name wrote no test report (status $status)"
  elif [ "$status" -ne 0 ] && [ "$report_failures" -eq 0 ]; then
    step_failed "$name (status $status)"
  fi
}

# Runs a check that has no report of its own (a fuzzer run, the coverage floor) as one test.
run_check() {
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); else step_failed "$name"; fi
}

# A preset's workflow: configure, build and test (CMakePresets.json); its test preset writes
# the JUnit report junit.xml in the build folder (build/NAME, or build/FOLDER where the
# workflow builds another preset's folder), from which the tests are counted.
run_workflow() {
  echo "== $1: configure, build and test" >&2
  run_reported "cmake --workflow --preset $1" "build/${2:-$1}/junit.xml" \
    env CMAKE_BUILD_PARALLEL_LEVEL="$jobs" cmake --workflow --preset "$1"
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
    run_workflow win32
    return
  fi
  echo "== win32: $reason; the Windows tests run on the 64-bit build (preset win64) under" \
    "64-bit Wine" >&2
  windows_note=" (Windows tests on the 64-bit build: $reason)"
  run_workflow win32-file win32
  run_workflow win64
}

# The README's quick start on a new Debian 12 root (scripts/fresh-machine.sh), a test a step.
run_fresh() {
  echo "== fresh: the README's quick start on a new Debian 12 root" >&2
  run_reported "scripts/fresh-machine.sh" "$reports/fresh.xml" \
    env SERIX_FRESH_JUNIT="$reports/fresh.xml" scripts/fresh-machine.sh
}

# The browser tests, counted from node's JUnit reporter beside its TAP output.
run_browser() {
  echo "== browser: the playground page of the release zip in Chromium" >&2
  run_reported "scripts/browser-test.sh" "$reports/browser.xml" \
    env SERIX_BROWSER_JUNIT="$reports/browser.xml" scripts/browser-test.sh
}

run_stage() {
  case "$1" in
    fresh) run_fresh ;;
    native) run_workflow default ;;
    sanitize) run_workflow sanitize ;;
    i386) run_workflow i386 ;;
    win32) run_windows ;;
    wasm) run_workflow wasm ;;
    browser) run_browser ;;
    fuzz) run_check "fuzzers" scripts/fuzz.sh "$fuzz_seconds" ;;
    coverage) run_check "coverage floor" scripts/coverage.sh ;;
    *) step_failed "unknown stage: $1" ;;
  esac
}

if ! scripts/setup-deps.sh all; then
  step_failed "scripts/setup-deps.sh all"
fi
for stage in $stages; do
  before_passed=$passed
  before_failed=$failed
  run_stage "$stage"
  echo "== $stage: $((passed - before_passed)) passed, $((failed - before_failed)) failed" >&2
done
echo "== stages run: $stages" >&2
echo "tests: $passed passed, $failed failed$windows_note"
[ "$failed" -eq 0 ]
