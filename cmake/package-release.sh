#!/usr/bin/env bash
# Builds the release zip for database designers (cmake/ReleasePackage.cmake runs it):
#   package-release.sh ZIP FOLDER VERSION PLUGIN HOST_EXE STRIP REG_DIR GUIDE_MD HOST_NOTE PAGE
# FOLDER is made afresh and zipped whole: Serix.fmx, Serix-Guide.html (GUIDE_MD as
# guide-html.sh renders it), the .reg files of REG_DIR, Serix-Playground.html (PAGE, as built),
# serix-host.exe (without its symbols, by the STRIP program) and serix-host.txt, and SHA256SUMS
# of them all in the form `sha256sum -c` reads. Text files get Windows line ends, but for the
# page, whose scripts are left byte for byte as built.
set -euo pipefail
zip=$1 folder=$2 version=$3 plugin=$4 host=$5 strip=$6 reg_dir=$7 guide=$8 host_note=$9
page=${10}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

crlf() { sed 's/\r$//; s/$/\r/'; }

rm -rf "$folder"
mkdir -p "$folder"
cp "$plugin" "$folder/Serix.fmx"
"$strip" -o "$folder/serix-host.exe" "$host"
cp "$reg_dir"/*.reg "$folder/"
cp "$page" "$folder/Serix-Playground.html"
crlf <"$host_note" >"$folder/serix-host.txt"
"$here/guide-html.sh" "$guide" "$version" | crlf >"$folder/Serix-Guide.html"
sums=$(cd "$folder" && sha256sum -- *)
crlf <<<"$sums" >"$folder/SHA256SUMS"

mkdir -p "$(dirname "$zip")"
rm -f "$zip"
(cd "$(dirname "$folder")" && zip -q -X -r "$zip" "$(basename "$folder")")
echo "$zip:"
(cd "$folder" && ls -1)
