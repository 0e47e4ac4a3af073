#!/usr/bin/env bash
# Builds everything with warnings as errors and runs all tests, then every
# fuzz target for 20 seconds from its corpus (a known input that fails
# again fails the build).
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
corvel_install_missing

cmake -S . -B build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVEL_WERROR=ON >/dev/null
cmake --build build/test -j2
(cd build/test && QT_QPA_PLATFORM=offscreen ctest --output-on-failure "$@")
fuzz/run.sh --check 20
