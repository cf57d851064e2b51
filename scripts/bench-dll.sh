#!/usr/bin/env bash
# Guest instructions of one Serx-CreateRange call of each benchmark case in the shipped
# i686 module, counted under an emulator (docs/performance.md): serix-host-dll loads the
# module and makes the call under `qemu-i386 -singlestep -d exec,nochain`, which logs every
# instruction executed; serix-dll-instruction-count (bench/) counts those of the call inside
# the module's image, in its imports (serix-host-dll's stand-ins and the C library's memcpy,
# memset, strlen) and in the host's callbacks. These are instruction counts, not times; they
# do not depend on the machine or its load.
#
#   scripts/bench-dll.sh [MODULE]      MODULE defaults to the win32 build's Serix.fmx
#
# Prints a table and writes JSON to build/bench/serix-bench-dll.json (SERIX_BENCH_DLL_JSON
# names another file). A case runs for a minute or two.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
json="${SERIX_BENCH_DLL_JSON:-$root/build/bench/serix-bench-dll.json}"

scripts/setup-deps.sh bench
scripts/setup-deps.sh i386
cmake --preset bench -B build/bench >/dev/null
cmake --build build/bench -j2 --target serix-dll-instruction-count >/dev/null
counter="$root/build/bench/bench/serix-dll-instruction-count"

# run-dll.sh builds serix-host-dll, and the module when none is given, and tries them once.
if [ $# -ge 1 ]; then
  module="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
  SERIX_DLL="$module" scripts/run-dll.sh call Serx-Version >/dev/null
else
  module="$root/build/win32/Serix.fmx"
  (unset SERIX_DLL; scripts/run-dll.sh call Serx-Version >/dev/null)
fi
host="${SERIX_I386_BUILD_DIR:-$root/build/i386}/tools/serix-host-dll/serix-host-dll"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Counts the calls of one Serx-CreateRange run; prints "module imports host" per call of the
# entry point (the Initialise call first) and leaves the result in $work/result.
count_run() {
  printf '%s' "$1" >"$work/argument"
  SERIX_DLL="$module" qemu-i386 -L / -singlestep -d exec,nochain \
    -D >("$counter" "$module" >"$work/counts") \
    "$host" call Serx-CreateRange --arg-file "$work/argument" --raw </dev/null >"$work/result"
  wait $!
  cat "$work/counts"
}

echo "module: $module ($(stat -c %s "$module") bytes)"
echo "emulator: $(qemu-i386 --version | head -n 1)"
echo
echo "| case | argument | entries | in the module | per entry | target | in imports | module + imports | host callbacks |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|"
rows=()
initialise=""
while IFS=$'\t' read -r label name argument expected target; do
  counts="$(count_run "$argument")"
  [ -n "$initialise" ] || initialise="$(head -n 1 <<<"$counts")"
  read -r inModule inImports inHost <<<"$(tail -n 1 <<<"$counts")"
  length="$(stat -c %s "$work/result")"
  if [ "$length" != "$expected" ]; then
    echo "bench-dll: case $label gave $length characters, not $expected" >&2
    exit 1
  fi
  # Entries begun: one per carriage return, and the last one when the cut ended inside it.
  entries="$(tr -cd '\r' <"$work/result" | wc -c)"
  [ "$length" -gt 0 ] && [ "$(tail -c 1 "$work/result" | od -An -tx1 | tr -d ' ')" != 0d ] &&
    entries=$((entries + 1))
  perEntry="$(awk -v m="$inModule" -v e="$entries" 'BEGIN { printf "%.1f", m / e }')"
  shownTarget="$target"
  [ "$target" = 0.0 ] && shownTarget="–"
  printf '| %s | `%s` | %d | %d | %s | %s | %d | %d | %d |\n' "$label" "${argument//|/\\|}" \
    "$entries" "$inModule" "$perEntry" "$shownTarget" "$inImports" $((inModule + inImports)) \
    "$inHost"
  escaped="$(sed 's/[\\"]/\\&/g' <<<"$argument")"
  rows+=("$(printf '{"case": "%s", "name": "%s", "argument": "%s", "length": %d, "entries": %d, "module": %d, "module_per_entry": %s, "module_per_entry_target": %s, "imports": %d, "host": %d}' \
    "$label" "$name" "$escaped" "$length" "$entries" "$inModule" "$perEntry" "$target" "$inImports" "$inHost")")
done < <("$counter" --cases)
read -r initModule initImports initHost <<<"$initialise"
printf '| Initialise | | | %d | | | %d | %d | %d |\n' "$initModule" "$initImports" \
  $((initModule + initImports)) "$initHost"

mkdir -p "$(dirname "$json")"
{
  printf '{"module": "%s", "module_bytes": %d, "emulator": "%s",\n' "$module" \
    "$(stat -c %s "$module")" "$(qemu-i386 --version | head -n 1)"
  printf ' "initialise": {"module": %d, "imports": %d, "host": %d},\n' "$initModule" \
    "$initImports" "$initHost"
  printf ' "cases": [\n'
  for i in "${!rows[@]}"; do
    printf '  %s%s\n' "${rows[$i]}" "$([ "$i" -lt $((${#rows[@]} - 1)) ] && echo ,)"
  done
  printf ' ]}\n'
} >"$json"
echo
echo "JSON: $json"
