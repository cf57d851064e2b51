#!/usr/bin/env bash
# The release for database designers, dist/Serix-<version>.zip, in three steps:
#   1. the playground page, Serix-Playground.html (preset wasm, build/wasm);
#   2. the Windows build's part (preset win32, build/win32/release-files): Serix.fmx,
#      serix-host.exe without its symbols and its note serix-host.txt, the guide as HTML,
#      Serix-Guide.html, and the guide's .reg files;
#   3. packing: one folder named for the release (build/release/Serix-<version>) with all of
#      it and SHA256SUMS of every file in the form `sha256sum -c` reads, zipped whole. Text
#      files get Windows line ends, but for the page, whose scripts stay byte for byte as built.
# Each build is configured when its folder has no build system yet (never configured, or a
# configure that failed). Prints the zip's name and its files.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
# shellcheck source=lib/build-folder.sh
. scripts/lib/build-folder.sh
version="$(sed -nE 's/^project\(Serix VERSION ([0-9]+)\.([0-9]+).*/\1.\2/p' CMakeLists.txt)"
name="Serix-$version"

echo "== release: the playground page (preset wasm)" >&2
build_system_ready build/wasm || cmake --preset wasm >/dev/null
cmake --build --preset wasm --target serix_playground_page >&2

echo "== release: the Windows build (preset win32)" >&2
build_system_ready build/win32 || cmake --preset win32 >/dev/null
cmake --build --preset win32 --target serix_release_files >&2

echo "== release: packing dist/$name.zip" >&2
files=build/win32/release-files
folder="build/release/$name"
zip="$root/dist/$name.zip"
crlf() { sed 's/\r$//; s/$/\r/'; }

rm -rf "$folder"
mkdir -p "$folder"
cp "$files/Serix.fmx" "$files/serix-host.exe" "$files"/*.reg "$folder/"
cp build/wasm/Serix-Playground.html "$folder/"
crlf <"$files/serix-host.txt" >"$folder/serix-host.txt"
crlf <"$files/Serix-Guide.html" >"$folder/Serix-Guide.html"
sums=$(cd "$folder" && sha256sum -- *)
crlf <<<"$sums" >"$folder/SHA256SUMS"

mkdir -p "$(dirname "$zip")"
rm -f "$zip"
(cd "$(dirname "$folder")" && zip -q -X -r "$zip" "$name")
echo "dist/$name.zip:"
(cd "$folder" && ls -1)
