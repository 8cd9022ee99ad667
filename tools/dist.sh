#!/usr/bin/env bash
# The release of Morvane.
#   dist.sh release VERSION BUILD_DIR OUT_DIR   build, then pack into OUT_DIR
#   dist.sh build VERSION BUILD_DIR             morvane.exe and morvanectl.exe only
#   dist.sh pack VERSION EXE_DIR OUT_DIR        the MSI, the zip and SHA256SUMS
#   dist.sh codes VERSION                       the product code and upgrade code
#
# Every byte follows from the commit: times from SOURCE_DATE_EPOCH (the last
# commit's when unset), the product code from the version, the package code
# from the files packed. Signed with Authenticode (SHA-256) when SIGN_CERT and
# SIGN_KEY, or SIGN_PKCS12, are given (SIGN_PASSWORD for the key's password,
# SIGN_TIMESTAMP for an RFC 3161 time-stamp server); unsigned otherwise.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)

# Fixed for the product's life: every version of Morvane carries it, so that
# a later one replaces an earlier one.
upgrade_code=4EF05766-7B8F-41F3-8A39-773A691B8450

die() { echo "dist: $*" >&2; exit 2; }

check_version() {
    [[ $1 =~ ^[0-9]+\.[0-9]+(\.[0-9]+)?$ ]] || die "version must be MAJOR.MINOR[.PATCH], not '$1'"
}

# A name-based UUID (version 5) under the upgrade code, in the installer's form.
name_uuid() {
    python3 -c 'import sys, uuid; print("{%s}" % str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
        "$upgrade_code" "$1"
}

product_code() { name_uuid "Morvane $1"; }

source_date_epoch() {
    if [ -n "${SOURCE_DATE_EPOCH:-}" ]; then
        echo "$SOURCE_DATE_EPOCH"
    elif git -C "$src" rev-parse --git-dir >/dev/null 2>&1; then
        git -C "$src" log -1 --format=%ct
    else
        die "not a git checkout: set SOURCE_DATE_EPOCH to the time of the commit"
    fi
}

home_page() {
    sed -n 's/.*kHomePageUrl\[\] = "\(.*\)";/\1/p' "$src/src/app/Links.h"
}

build() {
    local version=$1 dir=$2
    check_version "$version"
    cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-w64-x86_64.cmake" \
        -DMORVANE_VERSION="$version" >/dev/null
    cmake --build "$dir" --target morvane morvanectl -j "${JOBS:-2}"
}

signing() { [ -n "${SIGN_PKCS12:-}" ] || [ -n "${SIGN_CERT:-}${SIGN_KEY:-}" ]; }

# Signs $1 in place.
sign() {
    local args=(-h sha256 -n Morvane -i "$(home_page)")
    if [ -n "${SIGN_PKCS12:-}" ]; then
        args+=(-pkcs12 "$SIGN_PKCS12")
    else
        [ -n "${SIGN_CERT:-}" ] && [ -n "${SIGN_KEY:-}" ] || die "SIGN_CERT and SIGN_KEY go together"
        args+=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
    fi
    [ -n "${SIGN_TIMESTAMP:-}" ] && args+=(-ts "$SIGN_TIMESTAMP")
    # The password goes through a pipe, never on a command line.
    if [ -n "${SIGN_PASSWORD:-}" ]; then
        printf '%s' "$SIGN_PASSWORD" | osslsigncode sign "${args[@]}" -readpass - -in "$1" -out "$1.signed" >/dev/null
    else
        osslsigncode sign "${args[@]}" -in "$1" -out "$1.signed" >/dev/null
    fi || die "signing $(basename "$1") failed"
    mv "$1.signed" "$1"
}

# The files of a release, in the order they are packed: $1 the folder.
stage() {
    local exes=$1 dir=$2 epoch=$3
    mkdir -p "$dir"
    cp "$exes/morvane.exe" "$exes/morvanectl.exe" "$dir/"
    if signing; then
        sign "$dir/morvane.exe"
        sign "$dir/morvanectl.exe"
    fi
    # The documents as Windows text.
    sed 's/$/\r/' "$src/README.md" >"$dir/README.txt"
    sed 's/$/\r/' "$src/docs/tweaks.md" >"$dir/tweaks.txt"
    chmod 644 "$dir"/*
    touch -h -d "@$epoch" "$dir"/*
}

files=(morvane.exe morvanectl.exe README.txt tweaks.txt)

msi() {
    local version=$1 work=$2 name=$3 out=$4 epoch=$5
    cp "$src/res/morvane.ico" "$work/morvane.ico"
    local package_code clock
    package_code=$(name_uuid "package $version $(cd "$work/$name" && sha256sum "${files[@]}" | sha256sum)")
    # wixl takes the summary's dates from the clock and draws a random package
    # code: both are set from the commit, the clock frozen at its time. It reads
    # sources by relative names.
    clock=$(TZ=UTC date -d "@$epoch" '+%Y-%m-%d %H:%M:%S')
    (cd "$work" && TZ=UTC faketime -f "$clock" wixl -a x64 -D Version="$version" \
        -D ProductCode="$(product_code "$version")" -D UpgradeCode="{$upgrade_code}" \
        -D HomePage="$(home_page)" -D Stage="$name" -D Icon=morvane.ico \
        -o "$out" "$src/tools/installer/morvane.wxs" 2>wixl.log) ||
        { cat "$work/wixl.log" >&2; die "wixl failed"; }
    TZ=UTC faketime -f "$clock" msibuild "$out" -s "Morvane $version" Morvane "x64;1033" "$package_code"
}

pack() {
    local version=$1 exes=$2 out=$3 epoch
    check_version "$version"
    epoch=$(source_date_epoch)
    for f in morvane.exe morvanectl.exe; do
        [ -f "$exes/$f" ] || die "no $exes/$f: build first"
    done
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    local name=morvane-$version
    stage "$exes" "$work/$name" "$epoch"

    local zip=$name-x64.zip msi=$name-x64.msi
    rm -f "$out"/morvane-*-x64.zip "$out"/morvane-*-x64.msi "$out/SHA256SUMS"
    # Fixed order, times, modes; no extra fields, no folder entries.
    (cd "$work" && TZ=UTC zip -X -D -q -9 "$out/$zip" "${files[@]/#/$name/}")
    msi "$version" "$work" "$name" "$work/$msi" "$epoch"
    signing && sign "$work/$msi"
    cp "$work/$msi" "$out/"
    cp "$work/$name/morvane.exe" "$work/$name/morvanectl.exe" "$out/"
    (cd "$out" && sha256sum "$msi" "$zip" morvane.exe morvanectl.exe >SHA256SUMS)
    if signing; then
        echo "dist: signed with Authenticode (SHA-256)"
    else
        echo "dist: UNSIGNED: give SIGN_CERT and SIGN_KEY (or SIGN_PKCS12 and SIGN_PASSWORD) to sign"
    fi
    (cd "$out" && ls -l "$msi" "$zip" morvane.exe morvanectl.exe SHA256SUMS)
}

case "${1:-}" in
release) [ $# = 4 ] || die "usage: dist.sh release VERSION BUILD_DIR OUT_DIR"
    build "$2" "$3" && pack "$2" "$3" "$4" ;;
build) [ $# = 3 ] || die "usage: dist.sh build VERSION BUILD_DIR"
    build "$2" "$3" ;;
pack) [ $# = 4 ] || die "usage: dist.sh pack VERSION EXE_DIR OUT_DIR"
    pack "$2" "$3" "$4" ;;
codes) [ $# = 2 ] || die "usage: dist.sh codes VERSION"
    check_version "$2"
    echo "ProductCode $(product_code "$2")"
    echo "UpgradeCode {$upgrade_code}" ;;
*) die "usage: dist.sh release|build|pack|codes ..." ;;
esac
