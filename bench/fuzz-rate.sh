#!/bin/bash
# Runs of the fuzz target per second of processor time, on a copy of the committed corpus:
# what one core makes however busy the machine is. The start-up (the viewer, the seed corpus)
# is measured apart and taken off.
# Usage: bench/fuzz-rate.sh BUILD-FUZZ/tests/workspace_reader_fuzz [RUNS] [extra libFuzzer flags]
set -eu
fuzzer="$1"
runs="${2:-3000}"
shift $(($# < 2 ? $# : 2))
extra=("$@")
corpus="$(cd "$(dirname "$0")/.." && pwd)/tests/fuzz/corpus"
seeds=$(find "$corpus" -type f | wc -l)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpu() {  # cpu RUNS [FLAGS]: user + system seconds of one fuzzing run of RUNS inputs
    rm -rf "$work/corpus"
    cp -r "$corpus" "$work/corpus"
    local runs="$1"
    shift
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%U %S" -o "$work/time" "$fuzzer" "$work/corpus" \
        -max_len=30000 -runs="$runs" -seed=7 -detect_leaks=0 "$@" >/dev/null 2>&1 || true
    awk '{ print $1 + $2 }' "$work/time"
}
start=$(cpu "$seeds")
total=$(cpu "$runs" ${extra[@]+"${extra[@]}"})
awk -v r="$runs" -v s="$seeds" -v a="$start" -v t="$total" 'BEGIN {
    printf "%d runs in %.2f s of processor time after %.2f s of start-up: %.0f runs/s\n",
        r - s, t - a, a, (r - s) / (t - a) }'
