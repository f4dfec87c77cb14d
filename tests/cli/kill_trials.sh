#!/usr/bin/env bash
# Kills the tool with SIGKILL at random points while it replaces a file, and checks that the
# destination is the old file or the complete new one and that no temporary file is left.
# Usage: kill_trials.sh OMBRAK10 [SEED] [TRIALS] [MIB]
set -u
tool=$1
seed=${2:-${OMBRAK10_SEED:-20261210}}
trials=${3:-6}
mib=${4:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "kill trials: seed $seed, $trials trials, $mib MiB (set OMBRAK10_SEED to repeat)"
RANDOM=$seed
failed=0

mkdir "$work/out"
head -c "${mib}M" /dev/urandom >"$work/plain"
# A complete encryption to decrypt from, and the time a whole run takes.
start=$(date +%s%N)
"$tool" encrypt --cipher blowfish --key k -o "$work/sealed" "$work/plain" || exit 1
span_ms=$((($(date +%s%N) - start) / 1000000))
echo "a whole run takes ${span_ms} ms"

for ((t = 1; t <= trials; t++)); do
    case $((t % 3)) in
        0) label=decrypt args=(decrypt --cipher blowfish --key k "$work/sealed") ;;
        1) label=encrypt args=(encrypt --cipher blowfish --key k "$work/plain") ;;
        2) label="encrypt --base64" args=(encrypt --cipher blowfish --key k --base64 "$work/plain") ;;
    esac
    printf 'old destination %d\n' "$t" >"$work/out/dest"
    cp "$work/out/dest" "$work/old"
    delay=$((RANDOM * RANDOM % (span_ms + span_ms / 4 + 1)))
    "$tool" "${args[@]}" -o "$work/out/dest" &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    leftover=$(ls -A "$work/out" | grep -vx dest)
    if cmp -s "$work/out/dest" "$work/old"; then
        outcome="old file"
    else
        # The new file must be complete: it turns back into exactly what went in.
        case ${args[0]} in
            decrypt) cmp -s "$work/out/dest" "$work/plain" && outcome="complete new" ;;
            encrypt)
                b64=()
                [ "$label" = "encrypt --base64" ] && b64=(--base64)
                "$tool" decrypt --cipher blowfish --key k "${b64[@]}" "$work/out/dest" |
                    cmp -s - "$work/plain" && outcome="complete new" ;;
        esac
        [ "${outcome:-}" = "complete new" ] || outcome="BROKEN"
    fi
    echo "trial $t: $label killed after ${delay} ms: ${outcome}${leftover:+, LEFT OVER: $leftover}"
    if [ "$outcome" = BROKEN ] || [ -n "$leftover" ]; then failed=$((failed + 1)); fi
    unset outcome
done
[ "$failed" -eq 0 ]
