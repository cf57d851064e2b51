#!/usr/bin/env bash
# Imports each .reg file of the release with Wine's own regedit into the Wine prefix's
# registry (the real HKEY_CURRENT_USER, which no other test uses), then calls the plug-in
# through serix-host.exe: the call must split its parameters at the separator that the file
# sets. Separator-default.reg goes last, so the prefix ends with the standard "|".
#   reg_files_test.sh SERIX_HOST_EXE REG_DIR
# WINE_RUN names scripts/wine-run.sh.
set -euo pipefail
host=$1
reg_dir=$2
: "${WINE_RUN:?}"

files=()
for file in "$reg_dir"/*.reg; do
  [ "$(basename "$file")" = Separator-default.reg ] || files+=("$file")
done
files+=("$reg_dir/Separator-default.reg")

failures=0
for file in "${files[@]}"; do
  name=$(basename "$file")
  # The token as the file sets it, in its CRLF line (the registry editor's form).
  token=$(sed -n 's/^"SeparatorToken"="\(.*\)"\r$/\1/p' "$file")
  if [ -z "$token" ]; then
    echo "$name: no \"SeparatorToken\"=\"...\" line with a Windows line end" >&2
    failures=$((failures + 1))
    continue
  fi
  "$WINE_RUN" regedit /s "Z:${file//\//\\}"
  t=$token
  got=$("$WINE_RUN" "$host" call Serx-CreateRange "-noreturnatend${t}p${t}1${t}1${t}2${t}" |
    tr -d '\r') || true
  if [ "$got" = $'p1\np2' ]; then
    echo "$name: calls split at \"$token\""
  else
    echo "$name: after its import, a call split at \"$token\" gave \"$got\"" >&2
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ]
