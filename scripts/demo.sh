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
echo "== open examples/demo (Font_InitLib; missing faces replaced without the dialog)"
"$studio" open "$work/demo" --no-dialog
echo "== fonts css: the Chinese title font in language 1"
"$studio" fonts css "$work/demo" 18 --lang 1
echo "== fonts add / import (into the copy)"
"$studio" fonts add "$work/demo" --face "DejaVu Sans" --size 30 --style Bold
"$studio" fonts import "$work/demo" "$demo/Font.hft"
echo "== fonts prune: drop the fonts no text of texts.txt uses"
"$studio" fonts prune "$work/demo" --texts "$demo/texts.txt"
echo "== dialogs rendered offscreen"
"$studio" dialog properties --face "DejaVu Sans" --png "$work/font-properties.png"
"$studio" dialog change --face "DejaVu Sans" --png "$work/font-change.png"
mkdir -p "$root/build/demo-output"
cp "$work"/*.png "$root/build/demo-output/"
echo "PNG renderings kept in build/demo-output/"
