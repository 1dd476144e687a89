#!/usr/bin/env bash
# The real tavlin as a screen reader meets it: on an X display with a window
# manager, in a D-Bus session of its own with the accessibility bus, the title
# buttons must be push buttons named 登录 and 关闭 with a press action, and
# pressing 关闭 through that action must end Tavlin.
#
#   accessibility-test.sh BIN_DIR       (run under run-under-xvfb.sh --wm)
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${TAVLIN_IN_SESSION:-}" ]; then
  exec env TAVLIN_IN_SESSION=1 dbus-run-session -- "$0" "$@"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-a11y.XXXXXX")
site_pid=
tavlin_pid=
cleanup() {
  [ -n "$tavlin_pid" ] && kill "$tavlin_pid" 2>/dev/null || true
  [ -n "$site_pid" ] && kill "$site_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

"$bin/tavlin-sample-site" --port 0 >"$work/site.out" 2>&1 &
site_pid=$!
for _ in $(seq 100); do
  grep -q LISTENING "$work/site.out" && break
  sleep 0.1
done
port=$(sed -n 's/^LISTENING \([0-9]*\).*/\1/p' "$work/site.out")
[ -n "$port" ] || { echo "accessibility-test: the sample back end did not start" >&2; exit 1; }

mkdir -p "$work/tavlin" "$work/runtime" "$work/home"
chmod 700 "$work/runtime"
cp "$bin/tavlin" "$work/tavlin/"
"$bin/tavlin-config" write "$work/tavlin" --url "http://127.0.0.1:$port/inspect" \
  --number 4401000001 >/dev/null

status=0
# At 100 % and at 200 %: a screen reader finds the buttons where they are drawn.
for scale in 1 2; do
  HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    QT_SCALE_FACTOR=$scale "$work/tavlin/tavlin" >"$work/tavlin.log" 2>&1 &
  tavlin_pid=$!
  /usr/bin/python3 "$here/accessibility_check.py" "$tavlin_pid" "$scale" || status=$?
  [ "$status" -eq 0 ] || break
  # 关闭 pressed through its action ends Tavlin the normal way.
  for _ in $(seq 300); do
    kill -0 "$tavlin_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$tavlin_pid" 2>/dev/null; then
    echo "accessibility-test: Tavlin still runs after 关闭 was pressed (scale $scale)" >&2
    status=1
    break
  fi
  wait "$tavlin_pid" || status=$?
  tavlin_pid=
  [ "$status" -eq 0 ] || break
done
[ "$status" -eq 0 ] || cat "$work/tavlin.log" >&2
echo "accessibility: $([ "$status" -eq 0 ] && echo passed || echo FAILED)"
exit "$status"
