#!/usr/bin/env bash
# The ordinary user's part of the install test, on a virtual display: starts
# the installed Tavlin, waits for its error panel's log line in the user's
# state folder, reads it with tavlin-logview, checks the private photo folder
# while Tavlin runs and that it is gone when Tavlin has ended, and switches the
# user's autostart entry on and off.
set -euo pipefail

fail() { echo "install test ($USER): FAILED: $*" >&2; exit 1; }
state="$HOME/.local/state/tavlin/LogFiles"

/usr/bin/tavlin >"$HOME/tavlin.out" 2>&1 &
tavlin=$!
# The log is in Tavlin's code page: tavlin-logview reads it.
logged() { tavlin-logview 2>/dev/null | grep -q -- '-----MAIN: 加载页面失败'; }
for _ in $(seq 600); do
  logged && break
  kill -0 "$tavlin" 2>/dev/null || { cat "$HOME/tavlin.out"; fail "tavlin ended early"; }
  sleep 0.1
done
logged || { cat "$HOME/tavlin.out"; fail "no log line in $state"; }
ls "$state"/Inspect_*.txt >/dev/null || fail "the log is not in $state"
[ "$(stat -c %a "$XDG_RUNTIME_DIR/tavlin")" = 700 ] || fail "no private photo folder"
# A start that never answers is an outage, said once and tried again.
tavlin-logview | grep -q -- '-----MAIN: 加载页面失败，错误：no answer within 2 s at ' ||
  fail "tavlin-logview did not show today's log: $(tavlin-logview 2>&1)"

kill -TERM "$tavlin"
status=0
wait "$tavlin" || status=$?
[ "$status" = 0 ] || fail "tavlin ended with status $status"
[ ! -e "$XDG_RUNTIME_DIR/tavlin" ] || fail "the private photo folder stayed"
if grep -v '^$' "$HOME/tavlin.out" | grep -qv 'js:\|^\[\|QStandardPaths\|Fontconfig'; then
  echo "tavlin said (standard error):" && cat "$HOME/tavlin.out"
fi

tavlin-config autostart on >/dev/null
[ -f "$HOME/.config/autostart/org.tavlin.Tavlin.desktop" ] || fail "no autostart entry"
grep -q '^Exec=/usr/lib/tavlin/tavlin$' "$HOME/.config/autostart/org.tavlin.Tavlin.desktop" ||
  fail "the autostart entry does not start /usr/lib/tavlin/tavlin"
grep -q '^TryExec=/usr/lib/tavlin/tavlin$' "$HOME/.config/autostart/org.tavlin.Tavlin.desktop" ||
  fail "the autostart entry has no TryExec: it would outlive the package"
tavlin-config autostart off >/dev/null
[ ! -e "$HOME/.config/autostart/org.tavlin.Tavlin.desktop" ] || fail "autostart off left the entry"
