#!/usr/bin/env bash
# The tool as a whole process against what a user would run instead, on the same file in the
# same run: wall time (hyperfine, median of RUNS runs after a warm-up) and peak resident memory
# (GNU time, median of RUNS runs). Prints each pair and the ratio ours / theirs (below 1: ours
# is faster or smaller).
# Usage: whole_process.sh [OMBRAK10] [MIB] [RUNS] [ONLY]   (ONLY: a pattern; only rows whose
# name matches run)
set -euo pipefail
tool=$(realpath "${1:-build-bench/cli/ombrak10}")
mib=${2:-256}
runs=${3:-5}
only=${4:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/ombrak10-whole-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

des_key=$(printf 'k\0\0\0\0\0\0\0' | od -An -tx1 | tr -d ' \n')

head -c "${mib}M" /dev/urandom >plain
"$tool" encrypt --cipher des --key k -o sealed.des plain
"$tool" encrypt --cipher blowfish --key k -o sealed.bf plain
base64 plain >plain.b64
openssl enc -des-cbc -provider legacy -provider default -nopad -K "$des_key" \
    -iv 0000000000000000 -a -in plain -out sealed.ossl.b64
echo "file: $mib MiB; $runs runs each; $(nproc) cores; $(uname -r)"

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

wall() {  # wall COMMAND: median seconds
    hyperfine --style none --warmup 1 --runs "$runs" --export-csv wall.csv "$1" >/dev/null 2>&1
    tail -n 1 wall.csv | cut -d, -f4
}

peak() {  # peak COMMAND: median peak resident set in MiB
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f %M -o rss bash -c "exec $1" >/dev/null 2>&1
        cat rss
    done | median | awk '{printf "%.1f", $1 / 1024}'
}

row() {  # row NAME OURS THEIRS
    [[ -n $only && ! $1 =~ $only ]] && return
    local ow tw om tm
    ow=$(wall "$2") tw=$(wall "$3") om=$(peak "$2") tm=$(peak "$3")
    printf '%-28s wall %7.3f s vs %7.3f s  ratio %.2f   peak %6.1f MiB vs %6.1f MiB\n' \
        "$1" "$ow" "$tw" "$(awk -v a="$ow" -v b="$tw" 'BEGIN {print a / b}')" "$om" "$tm"
}

echo "--- ours (-o: flushed to disk, renamed into place) vs openssl enc -out"
row "DES encrypt" "$tool encrypt --cipher des --key k -o out plain" \
    "openssl enc -des-cbc -provider legacy -provider default -nopad -K $des_key -iv 0000000000000000 -in plain -out out"
row "DES decrypt" "$tool decrypt --cipher des --key k -o out sealed.des" \
    "openssl enc -d -des-cbc -provider legacy -provider default -nopad -K $des_key -iv 0000000000000000 -in sealed.des -out out"
row "Blowfish encrypt" "$tool encrypt --cipher blowfish --key k -o out plain" \
    "openssl enc -bf-cbc -provider legacy -provider default -nopad -K 6b000000000000000000000000000000 -iv 0000000000000000 -in plain -out out"
row "Blowfish decrypt" "$tool decrypt --cipher blowfish --key k -o out sealed.bf" \
    "openssl enc -d -bf-cbc -provider legacy -provider default -nopad -K 6b000000000000000000000000000000 -iv 0000000000000000 -in sealed.bf -out out"
echo "--- ours to standard output (no flush), same peers"
row "DES encrypt >out" "$tool encrypt --cipher des --key k plain >out" \
    "openssl enc -des-cbc -provider legacy -provider default -nopad -K $des_key -iv 0000000000000000 -in plain -out out"
row "Blowfish decrypt >out" "$tool decrypt --cipher blowfish --key k sealed.bf >out" \
    "openssl enc -d -bf-cbc -provider legacy -provider default -nopad -K 6b000000000000000000000000000000 -iv 0000000000000000 -in sealed.bf -out out"
echo "--- with --base64 (memory must not grow with the file)"
row "DES encrypt --base64" "$tool encrypt --cipher des --key k --base64 -o out plain" \
    "openssl enc -des-cbc -provider legacy -provider default -nopad -K $des_key -iv 0000000000000000 -a -in plain -out out"
"$tool" encrypt --cipher des --key k --base64 -o sealed.b64 plain
row "DES decrypt --base64" "$tool decrypt --cipher des --key k --base64 -o out sealed.b64" \
    "openssl enc -d -des-cbc -provider legacy -provider default -nopad -K $des_key -iv 0000000000000000 -a -in sealed.ossl.b64 -out out"
echo "--- RC4 against openssl enc -rc4 (16-byte key)"
rc4_key=kkkkkkkkkkkkkkkk
row "RC4 encrypt" "$tool encrypt --cipher rc4 --key $rc4_key -o out plain" \
    "openssl enc -rc4 -provider legacy -provider default -K $(printf %s $rc4_key | od -An -tx1 | tr -d ' \n') -in plain -out out"
echo "--- no peer tool has these; ours alone (memory must stay bounded)"
solo() {  # solo NAME COMMAND
    [[ -n $only && ! $1 =~ $only ]] && return
    printf '%-28s wall %7.3f s   peak %6.1f MiB\n' "$1" "$(wall "$2")" "$(peak "$2")"
}
"$tool" encrypt --cipher gost --key k -o sealed.gost plain
"$tool" encrypt --cipher twofish --key k -o sealed.twofish plain
"$tool" encrypt --cipher serpent --key k -o sealed.serpent plain
solo "GOST encrypt" "$tool encrypt --cipher gost --key k -o out plain"
solo "GOST decrypt" "$tool decrypt --cipher gost --key k -o out sealed.gost"
solo "Twofish encrypt" "$tool encrypt --cipher twofish --key k -o out plain"
solo "Twofish decrypt" "$tool decrypt --cipher twofish --key k -o out sealed.twofish"
solo "Serpent encrypt" "$tool encrypt --cipher serpent --key k -o out plain"
solo "Serpent decrypt" "$tool decrypt --cipher serpent --key k -o out sealed.serpent"
solo "Serpent encrypt --base64" "$tool encrypt --cipher serpent --key k --base64 -o out plain"
echo "--- digests: ours vs coreutils (and openssl dgst), the same file"
for a in md5 sha1 sha256; do
    row "digest $a" "$tool digest --algo $a plain" "${a}sum plain"
    row "digest $a (openssl)" "$tool digest --algo $a plain" "openssl dgst -$a plain"
done
echo "--- ours vs coreutils base64, both to a file"
row "base64" "$tool base64 plain >out" "base64 plain >out"
row "base64 -d" "$tool base64 -d plain.b64 >out" "base64 -d plain.b64 >out"
echo "--- compression: ours vs gzip -1 and zstd -1, to standard output (English text and random bytes)"
if [[ -z $only || "compress" =~ $only || "decompress" =~ $only ]]; then
    : >text
    while [ "$(stat -c %s text)" -lt $((mib * 1048576)) ]; do cat /usr/share/common-licenses/* >>text; done
    truncate -s "${mib}M" text
    "$tool" compress text >text.he3
    "$tool" compress plain >plain.he3
    gzip -1 -c text >text.gz
    gzip -1 -c plain >plain.gz
    zstd -q -1 -c text >text.zst
    echo "sizes of ${mib} MiB: text: ours $(stat -c %s text.he3), gzip -1 $(stat -c %s text.gz), zstd -1 $(stat -c %s text.zst); random: ours $(stat -c %s plain.he3), gzip -1 $(stat -c %s plain.gz)"
fi
row "compress text" "$tool compress text >out" "gzip -1 -c text >out"
row "compress text (zstd)" "$tool compress text >out" "zstd -q -1 -c text >out"
row "decompress text" "$tool decompress text.he3 >out" "gzip -dc text.gz >out"
row "decompress text (zstd)" "$tool decompress text.he3 >out" "zstd -q -dc text.zst >out"
row "compress random" "$tool compress plain >out" "gzip -1 -c plain >out"
row "decompress random" "$tool decompress plain.he3 >out" "gzip -dc plain.gz >out"
