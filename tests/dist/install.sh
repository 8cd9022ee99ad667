#!/usr/bin/env bash
# The release under Wine's own Windows Installer, in a fresh copy of the test
# prefix: install, a later version over it, an earlier one refused, uninstall.
#   install.sh PREFIX_SCRIPT TEMPLATE PREFIX RELEASE_DIR NEXT_DIR
# RELEASE_DIR and NEXT_DIR each hold a packed release (dist.sh pack). The
# prefix is removed when every step passed and kept for a look otherwise.
set -euo pipefail
prefix_script=$1 template=$2 release=$4 next=$5
wine=$(cd "$(dirname "$0")/../../tools" && pwd)/wine.sh
export WINEPREFIX=$3 WINEDEBUG=-all DISPLAY=
# No menu entries on this machine for the installer's shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

"$prefix_script" fresh "$template" "$WINEPREFIX"

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
expect() { # what, got, wanted
    if [ "$2" = "$3" ]; then echo "ok: $1: $2"; else fail "$1: got '$2', wanted '$3'"; fi
}

folder="$WINEPREFIX/drive_c/Program Files/Morvane"
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
files=(morvane.exe morvanectl.exe README.txt tweaks.txt)

msi_of() { echo "$1"/morvane-*-x64.msi; }
property() { msiinfo export "$(msi_of "$1")" Property | tr -d '\r' | awk -F'\t' -v p="$2" '$1 == p { print $2 }'; }
windows_path() { echo "Z:${1//\//\\}"; }

# msiexec's exit code; its log, in the prefix, is $1.log.
msiexec() {
    local log=$1
    shift
    local code=0
    "$wine" msiexec "$@" /qn '/l*v' "C:\\$log.log" </dev/null >/dev/null 2>&1 || code=$?
    echo "$code"
}

log_text() { tr -d '\0\r' <"$WINEPREFIX/drive_c/$1.log"; }

installed() { "$wine" "C:\\Program Files\\Morvane\\morvanectl.exe" "$@" </dev/null 2>&1 | tr -d '\r'; }
# The installed morvanectl's exit code alone.
installed_code() {
    local code=0
    "$wine" "C:\\Program Files\\Morvane\\morvanectl.exe" "$@" </dev/null >/dev/null 2>&1 || code=$?
    echo "$code"
}

reg_value() { # key, value name: the data as reg.exe prints it, or nothing
    "$wine" reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
        awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}

# Every Programs and Features entry named Morvane, one product code a line.
entries() {
    "$wine" reg query "$uninstall" </dev/null 2>/dev/null | tr -d '\r' | grep -o '{[0-9A-F-]*}$' |
        while read -r code; do
            [ "$(reg_value "$uninstall\\$code" DisplayName)" = Morvane ] && echo "$code"
        done
}

# Every installed file is the one packed in $1's zip, byte for byte.
files_of() {
    local zip
    zip=$(echo "$1"/morvane-*-x64.zip)
    for f in "${files[@]}"; do
        local want got
        want=$(unzip -p "$zip" "*/$f" | sha256sum | cut -d' ' -f1)
        got=$(sha256sum <"$folder/$f" 2>/dev/null | cut -d' ' -f1)
        expect "$f ($(stat -c %s "$folder/$f" 2>/dev/null || echo missing) bytes)" "$got" "$want"
    done
}

is_installed() { # release dir, version
    local code
    code=$(property "$1" ProductCode)
    files_of "$1"
    expect "the Start menu shortcut" "$([ -f "$shortcut" ] && echo present)" present
    expect "installed morvanectl --version" "$(installed --version)" "morvanectl $2"
    expect "the Programs and Features entries" "$(entries | tr '\n' ' ')" "$code "
    expect "its DisplayVersion" "$(reg_value "$uninstall\\$code" DisplayVersion)" "$2"
    expect "its Publisher" "$(reg_value "$uninstall\\$code" Publisher)" Morvane
    expect "its HelpLink" "$(reg_value "$uninstall\\$code" HelpLink)" "http://www.morvane.example/"
}

version=$(property "$release" ProductVersion)
next_version=$(property "$next" ProductVersion)

echo "== msiexec /i $(basename "$(msi_of "$release")")"
expect "exit code" "$(msiexec first /i "$(windows_path "$(msi_of "$release")")")" 0
# Where the Start menu is: Wine gives a per-machine install the user's own
# ProgramMenuFolder, where Windows gives the one of all users.
menu=$(log_text first | sed -n 's/^Property(S): ProgramMenuFolder = C:\\//p' | tr '\\' / | head -1)
shortcut="$WINEPREFIX/drive_c/${menu}Morvane.lnk"
echo "the Start menu: C:\\$menu"
is_installed "$release" "$version"
listed=$(installed list | grep -c -E '^  (on|off) ' || true)
expect "tweaks listed by the installed morvanectl" "$listed" 50
# A setting the program changed, to outlive the uninstall.
installed set general/net-crawling off >/dev/null
advanced='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Advanced'
# A kept preset, run once as its task would: its task and copy go with the
# program, its backup and log stay.
data="$WINEPREFIX/drive_c/ProgramData/Morvane"
tasks="$WINEPREFIX/drive_c/windows/system32/tasks/Morvane"
printf 'usability/show-file-extensions = on\r\n' >"$WINEPREFIX/drive_c/lab.preset"
expect "keep from the installed copy" "$(installed_code keep 'C:\lab.preset')" 0
expect "its run" "$(installed_code --all-users apply 'C:\ProgramData\Morvane\kept\lab.preset')" 0
kept_state() { echo "task $(ls "$tasks" 2>/dev/null | tr '\n' ' ')kept $(ls "$data/kept" 2>/dev/null | tr '\n' ' ')"; }
expect "the kept preset" "$(kept_state)" "task lab kept lab.preset lab.xml "

echo "== msiexec /i $(basename "$(msi_of "$next")") over it"
expect "exit code" "$(msiexec upgrade /i "$(windows_path "$(msi_of "$next")")")" 0
is_installed "$next" "$next_version"

# Windows removes the earlier version with UPGRADINGPRODUCTCODE set, so its
# tasks stay (the condition is read in the MSI's tables); Wine's msiexec
# sets no such property there, and the earlier version removes them: keep
# the preset again for the uninstall below.
expect "keep again after the upgrade" "$(installed_code keep 'C:\lab.preset')" 0
expect "the kept preset after the upgrade" "$(kept_state)" "task lab kept lab.preset lab.xml "

echo "== msiexec /i $(basename "$(msi_of "$release")") over the later version"
# 1603, the installation failed, as the low byte Wine's exit status keeps.
expect "exit code" "$(msiexec downgrade /i "$(windows_path "$(msi_of "$release")")")" 67
# Wine logs no launch condition's message: the later version found is what
# the condition refuses (its message is checked in the MSI's tables).
expect "the later version found" \
    "$(log_text downgrade | sed -n 's/^Property(S): WIX_DOWNGRADE_DETECTED = //p' | head -1)" \
    "$(property "$next" ProductCode)"
is_installed "$next" "$next_version"

echo "== msiexec /x $(property "$next" ProductCode)"
expect "exit code" "$(msiexec uninstall /x "$(property "$next" ProductCode)")" 0
expect "the program folder" "$([ -e "$folder" ] && echo present || echo gone)" gone
expect "the Start menu shortcut" "$([ -e "$shortcut" ] && echo present || echo gone)" gone
expect "the Programs and Features entries" "$(entries | wc -l)" 0
expect "the setting changed before" "$(reg_value "$advanced" NoNetCrawling)" "0x1"
expect "the kept preset" "$(kept_state)" "task kept "
expect "the kept run's backup and log" \
    "$(ls "$data/backups" | grep -c '^morvane-backup-.*\.reg$') $(ls "$data" | grep -c '^kept\.log$')" "1 1"

if [ "$failures" = 0 ]; then
    "$prefix_script" drop "$WINEPREFIX"
    echo "every step passed"
else
    "$prefix_script" stop "$WINEPREFIX"
    echo "$failures failures; the prefix is kept in $WINEPREFIX"
    exit 1
fi
