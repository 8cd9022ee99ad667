#!/usr/bin/env bash
# Wine prefixes for the tests, kept apart from the user's own.
#   prefix.sh template DIR        make the template prefix once
#   prefix.sh fresh TEMPLATE DIR  a fresh copy of the template, wineserver up
#   prefix.sh stop DIR            end the prefix's wineserver
#   prefix.sh drop DIR            end it and remove the prefix
#   prefix.sh unchanged TEMPLATE  fails if a shared file of the template changed
#
# A copy shares Wine's DLLs (nine tenths of a prefix) with the template by
# hard links: Wine only reads them, and tests replace programs (.exe) only.
# Anything else is copied, since a write through a link would reach the
# template and every later copy. The shared files are those whose checksums
# were taken when the template was made, so the check covers every one.
set -euo pipefail
# Every Windows program starts through it (why: see there).
wine=$(cd "$(dirname "$0")/../../tools" && pwd)/wine.sh
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

quiet() { "$@" </dev/null >/dev/null 2>&1; }

sums=.shared.sha256

# The shared files of a template, one "./path" a line.
shared() { sed 's/^[0-9a-f]*  //' "$1/$sums"; }

case "$1" in
template)
    dir=$2
    [ -f "$dir/.ready" ] && [ -f "$dir/$sums" ] && exit 0
    rm -rf "$dir"
    mkdir -p "$dir"
    export WINEPREFIX=$dir
    quiet "$wine" wineboot -u
    # Wine only finds its TrueType fonts once they sit in the prefix.
    cp /usr/share/wine/fonts/*.ttf "$dir/drive_c/windows/Fonts/" 2>/dev/null || true
    quiet "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    quiet "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    quiet wineserver -w
    (cd "$dir" && find . -type f -name '*.dll' -print0 | xargs -0 -r sha256sum) >"$dir/$sums.new"
    mv "$dir/$sums.new" "$dir/$sums"
    touch "$dir/.ready"
    ;;
fresh)
    template=$2 dir=$3
    [ -f "$template/.ready" ] && [ -f "$template/$sums" ] ||
        { echo "no template prefix at $template" >&2; exit 1; }
    if [ -d "$dir" ]; then WINEPREFIX=$dir quiet wineserver -k || true; fi
    rm -rf "$dir"
    mkdir -p "$dir"
    tar -C "$template" --anchored --no-wildcards --exclude-from=<(shared "$template") -cf - . |
        tar -C "$dir" -xpf -
    shared "$template" | (cd "$template" && xargs -d '\n' -r cp -l --parents -t "$dir")
    export WINEPREFIX=$dir
    # Start and warm the server with every stream closed, so CTest does not
    # wait on pipes inherited by wineserver and its helpers.
    quiet wineserver -p
    quiet "$wine" cmd /c exit || true
    ;;
stop)
    WINEPREFIX=$2 quiet wineserver -k || true
    ;;
drop)
    WINEPREFIX=$2 quiet wineserver -k || true
    rm -rf "$2"
    ;;
unchanged)
    template=$2
    if ! (cd "$template" && sha256sum --quiet --strict -c "$sums"); then
        echo "a test wrote into the template's shared files: remove $template and make it anew" >&2
        exit 1
    fi
    count=$(wc -l <"$template/$sums")
    echo "$count shared files of $template unchanged"
    ;;
*)
    echo "usage: $0 template DIR | fresh TEMPLATE DIR | stop DIR | drop DIR | unchanged TEMPLATE" >&2
    exit 2
    ;;
esac
