#!/usr/bin/env bash
# Checks the built plug-in file as the host application's loader will meet it:
#   check_dll_file.sh OBJDUMP Serix.fmx
# a PE32 DLL for i386 whose only export is the undecorated FMExternCallProc, and which imports
# only the Windows system DLLs it needs (no MinGW runtime DLL to ship beside it).
set -euo pipefail

objdump=${1:?objdump}
module=${2:?module}
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

headers=$("$objdump" -p "$module")

grep -q '^architecture: i386' <<<"$("$objdump" -f "$module")" || fail "machine is not i386"
grep -Eq '^Magic[[:space:]]+010b[[:space:]]+\(PE32\)' <<<"$headers" || fail "not PE32"
# IMAGE_FILE_DLL (0x2000) among the file characteristics.
characteristics=$(awk '$1 == "Characteristics" {print $2; exit}' <<<"$headers")
(((characteristics & 0x2000) != 0)) || fail "not a DLL (characteristics $characteristics)"

# The export names: the lines after "[Ordinal/Name Pointer] Table" up to the next blank line.
exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {inside = 1; next}
               inside && NF == 0 {exit}
               inside {print $NF}' <<<"$headers")
[ "$exports" = FMExternCallProc ] || fail "exports are [$(tr '\n' ' ' <<<"$exports")]," \
  "not only FMExternCallProc"

# Imports: Windows system DLLs only.
allowed=" ADVAPI32.dll KERNEL32.dll USER32.dll msvcrt.dll "
imports=$(awk '/DLL Name:/ {print $3}' <<<"$headers")
for dll in $imports; do
  [[ $allowed == *" $dll "* ]] || fail "imports $dll, not one of the system DLLs the plug-in may use"
done
[ -n "$imports" ] || fail "no import table found"

echo "$module: exports [$exports], imports [$(tr '\n' ' ' <<<"$imports")], $failures failures"
[ "$failures" -eq 0 ]
