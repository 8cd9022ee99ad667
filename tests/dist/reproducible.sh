#!/usr/bin/env bash
# Two builds of one commit, in two folders and at two times, give the same
# bytes: executables, zip, MSI and SHA256SUMS.
#   reproducible.sh SOURCE WORK VERSION
# The first is the project's own build, packed into WORK/release (the
# dist_pack entry). The second builds the commit's files copied to
# WORK/clone, and packs them into WORK/again with the clock a day and a half
# ahead, in another time zone and with another umask.
set -euo pipefail
src=$1 work=$2 version=$3
clone=$work/clone
SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct)
export SOURCE_DATE_EPOCH

rm -rf "$clone" "$work/again"
mkdir -p "$clone"
(cd "$src" && git ls-files -z | tar --null -T - -cf -) | tar -C "$clone" -xf -
# One compiler at a time: the other tests run beside it.
JOBS=1 "$clone/tools/dist.sh" build "$version" "$clone/build" >/dev/null
umask 002
TZ=Pacific/Auckland faketime -f +36h "$clone/tools/dist.sh" pack "$version" "$clone/build" "$work/again"

status=0
for f in morvane.exe morvanectl.exe "morvane-$version-x64.zip" "morvane-$version-x64.msi" SHA256SUMS; do
    if cmp -s "$work/release/$f" "$work/again/$f"; then
        echo "same: $f, $(stat -c %s "$work/release/$f") bytes"
    else
        echo "DIFFERENT: $f: $(cmp -l "$work/release/$f" "$work/again/$f" 2>&1 | wc -l) bytes differ"
        status=1
    fi
done
exit $status
