#!/usr/bin/env bash
# A full instrument memory (3854 records) fetched from zond-sim by zond8t-cli fetch.
#   bench/fetch_bench.sh [BUILD_DIR]           five unpaced runs without and five with the
#                                              communication log (--log), taken in turn; the log
#                                              must cost under 5 % (target: 2.0 s a run)
#   bench/fetch_bench.sh [BUILD_DIR] --paced   one run at the line's 9600 bit/s (about 137 s)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
paced=${2:-}
sim=$build/tools/sim/zond-sim
cli=$build/src/cli/zond8t-cli
cmake --build "$build" --target zond-sim zond8t-cli >/dev/null

work=$(mktemp -d)
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
sim_options=(--records 3854 --write-image "$work/served.img")
runs=5
if [ "$paced" = "--paced" ]; then
    sim_options+=(--baud 9600)
    runs=1
fi
"$sim" "${sim_options[@]}" >"$work/sim.out" &
sim_pid=$!
while [ ! -s "$work/sim.out" ]; do
    kill -0 "$sim_pid" 2>/dev/null || { echo "zond-sim did not start" >&2; exit 1; }
    sleep 0.05
done
device=$(head -n 1 "$work/sim.out")

# Characters on the line: the 16-character header, then 'S', 2 x 65520 encoded bytes and 'P'.
characters=$((16 + 1 + 2 * 65520 + 1))
# One fetch; prints its wall time in seconds.
fetch_once() {
    local start end
    start=$(date +%s.%N)
    "$cli" fetch --port "$device" --image-out "$work/got.img" "$@" 2>/dev/null
    end=$(date +%s.%N)
    cmp -s "$work/served.img" "$work/got.img" || { echo "image differs" >&2; exit 1; }
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

if [ "$paced" = "--paced" ]; then
    took=$(fetch_once)
    awk -v t="$took" -v c="$characters" 'BEGIN {
        line = c * 10 / 9600
        printf "paced run: %.2f s, line time %.2f s, %+.2f %%\n", t, line, (t - line) * 100 / line }'
    exit 0
fi
plain=0
logged=0
for run in $(seq "$runs"); do
    a=$(fetch_once)
    b=$(fetch_once --log "$work/transfer.log")
    printf "run %d: %s s without the log, %s s with it (%d lines)\n" "$run" "$a" "$b" \
        "$(wc -l <"$work/transfer.log")"
    plain=$(awk -v x="$plain" -v y="$a" 'BEGIN { print x + y }')
    logged=$(awk -v x="$logged" -v y="$b" 'BEGIN { print x + y }')
done
awk -v p="$plain" -v l="$logged" -v n="$runs" 'BEGIN {
    printf "mean: %.3f s without the log, %.3f s with it, %+.2f %%\n", p / n, l / n, (l - p) * 100 / p }'
