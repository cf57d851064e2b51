#!/usr/bin/env bash
# Builds the release zip for database designers (cmake/ReleasePackage.cmake runs it):
#   package-release.sh ZIP FOLDER VERSION PLUGIN HOST_EXE STRIP REG_DIR GUIDE_MD HOST_NOTE PAGE
# FOLDER is made afresh and zipped whole: Serix.fmx, Serix-Guide.html (GUIDE_MD through
# cmark), the .reg files of REG_DIR, Serix-Playground.html (PAGE, as built), serix-host.exe
# (without its symbols, by the STRIP program) and serix-host.txt, and SHA256SUMS of them all in
# the form `sha256sum -c` reads. Text files get Windows line ends, but for the page, whose
# scripts are left byte for byte as built.
set -euo pipefail
zip=$1 folder=$2 version=$3 plugin=$4 host=$5 strip=$6 reg_dir=$7 guide=$8 host_note=$9
page=${10}

crlf() { sed 's/\r$//; s/$/\r/'; }

rm -rf "$folder"
mkdir -p "$folder"
cp "$plugin" "$folder/Serix.fmx"
"$strip" -o "$folder/serix-host.exe" "$host"
cp "$reg_dir"/*.reg "$folder/"
cp "$page" "$folder/Serix-Playground.html"
crlf <"$host_note" >"$folder/serix-host.txt"
{
  cat <<HEAD
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Serix $version: a guide for database designers</title>
<style>
body { font-family: Segoe UI, Arial, sans-serif; max-width: 50em; margin: 2em auto;
       padding: 0 1em; line-height: 1.45; }
pre { background: #f4f4f4; padding: 0.6em 0.9em; overflow-x: auto; }
code { font-family: Consolas, monospace; }
</style>
</head>
<body>
HEAD
  cmark "$guide"
  printf '</body>\n</html>\n'
} | crlf >"$folder/Serix-Guide.html"
sums=$(cd "$folder" && sha256sum -- *)
crlf <<<"$sums" >"$folder/SHA256SUMS"

mkdir -p "$(dirname "$zip")"
rm -f "$zip"
(cd "$(dirname "$folder")" && zip -q -X -r "$zip" "$(basename "$folder")")
echo "$zip:"
(cd "$folder" && ls -1)
