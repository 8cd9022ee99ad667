#!/usr/bin/env bash
# Measures Morvane under Wine, each figure beside its floor in the same run,
# in a throwaway copy of the template prefix, and prints the table the README
# quotes; the same text goes to BUILD/bench.txt.
#   bench.sh [BUILD_DIR] [TEMPLATE_PREFIX]
# BENCH_RUNS sets the start-up runs per program (15).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
template=${2:-$build/wine-template}
prefix=$build/wine-bench
out=$build/bench.txt

exe=$build/morvane.exe
bench=$build/bench/morvane_bench.exe
floor=$build/bench/morvane_floor.exe
floor_dlls=$build/bench/morvane_floor_dlls.exe
for f in "$exe" "$bench" "$floor" "$floor_dlls" "$build/bench/morvane_phases.exe"; do
    [ -f "$f" ] || { echo "missing $f: build first" >&2; exit 1; }
done

"$root/tests/wine/prefix.sh" fresh "$template" "$prefix"
trap '"$root/tests/wine/prefix.sh" stop "$prefix"; rm -rf "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=

# Wine's note about its missing 32-bit half is no part of the table.
quiet_wine() {
    wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-arch' \
        -e 'apt-get install wine32' >&2)
}

objdump=x86_64-w64-mingw32-objdump
imports() { "$objdump" -p "$1" | awk '/DLL Name:/ { print $3 }'; }

sizes_and_imports() {
    echo
    echo "5. morvane.exe: size and imported DLLs (objdump -p)"
    local size floor_size
    size=$(stat -c %s "$exe")
    floor_size=$(stat -c %s "$floor")
    printf '   %-44s %9d bytes (%s MiB)\n' "morvane.exe" "$size" \
        "$(awk -v s="$size" 'BEGIN { printf "%.2f", s / 1048576 }')"
    printf '   %-44s %9d bytes (an empty dialog, same toolchain)\n' "floor" "$floor_size"
    local dlls missing="" foreign=""
    dlls=$(imports "$exe" | sort -f | paste -sd' ')
    printf '   %-44s %s\n' "imports" "$dlls"
    for dll in $dlls; do
        if echo "$dll" | grep -qiE 'libgcc|libstdc|libwinpthread'; then
            foreign="$foreign $dll"
        elif [ -z "$(find "$prefix/drive_c/windows/system32" -maxdepth 1 -iname "$dll" -print -quit)" ]; then
            missing="$missing $dll"
        fi
    done
    if [ -z "$foreign$missing" ]; then
        printf '   %-44s %s\n' "only system DLLs" \
            "yes: each is in system32, none from the compiler (goal: met)"
    else
        printf '   %-44s %s\n' "only system DLLs" "NO:${foreign:+ compiler DLLs$foreign}${missing:+ not in system32$missing} (goal: MISSED)"
    fi
}

{
    echo "Morvane benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "$(wine --version 2>/dev/null), $(nproc) CPUs ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')), Linux $(uname -r)"
    echo "Each figure is a median, measured beside its floor in the same run, in a throwaway"
    echo "prefix copied from the test template (null display driver), wineserver warmed first."
    quiet_wine "$bench" --program "$exe" --floor "$floor" --floor-dlls "$floor_dlls" \
        --runs "${BENCH_RUNS:-15}"
    sizes_and_imports
} | tee "$out"
echo
echo "Written to $out"
