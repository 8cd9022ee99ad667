#!/bin/sh
# Prepares the seed corpus for the GIF walk fuzz target and its replay: the
# real-world GIFs shipped in Debian's gdk-pixbuf-tests package, fetched when
# needed and never committed.
#
# Usage: tools/fuzz_corpus.sh [SEED_DIR]     (default build/fuzz/seeds)
# Exits 0 when the seeds are in place, non-zero when they could not be fetched.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
SEEDS=${1:-"$ROOT/build/fuzz/seeds"}
WORK=$(dirname "$SEEDS")/seed-package

count_seeds() {
    find "$SEEDS" -maxdepth 1 -type f -name '*.gif' 2>/dev/null | wc -l
}

if [ "$(count_seeds)" -gt 0 ]; then
    echo "fuzz corpus: $(count_seeds) seed GIFs already in $SEEDS"
    exit 0
fi

rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK"
# apt-get download needs the package lists; update them only when it fails.
if ! apt-get download gdk-pixbuf-tests >download.log 2>&1; then
    apt-get update >update.log 2>&1 || true
    if ! apt-get download gdk-pixbuf-tests >download.log 2>&1; then
        cat download.log >&2
        echo "fuzz corpus: cannot download gdk-pixbuf-tests" >&2
        exit 1
    fi
fi
dpkg -x gdk-pixbuf-tests_*.deb root

mkdir -p "$SEEDS.tmp"
# Flatten the package's folders into file names, so that equal base names
# (tests that pass and tests that must fail) stay apart.
find root -type f -iname '*.gif' | while IFS= read -r f; do
    name=$(printf '%s' "${f#root/usr/libexec/installed-tests/gdk-pixbuf/}" | tr '/' '_')
    cp "$f" "$SEEDS.tmp/$name"
done
rm -rf "$SEEDS"
mv "$SEEDS.tmp" "$SEEDS"
cd "$ROOT"
rm -rf "$WORK"

if [ "$(count_seeds)" -eq 0 ]; then
    echo "fuzz corpus: the package held no GIF files" >&2
    exit 1
fi
echo "fuzz corpus: $(count_seeds) seed GIFs in $SEEDS"
