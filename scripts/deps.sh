#!/usr/bin/env bash
# Installs the Debian packages the program needs to build, test and run,
# when any is missing. Sourced by run.sh and test.sh.
set -euo pipefail

corvel_packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-serialport-dev libqcustomplot-dev libgl-dev
  # the chart saved as a vector drawing
  qt6-svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev
  # the log as an Excel workbook, and the reader its tests check it with
  libxlsxwriter-dev python3-openpyxl
  fonts-dejavu-core fontconfig
  xvfb xauth
  # the fuzz targets: libFuzzer and the sanitizers' runtimes
  clang libclang-rt-14-dev
  # printed report: "Arial" is Liberation Sans through fontconfig; the
  # report tests read PDFs back with poppler
  fonts-liberation poppler-utils
  # the data-file tests check packets with xmllint
  libxml2-utils
  # The HID layer's test in an emulated machine (tests/vm)
  qemu-system-x86 busybox-static cpio
  # The Debian package (packaging/build-deb.sh) and its test (tests/package):
  # built with debhelper, checked with lintian, desktop-file-validate and
  # appstreamcli, installed into a clean root made with mmdebstrap; the
  # icon's PNG sizes are drawn with rsvg-convert
  debhelper lintian mmdebstrap desktop-file-utils appstream librsvg2-bin
)

corvel_install_missing() {
  local missing=()
  for p in "${corvel_packages[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}
