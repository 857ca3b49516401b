#!/bin/sh
# Installs what is needed, builds, and runs the studio on the demo project.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build
# The demo project has three languages: English, Chinese and Arabic.
bin="$root/build/bin/tamsel-studio"
studio() { "$bin" --languages 3 "$@"; }
demo="$root/examples/demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$demo" "$work/demo"
echo "== faces (the default machine profile, from this machine's fonts)"
studio faces | head -20
echo "== fonts list examples/demo"
studio fonts list "$work/demo"
echo "== fonts save examples/demo (into a copy)"
studio fonts save "$work/demo"
cmp "$demo/Font.hft" "$work/demo/Font.hft" && echo "saved table is byte-identical to the original"
echo "== open examples/demo (Font_InitLib; missing faces replaced without the dialog)"
studio open "$work/demo" --no-dialog
echo "== fonts css: the Chinese title font in language 1"
studio fonts css "$work/demo" 18 --lang 1
echo "== fonts add / import (into the copy)"
studio fonts add "$work/demo" --face "DejaVu Sans" --size 30 --style Bold
studio fonts import "$work/demo" "$demo/Font.hft"
echo "== fonts prune: drop the fonts no text of texts.txt uses"
studio fonts prune "$work/demo" --texts "$demo/texts.txt"
echo "== dialogs rendered offscreen"
studio dialog properties --face "DejaVu Sans" --png "$work/font-properties.png"
studio dialog change --face "DejaVu Sans" --png "$work/font-change.png"
# The panel fonts are compiled on a Chinese desktop: the default machine
# profile for the zh-CN locale, whose icon-title font fontconfig chooses for
# Chinese, so the project's Chinese title font has glyphs to render; its
# FontSubstitutes realise "Arial" by fontconfig's equivalent (Liberation Sans).
zh() { env LANG=zh_CN.UTF-8 LC_ALL= LC_CTYPE= "$bin" --languages 3 "$@"; }
echo "== the default machine profile of a Chinese desktop"
zh faces | head -1
cat "${XDG_CACHE_HOME:-$HOME/.cache}/tamsel/default-profile/zh-CN/profile.ini"
cp -r "$demo" "$work/panel"
out="$root/build/demo-output"
rm -rf "$out"
mkdir -p "$out"
echo "== compile examples/demo (a fresh copy) to QPF2 bitmap fonts"
zh compile "$work/panel" --texts "$demo/texts.txt" --out "$out/qpf2-full" --target qpf2 \
    --report "$out/qpf2-full-report.json" > "$out/qpf2-full.log"
cat "$out/qpf2-full.log"
echo "== the shaping check: Arabic is joined on the QPF2 panel, Devanagari conjuncts cannot be"
grep '^shaping:' "$out/qpf2-full.log" || { echo "no shaping line in the QPF2 compile"; exit 1; }
echo "== the QPF2 files read back with Qt's own reader"
QT_QPA_PLATFORM=offscreen "$root/build/bin/qpf2check" "$out"/qpf2-full/*.qpf2 2>/dev/null
echo "== compile to QPF2 through the compile library's units, twice (the second renders nothing)"
zh compile "$work/panel" --texts "$demo/texts.txt" --out "$out/panel" --target qpf2 --incremental
zh compile "$work/panel" --texts "$demo/texts.txt" --out "$out/panel" --target qpf2 --incremental
echo "== compile to subset TrueType fonts"
zh compile "$work/panel" --texts "$demo/texts.txt" --out "$out/ttf" --target ttf \
    --report "$out/ttf-report.json"
echo "== the subset fonts read back with fontTools and checked by the OpenType Sanitizer"
for f in "$out"/ttf/*; do
    echo "$(basename "$f"): $(/usr/bin/python3 "$root/tests/fixtures/font_cmap.py" "$f" | tr '\n' ' ' | cut -c1-150)"
    if ots-sanitize "$f" >/dev/null 2>&1; then echo "  ots-sanitize: sane"; else echo "  ots-sanitize: REJECTED"; exit 1; fi
done
echo "== the engine that cut each subset (the report's \"engine\")"
/usr/bin/python3 -c 'import json, sys
for f in json.load(open(sys.argv[1]))["files"]:
    print("%s: %s" % (f["file"], f.get("engine", "travels whole")))' "$out/ttf-report.json"
# The same project on this desktop's own locale: its default profile links
# the Chinese glyphs into the QPF2 fonts of Latin faces; a subset cannot
# borrow glyphs, so the summary names what the TrueType fonts cannot draw.
echo "== compile on this desktop's default profile, to both targets"
studio compile "$work/panel" --texts "$demo/texts.txt" --out "$out/local-qpf2" --target qpf2 \
    --report "$out/local-qpf2-report.json"
studio compile "$work/panel" --texts "$demo/texts.txt" --out "$out/local-ttf" --target ttf \
    --report "$out/local-ttf-report.json"
echo "== preview: every screen as the panel will show it, drawn from the compiled fonts"
studio preview "$work/panel" --texts "$demo/texts.txt" --out "$out/preview-qpf2" --target qpf2 \
    --png "$out/preview-qpf2.png"
studio preview "$work/panel" --texts "$demo/texts.txt" --out "$out/preview-ttf" --target ttf \
    --png "$out/preview-ttf.png"
echo "== the coverage reports against their documented format (docs/coverage-report.schema.json)"
/usr/bin/python3 -c 'import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
for report in sys.argv[2:]:
    jsonschema.validate(json.load(open(report)), schema, cls=jsonschema.Draft202012Validator)
    print("%s: follows the schema" % report.rsplit("/", 1)[-1])' "$root/docs/coverage-report.schema.json" "$out"/*-report.json
cp "$work"/*.png "$out/"
echo "PNG renderings, compiled fonts and coverage reports (*-report.json) kept in build/demo-output/"
