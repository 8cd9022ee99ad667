#!/usr/bin/env bash
# The main window as a user with high contrast sees it, under Xvfb in a
# throwaway copy of the test prefix that draws on the X display: the system's
# colours set to a black high-contrast scheme, and the program built to hear
# that high contrast is on (Wine itself cannot switch it on).
#   high_contrast_screenshot.sh EXE TEMPLATE_PREFIX OUT.png
set -euo pipefail
exe=$(realpath "$1") template=$2 out=$3

mkdir -p "$(dirname "$out")"
out=$(realpath "$out")
source "$(dirname "$0")/xvfb.sh"
x11_prefix "$template" "$(dirname "$out")/wine-high-contrast"
colors='HKCU\Control Panel\Colors'
while read -r name value; do
    quiet "$wine" reg add "$colors" /v "$name" /t REG_SZ /d "$value" /f
done <<'SCHEME'
ActiveBorder 0 0 0
ActiveTitle 128 0 128
AppWorkspace 0 0 0
Background 0 0 0
ButtonAlternateFace 0 0 0
ButtonDkShadow 255 255 255
ButtonFace 0 0 0
ButtonHilight 255 255 255
ButtonLight 0 0 0
ButtonShadow 128 128 128
ButtonText 255 255 255
GradientActiveTitle 128 0 128
GradientInactiveTitle 0 128 0
GrayText 63 242 63
Hilight 26 235 255
HilightText 0 0 0
HotTrackingColor 255 255 0
InactiveBorder 0 0 0
InactiveTitle 0 128 0
InactiveTitleText 255 255 255
InfoText 255 255 255
InfoWindow 0 0 0
Menu 0 0 0
MenuBar 0 0 0
MenuHilight 128 0 128
MenuText 255 255 255
Scrollbar 0 0 0
TitleText 255 255 255
Window 0 0 0
WindowFrame 255 255 255
WindowText 255 255 255
SCHEME
# As Windows does in high contrast: no visual style, the classic controls in
# the scheme's colours.
quiet "$wine" reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' \
    /v ThemeActive /t REG_SZ /d 0 /f
quiet wineserver -w

start_xvfb
quiet "$wine" "$exe" &
find_window
sleep 2
import -window "$window" "$out"
echo "$out"
