#!/usr/bin/env bash
# Runs serix-host-dll, the host that loads the real Serix.fmx into an i386 Linux process as
# Windows loads it, with the serix-host arguments given (docs/host.md):
#
#   scripts/run-dll.sh session < requests.jsonl
#   scripts/run-dll.sh call Serx-CreateRange '-padding 3|Item |8|1|11|'
#
# SERIX_DLL names the module (default: the win32 build's build/win32/Serix.fmx, built first
# when missing or older than the sources). The host is the i386 build's (preset "i386",
# SERIX_I386_BUILD_DIR names another build directory), built first when missing or older than
# the sources; build logs go to files, never to standard output. Where the machine runs no
# 32-bit programs, the host runs under qemu-i386.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${SERIX_I386_BUILD_DIR:-$root/build/i386}
host=$build/tools/serix-host-dll/serix-host-dll
win32=$root/build/win32

# shellcheck source=lib/build-folder.sh
. "$root/scripts/lib/build-folder.sh"

# Builds one target of a preset in its directory, one run at a time (a lock in the directory),
# unless `file` is there and newer than the sources. `package` is the one the build cannot do
# without; when it is missing, scripts/setup-deps.sh installs the profile `deps`.
build_target() {
  local preset=$1 directory=$2 target=$3 file=$4 package=$5 deps=$6
  [ -f "$file" ] && ! sources_newer_than "$root" "$file" && return 0
  mkdir -p "$directory"
  local log=$directory/$target-build.log
  exec 9>"$directory/$target-build.lock"
  flock 9
  if [ ! -f "$file" ] || sources_newer_than "$root" "$file"; then
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      "$root/scripts/setup-deps.sh" "$deps" >&2
    fi
    echo "run-dll: building $target in $directory (log: $log)" >&2
    # (set -e does not reach into an if's condition: the && stops at a failed configure.)
    if ! {
      { build_system_ready "$directory" || cmake -S "$root" --preset "$preset" -B "$directory"; } &&
        cmake --build "$directory" -j2 --target "$target"
    } >"$log" 2>&1; then
      tail -n 30 "$log" >&2
      echo "run-dll: the build failed; the whole log is in $log" >&2
      exit 2
    fi
    # Up to date now, even where the change was to sources this target does not use.
    touch "$file"
  fi
  exec 9>&-
}

if [ -n "${SERIX_DLL:-}" ]; then
  dll=$SERIX_DLL
  if [ ! -f "$dll" ]; then
    echo "run-dll: SERIX_DLL names no file: $dll" >&2
    exit 2
  fi
else
  dll=$win32/Serix.fmx
  build_target win32 "$win32" serix_fmx "$dll" g++-mingw-w64-i686 all
fi
build_target i386 "$build" serix-host-dll "$host" g++-multilib i386

export SERIX_DLL=$dll
# Natively where the kernel runs 32-bit programs, else under qemu-i386 (qemu-user).
if "$host" --help >/dev/null 2>&1; then
  exec "$host" "$@"
fi
command -v qemu-i386 >/dev/null || "$root/scripts/setup-deps.sh" i386 >&2
exec qemu-i386 -L / "$host" "$@"
