#!/usr/bin/env bash
# Runs a whole-program test against the real executable in a throwaway prefix
# of its own, so the program may change the prefix's registry for real.
#   run.sh TEMPLATE_PREFIX WORK_PREFIX TEST_EXE PROGRAM_EXE [test args...]
set -euo pipefail
template=$1 prefix=$2 test_exe=$3 program=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
"$here/../wine/prefix.sh" fresh "$template" "$prefix"
trap '"$here/../wine/prefix.sh" stop "$prefix"' EXIT
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
wine "$test_exe" "$program" "$@"
