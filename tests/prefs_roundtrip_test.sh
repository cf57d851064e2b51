#!/usr/bin/env bash
# Export then import gives back every value byte for byte, natively and on Windows: the .reg
# file (every kind of value, in the order and form the export writes) is imported into an
# empty preference key and exported again, and the export must equal it.
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
