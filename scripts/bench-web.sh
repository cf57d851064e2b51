#!/usr/bin/env bash
# The WebAssembly build against the native one, and the playground page in Chromium
# (docs/performance.md):
#   - serix-core-timing, the benchmarks' Serx-CreateRange calls with a plain clock, built
#     natively (build/bench) and in WebAssembly (build/wasm-bench, run by Node); each case's
#     nanoseconds a call and the ratio WebAssembly / native;
#   - bench/page_timing.js on build/wasm/Serix-Playground.html: its size, the time to its
#     first result, a 64000-character result and a 100000-character argument.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# shellcheck source=lib/build-folder.sh
. scripts/lib/build-folder.sh
scripts/setup-deps.sh web

cmake --preset bench -B build/bench >/dev/null
cmake --build build/bench -j2 --target serix-core-timing >/dev/null
cmake --preset wasm -B build/wasm-bench -DSERIX_BUILD_BENCH=ON -DSERIX_BUILD_TESTS=OFF >/dev/null
cmake --build build/wasm-bench -j2 --target serix-core-timing >/dev/null
build_system_ready build/wasm || cmake --preset wasm >/dev/null
cmake --build --preset wasm --target serix_playground_page >/dev/null
(cd tests/browser && npm ci --no-audit --no-fund --prefer-offline >/dev/null)

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "node: $(node --version), chromium: $(chromium --version 2>/dev/null | head -n 1)"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
native="$(build/bench/bench/serix-core-timing)"
wasm="$(node build/wasm-bench/bench/serix-core-timing.js)"
echo
echo "| case | native ns/call | WebAssembly ns/call | WebAssembly / native |"
echo "|---|---|---|---|"
join <(sort <<<"$native") <(sort <<<"$wasm") |
  awk '{ printf "| %s | %.0f | %.0f | %.2f |\n", $1, $2, $3, $3 / $2 }'
echo
node bench/page_timing.js build/wasm/Serix-Playground.html
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
