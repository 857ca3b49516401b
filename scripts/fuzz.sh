#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one.
#   scripts/fuzz.sh [SECONDS_PER_TARGET]   (default 30; 0 = a short smoke run)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
secs=${1:-30}
command -v clang++ >/dev/null || { echo "clang++ not installed: skipping the fuzz targets"; exit 0; }
cmake -S "$root" -B "$root/build-fuzz" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DTAMSEL_FUZZ=ON -DTAMSEL_BUILD_TESTS=OFF >/dev/null
targets="fuzz_multilang fuzz_fonttable fuzz_truetype_names fuzz_packconfig"
cmake --build "$root/build-fuzz" -j "$(nproc)" --target $targets
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
for t in $targets; do
    mkdir -p "$corpus/$t"
    case $t in
        fuzz_fonttable) cp "$root/examples/demo/Font.hft" "$corpus/$t/" ;;
        fuzz_packconfig) cp "$root/examples/demo/fpf.ini" "$corpus/$t/" ;;
        fuzz_truetype_names) find /usr/share/fonts -name '*.ttf' | head -5 | xargs -r -I{} cp {} "$corpus/$t/" ;;
    esac
    if [ "$secs" -eq 0 ]; then
        "$root/build-fuzz/bin/$t" -runs=3000 -max_len=4096 "$corpus/$t"
    else
        "$root/build-fuzz/bin/$t" -max_total_time="$secs" "$corpus/$t"
    fi
done
