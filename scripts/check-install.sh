#!/bin/sh
# Installs a build into a temporary prefix, moves the installed tree
# elsewhere and uses it from there: nothing may point back at the build or
# the first prefix. The module is the one library in the library folder, its
# layers lie in the private folder below it. A consumer of the package is
# built against the moved tree with find_package and with pkg-config and
# lists the demo project's fonts; the moved studio compiles the demo to both
# targets.
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

public=$(cd "$libdir" && ls lib*.so*)
[ "$(echo "$public" | grep -cv '^libTamsel\.so')" -eq 0 ] ||
    fail "libraries other than the module in $libdir: $(echo "$public" | grep -v '^libTamsel\.so' | tr '\n' ' ')"
for layer in winapi mfc bcg Velmora Stanchion Glyphworks Forgeline winfontconfig; do
    [ -f "$libdir/tamsel/lib$layer.so.1" ] || fail "lib$layer.so.1 is not in the private folder $libdir/tamsel"
done
echo "ok: the module alone in $(basename "$libdir")/, its layers in $(basename "$libdir")/tamsel/"

# Nothing in the tree names the source, the build or the first prefix.
for f in "$libdir"/lib*.so.* "$libdir"/tamsel/lib*.so.* "$prefix"/bin/*; do
    [ -L "$f" ] && continue
    if strings -a "$f" | grep -q -e "$root" -e "$tmp/first"; then
        fail "$f holds an absolute path: $(strings -a "$f" | grep -e "$root" -e "$tmp/first" | head -3)"
    fi
done
if grep -rIl -e "$root" -e "$tmp/first" "$prefix"; then fail "installed files name the build or the first prefix"; fi
echo "ok: no absolute path of the source, the build or the first prefix in the installed tree"
if ldd "$prefix/bin/tamsel-studio" | grep -e "$root" | grep -q .; then fail "the studio loads libraries of the build tree"; fi
echo "ok: the moved studio loads its libraries from the moved tree"

"$root/scripts/check-consumer.sh" "$prefix" "the moved tree"
"$root/scripts/check-studio.sh" "$prefix/bin/tamsel-studio" "the moved studio"
