#!/bin/sh
# Texts in Arabic, Hebrew, Devanagari, Bengali and Thai compiled with Debian's
# own faces to both targets: what the panel shapes otherwise is reported, as
# HarfBuzz's shaping of the source faces (hb-shape) says.
# usage: shaping_test.sh STUDIO SOURCE_DIR
set -u
studio=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
ok() { echo "ok: $1"; }
bad() { echo "FAIL: $1"; fail=1; }

noto=/usr/share/fonts/truetype/noto
mkdir -p "$work/profile/Fonts" "$work/p"
for f in NotoSansArabic NotoNaskhArabic NotoSansHebrew NotoSansThai NotoSansDevanagari NotoSansBengali; do
    cp "$noto/$f-Regular.ttf" "$work/profile/Fonts/" || { echo "FAIL: $f needs fonts-noto-core"; exit 1; }
done
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$work/profile/Fonts/"
printf '[Profile]\nLocale=en-US\n' > "$work/profile/profile.ini"
st() { "$studio" --profile "$work/profile" --languages 1 "$@"; }
for face in "Noto Sans Arabic" "Noto Naskh Arabic" "Noto Sans Hebrew" "Noto Sans Thai" "Noto Sans Devanagari" \
    "Noto Sans Bengali" "DejaVu Sans"; do
    st fonts add "$work/p" --face "$face" --size 24 >/dev/null 2>&1 || bad "fonts add $face"
done
# Fonts 16..22 in the order above.
cat > "$work/texts.txt" <<'EOF'
screen Main
16	مرحبا بالعالم
17	مرحبا بالعالم
18	שלום עולם
19	สวัสดี ที่นี่
20	नमस्ते क्षत्रिय
21	নমস্কার বন্ধু
22	لا إله إلا الله
22	office ffl fi AV To Wave
screen Alarms
20	नमस्ते क्षत्रिय
22	الضغط (بار
EOF
# The last line has a bracket without its mirror, which a right-to-left run
# shows: both targets carry the mirror, so it is not reported.

out=$(st compile "$work/p" --texts "$work/texts.txt" --out "$work/q" --target qpf2 --report "$work/q.json" 2>&1)
rc=$?
[ $rc -eq 0 ] && ok "QPF2 compile" || { bad "QPF2 compile exits $rc"; echo "$out"; }
summary=$(printf '%s\n' "$out" | grep '^shaping: [0-9]* text(s) shaped differently')
case $summary in
"shaping: 4 text(s) shaped differently on the panel: "*) ok "four texts are shaped otherwise on a QPF2 panel" ;;
*) bad "QPF2 summary: '$summary'"; echo "$out" ;;
esac
for script in "Main line 6, language 0 (Devanagari)" "Alarms line 11, language 0 (Devanagari)" \
    "Main line 7, language 0 (Bengali)" "Main line 5, language 0 (Thai)"; do
    printf '%s' "$summary" | grep -q "$script" && ok "reported: $script" || bad "not reported: $script"
done
for script in Arabic Hebrew; do
    printf '%s' "$summary" | grep -q "($script)" && bad "$script reported on QPF2" || ok "$script is shaped on a QPF2 panel"
done
printf '%s\n' "$out" | grep -q "noto_sans_devanagari_.*: 2 text(s), the QPF2 format carries no glyph substitutions" &&
    ok "the reason, per file" || { bad "no reason per file"; echo "$out"; }
printf '%s\n' "$out" | grep -q "^shaping: to show them as written, ship their faces whole through the font pack, or compile the project to TrueType" &&
    ok "what to do" || bad "no advice"
/usr/bin/python3 - "$src/docs/coverage-report.schema.json" "$work/q.json" <<'EOF' && ok "the JSON report lists them per file" || bad "JSON report"
import json, sys, jsonschema
schema, report = (json.load(open(p)) for p in sys.argv[1:3])
jsonschema.validate(report, schema, cls=jsonschema.Draft202012Validator)
shaped = {(f["file"], s["screen"], s["line"], s["script"], s["why"]) for f in report["files"] for s in f["shaping"]}
deva = [f["file"] for f in report["files"] if f["file"].startswith("noto_sans_devanagari_")][0]
assert (deva, "Alarms", 11, "Devanagari", "the QPF2 format carries no glyph substitutions") in shaped, shaped
assert len(shaped) == 4, shaped
EOF
check_strict() {  # check_strict TARGET STATUS
    st compile "$work/p" --texts "$work/texts.txt" --out "$work/s$1" --target "$1" --strict >/dev/null 2>&1
    rc=$?
    [ $rc -eq "$2" ] && ok "--strict exits $2 for $1" || bad "--strict exits $rc for $1, not $2"
}
check_strict qpf2 3

out=$(st compile "$work/p" --texts "$work/texts.txt" --out "$work/t" --target ttf --report "$work/t.json" 2>&1)
rc=$?
[ $rc -eq 0 ] && ok "TrueType compile" || { bad "TrueType compile exits $rc"; echo "$out"; }
printf '%s\n' "$out" | grep -q '^shaping:' && { bad "a subset is reported shaped otherwise"; echo "$out"; } ||
    ok "every subset shapes its texts as its source"
check_strict ttf 0
# The independent oracle: HarfBuzz's own command line, on each subset and on
# its source face, gives the same clusters, advances and offsets.
same() {  # same SUBSET SOURCE TEXT
    a=$(hb-shape --no-glyph-names "$1" "$3" | sed 's/\([[|]\)[0-9]*/\1/g')
    b=$(hb-shape --no-glyph-names "$2" "$3" | sed 's/\([[|]\)[0-9]*/\1/g')
    [ -n "$a" ] && [ "$a" = "$b" ] && ok "hb-shape: $(basename "$1") shapes '$3' as its source" ||
        bad "hb-shape: $(basename "$1"): $a / $b"
}
same "$work/t/Noto Sans Arabic.ttf" "$noto/NotoSansArabic-Regular.ttf" "مرحبا بالعالم"
same "$work/t/Noto Naskh Arabic.ttf" "$noto/NotoNaskhArabic-Regular.ttf" "مرحبا بالعالم"
same "$work/t/Noto Sans Devanagari.ttf" "$noto/NotoSansDevanagari-Regular.ttf" "नमस्ते क्षत्रिय"
same "$work/t/Noto Sans Bengali.ttf" "$noto/NotoSansBengali-Regular.ttf" "নমস্কার বন্ধু"
same "$work/t/Noto Sans Thai.ttf" "$noto/NotoSansThai-Regular.ttf" "สวัสดี ที่นี่"
same "$work/t/Noto Sans Hebrew.ttf" "$noto/NotoSansHebrew-Regular.ttf" "שלום עולם"
for f in "$work"/t/*.ttf; do
    ots-sanitize "$f" >/dev/null 2>&1 && ok "ots-sanitize: $(basename "$f")" || bad "ots-sanitize rejects $f"
done

out=$(st preview "$work/p" --texts "$work/texts.txt" --out "$work/pv" --target qpf2 --png "$work/pv.png" 2>&1)
rc=$?
printf '%s\n' "$out" | grep -q "^preview: 10 text(s) drawn, 0 character(s) the panel cannot draw, 4 text(s) shaped otherwise" &&
    [ $rc -eq 0 ] && [ -s "$work/pv.png" ] && ok "the preview marks them" || { bad "preview"; echo "$out"; }
exit $fail
