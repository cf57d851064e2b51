#!/usr/bin/env bash
# Runs a Windows program under Wine for the win32 build and its tests:
#   wine-run.sh PROGRAM.exe [ARGS...]
#   wine-run.sh --prepare            only create the Wine prefix
#
# The Wine prefix is private to the build tree: SERIX_WINEPREFIX, else the "wine-prefix"
# folder of the build directory that holds the program (or the current directory), else
# that of the repository's build/win32 (build/win64 for a 64-bit program). It is created
# once, under a lock, so that tests started in parallel never race to create it. Windows get
# an X display: SERIX_WINE_DISPLAY_FILE names a file holding the display of a shared Xvfb
# (tests/windows start one, with a wineserver that stays until they end); without it, and
# without DISPLAY, the program runs under an Xvfb of its own. Nothing is printed but what
# the program prints.
#
# A 64-bit program (the win64 test build) runs under 64-bit Wine in a 64-bit prefix: chosen by
# the program file's machine, or by SERIX_WINE_BITS=64 for commands that are no file (such as
# "cmd").
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh PROGRAM [ARGS...]" >&2
  exit 2
fi

script_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# The nearest folder from $1 upwards that holds a CMakeCache.txt.
find_build_dir() {
  local dir
  dir=$(cd "$1" 2>/dev/null && pwd) || return 0
  while [ "$dir" != / ]; do
    if [ -f "$dir/CMakeCache.txt" ]; then
      echo "$dir"
      return
    fi
    dir=$(dirname "$dir")
  done
}

# The machine field of a PE file's header: 8664 for x86-64, 014c for i386.
pe_machine() {
  local header
  header=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$header" ] && od -An -tx2 -j$((header + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

bits=${SERIX_WINE_BITS:-}
if [ -z "$bits" ]; then
  bits=32
  if [ -f "$1" ] && [ "$(pe_machine "$1")" = 8664 ]; then bits=64; fi
fi
if [ "$bits" = 64 ]; then
  # Debian's wine command prefers the 32-bit loader whenever it is installed.
  export WINELOADER=/usr/lib/wine/wine64 WINEARCH=win64
  wine=(/usr/lib/wine/wine64)
else
  export WINEARCH=win32
  wine=(wine)
fi

if [ -z "${SERIX_WINEPREFIX:-}" ]; then
  build_dir=""
  if [ "$1" != --prepare ] && [[ $1 == */* ]]; then
    build_dir=$(find_build_dir "$(dirname "$1")")
  fi
  [ -n "$build_dir" ] || build_dir=$(find_build_dir "$PWD")
  [ -n "$build_dir" ] || build_dir=$script_dir/../build/win$bits
  SERIX_WINEPREFIX=$build_dir/wine-prefix
fi

export WINEPREFIX=$SERIX_WINEPREFIX
export WINEDEBUG=-all
# No .NET or Gecko installer dialogs when the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      if ! "${wine[@]}" wineboot --init >/dev/null 2>&1; then
        echo "wine-run.sh: wineboot could not create the Wine prefix $WINEPREFIX" >&2
        exit 1
      fi
      # A crashing program ends at once instead of waiting in the crash dialog.
      "${wine[@]}" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /t REG_SZ /d "" /f >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi

if [ "$1" = --prepare ]; then
  exit 0
fi

if [ -n "${SERIX_WINE_DISPLAY_FILE:-}" ] && [ -s "$SERIX_WINE_DISPLAY_FILE" ]; then
  DISPLAY=$(cat "$SERIX_WINE_DISPLAY_FILE")
  export DISPLAY
  exec "${wine[@]}" "$@"
elif [ -n "${DISPLAY:-}" ]; then
  exec "${wine[@]}" "$@"
else
  # Wine's own processes (the desktop, services) outlive the program for a moment; the
  # X server must outlive them, or each one reports on our standard error that its
  # connection broke. So wait for the wineserver to end, and with it all of them, before
  # xvfb-run stops the server.
  # shellcheck disable=SC2016  # the inner script's own variables
  exec xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c 'status=0; "$0" "$@" || status=$?; wineserver -w; exit $status' "${wine[@]}" "$@"
fi
