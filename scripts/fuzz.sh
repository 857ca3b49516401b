#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one on a seed corpus.
#   scripts/fuzz.sh [SECONDS_PER_TARGET [TARGET...]]
# SECONDS defaults to 30; 0 is the short smoke run of the test command (a
# fixed number of runs per target from a fresh copy of the seeds). Timed runs
# keep their corpus in build-fuzz/corpus/TARGET and grow it from run to run.
# Findings are written to build-fuzz/findings/. TAMSEL_WERROR=ON builds the
# targets with warnings as errors, as the test command does.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-30}
[ $# -gt 0 ] && shift
# In pairs of about the same smoke-run time.
all="fuzz_unit_records fuzz_multilang fuzz_gdi_fonts fuzz_texts fuzz_registry fuzz_profile
     fuzz_qpf2 fuzz_language fuzz_fonttable fuzz_truetype_names fuzz_packconfig fuzz_face_cache"
targets=${*:-$all}
command -v clang++ >/dev/null || { echo "clang++ not installed: skipping the fuzz targets"; exit 0; }
build="$root/build-fuzz"
cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DTAMSEL_FUZZ=ON -DTAMSEL_BUILD_TESTS=OFF -DTAMSEL_WERROR="${TAMSEL_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target $targets

# Small valid fonts (TrueType, a collection, raster .fnt) as font seeds.
fonts="$build/testfonts"
if [ ! -f "$fonts/manifest.json" ]; then
    rm -rf "$fonts"
    /usr/bin/python3 "$root/tests/fixtures/make_test_fonts.py" "$fonts" >/dev/null
fi

# The fuzzed profiles' faces are not cached in the user's cache folder.
export TAMSEL_FONT_CACHE=off
# UBSan findings end the run like crashes; hangs and huge allocations are findings too.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
findings="$build/findings"
mkdir -p "$findings"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

seed() {  # seed TARGET DIR: writes the seed corpus of TARGET into DIR
    t=$1 d=$2
    case $t in
    fuzz_fonttable) cp "$root/examples/demo/Font.hft" "$d/" ;;
    fuzz_packconfig) cp "$root/examples/demo/fpf.ini" "$d/" ;;
    fuzz_truetype_names | fuzz_gdi_fonts | fuzz_qpf2)
        cp "$fonts"/Fonts/* "$d/"
        find /usr/share/fonts -name 'DejaVuSans.ttf' | head -1 | xargs -r -I{} cp {} "$d/"
        # The QPF2 target reads its input as a QPF2 file too.
        if [ "$t" = fuzz_qpf2 ]; then /usr/bin/python3 "$root/fuzz/qpf2_seed.py" "$d/a.qpf2"; fi
        ;;
    fuzz_texts)
        cp "$root/examples/demo/texts.txt" "$d/"
        printf '\357\273\277# escapes, CRLF, a BOM\r\nscreen Main\r\n16,18\tTab\\tin\\\\text\tLine\\nbreak\r\n17\t\r\n\r\nscreen Alarms\r\n0,65535,1\ta\tb\tc\r\n' >"$d/escapes.txt"
        # Scripts that shape, bidi controls, lone marks and a long line.
        printf 'screen S\n16\t\331\205\330\261\330\255\330\250\330\247 (abc) \327\251\327\234\327\225\327\235\n17\t\340\244\250\340\244\256\340\244\270\340\245\215\340\244\244\340\245\207\n18\t\342\200\256\331\205\342\200\254\314\201\331\216\342\201\247\327\220\342\201\251\n' >"$d/scripts.txt"
        /usr/bin/python3 -c 'print("screen L\n16\t" + "\u0644\u0627 \u0645\u0631\u062d\u0628\u0627 " * 1500)' >"$d/long.txt" ;;
    fuzz_registry)
        cat >"$d/fonts.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Fonts]
"DejaVu Sans (TrueType)"="DejaVuSans.ttf"
"SimSun & NSimSun (TrueType)"="C:\\Windows\\Fonts\\simsun.ttc"
"Arial Bold (TrueType)"="arialbd.ttf"
"Quote \"Q\" (TrueType)"="q.TTF"
"Small Fonts"="SMALLE.FON"
"Flag"=dword:0000002a
"Blob"=hex:01,02,\
  03,ff
"Path"=hex(2):25,00,53,00,00,00
"Gone"=-
@="default"

[HKEY_CURRENT_USER\Software\Studio]
"Dir"="C:\\Projects"
EOF
        printf 'REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts]\n"Tahoma (TrueType)"="tahoma.ttf"\n"Bad"=hex:zz\n"Long"=dword:123456789\n[Broken\n"Lost"="x"\n' >"$d/regedit4.reg"
        { printf '\377\376'; iconv -f UTF-8 -t UTF-16LE "$d/fonts.reg"; } >"$d/utf16.reg" ;;
    fuzz_profile)
        printf '[Profile]\nLocale=zh-CN\nAnsiCodePage=936\nDpi=96\nScreenWidth=1920\nScreenHeight=1080\nIconTitleFont=DejaVu Sans,-12,400,0\n' >"$d/profile.ini"
        printf '\357\273\277; extremes\r\n[Profile]\r\nLocale=en_us\r\nDpi=960\r\nIconTitleFont=DejaVu Sans,-2147483648,2147483647,1\r\n' >"$d/extremes.ini"
        printf 'IconTitleFont=x,2147483647,-2147483648\nDpi=48\n' >"$d/weights.ini" ;;
    fuzz_language)
        cp "$root"/host/velmora/lang/*.lng "$d/"
        printf '[Language]\nPrefix=FZ_\n[Strings]\nSTR_40001=Font%%d\\n\\t\\\\x\n[Tamsel]\n3001=Caption\n3001.1=One\n3001.1001 = Two\n3001.x=bad\n' >"$d/small.lng" ;;
    fuzz_unit_records)
        printf 'dejavu_sans_12_50.qpf2\t 1Aalmr\nvictim_16384_50_italic.qpf2\t e\\t\\\\\n../victim\tx\nlink\tlink\nup\tabc\nold\tnew\n' >"$d/qpf.rec"
        printf 'DejaVu Sans\t 1Aalmr\n_victim\tx\\ny\n..\tabc\nsub\tsub\nvictim\t\\r\\n\n' >"$d/ttf.rec"
        # As builds write them now: the file and what it held.
        printf 'dejavu_sans_12_50.qpf2\t 1Aalmr\tdejavu_sans_12_50.qpf2\t4,1,2,3,00000000000000ff\nold\tnew\t../old\t4,1,1,1,0\nlink\tlink\tlink\t-4,1,1,1,0\n' >"$d/qpf-stamped.rec"
        printf 'DejaVu Sans\t 1Aalmr\tDejaVu Sans.ttf\t4,1,2,3,1\nPack\tx\t\t\nvictim\tv\tvictim.ttc\t9,9,9,9,9\nsub\ts\tsub.ttf\t\n' >"$d/ttf-stamped.rec"
        # With the faces each was made from and their font files' stamps.
        printf 'dejavu_sans_12_50.qpf2\tDejaVu Sans\037\03712\03750\037 1A\035\036\tdejavu_sans_12_50.qpf2\t4,1,2,3,ff\tDejaVuSans.ttf#0\037DejaVu Sans\037--\03712\tDejaVuSans.ttf\t9,1,1,1,2\n../x\tv\t\t\t\t../../etc/passwd\t1,1,1,1,1\n' >"$d/qpf-faced.rec"
        printf '\377\t\\\n\t\n\\\n' >"$d/odd.rec" ;;
    fuzz_face_cache)  # edits of the good cache: none, a byte in a name, a cut
        printf '\000' >"$d/good"
        printf '\000\100\000\000\000\101' >"$d/edit"
        printf '\000\220\001\000\000' >"$d/cut" ;;
    esac
}

# The smoke run's budget per target: a few thousand runs where a run is
# cheap, fewer where each loads a profile, writes a folder or renders fonts.
runs_of() {
    case $1 in
    fuzz_unit_records) echo 200 ;;
    fuzz_gdi_fonts | fuzz_qpf2) echo 300 ;;
    fuzz_registry | fuzz_language | fuzz_face_cache) echo 600 ;;
    fuzz_truetype_names | fuzz_fonttable | fuzz_packconfig) echo 1000 ;;
    *) echo 3000 ;;
    esac
}

run() {  # run TARGET: fuzzes it, log in $scratch/TARGET.log, failure marked by $scratch/TARGET.failed
    t=$1
    if [ "$secs" -eq 0 ]; then corpus="$scratch/$t"; else corpus="$build/corpus/$t"; fi
    mkdir -p "$corpus"
    seed "$t" "$corpus"
    case $t in
    fuzz_truetype_names | fuzz_gdi_fonts | fuzz_qpf2) maxlen=131072 ;;  # fonts are larger than texts
    *) maxlen=4096 ;;
    esac
    # A hang is a finding: no single input may take 20 seconds.
    set -- -max_len=$maxlen -timeout=20 -artifact_prefix="$findings/$t-" -print_final_stats=1
    if [ "$secs" -eq 0 ]; then
        set -- "$@" -runs="$(runs_of "$t")" -seed=1
    else
        set -- "$@" -max_total_time="$secs"
    fi
    "$build/bin/$t" "$@" "$corpus" >"$scratch/$t.log" 2>&1 || touch "$scratch/$t.failed"
    if grep -qE 'ERROR: |fuzz check failed|runtime error' "$scratch/$t.log"; then touch "$scratch/$t.failed"; fi
}

report() {  # report TARGET
    t=$1
    printf '== %s: %s\n' "$t" "$(grep -E '^stat::(number_of_executed_units|average_exec_per_sec)' "$scratch/$t.log" |
        sed 's/^stat::number_of_executed_units: */runs /; s/^stat::average_exec_per_sec: */exec\/s /' | paste -sd, -)"
    if [ -e "$scratch/$t.failed" ]; then
        cat "$scratch/$t.log" >&2
        status=1
    fi
}

# Two targets at a time where there are two cores.
parallel=1
[ "$(nproc)" -ge 2 ] && parallel=2
status=0
set -- $targets
while [ $# -gt 0 ]; do
    first=$1
    shift
    second=
    if [ "$parallel" -ge 2 ] && [ $# -gt 0 ]; then
        second=$1
        shift
    fi
    run "$first" &
    pid=$!
    [ -n "$second" ] && run "$second"
    wait "$pid"
    report "$first"
    [ -n "$second" ] && report "$second"
done
exit $status
