#!/bin/sh
# An installed studio at work: it tells its version and compiles a copy of
# the demo project to both targets, QPF2 bitmap fonts and subset TrueType
# fonts (the subsets need the subsetting script and the interpreter's
# modules where the installed tree keeps them).
#   scripts/check-studio.sh STUDIO [WHAT]   (WHAT names it in the messages)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
studio=$1
what=${2:-the studio}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$studio" --version | grep -q "^tamsel-studio " || fail "$what has no version"
cp -r "$root/examples/demo" "$tmp/demo"
for target in qpf2 ttf; do
    ext=$target
    [ $target = ttf ] && ext='tt[fc]'
    out=$("$studio" compile "$tmp/demo" --texts "$tmp/demo/texts.txt" --out "$tmp/out-$target" --target $target 2>&1) ||
        fail "$what could not compile to $target: $out"
    echo "$out" | grep -q "^wrote .*\.$ext " || fail "$what wrote no $target file: $out"
    echo "$out" | sed -n 's/^wrote \(.*\) ([0-9]* bytes)$/\1/p' | while IFS= read -r f; do
        [ -s "$f" ] || fail "$what said it wrote $f, which is not there"
    done
    echo "ok: $what compiles the demo to $target ($(echo "$out" | grep -c '^wrote') file(s))"
done
