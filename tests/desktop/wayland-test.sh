#!/usr/bin/env bash
# The real tavlin as a native Wayland client of GNOME's compositor, mutter:
#
# - started as a desktop starts it, its window is maximised (the compositor
#   configures it to the whole output);
# - a second copy, started by a launcher with an activation token, hands the
#   token to the first, which activates its window with it: the first copy's
#   window gets the keyboard from the launcher's window.
#
# mutter runs nested on a virtual X display of its own (its output is a
# 1366x768 X window), under a D-Bus session of its own, so a screenshot of
# the display shows what the compositor shows; the screenshots are kept in
# $TAVLIN_SCREENSHOTS when that is set.
#
#   wayland-test.sh BIN_DIR
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${TAVLIN_IN_SESSION:-}" ]; then
  exec env TAVLIN_IN_SESSION=1 "$here/../run-under-xvfb.sh" dbus-run-session -- "$0" "$@"
fi
if [ ! -x /usr/bin/mutter ] || [ ! -x "$bin/wl_launcher" ]; then
  echo "wayland-test: mutter or the test launcher is missing" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-wayland.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "wayland-test: $*" >&2
  for log in mutter.log first.err second.err launcher.out; do
    [ -f "$work/$log" ] && { echo "--- $log" >&2; grep -v '^\[' "$work/$log" | tail -n 30 >&2; }
  done
  # The last of what the compositor and Tavlin said to each other.
  [ -f "$work/first.err" ] && { echo "--- first.err, protocol" >&2; tail -n 12 "$work/first.err" >&2; }
  echo "wayland: FAILED"
  exit 1
}

# Waits up to $2 seconds for the file $1 to hold a line matching $3.
wait_for() {
  local file=$1 seconds=$2 pattern=$3
  for _ in $(seq $((seconds * 10))); do
    grep -qE -- "$pattern" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

shot() {
  [ -n "${TAVLIN_SCREENSHOTS:-}" ] || return 0
  mkdir -p "$TAVLIN_SCREENSHOTS"
  import -window root "$TAVLIN_SCREENSHOTS/$1.png"
  echo "wayland-test: screenshot $TAVLIN_SCREENSHOTS/$1.png"
}

# A runtime folder of our own: the compositor's socket, Tavlin's lock and
# its raise socket live there.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
# A home of our own: Tavlin registers the system's certificate store in the
# user's certificate database there.
export HOME=$work/home
mkdir -p "$HOME"
MUTTER_DEBUG_DUMMY_MODE_SPECS=1366x768 mutter --nested --wayland --no-x11 \
  --wayland-display tavlin-wayland >"$work/mutter.log" 2>&1 &
pids+=($!)
for _ in $(seq 150); do
  [ -S "$XDG_RUNTIME_DIR/tavlin-wayland" ] && break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/tavlin-wayland" ] || fail "mutter did not start"

"$bin/tavlin-sample-site" --port 0 --log "$work/requests.log" >"$work/site.out" 2>&1 &
pids+=($!)
wait_for "$work/site.out" 10 '^LISTENING' || fail "the sample back end did not start"
port=$(sed -n 's/^LISTENING \([0-9]*\).*/\1/p' "$work/site.out")
mkdir -p "$work/tavlin"
cp "$bin/tavlin" "$work/tavlin/"
"$bin/tavlin-config" write "$work/tavlin" --url "http://127.0.0.1:$port/inspect" \
  --number 4401000001 >/dev/null

# As a Wayland session starts a program: no X display, the native platform.
# The protocol's messages on standard error are what the compositor told.
run_tavlin=(env -u DISPLAY WAYLAND_DISPLAY=tavlin-wayland QT_QPA_PLATFORM=wayland
            WAYLAND_DEBUG=client)

# 1. Maximised: the compositor configures the window to the whole output.
"${run_tavlin[@]}" "$work/tavlin/tavlin" >"$work/first.out" 2>"$work/first.err" &
first=$!
pids+=($first)
wait_for "$work/requests.log" 60 'GET /inspect' || fail "Tavlin's start request never came"
wait_for "$work/first.err" 20 'xdg_toplevel@[0-9]+\.configure\(1366, 768,' ||
  fail "the compositor never configured Tavlin's window to the output (1366x768): not maximised"
grep -qE -- '-> xdg_toplevel@[0-9]+\.set_maximized\(\)' "$work/first.err" ||
  fail "Tavlin never asked to be maximised"
sleep 1 # let the page paint before the screenshot
shot wayland-maximised
echo "wayland-test: maximised on mutter"

# 2. The launcher takes the keyboard and gets a token; a second copy started
# with it hands it to the first, which then has the keyboard.
WAYLAND_DISPLAY=tavlin-wayland "$bin/wl_launcher" >"$work/launcher.out" 2>&1 &
pids+=($!)
wait_for "$work/launcher.out" 20 '^TOKEN ' || fail "the launcher got no activation token"
token=$(sed -n 's/^TOKEN //p' "$work/launcher.out" | head -n 1)
entered_before=$(grep -cE 'wl_keyboard@[0-9]+\.enter\(' "$work/first.err" || true)

"${run_tavlin[@]}" XDG_ACTIVATION_TOKEN="$token" "$work/tavlin/tavlin" >"$work/second.out" \
  2>"$work/second.err" &
second=$!
pids+=($second)
wait_for "$work/first.err" 20 "xdg_activation_v1@[0-9]+\\.activate\\(\"$token\"" ||
  fail "the running copy never activated its window with the second copy's token"
for _ in $(seq 100); do
  entered=$(grep -cE 'wl_keyboard@[0-9]+\.enter\(' "$work/first.err" || true)
  [ "$entered" -gt "$entered_before" ] && break
  sleep 0.1
done
[ "$entered" -gt "$entered_before" ] ||
  fail "the running copy's window did not get the keyboard after the second start"
wait_for "$work/launcher.out" 10 '^LEAVE' || fail "the launcher kept the keyboard"
# The second copy did not spend the token on its own message.
grep -qE "xdg_activation_v1@[0-9]+\\.activate\\(\"$token\"" "$work/second.err" &&
  fail "the second copy used the token itself"
sleep 1
shot wayland-second-copy
echo "wayland-test: the second copy raised the first with the launcher's token"

kill "$second" 2>/dev/null || true
kill "$first"
wait "$first" || fail "Tavlin ended with status $? on SIGTERM"
echo "wayland: passed"
