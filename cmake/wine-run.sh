#!/usr/bin/env bash
# Runs a Windows program under Wine for the win32 build and its tests:
#   wine-run.sh PROGRAM.exe [ARGS...]
#   wine-run.sh --prepare            only create the Wine prefix
#
# The Wine prefix is private to the build tree (SERIX_WINEPREFIX, else the "wine-prefix"
# folder beside the current directory's CMakeCache.txt, else ~/.cache/serix-wine). It is created
# once, under a lock, so that tests started in parallel never race to create it. Windows get
# an X display: SERIX_WINE_DISPLAY_FILE names a file holding the display of a shared Xvfb
# (tests/windows start one); without it, and without DISPLAY, the program runs under
# xvfb-run.
#
# A 64-bit program (the win64 test build) runs under 64-bit Wine in a 64-bit prefix: chosen by
# the program file's machine, or by SERIX_WINE_BITS=64 for commands that are no file (such as
# "cmd").
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh PROGRAM [ARGS...]" >&2
  exit 2
fi

find_build_dir() {
  local dir=$PWD
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
  build_dir=$(find_build_dir)
  if [ -n "$build_dir" ]; then
    SERIX_WINEPREFIX=$build_dir/wine-prefix
  else
    SERIX_WINEPREFIX=${XDG_CACHE_HOME:-$HOME/.cache}/serix-wine$bits
  fi
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
      echo "wine-run.sh: creating the Wine prefix $WINEPREFIX" >&2
      "${wine[@]}" wineboot --init >/dev/null 2>&1
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
  exec xvfb-run -a -s "-screen 0 1024x768x24" "${wine[@]}" "$@"
fi
