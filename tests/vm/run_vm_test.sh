#!/usr/bin/env bash
# Boots Debian's own kernel under qemu (software emulation, no KVM needed)
# with a small initramfs holding busybox, the HID probe and the libraries it
# needs, and passes or fails on what the probe reports over the serial
# console. The machine has an emulated xHCI controller with a USB tablet;
# the probe makes further HID devices through /dev/uhid, which this
# machine's own kernel lacks.
#
#   run_vm_test.sh PROBE CACHE_DIR
#
# The kernel image package is downloaded once into CACHE_DIR (apt-get
# download, unpacked with dpkg-deb, never installed).
set -Eeuo pipefail

probe=${1:?probe binary}
cache=${2:?cache directory}
started=$SECONDS

fail() {
    echo "test_vm: FAIL: $*" >&2
    exit 1
}

work=$(mktemp -d "${TMPDIR:-/tmp}/corvel-vm.XXXXXX")
qpid=""
cleanup() {
    if [ -n "$qpid" ] && kill -0 "$qpid" 2>/dev/null; then kill "$qpid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
# Any step that fails unexpectedly says where, instead of ending silently.
trap 'fail "line $LINENO: $BASH_COMMAND failed"' ERR

for tool in qemu-system-x86_64 cpio dpkg-deb apt-get apt-cache ldd; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/deps.sh lists its package)"
done
busybox=/bin/busybox
[ -x "$busybox" ] || fail "$busybox is missing (package busybox-static)"
if ldd "$busybox" >/dev/null 2>&1; then fail "$busybox is not statically linked (package busybox-static)"; fi
[ -x "$probe" ] || fail "no probe at $probe"

# ---- Debian's kernel image --------------------------------------------------
kernel_package() {
    apt-cache depends linux-image-amd64 2>/dev/null |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | sed -n 1p
}
package=$(kernel_package)
if [ -z "$package" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq || true
    package=$(kernel_package)
fi
[ -n "$package" ] || fail "cannot tell which kernel image Debian offers (apt-cache depends linux-image-amd64)"

mkdir -p "$cache"
kdir=$cache/$package
if [ ! -f "$kdir/.unpacked" ]; then
    deb=$(ls "$cache/${package}"_*.deb 2>/dev/null | sed -n 1p || true)
    if [ -z "$deb" ]; then
        echo "test_vm: downloading $package"
        # Older images are of no further use.
        rm -rf "$cache"/linux-image-*
        mkdir -p "$work/download"
        (cd "$work/download" && apt-get download -q "$package") || fail "download of $package failed"
        mv "$work/download/${package}"_*.deb "$cache/" || fail "download of $package left no package"
        deb=$(ls "$cache/${package}"_*.deb | sed -n 1p)
    fi
    rm -rf "$kdir"
    mkdir -p "$kdir"
    dpkg-deb -x "$deb" "$kdir" || fail "cannot unpack $deb"
    touch "$kdir/.unpacked"
fi
moddir=$(ls -d "$kdir"/lib/modules/* | sed -n 1p)
kver=$(basename "$moddir")
vmlinuz=$kdir/boot/vmlinuz-$kver
[ -f "$vmlinuz" ] || fail "no kernel in $package"

# ---- modules, dependencies first ---------------------------------------------
declare -A seen=()
modules=()
find_module() {
    local dash=${1//_/-} under=${1//-/_}
    find "$moddir/kernel" \( -name "$dash.ko*" -o -name "$under.ko*" \) | sed -n 1p
}
add_module() {
    local name=$1 file deps dep
    [ -z "${seen[$name]:-}" ] || return 0
    seen[$name]=1
    file=$(find_module "$name")
    [ -n "$file" ] || fail "module $name is not in $package"
    deps=$(grep -a -o 'depends=[^[:cntrl:]]*' "$file" | sed -n 1p | cut -d= -f2 || true)
    for dep in ${deps//,/ }; do add_module "$dep"; done
    modules+=("$file")
}
# The USB bus and tablet, then the HID core, the generic driver that binds
# devices to hidraw, and uhid.
for m in xhci-pci usbhid hid hid-generic uhid; do add_module "$m"; done

# ---- the initramfs -----------------------------------------------------------
root=$work/root
mkdir -p "$root"/{bin,dev,proc,sys,tmp,modules,probe}
cp "$busybox" "$root/bin/busybox"
i=10
for f in "${modules[@]}"; do
    target="$root/modules/$i-$(basename "$f")"
    case "$f" in
    *.ko) cp "$f" "$target" ;;
    *.ko.xz) xz -dc "$f" >"${target%.xz}" ;;
    *.ko.zst) zstd -qdc "$f" >"${target%.zst}" ;;
    *) fail "cannot load module file $f" ;;
    esac
    i=$((i + 1))
done

copy_with_libraries() {
    local lib
    for lib in $(ldd "$1" | awk '/=> \// { print $3 } /^[[:space:]]*\/[^ ]*ld-linux/ { print $1 }'); do
        if [ ! -e "$root$lib" ]; then
            mkdir -p "$root$(dirname "$lib")"
            cp -L "$lib" "$root$lib"
        fi
    done
}
cp "$probe" "$root/probe/hid_vm_probe"
copy_with_libraries "$probe"
# libudev is opened at run time, so ldd may not name it.
libudev=$(ldconfig -p | awk '$1 == "libudev.so.1" && /x86-64/ && !found { print $NF; found = 1 }')
[ -n "$libudev" ] || fail "libudev.so.1 is not installed"
mkdir -p "$root$(dirname "$libudev")"
cp -L "$libudev" "$root$libudev"
copy_with_libraries "$libudev"

cat >"$root/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
for m in /modules/*.ko; do
    insmod "$m" || echo "@@CORVEL-VM cannot load $m"
done
# The tablet's node appears once the USB bus is enumerated.
n=0
while [ ! -e /dev/uhid ] || [ -z "$(ls /sys/class/hidraw 2>/dev/null)" ]; do
    n=$((n + 1))
    [ $n -gt 300 ] && break
    sleep 0.1
done
echo "@@CORVEL-VM start"
cd /tmp
HOME=/tmp LC_ALL=C.UTF-8 /probe/hid_vm_probe --gtest_color=no
echo "@@CORVEL-VM exit $?"
poweroff -f
INIT
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initrd.cpio" || fail "cannot build the initramfs"

# ---- boot ----------------------------------------------------------------------
console=$work/console.log
: >"$console"
mkfifo "$work/monitor.in" "$work/monitor.out"
booted=$SECONDS
qemu-system-x86_64 -machine accel=tcg -m 768 -smp 1 -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$vmlinuz" -initrd "$work/initrd.cpio" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 rdinit=/init" \
    -serial "file:$console" -monitor "pipe:$work/monitor" \
    -device qemu-xhci,id=xhci -device usb-tablet,id=tablet,bus=xhci.0,serial=CORVEL-TABLET-1 \
    >"$work/qemu.log" 2>&1 &
qpid=$!

deadline=$((SECONDS + 1500))
unplugged=0
while kill -0 "$qpid" 2>/dev/null; do
    if [ $unplugged -eq 0 ] && grep -q '^@@CORVEL-VM unplug-tablet' "$console"; then
        echo "device_del tablet" >"$work/monitor.in"
        unplugged=1
    fi
    if [ $SECONDS -gt $deadline ]; then
        cat "$console"
        fail "the emulated machine did not finish in time"
    fi
    sleep 0.5
done
wait "$qpid" || true
qpid=""

tr -d '\r' <"$console"
echo "test_vm: $((SECONDS - started)) s in all, the emulated machine $((SECONDS - booted)) s (kernel $kver)"
grep -q '^@@CORVEL-VM start' "$console" || { cat "$work/qemu.log"; fail "the probe never started"; }
grep -q '^@@CORVEL-VM exit 0' <(tr -d '\r' <"$console") || fail "the probe reported failures"
echo "test_vm: PASS"
