#!/usr/bin/env bash
# Passes when a run fails and says why, as a run that selects no test must.
#   refused.sh TEXT KEPT COMMAND [args...]
# KEPT, what the failed run keeps for inspection, is not needed then.
set -uo pipefail
text=$1 kept=$2
shift 2
out=$("$@" 2>&1)
status=$?
printf '%s\n' "$out"
rm -rf "$kept"
if [ "$status" -eq 0 ]; then
    echo "passed; expected to fail saying \"$text\""
    exit 1
fi
case $out in
*"$text"*) echo "failed as it should, with exit code $status" ;;
*)
    echo "failed, but without saying \"$text\""
    exit 1
    ;;
esac
