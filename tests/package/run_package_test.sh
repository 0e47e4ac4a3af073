#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, desktop-file-validate
# and appstreamcli, installs it into a minimal Debian 12 root where nothing
# else is installed, runs every command there, removes it and checks that
# none of its files are left.
#
#   run_package_test.sh SOURCE CACHE PICTURE_CHECK
#
# CACHE keeps the clean root (made once with mmdebstrap from this machine's
# Debian mirror) and the packages apt downloads into it. Needs root: the
# root is entered with chroot, in a mount namespace of its own so that
# nothing mounted for it is seen outside or outlives the test.
set -euo pipefail
source="$1"
cache="$2"
picture_check="$3"

step() { printf '\n== %s\n' "$*"; }
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
[ "$(id -u)" -eq 0 ] || fail "the package test needs root (chroot, mounts)"

step "building the package"
mkdir -p "$cache"
"$source/packaging/build-deb.sh" > "$cache/build-deb.log" 2>&1 ||
  { tail -n 40 "$cache/build-deb.log"; fail "the package did not build (log: $cache/build-deb.log)"; }
deb="$(tail -n 1 "$cache/build-deb.log")"
version="$(dpkg-deb -f "$deb" Version)"
echo "$deb ($version)"

step "lintian"
# Errors and warnings fail; the package's overrides say why each is taken.
lintian --fail-on error,warning --display-info "$deb"

step "desktop entry and AppStream metadata"
contents="$(mktemp -d)"
run=""
xvfb=""
cleanup() {
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$contents"
  [ -z "$run" ] || rm -rf "$run"
}
trap cleanup EXIT
dpkg-deb -x "$deb" "$contents"
desktop-file-validate "$contents"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$contents"/usr/share/metainfo/*.metainfo.xml

step "the clean Debian 12 root"
mkdir -p "$cache/archives/partial"
tarball="$cache/bookworm-apt.tar"
if [ ! -f "$tarball" ]; then
  # The apt variant: the essential packages and apt, nothing of a desktop.
  # The mirror and suites are this machine's own (its deb822 sources).
  mirror="$(grep -l 'debian-archive-keyring' /etc/apt/sources.list.d/*.sources | head -n 1 || true)"
  rm -rf "$tarball.part"
  mmdebstrap --variant=apt --mode=root --format=tar --skip=cleanup/apt/lists \
    bookworm "$tarball.part" ${mirror:+"$mirror"}
  mv "$tarball.part" "$tarball"
fi
run="$(mktemp -d "$cache/run.XXXXXX")"
root="$run/root"
mkdir "$root"
tar -C "$root" -xf "$tarball"
cp "$deb" "$root/tmp/"
cp /etc/resolv.conf "$root/etc/resolv.conf"
# A small text table for corvel-convert: a header line, then rows.
printf 'No\tTime\tValue\tUnit\tValue2\tUnit2\r\n1\t10:00:01\t1.25\tm/s\tNULL\tNULL\r\n2\t10:00:02\t1.50\tm/s\tNULL\tNULL\r\n' \
  > "$root/tmp/table.txt"
# Every regular file and link of the package, to look for after the purge,
# and its folders that the clean root lacks, which must go with it unless
# a package it pulled in owns them too.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./|/|' > "$root/tmp/package-files"
dpkg-deb -c "$deb" | awk '$1 ~ /^d/ {print $6}' | sed 's|^\./|/|; s|/$||' |
  while read -r d; do [ -e "$root$d" ] || echo "$d"; done > "$root/tmp/package-folders"

# The virtual display runs outside the root, so that nothing the test
# installs in the root can stand in for a dependency the package lacks. The
# root shares this machine's network namespace and reaches the display's
# abstract socket; its socket file is bound in for programs that look there.
exec 5< <(Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp 2>"$run/xvfb.log")
xvfb=$!
read -r -t 20 display <&5 || fail "Xvfb did not start: $(cat "$run/xvfb.log")"
echo "virtual display :$display"

step "installing, running and purging the package in the root"
# What runs inside the root, as root there.
cat > "$root/tmp/inside.sh" <<INSIDE
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
apt-get update -qq
apt-get install -y -qq --no-install-recommends /tmp/$(basename "$deb") >/tmp/install.log ||
  { cat /tmp/install.log; exit 1; }
echo "installed: \$(dpkg-query -W -f='\${Package} \${Version}' corvel)"

# Every command answers --version with its name and the package's version.
for command in corvel corvel-decode corvel-convert corvel-hid /usr/libexec/corvel/corvel-meter-sim; do
  name=\$(basename "\$command")
  got=\$(env -u DISPLAY timeout 20 "\$command" --version)
  [ "\$got" = "\$name $version" ] || { echo "\$command --version: '\$got', expected '\$name $version'"; exit 1; }
  echo "\$got"
done

# Each run of a program gets a home of its own: a run that ends by its
# screenshot leaves its crash journal behind, and the next start in the
# same home would ask to restore it. A hung program fails the test.
fresh_home() {
  HOME=\$(mktemp -d /tmp/home.XXXXXX)
  export HOME XDG_DATA_HOME=\$HOME/data XDG_CONFIG_HOME=\$HOME/config XDG_RUNTIME_DIR=\$HOME/run
  mkdir -m 700 "\$XDG_RUNTIME_DIR"
}

fresh_home
timeout 60 corvel-convert /tmp/table.txt /tmp/table.pdf
[ "\$(head -c 5 /tmp/table.pdf)" = "%PDF-" ] || { echo "corvel-convert wrote no PDF"; exit 1; }
# The report asks for Arial; the package's fonts give Liberation Sans.
grep -aq 'FontName /[A-Z]*+LiberationSans' /tmp/table.pdf ||
  { echo "the report's PDF has no Liberation Sans: its font is missing"; exit 1; }
echo "corvel-convert: \$(stat -c %s /tmp/table.pdf) bytes of PDF"

export DISPLAY=:$display
fresh_home
timeout 60 corvel --demo-usb --screenshot /tmp/demo-usb.png --screenshot-after 3000
# The installed program finds its simulator among the helper programs.
fresh_home
timeout 60 corvel --demo --screenshot /tmp/demo.png --screenshot-after 1000 | tee /tmp/demo.log
grep -q '^Simulated meter on /dev/pts/' /tmp/demo.log || { echo "corvel --demo started no simulator"; exit 1; }

apt-get purge -y -qq corvel >/tmp/purge.log || { cat /tmp/purge.log; exit 1; }
left=0
while read -r f; do
  if [ -e "\$f" ] || [ -L "\$f" ]; then echo "left behind: \$f"; left=1; fi
done < /tmp/package-files
while read -r d; do
  if [ -e "\$d" ] && ! dpkg-query -S "\$d" >/dev/null 2>&1; then echo "left behind: \$d/"; left=1; fi
done < /tmp/package-folders
[ "\$left" -eq 0 ] || { echo "the purge left files of the package"; exit 1; }
echo "purged: \$(wc -l < /tmp/package-files) files and \$(wc -l < /tmp/package-folders) folders of the package, none left"
INSIDE
mkdir -p "$root/tmp/.X11-unix" "$cache/archives"
unshare --mount --propagation private bash -euo pipefail -c '
  root="$1"
  mount -t proc proc "$root/proc"
  mkdir -p "$root/dev/pts"
  mount -t devpts devpts "$root/dev/pts" -o newinstance,ptmxmode=0666
  ln -sf pts/ptmx "$root/dev/ptmx"
  mount --bind -o ro /tmp/.X11-unix "$root/tmp/.X11-unix"
  mount --bind "$2" "$root/var/cache/apt/archives"
  chroot "$root" /bin/bash /tmp/inside.sh
' _ "$root" "$cache/archives"

step "the window's picture"
"$picture_check" "$root/tmp/demo-usb.png"
"$picture_check" "$root/tmp/demo.png"
cp "$root/tmp/demo-usb.png" "$cache/last-demo-usb.png"
echo "PASS"
