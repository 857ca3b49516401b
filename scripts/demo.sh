#!/bin/sh
# Installs what is needed, builds, and runs the studio on the demo project.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build
studio="$root/build/bin/tamsel-studio"
demo="$root/examples/demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$demo" "$work/demo"
echo "== faces (the default machine profile, from this machine's fonts)"
"$studio" faces | head -20
echo "== fonts list examples/demo"
"$studio" fonts list "$work/demo"
echo "== fonts save examples/demo (into a copy)"
"$studio" fonts save "$work/demo"
cmp "$demo/Font.hft" "$work/demo/Font.hft" && echo "saved table is byte-identical to the original"
