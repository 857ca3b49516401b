#!/bin/sh
# An output folder the next compile can always trust, for both targets:
#  - compiles killed with SIGKILL at several moments, from an empty folder
#    and from the folder of an older build: the next incremental compile
#    gives exactly the files of a clean full build, and no temporaries;
#  - the same project compiled by two processes, full and incremental:
#    byte-identical files.
# usage: crash_test.sh STUDIO SOURCE_DIR TEST_FONTS_DIR [TEXTS]
set -u
studio=$1
src=$2
fonts=$3
texts=${4:-20000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/xdg"
fail=0
bad() { echo "FAIL: $*"; fail=1; }

# The project: 48 fonts over three faces at 12 to 59 pixels, texts in two
# languages over 40 screens; the machine: the test fonts.
mkdir -p "$work/profile/Fonts" "$work/p"
cp "$fonts/Fonts/arial.ttf" "$fonts/Fonts/tahoma.ttf" "$fonts/Fonts/simsun.ttc" "$work/profile/Fonts/"
/usr/bin/python3 - "$work/p" "$texts" <<'EOF'
import random, struct, sys
folder, count = sys.argv[1], int(sys.argv[2])
faces = ["Arial", "Tahoma", "SimSun"]
records = []
for k in range(48):
    name = ("Font %d" % k).encode("utf-16-le").ljust(64, b"\0")
    face = faces[k % 3].encode("utf-16-le").ljust(64, b"\0")
    lf = struct.pack("<5i8B", -(12 + k), 0, 0, 0, 700 if k % 4 == 3 else 400, 1 if k % 5 == 4 else 0,
                     0, 0, 1, 0, 0, 0, 0) + face
    records.append(struct.pack("<i", 16 + k) + name + lf)
with open(folder + "/Font.hft", "wb") as f:
    f.write(struct.pack("<I", len(records)) + b"".join(records))
rnd = random.Random(7)
latin = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "
cjk = [chr(0x4E00 + i) for i in range(512)]
with open(folder + "/texts.txt", "w", encoding="utf-8") as f:
    for i in range(count):
        if i % (count // 40 or 1) == 0:
            f.write("screen S%d\n" % (i // (count // 40 or 1)))
        a, b = 16 + rnd.randrange(48), 16 + 3 * rnd.randrange(16) + 2  # language 1 in SimSun
        one = "".join(rnd.choice(latin) for _ in range(rnd.randrange(8, 24)))
        two = "".join(rnd.choice(cjk) for _ in range(rnd.randrange(4, 12)))
        f.write("%d,%d\t%s\t%s\n" % (a, b, one, two))
# An older version of the texts, for builds that update a folder.
with open(folder + "/older.txt", "w", encoding="utf-8") as f:
    f.write("screen S0\n16,18\tOld text\t\u4e00\u4e01\n20,23\tOther\t\u4e02\n")
EOF

compile() {  # compile TEXTS OUT TARGET [--incremental]
    t=$1 out=$2 target=$3
    shift 3
    "$studio" --profile "$work/profile" --languages 2 compile "$work/p" --texts "$work/p/$t" --out "$out" \
        --target "$target" "$@" >"$work/last.log" 2>&1
}
# The font files of a folder, with their bytes' digest, one per line.
digest() {  # digest DIR [EXCLUDE]
    (cd "$1" && for f in *.qpf2 *.ttf *.ttc; do
        [ -f "$f" ] || continue
        [ -n "${2:-}" ] && [ "$f" = "$2" ] && continue
        echo "$f $(sha256sum < "$f" | cut -c1-64)"
    done)
}
# The font files a unit build left in OUT: QPF2 files are in its qpf2 folder.
unit_digest() {  # unit_digest OUT TARGET
    if [ "$2" = qpf2 ]; then digest "$1/qpf2"; else digest "$1"; fi
}
temporaries() { find "$1" -name '*.~*' 2>/dev/null | wc -l; }
now_ms() { date +%s%3N; }

for target in qpf2 ttf; do
    ref="$work/ref-$target"
    compile texts.txt "$ref" $target || { bad "$target: the full build failed"; cat "$work/last.log"; continue; }
    # A full subset build adds the default Calibri row, a unit build does not.
    digest "$ref" Calibri.ttf > "$work/ref-$target.txt"
    [ -s "$work/ref-$target.txt" ] || bad "$target: the full build wrote no fonts"
    for f in "$ref"/*.ttf "$ref"/*.ttc; do
        [ -f "$f" ] && ! ots-sanitize "$f" >/dev/null 2>&1 && bad "$target: $(basename "$f") fails ots-sanitize"
    done
    files=$(wc -l < "$work/ref-$target.txt")

    # Reproducible: another process, full and incremental.
    compile texts.txt "$work/again-$target" $target
    digest "$work/again-$target" Calibri.ttf > "$work/again-$target.txt"
    cmp -s "$work/ref-$target.txt" "$work/again-$target.txt" || bad "$target: two full builds differ"
    inc="$work/inc-$target"
    start=$(now_ms)
    compile texts.txt "$inc" $target --incremental || bad "$target: the unit build failed"
    took=$(( $(now_ms) - start ))
    unit_digest "$inc" $target > "$work/inc-$target.txt"
    cmp -s "$work/ref-$target.txt" "$work/inc-$target.txt" || bad "$target: a unit build differs from a full build"
    compile texts.txt "$work/inc2-$target" $target --incremental
    unit_digest "$work/inc2-$target" $target > "$work/inc2-$target.txt"
    cmp -s "$work/inc-$target.txt" "$work/inc2-$target.txt" || bad "$target: two unit builds differ"
    echo "ok: $target: $files files, the same bytes from two processes, full and incremental ($took ms a build)"

    # Killed at moments spread over a build, from an empty folder and from an older build's.
    for percent in 5 20 35 50 65 80 95; do
        out="$work/kill-$target-$percent"
        if [ $((percent % 2)) -eq 0 ]; then compile older.txt "$out" $target --incremental; fi
        "$studio" --profile "$work/profile" --languages 2 compile "$work/p" --texts "$work/p/texts.txt" --out "$out" \
            --target $target --incremental >/dev/null 2>&1 &
        pid=$!
        sleep "$(awk "BEGIN { print $took * $percent / 100000 }")"
        kill -9 $pid 2>/dev/null
        wait $pid 2>/dev/null
        left=$(temporaries "$out")
        compile texts.txt "$out" $target --incremental || { bad "$target: the compile after a kill failed"; cat "$work/last.log"; }
        unit_digest "$out" $target > "$work/kill.txt"
        if ! cmp -s "$work/ref-$target.txt" "$work/kill.txt"; then
            bad "$target: killed at $percent%: the next compile differs from a full build"
            diff "$work/ref-$target.txt" "$work/kill.txt" | head -5
        elif [ "$(temporaries "$out")" -ne 0 ]; then
            bad "$target: killed at $percent%: temporaries remain"
        else
            echo "ok: $target: killed at $percent% ($left temporaries left by the kill), the next compile made the full build's files"
        fi
    done
done
exit $fail
