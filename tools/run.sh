#!/usr/bin/env bash
# Starts the program under Wine in the user's prefix (WINEPREFIX when set).
# With no display it runs under Xvfb, saves a screenshot of the window
# captioned "Morvane" and closes the program again.
#   run.sh EXE SCREENSHOT.png
set -euo pipefail
exe=$1 shot=$2
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}" WINEDEBUG="${WINEDEBUG:--all}"

if [ -n "${DISPLAY:-}" ]; then
    exec "$(dirname "$0")/wine.sh" "$exe"
fi

tools/screenshot.sh "$exe" "$shot"
echo "No display: the window was shown under Xvfb; screenshot in $shot"
