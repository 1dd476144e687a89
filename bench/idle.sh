#!/usr/bin/env bash
# What an idle minute costs: Tavlin and the bare QWebEngineView each show a
# static page of the sample back end, wait until everything after the load
# has settled, then the CPU time and the wake-ups (voluntary context
# switches) of all their processes are counted over a quiet stretch. Runs
# under an X display (make bench starts it under Xvfb).
#
#   bench/idle.sh BUILD_DIR [ROUNDS] [SETTLE_S] [MEASURE_S]
set -euo pipefail
bin=$1/bin
rounds=${2:-3}
settle=${3:-40}
measure=${4:-30}
[ "$(id -u)" != 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
work=$(mktemp -d "${TMPDIR:-/tmp}/tavlin-idle.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/runtime" "$work/tavlin"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime
"$bin/tavlin-sample-site" --port 0 >"$work/site.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q LISTENING "$work/site.out" && break; sleep 0.1; done
port=$(sed -n 's/^LISTENING \([0-9]*\).*/\1/p' "$work/site.out")
cp "$bin/tavlin" "$work/tavlin/"
"$bin/tavlin-config" write "$work/tavlin" --url "http://127.0.0.1:$port/inspect" >/dev/null

# The process and every process below it.
tree() {
  local queue=("$1") all=()
  while [ ${#queue[@]} -gt 0 ]; do
    all+=("${queue[0]}")
    queue+=($(pgrep -P "${queue[0]}" || true))
    queue=("${queue[@]:1}")
  done
  echo "${all[@]}"
}
# CPU ticks and voluntary context switches of the tree, summed.
sample() {
  local ticks=0 switches=0 pid task
  for pid in $(tree "$1"); do
    [ -r "/proc/$pid/stat" ] || continue
    read -r -a stat <"/proc/$pid/stat" || continue
    ticks=$((ticks + stat[13] + stat[14]))
    for task in /proc/"$pid"/task/*; do
      switches=$((switches + $(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status" 2>/dev/null || echo 0)))
    done
  done
  echo "$ticks $switches"
}
hz=$(getconf CLK_TCK)
run() {
  if [ "$1" = tavlin ]; then
    "$work/tavlin/tavlin" >/dev/null 2>&1 &
  else
    "$bin/bare_webengine" "http://127.0.0.1:$port/login" --screen >/dev/null 2>&1 &
  fi
  local pid=$!
  sleep "$settle"
  read -r t0 s0 < <(sample "$pid")
  sleep "$measure"
  read -r t1 s1 < <(sample "$pid")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$(( (t1 - t0) * 1000 * 60 / hz / measure )) $(( (s1 - s0) * 60 / measure ))"
}
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
: >"$work/tavlin.txt"; : >"$work/bare.txt"
for _ in $(seq "$rounds"); do
  run tavlin >>"$work/tavlin.txt"
  run bare >>"$work/bare.txt"
done
echo "an idle minute on a static page ($rounds rounds each, ${measure} s measured after ${settle} s):"
echo "  CPU ms per minute: Tavlin $(cut -d' ' -f1 "$work/tavlin.txt" | median)," \
     "bare QWebEngineView $(cut -d' ' -f1 "$work/bare.txt" | median)" \
     "(Tavlin's rounds: $(cut -d' ' -f1 "$work/tavlin.txt" | tr '\n' ' '))"
echo "  wake-ups per minute: Tavlin $(cut -d' ' -f2 "$work/tavlin.txt" | median)," \
     "bare QWebEngineView $(cut -d' ' -f2 "$work/bare.txt" | median)" \
     "(Tavlin's rounds: $(cut -d' ' -f2 "$work/tavlin.txt" | tr '\n' ' '))"
