#!/usr/bin/env bash
# Takes the AppStream metadata's screenshot: the program reading its
# simulated meter through the simulated USB cable, as it pictures itself
# with --screenshot, under a virtual display (xvfb-run) and with a home of
# its own so that no user setting changes the picture.
#
#   packaging/make_screenshot.sh [PROGRAM]    (default build/release/bin/corvel)
#
# The picture is committed as screenshots/corvel-demo-usb.png and published
# beneath the project's web address, where the metadata points.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="${1:-$here/../build/release/bin/corvel}"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$program" --demo-usb --screenshot "$here/screenshots/corvel-demo-usb.png" --screenshot-after 6000
