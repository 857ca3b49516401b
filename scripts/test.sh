#!/bin/sh
# Installs what is needed, builds with warnings as errors, and runs every test
# suite: once in a normal build and once under AddressSanitizer and
# UndefinedBehaviorSanitizer. The normal build is also installed, moved and
# used from its new place; the Debian packages are built (without running
# the suites again), checked by lintian and used unpacked.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
"$root/scripts/build.sh" build -DTAMSEL_WERROR=ON
(cd "$root/build" && ctest --output-on-failure -j "$(nproc)")
"$root/scripts/check-install.sh" "$root/build"
"$root/scripts/package.sh" "$root/build-deb"
"$root/scripts/check-packages.sh" "$root/build-deb"
"$root/scripts/build.sh" build-asan -DTAMSEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DTAMSEL_WERROR=ON
(cd "$root/build-asan" && ctest --output-on-failure -j "$(nproc)")
# A short run of every libFuzzer target (clang); longer runs: scripts/fuzz.sh SECONDS.
# Beside it, longer runs of the model-based test of incremental compiles
# (ctest studio_model): scripts/model.sh SEEDS.
TAMSEL_WERROR=ON "$root/scripts/fuzz.sh" 0
