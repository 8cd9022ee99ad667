#!/usr/bin/env bash
# Runs a whole-program test against the real executable in a throwaway prefix
# of its own, so the program may change the prefix's registry for real. The
# prefix is removed when the test passes and kept for inspection when it
# fails, with the run's whole output in it (test-output.txt) and what the
# kernel logged about crashed processes (kernel.txt); the last lines then name
# the tests that failed.
#   run.sh TEMPLATE_PREFIX WORK_PREFIX TEST_EXE PROGRAM_EXE [test args...]
set -euo pipefail
template=$1 prefix=$2 test_exe=$3 program=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
"$here/../wine/prefix.sh" fresh "$template" "$prefix"
# Also when CTest's timeout or a signal ends the run: the prefix stays.
trap '"$here/../wine/prefix.sh" stop "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
# Into a file, not a pipe: a program the test starts may keep its streams
# until the prefix's server ends.
output=$prefix/test-output.txt
status=0
"$here/../../tools/wine.sh" "$test_exe" "$program" "$@" >"$output" 2>&1 || status=$?
cat "$output"
trap - EXIT
if [ "$status" -eq 0 ]; then
    "$here/../wine/prefix.sh" drop "$prefix"
else
    "$here/../wine/prefix.sh" stop "$prefix"
    echo "failed with exit code $status; its prefix is kept: $prefix, the output in $output" >&2
    grep -F '[  FAILED  ] ' "$output" | sort -u >&2 || echo "no test reported a failure" >&2
    # A Wine process that died before it could report: the kernel saw it.
    if dmesg >/dev/null 2>&1; then
        dmesg | grep -iE 'segfault|general protection|trap|out of memory|killed process' |
            tail -n 20 >"$prefix/kernel.txt" || true
        if [ -s "$prefix/kernel.txt" ]; then cat "$prefix/kernel.txt" >&2; fi
    fi
fi
exit "$status"
