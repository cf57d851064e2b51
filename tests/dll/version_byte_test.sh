#!/usr/bin/env bash
# What answers through scripts/run-dll.sh is the module's own bytes: a copy of Serix.fmx with
# one byte of its version text changed answers Serx-Version with that byte changed.
#   dll_version_byte_test.sh RUN_DLL      (SERIX_DLL: the module; default the win32 build's)
set -euo pipefail
run_dll=$1
dll=${SERIX_DLL:-$(cd "$(dirname "$run_dll")/.." && pwd)/build/win32/Serix.fmx}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

text='Vexa Serix Plug-In 1.1'
offsets=$(grep -obUaF "$text" "$dll" | cut -d: -f1)
if [ "$(wc -w <<<"$offsets")" != 1 ]; then
  echo "expected the text '$text' once in $dll, found it at: ${offsets:-nowhere}" >&2
  exit 1
fi
cp "$dll" "$work/Serix.fmx"
# The last character, "1", becomes "7".
printf '7' | dd of="$work/Serix.fmx" bs=1 seek=$((offsets + ${#text} - 1)) conv=notrunc status=none

answer=$(SERIX_DLL="$work/Serix.fmx" "$run_dll" call Serx-Version)
if [ "$answer" != 'Vexa Serix Plug-In 1.7' ]; then
  echo "the changed copy answered '$answer', not 'Vexa Serix Plug-In 1.7'" >&2
  exit 1
fi
echo "the changed copy answered '$answer'"
