#!/usr/bin/env bash
# Runs EXE under Xvfb in the current Wine prefix, waits for the window
# captioned "Morvane", saves a screenshot of it to OUT.png and closes the
# program.   screenshot.sh EXE OUT.png [SETTLE_SECONDS]
set -euo pipefail
exe=$1 out=$2 settle=${3:-2}
display=":$((90 + RANDOM % 100))"

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

wine "$exe" >/dev/null 2>&1 &
app=$!
window=
for _ in $(seq 300); do
    window=$(xwininfo -root -tree 2>/dev/null | awk '/"Morvane"/ {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.2
done
if [ -z "$window" ]; then
    echo "the window \"Morvane\" did not appear" >&2
    kill "$app" 2>/dev/null || true
    exit 1
fi
sleep "$settle"
mkdir -p "$(dirname "$out")"
import -display "$display" -window "$window" "$out"
# Only our own process ends: other programs in the user's prefix keep running.
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
