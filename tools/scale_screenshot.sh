#!/usr/bin/env bash
# The main window at a display scale, as Wine users set it (LogPixels), under
# Xvfb in a throwaway copy of the test prefix that draws on the X display.
#   scale_screenshot.sh EXE TEMPLATE_PREFIX DPI OUT.png
set -euo pipefail
exe=$(realpath "$1") template=$2 dpi=$3 out=$4

[ -f "$template/.ready" ] || { echo "no template prefix at $template" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out=$(realpath "$out")
prefix=$(dirname "$out")/wine-scale-$dpi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
quiet() { "$@" </dev/null >/dev/null 2>&1; }
source "$(dirname "$0")/xvfb.sh"

xvfb=
cleanup() {
    quiet wineserver -k || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$prefix"
}
trap cleanup EXIT

if [ -d "$prefix" ]; then quiet wineserver -k || true; fi
rm -rf "$prefix"
cp -a "$template" "$prefix"
unset DISPLAY
quiet wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
quiet wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
quiet wineserver -w

XVFB_SCREEN=2000x1400x24 start_xvfb
quiet wine "$exe" &
find_window
sleep 2
import -window "$window" "$out"
echo "$out"
