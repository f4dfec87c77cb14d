#!/usr/bin/env bash
# Runs each fuzz target for SECONDS on its growing corpus (seeded from fuzz/corpus/<target>/)
# and prints, per target, the executions and the coverage at start and at the end.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS TARGET...   (FUZZ_FLAGS: more libFuzzer flags, such
# as -max_len=1024 for more runs a second)
set -uo pipefail
build=$1
seconds=$2
shift 2
mkdir -p "$build/findings" "$build/logs"
declare -A extra=([script_fuzz]=tests/data/scripts)
status=0
rows=()
for t in "$@"; do
    corpus="$build/corpus/$t"
    mkdir -p "$corpus"
    echo "fuzzing $t for ${seconds}s (log: $build/logs/$t.log)" >&2
    # A run that takes over 10 seconds is a hang: reported as a finding.
    # shellcheck disable=SC2086
    "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 ${FUZZ_FLAGS:-} \
        -artifact_prefix="$build/findings/$t-" "$corpus" "fuzz/corpus/$t" ${extra[$t]:-} \
        >"$build/logs/$t.log" 2>&1
    rc=$?
    log="$build/logs/$t.log"
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}')
    start=$(grep -m1 'INITED' "$log" | grep -o 'cov: [0-9]*' | awk '{print $2}')
    end=$(grep -E '^#[0-9]+' "$log" | tail -n 1 | grep -o 'cov: [0-9]*' | awk '{print $2}')
    units=$(ls "$corpus" | wc -l)
    verdict=ok
    if [ "$rc" -ne 0 ]; then verdict="FOUND A FAULT (exit $rc, see $log)"; status=1; fi
    rows+=("$(printf '%-14s %12s runs   cov %6s -> %-6s corpus %6s   %s' "$t" "${runs:-?}" \
        "${start:-?}" "${end:-?}" "$units" "$verdict")")
done
printf '%s\n' "${rows[@]}"
exit $status
