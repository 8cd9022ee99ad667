#!/usr/bin/env bash
# Signing the release with a certificate made for this run alone: given as a
# PEM certificate and key, as a PKCS#12 file and its password, wrongly, or not
# at all.
#   signing.sh WORK VERSION EXE_DIR
# WORK/release holds the unsigned release of the same executables (dist_pack).
set -euo pipefail
work=$1 version=$2 exes=$3
unsigned=$work/release
dir=$work/signing
rm -rf "$dir"
mkdir -p "$dir"
password=throwaway-$$-$RANDOM
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 2 \
    -subj "/CN=Morvane test signer" -addext extendedKeyUsage=codeSigning \
    -addext keyUsage=digitalSignature 2>/dev/null
openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" -out "$dir/cert.p12" \
    -passout "pass:$password"

msi=morvane-$version-x64.msi
# name | environment | what dist.sh says | its exit code | signed
cases=(
    "pem|SIGN_CERT=$dir/cert.pem SIGN_KEY=$dir/key.pem|dist: signed with Authenticode (SHA-256)|0|yes"
    "pkcs12|SIGN_PKCS12=$dir/cert.p12 SIGN_PASSWORD=$password|dist: signed with Authenticode (SHA-256)|0|yes"
    "none||dist: UNSIGNED: give SIGN_CERT and SIGN_KEY (or SIGN_PKCS12 and SIGN_PASSWORD) to sign|0|no"
    "no-key|SIGN_CERT=$dir/cert.pem|dist: SIGN_CERT and SIGN_KEY go together|2|no"
    "wrong-password|SIGN_PKCS12=$dir/cert.p12 SIGN_PASSWORD=wrong|dist: signing morvane.exe failed|2|no"
)

failures=0
fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}
expect() { # what, got, wanted
    if [ "$2" = "$3" ]; then echo "ok: $1: $2"; else fail "$1: got '$2', wanted '$3'"; fi
}
verifies() { osslsigncode verify -CAfile "$dir/cert.pem" -in "$1" >/dev/null 2>&1 && echo verifies || echo fails; }

# $1 with one byte of $3 at its first occurrence in the file flipped, as $2.
tampered() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.find(sys.argv[3].encode())
assert at > 0, "nothing to tamper with"
data[at] ^= 0x20
open(sys.argv[2], "wb").write(data)
EOF
}

signed_checks() { # release dir
    local out=$1 f
    for f in morvane.exe morvanectl.exe "$msi"; do
        expect "$f" "$(verifies "$out/$f")" verifies
    done
    for f in morvane.exe morvanectl.exe; do
        expect "$f packed signed in the zip" \
            "$(unzip -p "$out/morvane-$version-x64.zip" "*/$f" | cmp -s - "$out/$f" && echo yes)" yes
        osslsigncode remove-signature -in "$out/$f" -out "$out/$f.removed" >/dev/null
        expect "$f without its signature is the unsigned release" \
            "$(cmp -s "$out/$f.removed" "$unsigned/$f" && echo yes || echo no)" yes
    done
    tampered "$out/morvanectl.exe" "$out/tampered.exe" "morvanectl"
    expect "a tampered morvanectl.exe" "$(verifies "$out/tampered.exe")" fails
    tampered "$out/$msi" "$out/tampered.msi" "Fifty Windows settings as checkboxes"
    expect "a tampered $msi" "$(verifies "$out/tampered.msi")" fails
}

unsigned_checks() {
    local out=$1 f
    for f in morvane.exe morvanectl.exe "$msi"; do
        expect "unsigned $f" "$(verifies "$out/$f")" fails
        expect "$f as the unsigned release" "$(cmp -s "$out/$f" "$unsigned/$f" && echo yes || echo no)" yes
    done
}

for case in "${cases[@]}"; do
    IFS='|' read -r name environment said code signed <<<"$case"
    echo "== $name"
    out=$dir/$name
    got=0
    # shellcheck disable=SC2086 # the environment is words of NAME=VALUE
    env $environment "$(dirname "$0")/../../tools/dist.sh" pack "$version" "$exes" "$out" \
        >"$out.log" 2>&1 || got=$?
    expect "exit code" "$got" "$code"
    expect "what dist.sh says" "$(grep -c -x -F "$said" "$out.log")" 1
    if [ "$signed" = yes ]; then
        signed_checks "$out"
    elif [ "$code" = 0 ]; then
        unsigned_checks "$out"
    else
        expect "nothing written" "$(ls "$out" 2>/dev/null | wc -l)" 0
    fi
done

if [ "$failures" != 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "every case passed"
