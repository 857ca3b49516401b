#!/bin/sh
# A program of someone else's built against an installed module: the
# consumer of tests/consumer, with every installed header compiled on its
# own, through the CMake package and through pkg-config (warnings as
# errors), each build listing the demo project's fonts with the names of the
# installed language file.
#   scripts/check-consumer.sh PREFIX [WHAT]   (PREFIX: /usr, or a moved or unpacked tree's)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=$1
what=${2:-the installed tree}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cp -r "$root/examples/demo" "$tmp/demo"
expect_fonts() {  # expect_fonts PROGRAM
    out=$("$1" "$tmp/demo") || fail "$1 failed: $out"
    echo "$out" | grep -q "^14	Default Font	" || fail "$1 did not name the default font from en_US.lng: $out"
    echo "$out" | grep -q "标题" || fail "$1 did not list the demo's fonts: $out"
    echo "ok: it lists $(echo "$out" | head -1)"
}

cmake -S "$root/tests/consumer" -B "$tmp/consumer-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
grep -q "^Tamsel_DIR:PATH=$prefix/" "$tmp/consumer-cmake/CMakeCache.txt" ||
    fail "find_package(Tamsel) found another tree than $prefix: $(grep '^Tamsel_DIR' "$tmp/consumer-cmake/CMakeCache.txt")"
cmake --build "$tmp/consumer-cmake" -j "$(nproc)" >/dev/null
echo "ok: the consumer and every installed header build against $what with find_package(Tamsel) and -Werror"
expect_fonts "$tmp/consumer-cmake/list-fonts"

pc=$(ls "$prefix"/lib/pkgconfig/tamsel.pc "$prefix"/lib/*/pkgconfig/tamsel.pc 2>/dev/null | head -1)
[ -n "$pc" ] || fail "no tamsel.pc in $prefix"
export PKG_CONFIG_PATH="$(dirname "$pc")"
# The module's own folder is on no search path in a moved tree: the program
# says where it is.
# shellcheck disable=SC2046
c++ -std=c++17 -Wall -Wextra -Werror $(pkg-config --cflags tamsel) "$root/tests/consumer/main.cpp" \
    -o "$tmp/list-fonts" $(pkg-config --libs tamsel) -Wl,-rpath,"$(pkg-config --variable=libdir tamsel)"
echo "ok: the consumer builds against $what with pkg-config and -Werror"
expect_fonts "$tmp/list-fonts"
