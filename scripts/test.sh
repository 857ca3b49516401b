#!/bin/sh
# Installs what is needed, builds, and runs every test suite: once in a normal
# build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
"$root/scripts/build.sh" build
(cd "$root/build" && ctest --output-on-failure -j "$(nproc)")
"$root/scripts/build.sh" build-asan -DTAMSEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd "$root/build-asan" && ctest --output-on-failure -j "$(nproc)")
# A short run of every libFuzzer target (clang); longer runs: scripts/fuzz.sh SECONDS.
"$root/scripts/fuzz.sh" 0
