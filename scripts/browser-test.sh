#!/usr/bin/env bash
# The playground page as a designer meets it: builds the release zip (scripts/release.sh),
# unpacks it into build/browser/release, installs the browser tests' packages as
# tests/browser/package-lock.json pins them, and runs tests/browser/*.test.js in Debian's
# Chromium against the unpacked page, with the native serix-host (preset default, built here
# when missing) as the reference. TAP goes to standard output (and a JUnit report to the file
# SERIX_BROWSER_JUNIT names, if any); the screenshot of a date range to build/browser/output.
# The page's module itself, from the wasm build, also meets
# the native host on calls drawn at random, and so does serix-host.js (core.test.js).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# shellcheck source=lib/build-folder.sh
. scripts/lib/build-folder.sh
jobs="${SERIX_JOBS:-$(nproc)}"
version="$(sed -nE 's/^project\(Serix VERSION ([0-9]+)\.([0-9]+).*/\1.\2/p' CMakeLists.txt)"

build_system_ready build/default || cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs" --target serix-host serix_guide_cases >&2
build_system_ready build/wasm || cmake --preset wasm >/dev/null
cmake --build --preset wasm -j "$jobs" --target serix-host serix-playground-module >&2
scripts/release.sh >&2

unpacked=build/browser/release
rm -rf "$unpacked"
mkdir -p "$unpacked"
unzip -q "dist/Serix-$version.zip" -d "$unpacked"

(cd tests/browser && npm ci --no-audit --no-fund --prefer-offline >&2)

export SERIX_RELEASE_DIR="$root/$unpacked/Serix-$version"
export SERIX_NATIVE_HOST="$root/build/default/tools/serix-host/serix-host"
export SERIX_GUIDE_CASES="$root/build/default/tests/acceptance/guide.md.jsonl"
export SERIX_GUIDE="$root/docs/guide.md"
export SERIX_OUTPUT_DIR="$root/build/browser/output"
export SERIX_PAGE_MODULE="$root/build/wasm/tools/playground/serix-playground-module.js"
export SERIX_HOST_JS="$root/build/wasm/tools/playground/serix-host.js"
reporters=(--test-reporter=tap --test-reporter-destination=stdout)
if [ -n "${SERIX_BROWSER_JUNIT:-}" ]; then
  reporters+=(--test-reporter=junit "--test-reporter-destination=$SERIX_BROWSER_JUNIT")
fi
exec node --test "${reporters[@]}" --test-timeout=600000 tests/browser/
