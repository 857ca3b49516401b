#!/bin/sh
# Installs a build into a temporary prefix, moves the installed tree
# elsewhere and uses it from there: nothing may point back at the build or
# the first prefix. A consumer of the package is built against the moved
# tree with find_package and with pkg-config (warnings as errors) and lists
# the demo project's fonts; the moved studio compiles the demo to both targets.
#   scripts/check-install.sh [BUILD_DIR]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$tmp/first" >/dev/null
mkdir -p "$tmp/moved/to/another"
mv "$tmp/first" "$tmp/moved/to/another/prefix"
prefix="$tmp/moved/to/another/prefix"
libdir=$(dirname "$(find "$prefix" -name 'libTamsel.so' | head -1)")
echo "installed and moved to $prefix"

# Nothing in the tree names the source, the build or the first prefix.
for f in "$libdir"/lib*.so.* "$prefix"/bin/*; do
    [ -L "$f" ] && continue
    if strings -a "$f" | grep -q -e "$root" -e "$tmp/first"; then
        fail "$f holds an absolute path: $(strings -a "$f" | grep -e "$root" -e "$tmp/first" | head -3)"
    fi
done
if grep -rIl -e "$root" -e "$tmp/first" "$prefix"; then fail "installed files name the build or the first prefix"; fi
echo "ok: no absolute path of the source, the build or the first prefix in the installed tree"
if ldd "$prefix/bin/tamsel-studio" | grep -e "$root" | grep -q .; then fail "the studio loads libraries of the build tree"; fi
echo "ok: the moved studio loads its libraries from the moved tree"

cp -r "$root/examples/demo" "$tmp/demo"
expect_fonts() {  # expect_fonts PROGRAM: it lists the demo's fonts with names from the language file
    out=$("$1" "$tmp/demo") || fail "$1 failed: $out"
    echo "$out" | grep -q "^14	Default Font	" || fail "$1 did not name the default font from en_US.lng: $out"
    echo "$out" | grep -q "标题" || fail "$1 did not list the demo's fonts: $out"
    echo "ok: $(basename "$1") lists $(echo "$out" | head -1)"
}

# A consumer through the CMake package.
cmake -S "$root/tests/consumer" -B "$tmp/consumer-cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$tmp/consumer-cmake" -j "$(nproc)" >/dev/null
echo "ok: the consumer and every installed header build with find_package(Tamsel) and -Werror"
expect_fonts "$tmp/consumer-cmake/list-fonts"

# The same consumer through pkg-config.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
mkdir -p "$tmp/consumer-pc"
# shellcheck disable=SC2046
c++ -std=c++17 -Wall -Wextra -Werror $(pkg-config --cflags tamsel) "$root/tests/consumer/main.cpp" \
    -o "$tmp/consumer-pc/list-fonts" $(pkg-config --libs tamsel) -Wl,-rpath,"$(pkg-config --variable=libdir tamsel)"
echo "ok: the consumer builds with pkg-config and -Werror"
expect_fonts "$tmp/consumer-pc/list-fonts"

# The moved studio compiles the demo; the subsets need the script module
# installed beside the libraries.
studio="$prefix/bin/tamsel-studio"
for target in qpf2 ttf; do
    ext=$target
    [ $target = ttf ] && ext='tt[fc]'
    out=$("$studio" compile "$tmp/demo" --texts "$tmp/demo/texts.txt" --out "$tmp/out-$target" --target $target 2>&1) ||
        fail "the moved studio could not compile to $target: $out"
    echo "$out" | grep -q "^wrote .*\.$ext " || fail "the moved studio wrote no $target file: $out"
    echo "ok: the moved studio compiles the demo to $target ($(echo "$out" | grep -c '^wrote') file(s))"
done

# The Debian package: built by CPack, its dependencies declared, unpacked
# into a scratch root, and its studio compiling the demo from there.
(cd "$build" && cpack -G DEB -B "$tmp/deb" >/dev/null) || fail "cpack could not build the package"
deb=$(ls "$tmp"/deb/tamsel_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for need in libharfbuzz-subset0 python3-fonttools fontconfig libpython3 libxxhash0 libfreetype6; do
    echo "$depends" | grep -q "$need" || fail "the package does not depend on $need: $depends"
done
echo "ok: $(basename "$deb") depends on what the studio loads ($(echo "$depends" | tr ',' '\n' | wc -l) packages)"
dpkg-deb -x "$deb" "$tmp/root"
for f in usr/bin/tamsel-studio usr/lib/libTamsel.so.1 usr/share/tamsel/scripts/myFont.py usr/share/tamsel/lang/en_US.lng \
    usr/share/man/man1/tamsel-studio.1.gz usr/lib/cmake/Tamsel/TamselConfig.cmake usr/lib/pkgconfig/tamsel.pc \
    usr/share/doc/tamsel/README.md usr/share/doc/tamsel/coverage-report.schema.json; do
    [ -e "$tmp/root/$f" ] || fail "the package lacks $f"
done
man -l "$tmp/root/usr/share/man/man1/tamsel-studio.1.gz" 2>/dev/null | grep -q "compile PROJECT" ||
    fail "the package's manual page does not read"
echo "ok: the package holds the studio, the libraries, the data, the manual page and the package files"
studio="$tmp/root/usr/bin/tamsel-studio"
"$studio" --version | grep -q "^tamsel-studio " || fail "the unpacked studio has no version"
for target in qpf2 ttf; do
    out=$("$studio" compile "$tmp/demo" --texts "$tmp/demo/texts.txt" --out "$tmp/deb-$target" --target $target 2>&1) ||
        fail "the unpacked studio could not compile to $target: $out"
    echo "$out" | grep -q "^wrote " || fail "the unpacked studio wrote no $target file: $out"
    echo "ok: the unpacked studio compiles the demo to $target ($(echo "$out" | grep -c '^wrote') file(s))"
done
