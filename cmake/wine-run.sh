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

if [ -z "${SERIX_WINEPREFIX:-}" ]; then
  build_dir=$(find_build_dir)
  if [ -n "$build_dir" ]; then
    SERIX_WINEPREFIX=$build_dir/wine-prefix
  else
    SERIX_WINEPREFIX=${XDG_CACHE_HOME:-$HOME/.cache}/serix-wine
  fi
fi

export WINEPREFIX=$SERIX_WINEPREFIX
export WINEARCH=win32
export WINEDEBUG=-all
# No .NET or Gecko installer dialogs when the prefix is made.
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "wine-run.sh: creating the Wine prefix $WINEPREFIX" >&2
      wineboot --init >/dev/null 2>&1
      # A crashing program ends at once instead of waiting in the crash dialog.
      wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
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
  exec wine "$@"
elif [ -n "${DISPLAY:-}" ]; then
  exec wine "$@"
else
  exec xvfb-run -a -s "-screen 0 1024x768x24" wine "$@"
fi
