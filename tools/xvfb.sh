# Shared by the screenshot scripts (sourced, not run).
# start_xvfb: a private Xvfb display, exported as DISPLAY; its pid in $xvfb.
#   Its screen is $XVFB_SCREEN when set (room for a large display scale).
# find_window: waits for the window captioned "Morvane"; its X id in $window.

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
