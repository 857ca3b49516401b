#!/bin/sh
# Checks the Debian packages that scripts/package.sh built, as Debian would
# and as a user would: lintian finds no error and no warning; on a machine
# with nothing installed every dependency would come from the archive
# (apt-get install -s); each package holds what it should, the module alone
# in the library folder with its symbols file, the layers in the private
# folder; unpacked into a scratch root, the studio compiles the demo to both
# targets and the consumer builds against the -dev package with find_package
# and pkg-config.
#   scripts/check-packages.sh [DEB_DIR]   (default: build-deb)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
debs=$(cd "${1:-$root/build-deb}" && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
changes=$(ls "$debs"/tamsel_"$version"_*.changes)
lib=$(ls "$debs"/libtamsel1_"$version"_*.deb)
dev=$(ls "$debs"/libtamsel-dev_"$version"_*.deb)
studio=$(ls "$debs"/tamsel-studio_"$version"_*.deb)

# Lintian on every package of the build; an override needs its reason in
# debian/*.lintian-overrides.
lintian --display-info --fail-on error,warning "$changes" >"$tmp/lintian.log" 2>&1 ||
    { cat "$tmp/lintian.log"; fail "lintian found errors or warnings"; }
grep -E "^[EWIP]: " "$tmp/lintian.log" || true
echo "ok: lintian finds no error and no warning in $(basename "$changes")"

# What apt would install on a machine with nothing installed.
: >"$tmp/status"
apt-get install -s -o Dir::State::status="$tmp/status" -o Debug::NoLocking=1 "$lib" "$dev" "$studio" \
    >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log"; fail "apt-get cannot resolve the packages' dependencies"; }
for p in libtamsel1 libtamsel-dev tamsel-studio libharfbuzz-subset0 python3-fonttools fonts-dejavu-core; do
    grep -q "^Inst $p " "$tmp/apt.log" || fail "apt-get would not install $p: $(cat "$tmp/apt.log")"
done
echo "ok: apt-get install -s resolves every dependency from the archive ($(grep -c '^Inst ' "$tmp/apt.log") packages on an empty machine)"

depends=$(dpkg-deb -f "$lib" Depends)
for need in libharfbuzz-subset0 python3-fonttools fontconfig fonts-dejavu-core libpython3 libxxhash0 libfreetype6 libqt5widgets5; do
    echo "$depends" | grep -q "$need" || fail "libtamsel1 does not depend on $need: $depends"
done
for pkg in "$dev" "$studio"; do
    dpkg-deb -f "$pkg" Depends | grep -q "libtamsel1 (= $version)" ||
        fail "$(basename "$pkg") does not depend on this very libtamsel1: $(dpkg-deb -f "$pkg" Depends)"
done
echo "ok: the packages depend on what they link and what they load ($(echo "$depends" | tr ',' '\n' | wc -l) for libtamsel1)"

dpkg-deb --ctrl-tarfile "$lib" | tar -xOf - ./symbols >"$tmp/symbols" 2>/dev/null || fail "libtamsel1 has no symbols file"
[ "$(grep -c '^[^ |*]' "$tmp/symbols")" -eq 1 ] && grep -q "^libTamsel.so.1 libtamsel1 " "$tmp/symbols" ||
    fail "the symbols file should cover libTamsel.so.1 alone: $(grep '^[^ |*]' "$tmp/symbols")"
echo "ok: libtamsel1's symbols file covers libTamsel.so.1 ($(grep -c '^ ' "$tmp/symbols") symbols)"

for pkg in "$lib" "$dev" "$studio"; do dpkg-deb -x "$pkg" "$tmp/root"; done
r="$tmp/root"
public=$(cd "$r/usr/lib/$arch" && find . -maxdepth 1 -name 'lib*.so*' | sed 's|^\./||' | sort | tr '\n' ' ')
[ "$public" = "libTamsel.so libTamsel.so.1 libTamsel.so.1.0.0 " ] ||
    fail "the library folder holds more than the module: $public"
for f in usr/bin/tamsel-studio usr/lib/$arch/tamsel/libVelmora.so.1 usr/lib/$arch/tamsel/libwinapi.so \
    usr/share/tamsel/scripts/myFont.py usr/share/tamsel/lang/en_US.lng usr/share/tamsel/models.ini \
    usr/share/man/man1/tamsel-studio.1.gz usr/include/tamsel/Tamsel.h usr/lib/$arch/cmake/Tamsel/TamselConfig.cmake \
    usr/lib/$arch/pkgconfig/tamsel.pc usr/share/doc/tamsel-studio/README.md.gz \
    usr/share/doc/tamsel-studio/coverage-report.schema.json usr/share/doc/libtamsel1/copyright; do
    [ -e "$r/$f" ] || fail "the packages lack $f"
done
man -l "$r/usr/share/man/man1/tamsel-studio.1.gz" 2>/dev/null | grep -q "compile PROJECT" ||
    fail "the manual page does not read"
echo "ok: the module alone in /usr/lib/$arch, its layers in /usr/lib/$arch/tamsel, the data, the manual page and the package files"

# The unpacked programs load the unpacked libraries, found through RUNPATH.
ldd "$r/usr/bin/tamsel-studio" >"$tmp/ldd" || fail "ldd cannot read the studio"
grep -q "not found" "$tmp/ldd" && fail "the unpacked studio misses libraries: $(grep 'not found' "$tmp/ldd")"
for l in libTamsel.so.1 libVelmora.so.1 libForgeline.so.1; do
    grep -q "$l => $r/usr/" "$tmp/ldd" || fail "the unpacked studio does not load $l from the package"
done
echo "ok: the unpacked studio loads the module and its layers from the unpacked packages"
"$root/scripts/check-studio.sh" "$r/usr/bin/tamsel-studio" "the unpacked studio"
"$root/scripts/check-consumer.sh" "$r/usr" "the unpacked -dev package"
