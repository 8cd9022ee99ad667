#!/usr/bin/env bash
# Wine prefixes for the tests, kept apart from the user's own.
#   prefix.sh template DIR        make the template prefix once
#   prefix.sh fresh TEMPLATE DIR  a fresh copy of the template, wineserver up
#   prefix.sh stop DIR            end the prefix's wineserver
set -euo pipefail
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

quiet() { "$@" </dev/null >/dev/null 2>&1; }

case "$1" in
template)
    dir=$2
    [ -f "$dir/.ready" ] && exit 0
    rm -rf "$dir"
    mkdir -p "$dir"
    export WINEPREFIX=$dir
    quiet wineboot -u
    # Wine only finds its TrueType fonts once they sit in the prefix.
    cp /usr/share/wine/fonts/*.ttf "$dir/drive_c/windows/Fonts/" 2>/dev/null || true
    quiet wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    quiet wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    quiet wineserver -w
    touch "$dir/.ready"
    ;;
fresh)
    template=$2 dir=$3
    [ -f "$template/.ready" ] || { echo "no template prefix at $template" >&2; exit 1; }
    if [ -d "$dir" ]; then WINEPREFIX=$dir quiet wineserver -k || true; fi
    rm -rf "$dir"
    cp -a "$template" "$dir"
    export WINEPREFIX=$dir
    # Start and warm the server with every stream closed, so CTest does not
    # wait on pipes inherited by wineserver and its helpers.
    quiet wineserver -p
    quiet wine cmd /c exit || true
    ;;
stop)
    WINEPREFIX=$2 quiet wineserver -k || true
    ;;
*)
    echo "usage: $0 template DIR | fresh TEMPLATE DIR | stop DIR" >&2
    exit 2
    ;;
esac
