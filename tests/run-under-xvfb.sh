#!/usr/bin/env bash
# Runs a command on a virtual X display of its own, as a desktop program runs:
# the xcb platform, OpenGL through Mesa. The display is chosen by the X server
# (-displayfd), so parallel runs never share one; it is stopped afterwards.
#
#   run-under-xvfb.sh [--wm] [--screen WIDTHxHEIGHT] COMMAND [ARGUMENT...]
#
# --wm also starts a window manager (openbox) on the display; --screen sets
# the screen's size (1366x768 unless given).
set -euo pipefail

wm=
screen=1366x768
while true; do
  case "${1:-}" in
    --wm) wm=1; shift ;;
    --screen) screen=$2; shift 2 ;;
    *) break ;;
  esac
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-xvfb.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  if ! kill -0 "${pids[0]}" 2>/dev/null; then
    cat "$work/xvfb.log" >&2
    echo "run-under-xvfb: Xvfb did not start" >&2
    exit 1
  fi
  sleep 0.1
done
if [ ! -s "$work/display" ]; then
  echo "run-under-xvfb: Xvfb gave no display number" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb

if [ -n "$wm" ]; then
  openbox --sm-disable >"$work/wm.log" 2>&1 &
  pids+=($!)
  # The manager owns the display once it holds the WM_S0 selection.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
fi

status=0
"$@" || status=$?
exit "$status"
