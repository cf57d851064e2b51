#!/usr/bin/env bash
# Starts and stops what the Wine tests share, so that tests running in parallel need not
# each start their own:
#   wine_session.sh start STATE_DIR   the Wine prefix (created if missing), a persistent
#                                     wineserver and an Xvfb display for message boxes
#   wine_session.sh stop STATE_DIR
# The display's name goes to STATE_DIR/display, which wine-run.sh reads through
# SERIX_WINE_DISPLAY_FILE. SERIX_WINEPREFIX names the prefix; WINE_RUN the wrapper script.
set -euo pipefail

action=${1:?start or stop}
state=${2:?state directory}
: "${SERIX_WINEPREFIX:?}" "${WINE_RUN:?}"
export WINEPREFIX=$SERIX_WINEPREFIX WINEDEBUG=-all

stop() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$state/xvfb.pid" ]; then
    kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
    rm -f "$state/xvfb.pid"
  fi
  rm -f "$state/display"
}

case $action in
  start)
    mkdir -p "$state"
    stop
    "$WINE_RUN" --prepare
    # Xvfb writes the number of the display it found free to the descriptor given.
    rm -f "$state/display.number"
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
      3>"$state/display.number" </dev/null >/dev/null 2>&1 &
    echo $! >"$state/xvfb.pid"
    for _ in $(seq 100); do
      [ -s "$state/display.number" ] && break
      sleep 0.1
    done
    if [ ! -s "$state/display.number" ]; then
      echo "Xvfb did not start" >&2
      stop
      exit 1
    fi
    DISPLAY=":$(tr -d '[:space:]' <"$state/display.number")"
    export DISPLAY
    # A wineserver kept running until stopped, and Wine's own background processes
    # (services, devices, desktop) started now, detached from every test's output: started
    # by a test they would hold its output open and ctest would wait for them.
    wineserver -p </dev/null >/dev/null 2>&1
    "$WINE_RUN" cmd /c exit </dev/null >/dev/null 2>&1
    echo "$DISPLAY" >"$state/display"
    echo "Wine prefix $WINEPREFIX, display $DISPLAY"
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: wine_session.sh start|stop STATE_DIR" >&2
    exit 2
    ;;
esac
