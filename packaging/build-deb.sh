#!/usr/bin/env bash
# Builds the Debian package from a Release build of this checkout and writes
# build/deb/corvel_<version>_amd64.deb (the version is the CMake project's).
#
# debhelper does the work (packaging/debian): the programs are built and
# installed by their CMake install rules, and dpkg-shlibdeps turns the
# libraries they link against into the package's dependencies.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/scripts/deps.sh"
corvel_install_missing
out="${CORVEL_DEB_DIR:-$root/build/deb}"

version="$(sed -n 's/^project(corvel VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
[ -n "$version" ] || { echo "build-deb.sh: no project version in CMakeLists.txt" >&2; exit 1; }

# dpkg-buildpackage wants debian/ beside the sources and writes the package
# into the folder above. Lay that out under build/deb: the checkout's
# top-level entries linked in, the packaging files copied, so that nothing
# the build leaves behind lands in the checkout.
tree="$out/corvel-$version"
mkdir -p "$out"
rm -rf "$tree"
mkdir -p "$tree"
for entry in "$root"/*; do
  case "$(basename "$entry")" in
    build | debian) ;;
    *) ln -s "$entry" "$tree/" ;;
  esac
done
cp -r "$root/packaging/debian" "$tree/debian"

# The changelog's one entry names the project's version; its date is the
# last commit's, so the same checkout gives the same package.
when="$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)"
cat > "$tree/debian/changelog" <<CHANGES
corvel ($version) unstable; urgency=medium

  * Release $version.

 -- $(sed -n 's/^Maintainer: //p' "$tree/debian/control")  $(LC_ALL=C date -u -R -d "@$when")
CHANGES

rm -f "$out"/corvel_*.deb "$out"/corvel_*.buildinfo "$out"/corvel_*.changes
# ccache, when there is one, makes a rebuild of unchanged sources quick.
# debhelper gives the build a home of its own, so name the user's cache.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
  CCACHE_DIR="$(ccache -k cache_dir)"
  export CCACHE_DIR
fi
(
  cd "$tree"
  DEB_BUILD_OPTIONS="noddebs ${DEB_BUILD_OPTIONS:-}" \
    dpkg-buildpackage --build=binary --no-sign -j"${CORVEL_JOBS:-2}"
)
deb="$out/corvel_${version}_amd64.deb"
[ -f "$deb" ] || { echo "build-deb.sh: $deb was not written" >&2; exit 1; }
echo "$deb"
