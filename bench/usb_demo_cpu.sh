#!/usr/bin/env bash
# How much of one core `corvel --demo-usb` takes while the simulated cable
# streams (an input report every millisecond, each handed to the main
# thread): the program runs on a virtual display; its CPU time (all threads,
# user and system) is read from /proc over the measuring window, together
# with the thread wake-ups (context switches) it took per second.
#
#   bench/usb_demo_cpu.sh [PROGRAM] [SECONDS] [ROUNDS]
#
# Each round starts a fresh program with a data folder of its own (so no
# round finds the journal of another and stops at the restore question),
# and ends it before its display goes. The last line gives the rounds'
# median and spread.
set -euo pipefail
program=${1:-build/release/bin/corvel}
seconds=${2:-30}
rounds=${3:-3}
hz=$(getconf CLK_TCK)

work=$(mktemp -d)
xvfb=""
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
display=":$(head -n1 "$work/display")"

# user+system ticks of the whole process; voluntary and involuntary context
# switches summed over its threads
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
switches() { cat /proc/"$pid"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {n += $2} END {print n}'; }
# per thread: "name on-CPU-ns switches", from the scheduler's own exact count
threads() {
  for t in /proc/"$pid"/task/*; do
    printf '%s %s %s %s\n' "${t##*/}" "$(tr ' ' _ <"$t/comm")" "$(cut -d' ' -f1 "$t/schedstat")" \
      "$(awk '/ctxt_switches/ {n += $2} END {print n}' "$t/status")"
  done 2>/dev/null
}

results=()
for round in $(seq "$rounds"); do
  mkdir -p "$work/data$round" "$work/home$round"
  HOME="$work/home$round" XDG_CONFIG_HOME="$work/config$round" \
  XDG_DATA_HOME="$work/data$round" XDG_RUNTIME_DIR="$work" DISPLAY="$display" \
    "$program" --demo-usb >/dev/null 2>"$work/stderr" &
  pid=$!
  sleep 5  # start-up and the first frames
  u0=$(awk '{print $14}' "/proc/$pid/stat"); t0=$(cpu); c0=$(switches); threads >"$work/threads0"; s0=$(date +%s.%N)
  sleep "$seconds"
  u1=$(awk '{print $14}' "/proc/$pid/stat"); t1=$(cpu); c1=$(switches); threads >"$work/threads1"; s1=$(date +%s.%N)
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "round $round: the program ended early" >&2
    cat "$work/stderr" >&2
    exit 1
  fi
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
  line=$(awk -v t0="$t0" -v t1="$t1" -v u0="$u0" -v u1="$u1" -v c0="$c0" -v c1="$c1" \
    -v s0="$s0" -v s1="$s1" -v hz="$hz" -v r="$round" -v load="$(cut -d' ' -f1 /proc/loadavg)" \
    'BEGIN { d = s1 - s0; printf "round %d: %.2f %% of one core (user %.2f %%) over %.1f s, %.0f context switches/s, load %s", r, 100 * (t1 - t0) / hz / d, 100 * (u1 - u0) / hz / d, d, (c1 - c0) / d, load }')
  echo "$line"
  # The threads that took more than 0.1 % (the main thread's id is the process id).
  awk -v s0="$s0" -v s1="$s1" 'NR == FNR { ns[$1] = $3; cs[$1] = $4; next }
    ($1 in ns) { d = s1 - s0; if ($3 - ns[$1] > 0.001e9 * d) printf "  thread %s %s: %.2f %% of one core, %.0f switches/s\n", $1, $2, 100 * ($3 - ns[$1]) / 1e9 / d, ($4 - cs[$1]) / d }' \
    "$work/threads0" "$work/threads1"
  results+=("$(echo "$line" | awk '{print $3}')")
done
printf '%s\n' "${results[@]}" | sort -g | awk '{v[NR] = $1} END {
  printf "corvel --demo-usb: median %.2f %% of one core over %d rounds (min %.2f, max %.2f)\n", v[int((NR + 1) / 2)], NR, v[1], v[NR] }'
