#!/bin/sh
# Builds the Debian packages of debian/ into the folder given: libtamsel1,
# libtamsel-dev and tamsel-studio, their -dbgsym packages and the .buildinfo
# and .changes files. dpkg-buildpackage works on a copy of the source: it
# writes its results beside the folder it builds and its build folder
# (obj-<triplet>) into it, and the copy leaves build/ and build-asan/ alone.
# The test suites are neither built nor run there (scripts/test.sh runs them).
#   scripts/package.sh [OUT_DIR]   (default: build-deb)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "${1:-$root/build-deb}"
out=$(cd "${1:-$root/build-deb}" && pwd)
"$root/scripts/install-deps.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
src="$tmp/tamsel-$version"
mkdir "$src"
tar -C "$root" --exclude=./.git --exclude=./build --exclude='./build-*' --exclude='./obj-*' \
    --exclude='*.pyc' --exclude=__pycache__ -cf - . | tar -C "$src" -xf -
echo "building the Debian packages (log: $out/build.log)"
if ! (cd "$src" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" DEB_BUILD_PROFILES=nocheck \
    dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1; then
    tail -40 "$out/build.log"
    echo "FAIL: dpkg-buildpackage"
    exit 1
fi
rm -f "$out"/*.deb "$out"/*.buildinfo "$out"/*.changes
mv "$tmp"/*.deb "$tmp"/*.buildinfo "$tmp"/*.changes "$out/"
(cd "$out" && ls -- *.deb *.changes)
