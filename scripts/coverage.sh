#!/usr/bin/env bash
# Builds the coverage preset (gcov), runs the unit tests and reports line and branch coverage
# with gcovr: first of src/ without src/platform/windows/ (the plug-in and its portable
# platform stand-ins), then of the plug-in's core alone (src/ without src/platform/). Each
# must reach 95% of lines and 90% of branches or the script fails.
#
#   scripts/coverage.sh
#
# Branches that only exceptions take, and ones the compiler marks unreachable, are left out.
# An HTML report with every line goes to <build>/coverage/index.html. SERIX_COVERAGE_BUILD_DIR
# names another build directory (default build/coverage).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${SERIX_COVERAGE_BUILD_DIR:-$root/build/coverage}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac

cd "$root"
cmake --preset coverage -B "$build" >/dev/null
cmake --build "$build" -j2 --target serix_unit_tests
find "$build" -name '*.gcda' -delete
# A failing test still leaves its counts; report them, then fail.
tests_status=0
"$build/tests/serix_unit_tests" --gtest_brief=1 || tests_status=$?

common=("$build" --root "$root" --object-directory "$build" --exclude-throw-branches
        --exclude-unreachable-branches)

echo "== src/ without src/platform/windows/"
mkdir -p "$build/coverage"
gcovr "${common[@]}" --filter "$root/src/" --exclude "$root/src/platform/windows/" \
  --print-summary --html-details "$build/coverage/index.html" \
  --fail-under-line 95 --fail-under-branch 90

echo "== the plug-in's core: src/ without src/platform/"
gcovr "${common[@]}" --filter "$root/src/" --exclude "$root/src/platform/" --branches \
  --print-summary --fail-under-line 95 --fail-under-branch 90

if [ "$tests_status" -ne 0 ]; then
  echo "unit tests failed (status $tests_status)" >&2
  exit "$tests_status"
fi
