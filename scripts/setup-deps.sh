#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, only what is missing.
#   scripts/setup-deps.sh native   the native build, its tests and serix-host
#   scripts/setup-deps.sh bench    also Google Benchmark
#   scripts/setup-deps.sh web      also the WebAssembly build (emscripten), Node.js with npm and
#                                  Chromium, for serix-host.js and the playground page's tests
#   scripts/setup-deps.sh i386     also the 32-bit x86 build (g++-multilib, GoogleTest's
#                                  sources), qemu-i386 for machines that run no 32-bit
#                                  programs, and clang and MinGW-w64 for the loader's tests
#   scripts/setup-deps.sh all      also the Windows cross builds (32-bit, and 64-bit for
#                                  machines that run no 32-bit programs), the release package,
#                                  Wine, fuzzing, coverage, xmllint for the test command's
#                                  counts, debootstrap for its new-machine stage, and all of
#                                  i386 and web
# Needs root (or sudo) only when something is missing.
set -euo pipefail

profile="${1:-all}"
# cmark beside libcmark-dev: Debian's CMake package file for libcmark checks every target it
# declares, the cmark program (/usr/bin/cmark, package cmark) included, and stops the configure
# when one is missing, although the guide tool links only the library.
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev
          libsqlite3-dev libcmark-dev cmark libxml2-dev)
web_packages=(emscripten nodejs chromium)
# clang and MinGW-w64 beside: the loader's tests build a Windows module of their own (clang
# compiles its thread_local into the TLS directory, which MinGW-w64's GCC emulates instead).
i386_packages=(g++-multilib googletest qemu-user clang g++-mingw-w64-i686)
# npm comes with some builds of Node.js and as a package of its own with Debian's.
command -v npm >/dev/null || web_packages+=(npm)
case "$profile" in
  native) ;;
  bench) packages+=(libbenchmark-dev) ;;
  web) packages+=("${web_packages[@]}") ;;
  i386) packages+=("${i386_packages[@]}") ;;
  all)
    packages+=(libbenchmark-dev clang libclang-rt-dev gcovr
               g++-mingw-w64-i686 binutils-mingw-w64-i686 wine wine32:i386 xvfb xauth zip
               g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 unzip libxml2-utils
               debootstrap
               "${i386_packages[@]}" "${web_packages[@]}")
    ;;
  *) echo "usage: $0 [native|bench|web|i386|all]" >&2; exit 2 ;;
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

# A mirror caught in the middle of a sync serves one architecture's index out of step with
# the other ("File has unexpected size ... Mirror sync in progress?"); it is usually whole
# again within a minute or two.
update_attempts="${SERIX_APT_UPDATE_ATTEMPTS:-5}"
for attempt in $(seq 1 "$update_attempts"); do
  if $sudo apt-get update -qq >&2; then break; fi
  if [ "$attempt" -eq "$update_attempts" ]; then
    echo "setup-deps: the package index is still incomplete after $attempt tries;" \
      "installing from what could be read" >&2
  else
    echo "setup-deps: the package index could not be read whole (try $attempt of" \
      "$update_attempts); trying again in 20 s" >&2
    sleep "${SERIX_APT_RETRY_PAUSE:-20}"
  fi
done

install() {
  # With recommended packages: Wine, for one, is tested with what it recommends.
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" >&2
}

install "${missing[@]}" && exit 0

# 32-bit Wine is the one package the tests can do without: where it cannot be installed they
# run the Windows tests on the 64-bit build, as on machines that run no 32-bit programs.
without_wine32=()
for package in "${missing[@]}"; do
  [ "$package" = wine32:i386 ] || without_wine32+=("$package")
done
if [ ${#without_wine32[@]} -eq ${#missing[@]} ]; then
  echo "setup-deps: could not install: ${missing[*]}" >&2
  exit 1
fi
if [ ${#without_wine32[@]} -gt 0 ] && ! install "${without_wine32[@]}"; then
  echo "setup-deps: could not install: ${without_wine32[*]}" >&2
  exit 1
fi
echo "setup-deps: wine32:i386 could not be installed (the mirror's i386 packages); the" \
  "Windows tests will run on the 64-bit build under 64-bit Wine" >&2
