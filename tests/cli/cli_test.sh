#!/usr/bin/env bash
# The ombrak10 tool as a user runs it. Usage: cli_test.sh OMBRAK10 DATA_DIR
set -u
tool=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() {  # check NAME EXPECTED_EXIT COMMAND...
    local name=$1 want=$2
    shift 2
    "$@" >"$work/out" 2>"$work/err"
    local got=$?
    if [ "$got" -eq "$want" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name: exit $got, wanted $want"
        cat "$work/err"
    fi
}

same() {  # same NAME FILE1 FILE2
    if cmp -s "$2" "$3"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL $1"; fi
}

head -c 100000 /dev/urandom >"$work/data"
check "encode file" 0 "$tool" base64 "$work/data"
cp "$work/out" "$work/ours.b64"
base64 "$work/data" >"$work/coreutils.b64"
same "encoding matches coreutils" "$work/ours.b64" "$work/coreutils.b64"
check "decode stdin" 0 bash -c "\"$tool\" base64 -d <\"$work/coreutils.b64\" >\"$work/back\""
same "decoded bytes" "$work/data" "$work/back"
check "library layout" 0 bash -c "\"$tool\" base64 --crlf \"$work/data\" >\"$work/crlf.b64\""
check "library layout has CR LF every 76" 0 bash -c \
    "head -c 78 \"$work/crlf.b64\" | tail -c 2 | od -An -c | grep -q '\\\\r  *\\\\n'"
check "decode library layout" 0 bash -c "\"$tool\" base64 -d \"$work/crlf.b64\" >\"$work/back2\""
same "decoded library layout" "$work/data" "$work/back2"
check "wrap 0: one line, no line end" 0 bash -c "printf abc | \"$tool\" base64 -w 0 | cmp -s - <(printf YWJj)"
check "wrap 5" 0 bash -c "printf abcdefgh | \"$tool\" base64 -w 5 | cmp -s - <(printf abcdefgh | base64 -w 5)"
check "invalid input" 1 bash -c "printf 'TW Fu' | \"$tool\" base64 -d"
check "error is one line" 0 bash -c "printf '%%' | \"$tool\" base64 -d 2>&1 >/dev/null | grep -qx 'ombrak10: base64: invalid input'"
check "missing file" 1 "$tool" base64 "$work/none"
check "usage error" 2 "$tool" base64 --bogus
check "no subcommand" 2 "$tool"
check "classes" 0 bash -c "\"$tool\" classes | grep -qx Ombrak10.clsKvVeskEncDecBase64A"
check "describe" 0 bash -c "\"$tool\" describe ombrak10.clskvveskencdecbase64a | grep -q 'Encode64(sInput: text&) -> text'"
check "describe json" 0 bash -c "\"$tool\" describe --json | grep -q '\"version\":\"1.0.139\"'"
check "describe unknown" 1 "$tool" describe Ombrak10.clsNothing
check "component's own name" 0 bash -c "\"$tool\" describe KvTessel10.clsKvtsErrorHandlerA --json | grep -q '\"progid\":\"KvTessel10.clsKvtsErrorHandlerA\"'"
check "component by class name" 0 bash -c "\"$tool\" describe clsKvTessel10A | head -1 | grep -qx KvTessel10.clsKvTessel10A"
check "demo" 0 "$tool" demo
check "run" 0 "$tool" run "$data/scripts/root.jsonl"
check "run malformed" 2 "$tool" run "$data/scripts/malformed.jsonl"
check "run stdin" 0 bash -c "echo '{\"random\":\"zero\"}' | \"$tool\" run | grep -qx '{\"ok\":true}'"
check "codepage from environment" 0 bash -c \
    "echo '{\"new\":\"b\",\"progid\":\"Ombrak10.clsKvVeskEncDecBase64A\"}
{\"call\":\"b\",\"member\":\"Decode64\",\"args\":[{\"text\":\"wA==\"}]}' | OMBRAK10_CODEPAGE=1251 \"$tool\" run | grep -q 'u0410'"

# encrypt / decrypt: files and pipes, every cipher, Base64, key sources
for c in tea blowfish des gost twofish; do
    check "encrypt $c" 0 "$tool" encrypt --cipher $c --key "k $c" -o "$work/$c.enc" "$work/data"
    check "decrypt $c" 0 bash -c "\"$tool\" decrypt --cipher $c --key 'k $c' <\"$work/$c.enc\" >\"$work/$c.out\""
    same "round trip $c" "$work/data" "$work/$c.out"
    check "wrong key $c" 1 "$tool" decrypt --cipher $c --key "other" -o "$work/$c.wrong" "$work/$c.enc"
    check "nothing written on failure $c" 1 test -e "$work/$c.wrong"
done
# RC4: as long as the data; Serpent: the data zero-padded to whole 16-byte blocks.
for c in rc4 serpent; do
    check "encrypt $c" 0 "$tool" encrypt --cipher $c --key "k $c" -o "$work/$c.enc" "$work/data"
    check "decrypt $c" 0 bash -c "\"$tool\" decrypt --cipher $c --key 'k $c' <\"$work/$c.enc\" >\"$work/$c.out\""
    same "round trip $c" "$work/data" "$work/$c.out"
    check "base64 round trip $c" 0 bash -c "\"$tool\" encrypt --cipher $c --key b --base64 \"$work/data\" | \"$tool\" decrypt --cipher $c --key b --base64 | cmp -s - \"$work/data\""
done
check "rc4 keeps the length" 0 test "$(stat -c %s "$work/rc4.enc")" -eq 100000
check "serpent pads" 0 bash -c "printf abc | \"$tool\" encrypt --cipher serpent --key k | \"$tool\" decrypt --cipher serpent --key k | cmp -s - <(printf 'abc\0\0\0\0\0\0\0\0\0\0\0\0\0')"
check "serpent of nothing is one block" 0 bash -c "[ \"\$(printf '' | \"$tool\" encrypt --cipher serpent --key k | wc -c)\" = 16 ]"
check "twofish minimum key length" 0 bash -c "\"$tool\" encrypt --cipher twofish --key abc --min-key-length 196 \"$work/data\" | \"$tool\" decrypt --cipher twofish --key abc --min-key-length 256 | cmp -s - \"$work/data\""
check "twofish key length matters" 1 bash -c "\"$tool\" encrypt --cipher twofish --key abc --min-key-length 128 \"$work/data\" | \"$tool\" decrypt --cipher twofish --key abc"
printf 'k tea\nignored\n' >"$work/keyfile"
check "key file" 0 bash -c "\"$tool\" decrypt --cipher tea --key-file \"$work/keyfile\" \"$work/tea.enc\" | cmp -s - \"$work/data\""
check "key env" 0 bash -c "K='k tea' \"$tool\" decrypt --cipher tea --key-env K \"$work/tea.enc\" | cmp -s - \"$work/data\""
check "base64 round trip" 0 bash -c "\"$tool\" encrypt --cipher blowfish --key b --base64 \"$work/data\" | \"$tool\" decrypt --cipher blowfish --key b --base64 | cmp -s - \"$work/data\""
check "no key" 2 "$tool" encrypt --cipher tea "$work/data"
check "two keys" 2 "$tool" encrypt --cipher tea --key a --key-env B "$work/data"
check "unknown cipher" 2 "$tool" encrypt --cipher rot13 --key a "$work/data"
check "empty Base64 input" 1 timeout 10 bash -c "printf '' | \"$tool\" decrypt --cipher des --key k --base64"
check "not whole blocks" 1 bash -c "head -c 20 \"$work/des.enc\" | \"$tool\" decrypt --cipher des --key 'k des'"

# Write failures: one line naming the cause, exit 1 (the output would not fit a pipe buffer).
check "base64 to a full disk" 1 bash -c "\"$tool\" base64 \"$work/data\" >/dev/full"
check "base64 names the cause" 0 bash -c "\"$tool\" base64 \"$work/data\" 2>&1 >/dev/full | grep -qx \"ombrak10: base64: cannot write '-': No space left on device\""
check "encrypt to a full disk" 1 bash -c "\"$tool\" encrypt --cipher des --key k \"$work/data\" >/dev/full"
check "decrypt to a full disk" 1 bash -c "\"$tool\" decrypt --cipher des --key 'k des' \"$work/des.enc\" >/dev/full"
check "missing output folder named" 0 bash -c "\"$tool\" encrypt --cipher des --key k -o \"$work/none/x\" \"$work/data\" 2>&1 | grep -qx \"ombrak10: encrypt: cannot write '$work/none/x': No such file or directory\""
check "unreadable input named" 0 bash -c "\"$tool\" encrypt --cipher des --key k \"$work\" 2>&1 | grep -qx \"ombrak10: encrypt: cannot read '$work': Is a directory\""

# Replacing outputs: an existing file keeps its mode, a link stays a link, nothing is left over.
printf 'old' >"$work/secret"
chmod 600 "$work/secret"
check "decrypt onto a 0600 file" 0 "$tool" decrypt --cipher des --key 'k des' -o "$work/secret" "$work/des.enc"
same "replaced content" "$work/data" "$work/secret"
check "mode kept" 0 bash -c "[ \"\$(stat -c %a \"$work/secret\")\" = 600 ]"
ln -s secret "$work/link"
check "encrypt through a link" 0 "$tool" encrypt --cipher tea --key k -o "$work/link" "$work/data"
check "the link stays" 0 test -L "$work/link"
check "its target replaced" 0 bash -c "\"$tool\" decrypt --cipher tea --key k \"$work/secret\" | cmp -s - \"$work/data\""
check "no temporary files" 0 bash -c "! ls -A \"$work\" | grep -q '^\\.ombrak10'"

# A named pipe or a device is read as a stream, as standard input is.
check "base64 of a pipe by name" 0 bash -c "\"$tool\" base64 <(cat \"$work/data\") | cmp -s - <(base64 \"$work/data\")"
check "decrypt of a pipe by name" 0 bash -c "\"$tool\" decrypt --cipher des --key 'k des' <(cat \"$work/des.enc\") | cmp -s - \"$work/data\""
check "a folder is refused" 1 "$tool" base64 "$work"

# An input longer than any envelope is refused by its size before anything is read or written.
truncate -s 3G "$work/huge"
check "too long for an envelope" 1 "$tool" encrypt --cipher des --key k -o "$work/huge.enc" "$work/huge"
check "said so" 0 bash -c "\"$tool\" encrypt --cipher des --key k \"$work/huge\" 2>&1 >/dev/null | grep -q 'longer than an envelope holds'"
check "nothing written" 1 test -e "$work/huge.enc"
rm -f "$work/huge"

# Digests: the lines of sha256sum, sha1sum and md5sum, and each side checks the other's lists.
mkdir "$work/sums"
for n in 0 1 63 64 65 128 100000; do head -c $n "$work/data" >"$work/sums/f$n"; done
printf 'x' >"$work/sums/back\slash"
printf 'y' >"$work/sums/$(printf 'line\nbreak')"
for a in md5 sha1 sha256; do
    (cd "$work/sums" && "${a}sum" * - <f65 >"../$a.theirs")
    check "digest $a" 0 bash -c "cd \"$work/sums\" && \"$tool\" digest --algo $a * - <f65 >../$a.ours"
    same "digest $a lines as ${a}sum" "$work/$a.ours" "$work/$a.theirs"
    check "${a}sum -c accepts ours" 0 bash -c "cd \"$work/sums\" && ${a}sum --strict -c ../$a.ours <f65 | grep -c ': OK' | grep -qx 10"
    check "digest -c accepts ${a}sum's" 0 bash -c "cd \"$work/sums\" && \"$tool\" digest -a $a --strict -c ../$a.theirs <f65 | grep -c ': OK' | grep -qx 10"
    check "digest -c output as ${a}sum -c" 0 bash -c "cd \"$work/sums\" && cmp -s <(\"$tool\" digest -a $a -c ../$a.theirs <f65) <(${a}sum -c ../$a.theirs <f65)"
done
check "digest default is sha256" 0 bash -c "printf abc | \"$tool\" digest | grep -qx 'ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  -'"
check "digest tagged lines" 0 bash -c "cd \"$work/sums\" && sha256sum --tag f1 f64 | \"$tool\" digest -c --quiet"
{ sed -n 1p "$work/sha256.theirs"; echo "0000000000000000000000000000000000000000000000000000000000000000  f1"; } >"$work/mismatch"
check "digest -c mismatch" 1 bash -c "cd \"$work/sums\" && \"$tool\" digest -c ../mismatch"
check "digest -c mismatch output" 0 bash -c "cd \"$work/sums\" && cmp -s <(\"$tool\" digest -c ../mismatch 2>/dev/null) <(sha256sum -c ../mismatch 2>/dev/null)"
check "digest -c --status is silent" 0 bash -c "cd \"$work/sums\" && [ -z \"\$(\"$tool\" digest -c --status ../mismatch 2>&1)\" ]"
echo "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  gone" >"$work/missing.list"
check "digest -c missing file" 1 bash -c "cd \"$work/sums\" && \"$tool\" digest -c ../missing.list"
cp "$work/out" "$work/named"
check "digest -c names it" 0 grep -qx 'gone: FAILED open or read' "$work/named"
{ sed -n 1p "$work/sha256.theirs"; echo "not a digest line"; } >"$work/loose"
check "digest -c ignores a bad line" 0 bash -c "cd \"$work/sums\" && \"$tool\" digest -c ../loose"
check "digest -c --strict fails it" 1 bash -c "cd \"$work/sums\" && \"$tool\" digest -c --strict ../loose"
check "digest -c no digest lines" 1 bash -c "echo nothing | \"$tool\" digest -c"
check "digest -c wrong algorithm's list" 1 "$tool" digest -a md5 -c "$work/sha256.theirs"
check "digest missing file" 1 "$tool" digest "$work/none" "$work/sums/f1"
cp "$work/out" "$work/partial"
check "digest still prints the others" 0 grep -q "  $work/sums/f1\$" "$work/partial"
check "digest of a folder" 1 "$tool" digest "$work/sums"
check "digest unknown algorithm" 2 "$tool" digest --algo sha512
check "digest to a full disk" 1 bash -c "\"$tool\" digest \"$work/data\" >/dev/full"

# DES interoperates with OpenSSL's DES-CBC under a zero IV, in both directions.
if command -v openssl >/dev/null && openssl enc -des-cbc -provider legacy -provider default -K 0000000000000000 -iv 0000000000000000 </dev/null >/dev/null 2>&1; then
    des_key=$(printf 'k des\0\0\0' | od -An -tx1 | tr -d ' \n')
    check "openssl decrypts ours" 0 bash -c "openssl enc -d -des-cbc -provider legacy -provider default -nopad -K $des_key -iv 0000000000000000 <\"$work/des.enc\" | tail -c +13 | head -c 100000 >\"$work/ossl.out\""
    same "openssl plaintext" "$work/data" "$work/ossl.out"
    # An envelope by hand: two zero random words, the length 5 little-endian, "hello", padding.
    printf '\0\0\0\0\0\0\0\0\5\0\0\0hello\0\0\0\0\0\0\0' >"$work/env.plain"
    openssl enc -des-cbc -provider legacy -provider default -nopad -K $des_key -iv 0000000000000000 <"$work/env.plain" >"$work/env.enc"
    check "we decrypt openssl's" 0 bash -c "[ \"\$(\"$tool\" decrypt --cipher des --key 'k des' \"$work/env.enc\")\" = hello ]"
fi

# RC4 is RC4: OpenSSL's 40-bit RC4 with the five key bytes gives the same bytes.
if command -v openssl >/dev/null && openssl enc -rc4-40 -provider legacy -provider default -K 6b20726334 </dev/null >/dev/null 2>&1; then
    check "openssl rc4" 0 bash -c "openssl enc -rc4-40 -provider legacy -provider default -K 6b20726334 <\"$work/data\" | cmp -s - \"$work/rc4.enc\""
fi

# Huffman compression: the container's bytes, round trips through files and pipes, failures.
check "compress abracadabra" 0 bash -c "printf abracadabra | \"$tool\" compress | od -An -tx1 | tr -d ' \n' | grep -qx 4845330d660b000000050061016203630364037203ba071a730d"
check "compress nothing" 0 bash -c "printf '' | \"$tool\" compress | cmp -s - <(printf 'HE0\r')"
{ for i in $(seq 1 40000); do echo "line $i of a text that compresses well"; done; } >"$work/text"
check "compress a file" 0 "$tool" compress -o "$work/text.he3" "$work/text"
check "it is smaller" 0 test "$(stat -c %s "$work/text.he3")" -lt "$(stat -c %s "$work/text")"
check "compress standard input" 0 bash -c "\"$tool\" compress <\"$work/text\" | cmp -s - \"$work/text.he3\""
check "decompress a file" 0 "$tool" decompress -o "$work/text.back" "$work/text.he3"
same "decompressed text" "$work/text" "$work/text.back"
check "decompress standard input" 0 bash -c "cat \"$work/text.he3\" | \"$tool\" decompress | cmp -s - \"$work/text\""
check "random bytes round trip" 0 bash -c "\"$tool\" compress \"$work/data\" | \"$tool\" decompress | cmp -s - \"$work/data\""
check "decompress stored" 0 bash -c "printf 'HE0\rxyz' | \"$tool\" decompress | cmp -s - <(printf xyz)"
check "decompress not a container" 1 bash -c "printf 'HE4\rxyz' | \"$tool\" decompress"
cp "$work/err" "$work/why"
check "says why" 0 grep -q "identification string not found" "$work/why"
{ head -c 4 "$work/text.he3"; printf '\377'; tail -c +6 "$work/text.he3"; } >"$work/bad.he3"
echo keep >"$work/kept"
check "decompress a bad checksum" 1 "$tool" decompress -o "$work/kept" "$work/bad.he3"
cp "$work/err" "$work/why"
check "says so" 0 grep -q "checksum did not match" "$work/why"
check "the destination stays" 0 grep -qx keep "$work/kept"
head -c 300 "$work/text.he3" >"$work/cut.he3"
check "decompress a truncated container" 1 "$tool" decompress "$work/cut.he3"
check "compress a missing file" 1 "$tool" compress "$work/none"
check "compress to a full disk" 1 bash -c "\"$tool\" compress \"$work/text\" >/dev/full"

# Password encryption through the provider layer: the same bytes as OpenSSL with MD5 of the
# password as key material and a zero IV (method 21: two-key triple DES; 18: RC2-128; 5: RC4
# with 5 key bytes and 11 zero salt bytes; Glim: 5-byte RC2 with 40 effective bits, RC4-40).
if command -v openssl >/dev/null && openssl enc -rc4-40 -provider legacy -provider default -K 6b20726334 </dev/null >/dev/null 2>&1; then
    md5key=$(printf secret | openssl md5 -binary | od -An -tx1 | tr -d ' \n')
    legacy="-provider legacy -provider default"
    check "provider:21 is des-ede-cbc" 0 bash -c "\"$tool\" encrypt --cipher provider --key secret \"$work/data\" | cmp -s - <(openssl enc -des-ede-cbc $legacy -K $md5key -iv 0000000000000000 -in \"$work/data\")"
    check "provider:18 is rc2-cbc" 0 bash -c "\"$tool\" encrypt --cipher provider:18 --key secret \"$work/data\" | cmp -s - <(openssl enc -rc2-cbc $legacy -K $md5key -iv 0000000000000000 -in \"$work/data\")"
    check "provider:5 is salted rc4" 0 bash -c "\"$tool\" encrypt --cipher provider:5 --key secret \"$work/data\" | cmp -s - <(openssl enc -rc4 $legacy -K ${md5key:0:10}0000000000000000000000 -in \"$work/data\")"
    check "glim:block is rc2-40-cbc" 0 bash -c "\"$tool\" encrypt --cipher glim:block --key secret \"$work/data\" | cmp -s - <(openssl enc -rc2-40-cbc $legacy -K ${md5key:0:10} -iv 0000000000000000 -in \"$work/data\")"
    check "glim:stream is rc4-40" 0 bash -c "\"$tool\" encrypt --cipher glim:stream --key secret \"$work/data\" | cmp -s - <(openssl enc -rc4-40 $legacy -K ${md5key:0:10} -in \"$work/data\")"
fi
for c in provider:0 provider:13 provider:24 glim:block glim:stream; do
    check "$c round trip" 0 bash -c "\"$tool\" encrypt --cipher $c --key k \"$work/data\" | \"$tool\" decrypt --cipher $c --key k | cmp -s - \"$work/data\""
    check "$c --base64 round trip" 0 bash -c "\"$tool\" encrypt --cipher $c --key k --base64 \"$work/text\" | \"$tool\" decrypt --cipher $c --key k --base64 | cmp -s - \"$work/text\""
done
check "provider wrong key" 1 bash -c "\"$tool\" encrypt --cipher provider --key k \"$work/text\" | \"$tool\" decrypt --cipher provider --key wrong -o \"$work/kept\""
check "the destination stays" 0 grep -qx keep "$work/kept"
check "provider:25 is refused" 2 "$tool" encrypt --cipher provider:25 --key k "$work/data"

# The text ciphers and Morse code through the tool: every operation reached, round trips.
check "caesar" 0 bash -c "[ \"\$(\"$tool\" classic caesar -n 3 'abc xyz')\" = 'def bcd' ]"
for pair in "ascii2binary binary2ascii" "ascii2transposition transposition2ascii" "ascii2piglatin piglatin2ascii" "reverse reverse" "depth-encode depth-decode" "smoke-encrypt smoke-decrypt"; do
    set -- $pair
    check "$1 then $2" 0 bash -c "[ \"\$(\"$tool\" classic $1 -n 5 'hello there world' | \"$tool\" classic $2 -n 5)\" = 'hello there world' ]"
done
for pair in "ascii2random random2ascii" "softckt-encrypt softckt-decrypt" "salasana-crypt salasana-decrypt" "sabre sabre"; do
    set -- $pair
    check "$1 then $2" 0 bash -c "[ \"\$(\"$tool\" classic $1 -k 'the key' 'Hello, World' | \"$tool\" classic $2 -k 'the key')\" = 'Hello, World' ]"
done
check "classic failure" 1 "$tool" classic ascii2piglatin "two  spaces"
check "sabre outside its alphabet" 1 "$tool" classic sabre -k k "$(printf 'caf\303\251')"
check "classic unknown operation" 2 "$tool" classic nothing text
check "smoke reports errors" 0 bash -c "\"$tool\" classic smoke-encrypt x 2>&1 >/dev/null | grep -q 'czVeskEncDecSmoke.SmokeCryptString'"
check "morse" 0 bash -c "[ \"\$(\"$tool\" morse encode 'SOS' | \"$tool\" morse decode)\" = 'sos' ]"
check "morse stops" 1 "$tool" morse decode ".- -..."

echo "cli: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
