# Shared by the screenshot scripts (sourced, not run).
# start_xvfb: a private Xvfb display, exported as DISPLAY; its pid in $xvfb.
#   Its screen is $XVFB_SCREEN when set (room for a large display scale).
# find_window: waits for the window captioned "Morvane"; its X id in $window.
# x11_prefix TEMPLATE PREFIX: PREFIX as a throwaway copy of the test template
#   that draws on the X display, exported as WINEPREFIX; the prefix, its server
#   and Xvfb go when the script exits.
# $wine: `wine` with the same address-space layout at every start.

wine=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine.sh

start_xvfb() {
    local display=":$((90 + RANDOM % 100))"
    Xvfb "$display" -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=$display
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
}

find_window() {
    window=
    for _ in $(seq 300); do
        window=$(xwininfo -root -tree 2>/dev/null | awk '/"Morvane"/ {print $1; exit}')
        [ -n "$window" ] && return 0
        sleep 0.2
    done
    echo "the window \"Morvane\" did not appear" >&2
    return 1
}

x11_prefix() {
    local template=$1
    prefix=$2
    [ -f "$template/.ready" ] || { echo "no template prefix at $template" >&2; exit 1; }
    export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    xvfb=
    trap x11_cleanup EXIT
    # Same fonts and settings as the tests, but the X11 driver. Wine keeps
    # Managed=N from the template: without a window manager every hide would
    # wait two seconds otherwise.
    if [ -d "$prefix" ]; then quiet wineserver -k || true; fi
    rm -rf "$prefix"
    cp -a "$template" "$prefix"
    unset DISPLAY
    quiet "$wine" reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
}

x11_cleanup() {
    quiet wineserver -k || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    rm -rf "$prefix"
}

quiet() { "$@" </dev/null >/dev/null 2>&1; }
