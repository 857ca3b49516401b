#!/bin/sh
# A longer run of the model-based test of incremental compiles (ctest
# studio_model runs seeds 1-6): SEEDS random sequences of changes from seed
# FIRST on, each incremental compile compared with a clean one. A failing
# sequence is printed shrunk, with the --replay argument that runs it alone:
#   /usr/bin/python3 tests/studio/model_test.py build/bin/tamsel-studio build/testfonts --replay '...'
#   scripts/model.sh [SEEDS [FIRST [BUILD]]]   (defaults: 200, 1, build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
seeds=${1:-200}
first=${2:-1}
build=$root/${3:-build}
[ -x "$build/bin/tamsel-studio" ] || { echo "model.sh: build $build first (scripts/build.sh)" >&2; exit 1; }
exec /usr/bin/python3 "$root/tests/studio/model_test.py" "$build/bin/tamsel-studio" "$build/testfonts" \
    --seeds "$seeds" --first "$first"
