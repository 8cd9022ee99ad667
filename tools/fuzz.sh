#!/bin/bash
# Fuzzes the GIF block walk with libFuzzer for a bounded time.
#
# Builds tests/native's gif_walk_fuzz target natively with clang (ASan, UBSan),
# fetches the seed corpus (tools/fuzz_corpus.sh), then runs the fuzzer.
#
# Environment:
#   FUZZ_SECONDS   run time in seconds (default 600)
#   FUZZ_MAX_LEN   largest input the fuzzer makes, in bytes (default 65536)
#   FUZZ_DIR       work folder (default build/fuzz): seeds/, corpus/ (inputs
#                  found while fuzzing), artifacts/ (crashing inputs), fuzz.log
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SECONDS_TO_RUN=${FUZZ_SECONDS:-600}
MAX_LEN=${FUZZ_MAX_LEN:-65536}
DIR=${FUZZ_DIR:-"$ROOT/build/fuzz"}
CXX_CLANG=${FUZZ_CXX:-clang++}

command -v "$CXX_CLANG" >/dev/null || {
    echo "fuzz: $CXX_CLANG not found (apt-get install clang libclang-rt-dev)" >&2
    exit 1
}

"$ROOT/tools/fuzz_corpus.sh" "$DIR/seeds"

cmake -S "$ROOT/tests/native" -B "$DIR/cmake" -DCMAKE_CXX_COMPILER="$CXX_CLANG" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGIF_WALK_SEED_DIR="$DIR/seeds" >"$DIR/cmake.log"
cmake --build "$DIR/cmake" --target gif_walk_fuzz -j2 >>"$DIR/cmake.log"

mkdir -p "$DIR/corpus" "$DIR/artifacts"
# Tokens of the GIF block structure, so mutations build blocks sooner.
cat >"$DIR/gif.dict" <<'DICT'
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

echo "fuzz: running gif_walk_fuzz for $SECONDS_TO_RUN s, seeds $(ls "$DIR/seeds" | wc -l)"
set +e
"$DIR/cmake/gif_walk_fuzz" -max_total_time="$SECONDS_TO_RUN" -max_len="$MAX_LEN" \
    -timeout=10 -print_final_stats=1 -dict="$DIR/gif.dict" \
    -artifact_prefix="$DIR/artifacts/" "$DIR/corpus" "$DIR/seeds" >"$DIR/fuzz.log" 2>&1
rc=$?
set -e

last=$(grep -E '^#[0-9]+' "$DIR/fuzz.log" | tail -n 1 || true)
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$DIR/fuzz.log")
rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$DIR/fuzz.log")
echo "fuzz: last status: $last"
echo "fuzz: executions: ${runs:-?} (${rate:-?}/s), corpus now $(ls "$DIR/corpus" | wc -l) inputs"
if [ $rc -ne 0 ]; then
    tail -n 40 "$DIR/fuzz.log"
    echo "fuzz: FAILED (exit $rc); crashing input in $DIR/artifacts/, log $DIR/fuzz.log" >&2
    exit $rc
fi
echo "fuzz: clean; log $DIR/fuzz.log"
