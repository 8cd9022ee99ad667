#!/usr/bin/env bash
# Runs a whole-program test against the real executable in a throwaway prefix
# of its own, so the program may change the prefix's registry for real. The
# prefix is removed when the test passes and kept for inspection when it
# fails.
#   run.sh TEMPLATE_PREFIX WORK_PREFIX TEST_EXE PROGRAM_EXE [test args...]
set -euo pipefail
template=$1 prefix=$2 test_exe=$3 program=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
"$here/../wine/prefix.sh" fresh "$template" "$prefix"
# Also when CTest's timeout or a signal ends the run: the prefix stays.
trap '"$here/../wine/prefix.sh" stop "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
status=0
wine "$test_exe" "$program" "$@" || status=$?
trap - EXIT
if [ "$status" -eq 0 ]; then
    "$here/../wine/prefix.sh" drop "$prefix"
else
    "$here/../wine/prefix.sh" stop "$prefix"
    echo "failed with exit code $status; its prefix is kept: $prefix" >&2
fi
exit "$status"
