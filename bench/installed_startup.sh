#!/usr/bin/env bash
# Start-up of the installed program: the package installed into a copy of
# the package test's clean Debian 12 root, and hyperfine timing `corvel`
# from its start to the window rendered for its screenshot and the program
# ended (--screenshot-after 0), under a virtual display outside the root,
# each run with a fresh home.
#
#   bench/installed_startup.sh [DEB] [CACHE]
#
# DEB defaults to build/deb/corvel_<version>_amd64.deb (packaging/build-deb.sh),
# CACHE to build/test/package-cache (made by ctest -R test_package). Needs
# root and hyperfine.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
deb="${1:-$(ls "$here"/build/deb/corvel_*_amd64.deb | head -n 1)}"
cache="${2:-$here/build/test/package-cache}"
[ -f "$cache/bookworm-apt.tar" ] || { echo "no clean root in $cache: run ctest -R test_package first" >&2; exit 1; }

work="$(mktemp -d "$cache/bench.XXXXXX")"
xvfb=""
trap '[ -z "$xvfb" ] || kill "$xvfb"; rm -rf "$work"' EXIT
root="$work/root"
mkdir "$root"
tar -C "$root" -xf "$cache/bookworm-apt.tar"
cp "$deb" "$root/tmp/corvel.deb"
cp /etc/resolv.conf "$root/etc/resolv.conf"
exec 5< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>/dev/null)
xvfb=$!
read -r -t 20 display <&5

# Mounts live in a namespace of their own and end with it.
unshare --mount --propagation private bash -euo pipefail -c '
  root="$1"
  mount -t proc proc "$root/proc"
  mount -t devpts devpts "$root/dev/pts" -o newinstance,ptmxmode=0666
  mount --bind "$3" "$root/var/cache/apt/archives"
  chroot "$root" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends /tmp/corvel.deb >/dev/null
  run="chroot $root env DISPLAY=:$2 HOME=/tmp/h XDG_DATA_HOME=/tmp/h/d XDG_CONFIG_HOME=/tmp/h/c XDG_RUNTIME_DIR=/tmp/h/r"
  hyperfine -N --warmup 3 --runs 20 --prepare "rm -rf $root/tmp/h" \
    "$run corvel --screenshot /tmp/s.png --screenshot-after 0" \
    "$run corvel --demo-usb --screenshot /tmp/s.png --screenshot-after 0"
' _ "$root" "$display" "$cache/archives"
