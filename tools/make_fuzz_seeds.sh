#!/usr/bin/env bash
# Writes the seeds of the cipher fuzz targets: for envelope_fuzz, valid envelopes of each cipher
# under a few keys, raw and as Base64 text, and plaintexts for the by-name property check; for
# serpent_fuzz and rc4_fuzz, ciphertexts raw and as Base64 text. Each seed is the target's input
# format: a selector byte, the key's length in UTF-16 units, the key (UTF-16LE), the data.
# Usage: tools/make_fuzz_seeds.sh OMBRAK10 [CORPUS_DIR]
set -euo pipefail
tool=$1
corpus=${2:-fuzz/corpus}
out=$corpus/envelope_fuzz
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

header() {  # header SELECTOR KEY: the selector, the key's length and its UTF-16LE units
    local key=$2 i
    printf "\\x$(printf %02x "$1")\\x$(printf %02x "${#key}")"
    for ((i = 0; i < ${#key}; i++)); do printf '%s\0' "${key:i:1}"; done
}

ciphers=(tea blowfish des gost twofish)
for c in 0 1 2 3 4; do
    for key in k "secret key" "a longer key of thirty characters"; do
        for size in 0 5 100; do
            head -c "$size" /dev/urandom >"$tmp/plain"
            name="${ciphers[c]}-$(echo "$key" | tr ' ' _)-$size"
            "$tool" encrypt --cipher "${ciphers[c]}" --key "$key" -o "$tmp/raw" "$tmp/plain"
            "$tool" encrypt --cipher "${ciphers[c]}" --key "$key" --base64 -o "$tmp/b64" "$tmp/plain"
            { header "$c" "$key"; cat "$tmp/raw"; } >"$out/$name"
            { header $((c | 0x40)) "$key"; cat "$tmp/b64"; } >"$out/$name.b64"
            { header $((c | 0x80)) "$key"; cat "$tmp/plain"; } >"$out/$name.plain"
        done
    done
done

# Serpent and RC4: selector bit 0 is Base64 input.
for c in serpent rc4; do
    out=$corpus/${c}_fuzz
    mkdir -p "$out"
    for key in k "secret key" "a longer key of thirty-two chars"; do
        for size in 0 5 16 33 100; do
            head -c "$size" /dev/urandom >"$tmp/plain"
            name="$c-$(echo "$key" | tr ' ' _)-$size"
            "$tool" encrypt --cipher $c --key "$key" -o "$tmp/raw" "$tmp/plain"
            "$tool" encrypt --cipher $c --key "$key" --base64 -o "$tmp/b64" "$tmp/plain"
            { header 0 "$key"; cat "$tmp/raw"; } >"$out/$name"
            { header 1 "$key"; cat "$tmp/b64"; } >"$out/$name.b64"
        done
    done
done

# Huffman: containers of text, of skewed and random bytes, stored ones, and a few damaged ones.
out=$corpus/huffman_fuzz
mkdir -p "$out"
printf 'abracadabra' >"$tmp/abra"
printf 'the quick brown fox jumps over the lazy dog; THE QUICK BROWN FOX!\n' >"$tmp/fox"
head -c 300 /dev/urandom >"$tmp/noise"
head -c 2000 /dev/urandom | od -An -tu1 | tr -s ' ' '\n' | awk 'NF {print ($1 < 200 ? "e" : ($1 < 250 ? "t" : $1))}' | tr -d '\n' >"$tmp/skew"
printf 'aaaaaaaa' >"$tmp/same"
printf '' >"$tmp/empty"
for f in abra fox noise skew same empty; do
    "$tool" compress -o "$out/$f" "$tmp/$f"
done
{ head -c 4 "$out/fox"; printf '\377'; tail -c +6 "$out/fox"; } >"$out/fox-checksum"
head -c 40 "$out/skew" >"$out/skew-cut"
