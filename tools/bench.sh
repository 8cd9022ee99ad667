#!/usr/bin/env bash
# Measures Morvane under Wine, each figure beside its floor in the same run,
# in a throwaway copy of the template prefix, and prints the table the README
# quotes; the same text goes to BUILD/bench.txt.
#   bench.sh [BUILD_DIR] [TEMPLATE_PREFIX]
# BENCH_RUNS       start-up rounds under the null driver (48)
# BENCH_X11_RUNS   start-up rounds under Xvfb with the X11 driver (16)
# BENCH_CTL_RUNS   rounds of `morvanectl list` and its two floors (60)
# BENCH_PROFILES_RUNS rounds of `--all-users check` over 1, 10 and 50 profiles (15)
# BENCH_QUIET_WAIT longest wait in seconds for a quiet machine before each
#                  batch of rounds (60); a batch then starts anyway, and the
#                  table says so
# BENCH_SECTIONS   the sections to run, by name without "section_", in order
#                  (all of them: "header startup_null startup_x11 inside
#                  sizes ctl profiles")
#
# The table is made of sections, each a function below that prints its part,
# run in the order of SECTIONS at the end. A new line is one more function
# and its name in SECTIONS.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
wine=$here/wine.sh
build=$(cd "${1:-$root/build}" && pwd)
template=${2:-$build/wine-template}
prefix=$build/wine-bench
out=$build/bench.txt

exe=$build/morvane.exe
bench=$build/bench/morvane_bench.exe
floor=$build/bench/morvane_floor.exe
floor_cc=$build/bench/morvane_floor_cc.exe
floor_same=$build/bench/morvane_floor_same.exe
for f in "$exe" "$bench" "$floor" "$floor_cc" "$floor_same" "$build/bench/morvane_phases.exe" \
    "$build/bench/morvane_floor_list.exe" "$build/bench/morvane_floor_console.exe"; do
    [ -f "$f" ] || { echo "missing $f: run make bench" >&2; exit 1; }
done
programs=(--program "$exe" --floor "$floor" --floor-cc "$floor_cc" --floor-same "$floor_same")
quiet_wait=${BENCH_QUIET_WAIT:-60}

xvfb=
cleanup() {
    "$root/tests/wine/prefix.sh" stop "$prefix"
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$prefix"
}
"$root/tests/wine/prefix.sh" fresh "$template" "$prefix"
trap cleanup EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=

quiet() { "$@" </dev/null >/dev/null 2>&1; }
# Wine's note about its missing 32-bit half is no part of the table.
quiet_wine() {
    "$wine" "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-arch' \
        -e 'apt-get install wine32' >&2)
}

# Restarts the prefix's wineserver, warmed, optionally logging every request
# (its pid then in $logging_server).
logging_server=
restart_server() {
    quiet wineserver -k || true
    quiet wineserver -w || true
    if [ -n "${1:-}" ]; then
        wineserver -f -d2 2>"$1" </dev/null >/dev/null &
        logging_server=$!
        sleep 0.5
    else
        quiet wineserver -p
    fi
    quiet "$wine" cmd /c exit || true
}

# Server requests from process start to the main window visible and to its
# first paint done, one start each, counted in a wineserver debug log; they
# do not depend on the load of the machine.
count_requests() {
    local driver=$1 log=$build/bench-requests.log
    restart_server "$log"
    quiet_wine "$bench" --only startup --count "${programs[@]}" >/dev/null
    quiet wineserver -k || true
    wait "$logging_server" || true
    echo "   wineserver requests, $driver (one start each, from a wineserver -d2 log):"
    python3 "$root/bench/count_requests.py" "$log"
    rm -f "$log"
    restart_server
}

section_header() {
    echo "Morvane benchmark, $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "$(wine --version 2>/dev/null), $(nproc) CPUs ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')), Linux $(uname -r)"
    echo "Each figure is measured beside its floor in the same run, in a throwaway prefix"
    echo "copied from the test template, wineserver warmed first."
}

section_startup_null() {
    quiet_wine "$bench" --only startup "${programs[@]}" --runs "${BENCH_RUNS:-48}" \
        --quiet-wait "$quiet_wait" --driver "null display driver"
    count_requests "null display driver"
}

# What a user sees: the X11 driver on an X server (Xvfb), no window manager.
# Managed=N stays from the template: without it every hide waits 2 s.
section_startup_x11() {
    quiet wineserver -k || true
    quiet wineserver -w || true
    (unset DISPLAY; quiet "$wine" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f) || true
    quiet wineserver -w || true
    source "$here/xvfb.sh"
    start_xvfb
    restart_server
    quiet_wine "$bench" --only startup "${programs[@]}" --runs "${BENCH_X11_RUNS:-16}" \
        --batch 4 --quiet-wait "$quiet_wait" --driver "X11 driver on Xvfb" --section 1b
    count_requests "X11 driver on Xvfb"
    quiet wineserver -k || true
    quiet wineserver -w || true
    kill "$xvfb" 2>/dev/null || true
    xvfb=
    export DISPLAY=
    (quiet "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f) || true
    restart_server
}

section_inside() {
    quiet_wine "$bench" --only phases,registry,clicks,notice
}

objdump=x86_64-w64-mingw32-objdump
imports() { "$objdump" -p "$1" | awk '/DLL Name:/ { print $3 }'; }

section_sizes() {
    echo
    echo "5. morvane.exe: size and imported DLLs (objdump -p)"
    local size floor_size
    size=$(stat -c %s "$exe")
    floor_size=$(stat -c %s "$floor")
    printf '   %-44s %9d bytes (%s KB)   goal <= 350 KB: %s\n' "morvane.exe" "$size" \
        "$(awk -v s="$size" 'BEGIN { printf "%.0f", s / 1000 }')" \
        "$([ "$size" -le 350000 ] && echo met || echo MISSED)"
    printf '   %-44s %9d bytes (an empty dialog, same toolchain)\n' "floor" "$floor_size"
    [ -f "$exe.debug" ] && printf '   %-44s %9d bytes (symbols and debug information)\n' \
        "morvane.exe.debug, beside it" "$(stat -c %s "$exe.debug")"
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

# `morvanectl list` beside a console program making the same reads bare, and
# an empty one for process start.
section_ctl() {
    local ctl=$build/morvanectl.exe
    if [ ! -f "$ctl" ]; then
        echo
        echo "6. morvanectl list: skipped, morvanectl.exe is missing from the build folder"
        return
    fi
    quiet_wine "$bench" --only ctl --ctl "$ctl" --ctl-floor "$build/bench/morvane_floor_list.exe" \
        --ctl-empty "$build/bench/morvane_floor_console.exe" --ctl-runs "${BENCH_CTL_RUNS:-60}" \
        --batch 10 --quiet-wait "$quiet_wait"
}

# `morvanectl --all-users check` over 1, 10 and 50 profile files beside one
# `--hive` check, in this throwaway prefix's own profile list.
section_profiles() {
    local ctl=$build/morvanectl.exe
    [ -f "$ctl" ] || { echo; echo "7. morvanectl --all-users: skipped, no morvanectl.exe"; return; }
    quiet_wine "$bench" --only profiles --ctl "$ctl" --profiles-runs "${BENCH_PROFILES_RUNS:-15}" \
        --batch 5 --quiet-wait "$quiet_wait"
}

SECTIONS=(section_header section_startup_null section_startup_x11 section_inside section_sizes
    section_ctl section_profiles)
if [ -n "${BENCH_SECTIONS:-}" ]; then
    SECTIONS=()
    for name in $BENCH_SECTIONS; do
        declare -F "section_$name" >/dev/null || { echo "no bench section $name" >&2; exit 2; }
        SECTIONS+=("section_$name")
    done
fi

exec > >(tee "$out")
for section in "${SECTIONS[@]}"; do
    "$section"
done
echo
echo "Written to $out"
