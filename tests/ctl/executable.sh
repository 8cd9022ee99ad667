#!/bin/sh
# morvanectl.exe as shipped: small, stripped with its symbols beside it,
# importing system DLLs only, and without the standard streams' code.
# usage: executable.sh OBJDUMP NM EXE DEBUG_FILE MAX_BYTES
objdump=$1 nm=$2 exe=$3 debug=$4 max=$5
failed=0
fail() { echo "FAILED: $*"; failed=1; }

size=$(stat -c %s "$exe") || exit 1
echo "$exe: $size bytes (at most $max)"
[ "$size" -le "$max" ] || fail "$size bytes, more than $max"

dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
echo "imports:" $dlls
[ -n "$dlls" ] || fail "no imports found"
for dll in $dlls; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
    advapi32.dll | kernel32.dll | msvcrt.dll | shell32.dll | user32.dll | ole32.dll) ;;
    *) fail "imports $dll" ;;
    esac
done

[ -z "$("$nm" "$exe" 2>/dev/null)" ] || fail "$exe still has its symbols"
"$objdump" -h "$exe" | grep -q '\.gnu_debuglink' || fail "$exe names no debug file"

symbols=$("$nm" -C "$debug") || fail "cannot read the symbols of $debug"
streams=$(echo "$symbols" | grep -E 'std::(basic_ostream|basic_istream|basic_ios|ios_base|locale)' | head -3)
[ -z "$streams" ] || fail "carries the standard streams: $streams"
exit $failed
