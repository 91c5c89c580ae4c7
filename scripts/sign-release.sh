#!/usr/bin/env bash
# Signs the files of a release for the updater: writes FILE.sig beside each FILE (the 64 raw bytes
# of its Ed25519 signature) and then checks every signature with the public key built into the
# program (src/update/MakerKey.h), so a release signed with any other key never goes out.
# KEY is the maker's private key (PEM), kept outside the repository.
# Usage: scripts/sign-release.sh KEY FILE...
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if (($# < 2)); then
    echo "usage: scripts/sign-release.sh KEY FILE..." >&2
    exit 2
fi
key=$1
shift
[[ -r "$key" ]] || { echo "sign-release: cannot read the key $key" >&2; exit 2; }
for file in "$@"; do
    [[ -f "$file" ]] || { echo "sign-release: no such file: $file" >&2; exit 2; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The trusted key as the program has it: 32 bytes in hex, wrapped into a public key file.
hex=$(sed -n '/kPublicKey\[32\]/,/};/p' "$root/src/update/MakerKey.h" | grep -o '0x[0-9a-fA-F][0-9a-fA-F]' |
    sed 's/0x//' | tr -d '\n')
if ((${#hex} != 64)); then
    echo "sign-release: no 32-byte key found in src/update/MakerKey.h" >&2
    exit 1
fi
# an Ed25519 SubjectPublicKeyInfo is this fixed 12-byte header followed by the key
der_hex="302a300506032b6570032100$hex"
# shellcheck disable=SC2059  # the format is the bytes, written as \xNN escapes
printf "$(sed 's/../\\x&/g' <<<"$der_hex")" >"$scratch/trusted.der"
openssl pkey -pubin -inform DER -in "$scratch/trusted.der" -out "$scratch/trusted.pem"
openssl pkey -in "$key" -pubout -out "$scratch/given.pem"
if ! cmp -s "$scratch/trusted.pem" "$scratch/given.pem"; then
    echo "sign-release: $key is not the key the program trusts (src/update/MakerKey.h); nothing signed" >&2
    exit 1
fi

signed=()
failed=0
for file in "$@"; do
    openssl pkeyutl -sign -rawin -inkey "$key" -in "$file" -out "$file.sig.new"
    mv -f "$file.sig.new" "$file.sig"
    signed+=("$file.sig")
    if openssl pkeyutl -verify -rawin -pubin -inkey "$scratch/trusted.pem" -in "$file" -sigfile "$file.sig" \
        >/dev/null; then
        echo "signed: $file.sig"
    else
        echo "sign-release: the signature of $file does not verify" >&2
        failed=1
    fi
done
if ((failed)); then
    rm -f "${signed[@]}"
    exit 1
fi
