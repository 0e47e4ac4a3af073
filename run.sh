#!/usr/bin/env bash
# Builds the program and starts it on its built-in simulated meter, behind a
# simulated USB to Serial cable.
# Without a display it runs under a virtual one for a few seconds and saves
# a screenshot of the window.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
corvel_install_missing

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DCORVEL_BUILD_TESTS=OFF -DCORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build build/release -j2 --target corvel corvel-meter-sim corvel-decode corvel-hid

program=build/release/bin/corvel
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$program" --demo-usb "$@"
fi
shot="$PWD/build/corvel-demo.png"
echo "No display: running under a virtual display for a few seconds."
xvfb-run -a -s "-screen 0 1024x768x24" "$program" --demo-usb --screenshot "$shot" --screenshot-after 6000 "$@"
echo "Screenshot of the window: $shot"
