#!/usr/bin/env bash
# How much of one core `corvel --demo-usb` takes while the simulated cable
# streams (an input report every millisecond, each handed to the main
# thread): the program runs on a virtual display; its CPU time (all threads)
# is read from /proc over the measuring window.
#
#   bench/usb_demo_cpu.sh [PROGRAM] [SECONDS]
set -euo pipefail
program=${1:-build/release/bin/corvel}
seconds=${2:-30}

displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$displayfile" 2>/dev/null &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; rm -f "$displayfile"' EXIT
for _ in $(seq 50); do [ -s "$displayfile" ] && break; sleep 0.1; done
DISPLAY=":$(head -n1 "$displayfile")" "$program" --demo-usb >/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; kill "$xvfb" 2>/dev/null || true; rm -f "$displayfile"' EXIT
sleep 5  # start-up and the first frames

cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
t0=$(cpu)
s0=$(date +%s.%N)
sleep "$seconds"
t1=$(cpu)
s1=$(date +%s.%N)
awk -v t0="$t0" -v t1="$t1" -v s0="$s0" -v s1="$s1" -v hz="$(getconf CLK_TCK)" \
  'BEGIN { printf "corvel --demo-usb: %.2f %% of one core over %.1f s\n", 100 * (t1 - t0) / hz / (s1 - s0), s1 - s0 }'
