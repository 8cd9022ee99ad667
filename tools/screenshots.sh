#!/usr/bin/env bash
# Screenshots of the five pages. Runs EXE under Xvfb in a throwaway copy of
# the test prefix that draws on the X display instead of the null driver,
# selects each tab with TAB_CLICKER (a real click on the tab, sent from
# another Wine process) and captures the window captioned "Morvane" into
# OUT_DIR/screenshot-<page>.png.
#   screenshots.sh EXE TAB_CLICKER TEMPLATE_PREFIX OUT_DIR
set -euo pipefail
exe=$(realpath "$1") clicker=$(realpath "$2") template=$3 out=$4
pages=(general services iexplorer mediaplayer usability)

mkdir -p "$out"
out=$(realpath "$out")
source "$(dirname "$0")/xvfb.sh"
x11_prefix "$template" "$out/wine-screenshots"
# The server saves the registry as it goes: nothing started so far keeps the
# null driver.
quiet wineserver -w

start_xvfb
quiet "$wine" "$exe" &
find_window

for tab in "${!pages[@]}"; do
    # Tab 0 is selected already: the click changes nothing, and the first
    # page shows as it does at start.
    if ! "$wine" "$clicker" "$tab" </dev/null >/dev/null; then
        echo "could not select tab $tab" >&2
        exit 1
    fi
    # Let the X server take what was drawn.
    sleep 0.5
    shot=$out/screenshot-${pages[$tab]}.png
    import -window "$window" "$shot"
    echo "$shot"
done
