#!/usr/bin/env bash
# Export then import gives back every value byte for byte, natively and on Windows: the .reg
# file (every kind of value, in the order and form the export writes) is imported into an
# empty preference key and exported again, and the export must equal it. On Windows, an
# import that the registry refuses half way must then leave the key as it was.
#   prefs_roundtrip_test.sh REGFILE native SERIX_HOST          a fresh SQLite registry
#   prefs_roundtrip_test.sh REGFILE windows WINE_RUN HOST.exe  the real registry of the
#                                                               build's own Wine prefix
set -euo pipefail
reg=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
kind=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"  # files by relative names, which Wine's programs reach too

host=("$@")
registry=()
if [ "$kind" = native ]; then
  registry=(--registry registry.db)
else
  echo '{"op":"registry","delete_key":true}' | "${host[@]}" session >/dev/null
fi
cp "$reg" original.reg
"${host[@]}" prefs "${registry[@]}" import original.reg
"${host[@]}" prefs "${registry[@]}" export exported.reg
if ! cmp original.reg exported.reg; then
  diff <(od -c original.reg) <(od -c exported.reg) >&2 || true
  exit 1
fi
echo "$kind: $(grep -c '=' original.reg) values exported as imported, byte for byte"

# On Windows an import stores value after value. One that the registry refuses half way (a
# value name of 16384 characters, longer than a value name may be) must leave the key as it
# was: changed and deleted values put back, a new one removed, and a key it created deleted.
[ "$kind" = windows ] || exit 0
{
  printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Vexa\\Vexa Plug-in General Prefs]\r\n'
  printf '"Number"=dword:00000001\r\n"Empty"=-\r\n"New value"="new"\r\n'
  printf '"%s"="refused"\r\n\r\n' "$(head -c 16384 /dev/zero | tr '\0' N)"
} >failing.reg
expect_refused() {
  local status=0
  "${host[@]}" prefs import failing.reg 2>refused.txt || status=$?
  if [ "$status" -ne 3 ]; then
    echo "an import the registry refuses half way gave status $status, not 3" >&2
    exit 1
  fi
}
expect_refused
"${host[@]}" prefs export restored.reg
if ! cmp original.reg restored.reg; then
  echo "the refused import left the key changed:" >&2
  diff original.reg restored.reg >&2 || true
  exit 1
fi
echo '{"op":"registry","delete_key":true}' | "${host[@]}" session >/dev/null
expect_refused
left=$(echo '{"op":"registry","get":true}' | "${host[@]}" session | tr -d '\r')
if [ "$left" != '{"key":false,"values":{},"open":0}' ]; then
  echo "the refused import into no key left $left" >&2
  exit 1
fi
echo "$kind: an import refused half way left every value as it was, and no key it made"
