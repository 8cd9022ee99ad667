#!/usr/bin/env bash
# Runs EXE under Xvfb in the current Wine prefix, waits for the window
# captioned "Morvane", saves a screenshot of it to OUT.png and closes the
# program.   screenshot.sh EXE OUT.png [SETTLE_SECONDS]
set -euo pipefail
exe=$1 out=$2 settle=${3:-2}
source "$(dirname "$0")/xvfb.sh"

xvfb=
trap '[ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true' EXIT
start_xvfb

"$wine" "$exe" >/dev/null 2>&1 &
app=$!
if ! find_window; then
    kill "$app" 2>/dev/null || true
    exit 1
fi
sleep "$settle"
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
# Only our own process ends: other programs in the user's prefix keep running.
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
