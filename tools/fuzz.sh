#!/bin/bash
# Fuzzes every parser of untrusted input with libFuzzer for a bounded time:
# the GIF block walk, the backup reader, the preset reader and the reader of
# a GPO's preference files.
#
# Builds tests/native's fuzz targets natively with clang (ASan, UBSan), fetches
# the GIF seed corpus (tools/fuzz_corpus.sh), then runs each target in turn
# from its seeds (the readers' are committed in tests/fuzz) with its
# dictionary.
#
# Environment:
#   FUZZ_SECONDS   run time of each target in seconds (default 600)
#   FUZZ_MAX_LEN   largest input the fuzzer makes, in bytes (default 65536)
#   FUZZ_TARGETS   the targets to run (default "gif_walk regfile preset gppfile")
#   FUZZ_DIR       work folder (default build/fuzz): seeds/ (GIFs), and for each
#                  target TARGET/corpus (inputs found while fuzzing),
#                  TARGET/artifacts (crashing inputs), TARGET/fuzz.log
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_TO_RUN=${FUZZ_SECONDS:-600}
MAX_LEN=${FUZZ_MAX_LEN:-65536}
TARGETS=${FUZZ_TARGETS:-"gif_walk regfile preset gppfile"}
DIR=${FUZZ_DIR:-"$ROOT/build/fuzz"}
CXX_CLANG=${FUZZ_CXX:-clang++}

command -v "$CXX_CLANG" >/dev/null || {
    echo "fuzz: $CXX_CLANG not found (apt-get install clang libclang-rt-dev)" >&2
    exit 1
}

mkdir -p "$DIR"
case " $TARGETS " in
*" gif_walk "*) "$ROOT/tools/fuzz_corpus.sh" "$DIR/seeds" ;;
esac

cmake -S "$ROOT/tests/native" -B "$DIR/cmake" -DCMAKE_CXX_COMPILER="$CXX_CLANG" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGIF_WALK_SEED_DIR="$DIR/seeds" >"$DIR/cmake.log"
for target in $TARGETS; do
    cmake --build "$DIR/cmake" --target "${target}_fuzz" -j2 >>"$DIR/cmake.log"
done

# Tokens of the GIF block structure, so mutations build blocks sooner.
cat >"$DIR/gif_walk.dict" <<'DICT'
"GIF89a"
"GIF87a"
"\x21\xF9\x04"
"\x21\xFF\x0BNETSCAPE2.0"
"\x21\xFE"
"\x21\x01\x0C"
"\x2C"
"\x3B"
"\x00\x3B"
"\x00\x2C"
"\x00\x21"
DICT

# One target for SECONDS_TO_RUN: 0 when clean, else the fuzzer's exit code.
run() {
    local target=$1 seeds=$2 dict=$3 work="$DIR/$1"
    mkdir -p "$work/corpus" "$work/artifacts"
    echo "fuzz: running ${target}_fuzz for $SECONDS_TO_RUN s, seeds $(ls "$seeds" | wc -l)"
    local rc=0
    "$DIR/cmake/${target}_fuzz" -max_total_time="$SECONDS_TO_RUN" -max_len="$MAX_LEN" \
        -timeout=10 -print_final_stats=1 -dict="$dict" -artifact_prefix="$work/artifacts/" \
        "$work/corpus" "$seeds" >"$work/fuzz.log" 2>&1 || rc=$?
    local last runs rate
    last=$(grep -E '^#[0-9]+' "$work/fuzz.log" | tail -n 1 || true)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/fuzz.log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/fuzz.log")
    echo "fuzz: $target last status: $last"
    echo "fuzz: $target executions: ${runs:-?} (${rate:-?}/s), corpus now $(ls "$work/corpus" | wc -l) inputs"
    if [ $rc -ne 0 ]; then
        tail -n 40 "$work/fuzz.log"
        echo "fuzz: $target FAILED (exit $rc); crashing input in $work/artifacts/, log $work/fuzz.log" >&2
    else
        echo "fuzz: $target clean; log $work/fuzz.log"
    fi
    return $rc
}

failed=0
for target in $TARGETS; do
    case $target in
    gif_walk) run gif_walk "$DIR/seeds" "$DIR/gif_walk.dict" || failed=$? ;;
    regfile | preset | gppfile) run "$target" "$ROOT/tests/fuzz/$target-corpus" "$ROOT/tests/fuzz/$target.dict" || failed=$? ;;
    *) echo "fuzz: unknown target $target" >&2; exit 2 ;;
    esac
done
exit $failed
