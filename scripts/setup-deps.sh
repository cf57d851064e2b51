#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, only what is missing.
#   scripts/setup-deps.sh native   the native build, its tests and serix-host
#   scripts/setup-deps.sh bench    also Google Benchmark
#   scripts/setup-deps.sh all      also the Windows cross builds (32-bit, and 64-bit for
#                                  machines that run no 32-bit programs), the release package,
#                                  Wine, fuzzing and coverage
# Needs root (or sudo) only when something is missing.
set -euo pipefail

profile="${1:-all}"
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev
          libsqlite3-dev)
case "$profile" in
  native) ;;
  bench) packages+=(libbenchmark-dev) ;;
  all)
    packages+=(libbenchmark-dev clang libclang-rt-dev gcovr
               g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 xvfb xauth zip cmark
               g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64)
    ;;
  *) echo "usage: $0 [native|bench|all]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}" >&2
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq >&2
# With recommended packages: Wine, for one, is tested with what it recommends.
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >&2
