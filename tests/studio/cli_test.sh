#!/bin/sh
# Drives tamsel-studio as a user would: help, errors and the font table round trip.
# usage: cli_test.sh STUDIO SOURCE_DIR TEST_FONTS_DIR
set -u
studio=$1
src=$2
fonts=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The default machine profile comes from a fontconfig set-up of the test's own,
# kept in the test's own cache folder.
mkdir -p "$work/fc/fonts"
cp "$fonts/Fonts/tahoma.ttf" "$fonts/Fonts/simsun.ttc" "$work/fc/fonts/"
printf '<?xml version="1.0"?>\n<fontconfig><dir>%s</dir><cachedir>%s</cachedir>%s</fontconfig>\n' \
    "$work/fc/fonts" "$work/fc/cache" '<alias><family>Arial</family><prefer><family>Tahoma</family></prefer></alias>' \
    > "$work/fc/fonts.conf"
export FONTCONFIG_FILE="$work/fc/fonts.conf" XDG_CACHE_HOME="$work/xdg" LANG=zh_CN.UTF-8
unset LC_ALL LC_CTYPE
fail=0
# check DESCRIPTION EXPECTED_STATUS PATTERN... -- COMMAND...: "!P" as a PATTERN: P is not said
check() {
    desc=$1 want=$2
    shift 2
    n=0
    for a; do [ "$a" = -- ] && break; n=$((n + 1)); done
    out=$(shift $((n + 1)); "$@" 2>&1)
    got=$?
    why=
    [ "$got" -ne "$want" ] && why="exit $got, expected $want"
    while [ $n -gt 0 ] && [ -z "$why" ]; do
        case $1 in
        !*) printf '%s' "$out" | grep -q -- "${1#!}" && why="output has '${1#!}'" ;;
        *) printf '%s' "$out" | grep -q -- "$1" || why="output lacks '$1'" ;;
        esac
        shift; n=$((n - 1))
    done
    if [ -n "$why" ]; then echo "FAIL: $desc: $why"; echo "$out"; fail=1; else echo "ok: $desc"; fi
}
expect() {  # expect DESCRIPTION COMMAND...: the command succeeds
    desc=$1
    shift
    if "$@" >/dev/null 2>&1; then echo "ok: $desc"; else echo "FAIL: $desc"; fail=1; fi
}
check "help lists the commands" 0 "fonts list PROJECT" -- "$studio" --help
check "no command is a usage error" 2 "Usage:" -- "$studio"
check "--version names the version" 0 "^tamsel-studio [0-9]*\.[0-9]*\.[0-9]*$" -- "$studio" --version
check "a command has help of its own alone" 0 "Usage: tamsel-studio \[OPTION\]... compile" \
    "!fonts list" -- "$studio" compile --help
check "options take --name=value" 2 "--languages must be between 1 and 8" -- "$studio" --languages=9 faces
check "a missing value is a usage error" 2 "option --profile needs a value" -- "$studio" faces --profile
check "unknown command" 2 "unknown command 'frobnicate'" -- "$studio" frobnicate
check "unknown option" 2 "unknown option '--nope'" -- "$studio" --nope fonts list "$work"
check "missing project directory" 1 "does not exist" -- "$studio" fonts list "$work/none"
check "project without a table" 0 "no font table" -- "$studio" fonts list "$work"
cp -r "$src/examples/demo" "$work/demo"
check "demo table lists its fonts, Chinese and Arabic names and all" 0 "12 font(s)" "标题" "عنوان" -- \
    "$studio" fonts list "$work/demo"
check "save rewrites the table" 0 "saved 12 font(s)" -- "$studio" fonts save "$work/demo"
if ! cmp -s "$src/examples/demo/Font.hft" "$work/demo/Font.hft"; then echo "FAIL: saved table differs"; fail=1; fi
head -c 300 "$src/examples/demo/Font.hft" > "$work/demo/Font.hft"
check "a truncated table warns and keeps its one whole record" 0 "1 whole record" "1 font(s)" -- \
    "$studio" fonts list "$work/demo"
mkdir -p "$work/profile/Fonts"
cp "$fonts/Fonts/simsun.ttc" "$fonts/Fonts/arial.ttf" "$fonts/Fonts/sserife.fnt" "$work/profile/Fonts/"
printf '[Profile]\nLocale=zh-CN\nAnsiCodePage=936\n' > "$work/profile/profile.ini"
# Raster faces are not in the system font map.
check "faces of a Chinese profile, with their files" 0 \
    "宋体	SimSun	simsun.ttc" "Arial	Arial	arial.ttf" "!MS Sans Serif" -- \
    "$studio" faces --profile "$work/profile"
# The default profile: this desktop's fontconfig fonts, in the user's cache folder, per locale.
check "the default profile" 0 "Tahoma	Tahoma	tahoma.ttf" \
    "in $work/xdg/tamsel/default-profile/zh-CN/Fonts" "宋体	SimSun	simsun.ttc" -- "$studio" faces
cp -r "$src/examples/demo" "$work/fcdemo"
# A face without a pack name gives its subset the name of the family it is cut from.
check "Arial is cut from fontconfig's choice for it" 0 "wrote $work/fcq/Tahoma.ttf" -- "$studio" compile "$work/fcdemo" --texts "$src/examples/demo/texts.txt" --out "$work/fcq" --target ttf
expect "Tahoma.ttf is cut from Tahoma" test "$(/usr/bin/python3 "$src/tests/fixtures/font_cmap.py" \
    "$work/fcq/Tahoma.ttf" | sed -n 1p)" = "family Tahoma"
expect "and passes ots-sanitize" ots-sanitize "$work/fcq/Tahoma.ttf"
check "a broken profile is reported" 1 "Dpi" -- sh -c "printf 'Dpi=x\n' > '$work/profile/profile.ini' && '$studio' faces --profile '$work/profile'"
check "a missing profile is reported" 1 "not a directory" -- "$studio" faces --profile "$work/none"
mkdir -p "$work/uiprofile/Fonts"
cp "$fonts/Fonts/arial.ttf" "$fonts/Fonts/tahoma.ttf" "$work/uiprofile/Fonts/"
check "a dialog renders to PNG" 0 "wrote $work/props.png" -- env -u DISPLAY -u WAYLAND_DISPLAY "$studio" dialog properties --profile "$work/uiprofile" --png "$work/props.png"
if [ "$(head -c 4 "$work/props.png" | od -An -c | tr -d ' ')" != "211PNG" ]; then echo "FAIL: the rendering is not a PNG"; fail=1; fi
check "the change dialog renders with chosen faces" 0 "wrote" -- "$studio" dialog change --profile "$work/uiprofile" --missing Helvetica --face Tahoma --png "$work/change.png"
check "no display and no PNG" 1 "no display" -- env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen "$studio" dialog change --profile "$work/uiprofile"
check "unknown dialog" 2 "unknown dialog 'nope'" -- "$studio" dialog nope --png "$work/x.png"
cp -r "$src/examples/demo" "$work/p"
check "open repairs missing faces without the dialog" 0 "宋体" -- "$studio" open "$work/p" --no-dialog --profile "$work/uiprofile"
check "open without a display keeps the faces" 0 "Tahoma" -- env -u DISPLAY -u WAYLAND_DISPLAY "$studio" open "$work/p" --profile "$work/uiprofile"
check "fonts add creates a hidden font" 0 "font 23" -- "$studio" fonts add "$work/p" --face Tahoma --size 30 --profile "$work/uiprofile"
check "fonts add finds it again" 0 "font 23" -- "$studio" fonts add "$work/p" --face Tahoma --size 30 --profile "$work/uiprofile"
check "fonts add needs a size" 2 "positive --size" -- "$studio" fonts add "$work/p" --face Tahoma
check "fonts css" 0 "italic bold 18px Tahoma|" -- "$studio" fonts css "$work/p" 19 --profile "$work/uiprofile"
check "fonts css of a bad language" 2 "--lang must be below" -- "$studio" fonts css "$work/p" 19 --lang 5
check "fonts import into itself maps every id to itself" 0 "0 font(s) added" -- "$studio" fonts import "$work/p" "$work/p/Font.hft" --profile "$work/uiprofile"
check "fonts import of a missing table" 1 "cannot read" -- "$studio" fonts import "$work/p" "$work/none/Font.hft" --profile "$work/uiprofile"
printf 'screen S\nx\tText\n' > "$work/bad.txt"
check "a bad texts file names the line" 1 "bad.txt:2: bad font id 'x'" -- "$studio" fonts prune "$work/p" --texts "$work/bad.txt"
check "fonts prune removes unused fonts" 0 "removed 20" -- "$studio" fonts prune "$work/p" --texts "$work/p/texts.txt" --profile "$work/uiprofile"
check "pruned table keeps the used fonts" 0 "Alarm" -- "$studio" fonts list "$work/p"
check "edit renders the library dialog" 0 "wrote $work/lib.png" -- "$studio" edit "$work/p" --profile "$work/uiprofile" --png "$work/lib.png"
check "edit needs a display without --png" 1 "no display" -- env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen "$studio" edit "$work/p"
check "select renders the selection dialog" 0 "wrote $work/sel.png" -- "$studio" select "$work/p" --current 17 --profile "$work/uiprofile" --png "$work/sel.png"
check "--current needs a number" 2 "needs a number" -- "$studio" select "$work/p" --current x --png "$work/sel.png"
check "pack renders the font pack dialog" 0 "wrote $work/pack.png" -- "$studio" pack "$work/p" --profile "$work/uiprofile" --png "$work/pack.png"
check "compile needs a target" 2 "--target must be qpf2 or ttf" -- "$studio" compile "$work/p" --texts "$work/p/texts.txt" --out "$work/q"
check "compile reads the texts first" 1 "bad.txt:2" -- "$studio" compile "$work/p" --texts "$work/bad.txt" --out "$work/q" --target qpf2
# The table's sizes are cell heights: 16 (DejaVu Sans, realised as Arial) and Tahoma 18
# get GDI's ems, 14 and 16. Segoe UI's file holds no glyph (Arial lacks all its
# characters) and is written all the same.
check "compile to QPF2" 0 "wrote $work/q/tahoma_16_75_italic.qpf2" \
    "wrote $work/q/dejavu_sans_14_50.qpf2" "wrote $work/q/segoe_ui_18_50.qpf2" -- \
    "$studio" compile "$work/p" --texts "$work/p/texts.txt" --out "$work/q" --target qpf2 \
    --profile "$work/uiprofile"
check "an incremental compile renders" 0 "wrote $work/q/qpf2/" -- "$studio" compile "$work/p" --texts "$work/p/texts.txt" --out "$work/q" --target qpf2 --incremental --profile "$work/uiprofile"
# A file cut short outside a build is made again, and the studio says so.
cutshort=$(ls "$work/q/qpf2/"*.qpf2 | head -1)
truncate -s 20 "$cutshort"
check "a file cut short is rebuilt" 0 "rebuilt (changed since the last build): $cutshort" -- "$studio" compile "$work/p" --texts "$work/p/texts.txt" --out "$work/q" --target qpf2 --incremental --profile "$work/uiprofile"
check "--verify reads every file and finds nothing changed" 0 "^0 file(s) written" -- "$studio" compile "$work/p" --texts "$work/p/texts.txt" --out "$work/q" --target qpf2 --incremental --verify --profile "$work/uiprofile"
check "--verify needs --incremental" 2 "needs --incremental" -- "$studio" compile "$work/p" --texts "$work/p/texts.txt" --out "$work/q" --target qpf2 --verify
# What the panel cannot draw is told; --strict makes it a failure.
printf 'screen S\n17\tA\360\223\200\200B\n' > "$work/lost.txt"
lost() { "$studio" compile "$work/p" --texts "$work/lost.txt" --profile "$work/uiprofile" "$@"; }
check "a character no face has is reported" 0 "1 character(s) lost: .*(U+13000)" -- lost --out "$work/lq" --target qpf2 --report "$work/lost.json"
check "a report that cannot be written fails the compile" 1 "cannot create" "!wrote the coverage report" -- \
    lost --out "$work/lr" --target qpf2 --report "$work/no/such/report.json"
reported=$(/usr/bin/python3 -c 'import json, sys
d = json.load(open(sys.argv[1]))
print(d["lost"]["codes"], [(f["requested"], f["missing"]["codes"]) for f in d["files"]])' "$work/lost.json")
if [ "$reported" != "['U+13000'] [(3, ['U+13000'])]" ]; then echo "FAIL: the JSON report says $reported"; fail=1; else echo "ok: the JSON report names it"; fi
check "--strict fails a QPF2 compile that loses it" 3 "U+13000" -- lost --out "$work/lq" --target qpf2 --strict
check "--strict fails a subset compile that loses it" 3 "U+13000" -- lost --out "$work/lt" --target ttf --strict
printf 'screen S\n19\tPump\n' > "$work/pump.txt"
"$studio" compile "$work/p" --texts "$work/pump.txt" --profile "$work/uiprofile" --out "$work/lt" --target ttf --report "$work/ttf.json" >/dev/null 2>&1
engines=$(/usr/bin/python3 -c 'import json, sys
print(sorted((f["key"], f.get("engine")) for f in json.load(open(sys.argv[1]))["files"]))' "$work/ttf.json")
if [ "$engines" != "[('Tahoma', 'harfbuzz')]" ]; then echo "FAIL: the report's engines are $engines"; fail=1; else echo "ok: the report names HarfBuzz as the engine"; fi
if ! grep -q "	harfbuzz$" "$work/lt/.tamsel-coverage"; then echo "FAIL: the coverage record lacks the engine"; fail=1; else echo "ok: so does the coverage record"; fi
# The demo's reports, both targets, against the documented format.
cp -r "$src/examples/demo" "$work/schemademo"
for target in qpf2 ttf; do
    "$studio" compile "$work/schemademo" --texts "$src/examples/demo/texts.txt" --profile "$work/uiprofile" \
        --out "$work/schema-$target" --target $target --report "$work/schema-$target.json" >/dev/null 2>&1
done
expect "the demo's reports follow docs/coverage-report.schema.json" \
    /usr/bin/python3 -c 'import json, sys, jsonschema
schema = json.load(open(sys.argv[1]))
for report in sys.argv[2:]:
    jsonschema.validate(json.load(open(report)), schema, cls=jsonschema.Draft202012Validator)' \
    "$src/docs/coverage-report.schema.json" "$work/schema-qpf2.json" "$work/schema-ttf.json"
lost --out "$work/li" --target qpf2 --incremental >/dev/null 2>&1
check "a compile that remakes nothing still reports what its files lose" 3 "^0 file(s) written" \
    "1 missing: .*(U+13000)" -- lost --out "$work/li" --target qpf2 --incremental --strict
printf 'screen S\n17\tAB\n' > "$work/kept.txt"
check "--strict passes a compile that loses nothing" 0 "all drawn" -- "$studio" compile "$work/p" --texts "$work/kept.txt" --out "$work/lq" --target qpf2 --profile "$work/uiprofile" --strict
# Glyphs from linked faces (Tahoma links to SimSun here) are still told when nothing is remade.
cp -r "$src/examples/demo" "$work/plink"
printf 'screen S\n19\tAlarm \344\270\255\345\233\275\n' > "$work/link.txt"
linked() { "$studio" compile "$work/plink" --texts "$work/link.txt" --out "$work/ll" --target qpf2 --incremental 2>&1 | grep 'linked faces'; }
first=$(linked)
again=$(linked)
expect "two characters come from a linked face: '$first'" \
    test "${first#*2 from linked faces}" != "$first"
expect "an unchanged compile tells them again: '$again'" test "$again" = "$first"
# The preview draws from the panel's files and marks what they cannot draw.
preview() { "$studio" preview "$work/p" --profile "$work/uiprofile" "$@"; }
check "preview needs a picture to write" 2 "--png FILE" -- preview --texts "$work/lost.txt" --out "$work/pv"
check "the preview marks the character no QPF2 file has" 0 "1 character(s) the panel cannot draw" -- preview --texts "$work/lost.txt" --out "$work/pv" --png "$work/pv.png"
if [ -s "$work/pv.png" ]; then echo "ok: the preview is written"; else echo "FAIL: no preview written"; fail=1; fi
check "a new folder's files are named plainly" 0 "wrote $work/pvq/qpf2/dejavu_sans" -- preview --texts "$work/lost.txt" --out "$work/pvq" --png "$work/pvq.png"
check "a current folder is reused" 0 "^0 file(s) written" -- preview --texts "$work/lost.txt" --out "$work/pv" --png "$work/pv.png"
# Links where the picture goes are replaced, never written through; a picture
# that cannot be written is an error.
printf 'victim' > "$work/pvvictim"
ln -s "$work/pvvictim" "$work/pvlink.png"
ln -s "$work/pvvictim" "$work/pvlink.png.tmp"
check "the preview goes past links at its name" 0 "wrote $work/pvlink.png" -- preview --texts "$work/lost.txt" --out "$work/pv" --png "$work/pvlink.png"
expect "nothing written through a link" \
    test "$(cat "$work/pvvictim")" = victim -a -f "$work/pvlink.png" -a ! -L "$work/pvlink.png"
check "a picture that cannot be written is an error" 1 "cannot write $work/none/pv.png" -- preview --texts "$work/lost.txt" --out "$work/pv" --png "$work/none/pv.png"
check "the preview marks it in a subset too" 0 "1 character(s) the panel cannot draw" -- preview --texts "$work/lost.txt" --out "$work/pvt" --target ttf --png "$work/pvt.png"
check "nothing is marked when every character is drawn" 0 "1 text(s) drawn, 0 character(s)" -- preview --texts "$work/kept.txt" --out "$work/pv" --png "$work/pv.png"
cp -r "$work/uiprofile" "$work/narrow"
printf '[Profile]\nScreenWidth=40\nScreenHeight=30\n' > "$work/narrow/profile.ini"
printf 'screen S\n17\tABABABABABAB\n' > "$work/long.txt"
check "a line fits a wide screen" 0 ", 0 line(s) wider than the screen" -- preview --texts "$work/long.txt" --out "$work/pvl" --png "$work/pvl.png"
check "a line wider than the panel's screen is counted" 0 ", 1 line(s) wider than the screen" -- "$studio" preview "$work/p" --profile "$work/narrow" --texts "$work/long.txt" --out "$work/pvn" --png "$work/pvn.png"
check "a language the project lacks is refused before compiling" 2 "below the project's 2 languages" -- preview --texts "$work/kept.txt" --out "$work/pvlang" --png "$work/pvx.png" --language 2
if [ -e "$work/pvlang" ]; then echo "FAIL: a refused preview compiled"; fail=1; else echo "ok: nothing was compiled for it"; fi
check "an unknown screen is an error" 1 "no screen 'X'" -- preview --texts "$work/kept.txt" --out "$work/pv" --png "$work/pvx.png" --screen X
# A project (or the folder the studio runs in) cannot bring its own myFont.
printf 'open("%s/pwned", "w").close()\n' "$work" > "$work/p/myFont.py"
cp "$work/p/myFont.py" "$work/myFont.py"
check "compile to subset TrueType" 0 "wrote $work/t/Tahoma.ttf" -- sh -c "cd '$work' && '$studio' compile p --texts p/texts.txt --out t --target ttf --profile uiprofile"
if [ -e "$work/pwned" ]; then echo "FAIL: a myFont.py outside the studio was imported"; fail=1; else echo "ok: only the studio's myFont is imported"; fi

# Nothing the user has is lost: what a compile may empty, and what it refuses.
compile() { "$studio" compile "$work/p" --texts "$work/p/texts.txt" --target qpf2 --profile "$work/uiprofile" "$@"; }
mkdir -p "$work/foreign/sub"
echo mine > "$work/foreign/notes.txt"
check "a folder the studio did not make is not emptied" 1 "holds files that no compile wrote" -- compile --out "$work/foreign"
expect "the user's file is still there" test -f "$work/foreign/notes.txt"
ln -s "$work/foreign" "$work/foreign-link"
check "nor is it through a link" 1 "holds files that no compile wrote" -- compile --out "$work/foreign-link"
check "--force empties it" 0 "file(s) written" -- compile --out "$work/foreign" --force
# A compile killed while it marked its new folder left only the mark's temporary.
gone=$(sh -c 'echo $$')
mkdir -p "$work/unmarked"
echo half > "$work/unmarked/.tamsel-output.~$gone"
check "a folder a killed compile was marking is its own" 0 "file(s) written" -- compile --out "$work/unmarked"
expect "and the temporary is gone" test ! -e "$work/unmarked/.tamsel-output.~$gone"
mkdir -p "$work/unmarked2" && cp "$work/unmarked/.tamsel-output" "$work/unmarked2/.tamsel-output.~$$"
check "a live process's temporary is not taken for one" 1 "holds files that no compile wrote" -- compile --out "$work/unmarked2"
expect "--force emptied it" test ! -e "$work/foreign/notes.txt"
check "the project folder is refused" 1 "it is the project folder" -- compile --out "$work/p"
check "a folder above the project is refused" 1 "it holds the project folder" -- compile --out "$work"
expect "the project is whole" \
    test -f "$work/p/Font.hft" -a -f "$work/p/fpf.ini" -a -f "$work/p/texts.txt"
check "the root is refused, even with --force" 1 "root folder" -- compile --out / --force
mkdir -p "$work/home"
check "the home folder is refused" 1 "it is the home folder" -- env HOME="$work/home" "$studio" compile "$work/p" --texts "$work/p/texts.txt" --target qpf2 --profile "$work/uiprofile" --out "$work/home"
check "--texts must name a file" 1 "not a regular file" -- compile --texts "$work/p" --out "$work/q2"
expect "a refused compile makes no folder" test ! -e "$work/q2"
mkdir -p "$work/victim"
echo keep > "$work/victim/keep.txt"
check "a backslash in --out is part of a name" 0 "file(s) written" -- sh -c "cd '$work' && '$studio' compile p --texts p/texts.txt --out 'x\\..\\victim' --target qpf2 --profile uiprofile"
expect "the sibling folder is untouched" test -f "$work/victim/keep.txt" -a -d "$work/x\\..\\victim"
expect "the marked folder is rebuilt without --force" test -f "$work/q/.tamsel-output"

# Inputs that are not regular files neither block nor count as files.
mkdir -p "$work/fifo" "$work/fifoprofile/Fonts"
mkfifo "$work/fifo/Font.hft" "$work/fifo/fpf.ini" "$work/fifoprofile/Fonts/x.ttf"
cp "$fonts/Fonts/arial.ttf" "$work/fifoprofile/Fonts/"
check "a FIFO named Font.hft is no table" 0 "no font table" -- timeout 60 "$studio" fonts list "$work/fifo"
check "open does not wait on FIFOs" 0 "font(s), highest id 15" -- timeout 60 "$studio" open "$work/fifo" --no-dialog --profile "$work/fifoprofile"
expect "the FIFO named fpf.ini was kept aside" test -p "$work/fifo/fpf.ini.unreadable"
check "a FIFO among the fonts is no font" 0 "Arial" -- timeout 60 "$studio" faces --profile "$work/fifoprofile"

# A registry with a bad line keeps its other values and says which line.
mkdir -p "$work/regprofile/Fonts"
cp "$fonts/Fonts/arial.ttf" "$fonts/Fonts/tahoma.ttf" "$work/regprofile/Fonts/"
printf 'REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\n"Arial (TrueType)"="arial.ttf\n"Tahoma (TrueType)"="tahoma.ttf"\n' > "$work/regprofile/registry.reg"
check "a bad registry line is told, the rest kept" 0 "registry.reg line 3: unterminated string" \
    "Tahoma	Tahoma	tahoma.ttf" -- "$studio" faces --profile "$work/regprofile"

# Writes that fail are failures: a full disk (the file-size limit) fails the command.
full() {  # full BLOCKS COMMAND...: files beyond BLOCKS 512-byte blocks cannot be written
    sh -c 'trap "" XFSZ; ulimit -f "$0"; exec "$@"' "$@"
}
cp "$work/p/Font.hft" "$work/table-before"
check "fonts add on a full disk fails" 1 "cannot write" -- full 0 "$studio" fonts add "$work/p" --face Tahoma --size 44 --profile "$work/uiprofile"
check "fonts prune on a full disk fails" 1 "cannot write" -- full 0 "$studio" fonts prune "$work/p" --texts "$work/p/texts.txt" --profile "$work/uiprofile"
if cmp -s "$work/table-before" "$work/p/Font.hft"; then echo "ok: the table is as it was"; else echo "FAIL: a failed save changed the table"; fail=1; fi
check "a compile on a full disk fails" 1 "qpf2: cannot write" -- full 1 "$studio" compile "$work/p" --texts "$work/p/texts.txt" --out "$work/q3" --target qpf2 --incremental --profile "$work/uiprofile"
if ls -a "$work/q3/qpf2" | grep -q '\.~'; then echo "FAIL: a temporary file was left"; fail=1; else echo "ok: no temporary file was left"; fi
for f in "$work"/q3/qpf2/*.qpf2; do
    [ -e "$f" ] || continue
    if [ "$(wc -c < "$f")" -gt 512 ] || ! QT_QPA_PLATFORM=offscreen "$(dirname "$studio")/qpf2check" "$f" >/dev/null 2>&1; then
        echo "FAIL: a cut-short file was left: $f"; fail=1
    fi
done
check "the next compile writes what failed" 0 "wrote $work/q3/qpf2/" -- compile --out "$work/q3" --incremental
mkdir -p "$work/p/Font.hft.d" && mv "$work/p/Font.hft" "$work/table-moved" && mv "$work/p/Font.hft.d" "$work/p/Font.hft"
check "a folder named Font.hft cannot be replaced" 1 "could not write" -- "$studio" fonts save "$work/p"
exit $fail
