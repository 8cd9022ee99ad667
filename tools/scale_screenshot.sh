#!/usr/bin/env bash
# The main window at a display scale, as Wine users set it (LogPixels), under
# Xvfb in a throwaway copy of the test prefix that draws on the X display.
#   scale_screenshot.sh EXE TEMPLATE_PREFIX DPI OUT.png
set -euo pipefail
exe=$(realpath "$1") template=$2 dpi=$3 out=$4

mkdir -p "$(dirname "$out")"
out=$(realpath "$out")
source "$(dirname "$0")/xvfb.sh"
x11_prefix "$template" "$(dirname "$out")/wine-scale-$dpi"
quiet "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f
quiet wineserver -w

XVFB_SCREEN=2000x1400x24 start_xvfb
quiet "$wine" "$exe" &
find_window
sleep 2
import -window "$window" "$out"
echo "$out"
