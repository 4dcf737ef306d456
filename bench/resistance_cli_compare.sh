#!/usr/bin/env bash
# Times `zond8t-cli resistance --json --longest` (both methods, three channels) against
# `zond8t-cli stats` on the same 1,000,000-row table (readings a minute apart), warm, and prints
# the ratio of their CPU times (user + system: steadier than the elapsed time on a shared
# machine) and of their elapsed times. The goal: resistance within twice stats.
#   bench/resistance_cli_compare.sh [BUILD_DIR]   (default: build)
source "$(dirname "$0")/compare_prelude.sh" analysis_bench 1000000 "$@"
cmake --build "$build" --target zond8t-cli >/dev/null
cli="$build/src/cli/zond8t-cli"
table="$work/million.db"

echo "writing a table of 1000000 rows..."
"$program" --make "$table"

# "elapsed cpu" of one run, output discarded.
timed() {
    /usr/bin/time -f "%e %U %S" "$cli" "$@" 2>&1 >/dev/null | tail -1 |
        awk '{ printf "%s %.2f\n", $1, $2 + $3 }'
}

"$cli" stats "$table" >/dev/null
stats_cpu=""; stats_elapsed=""; res_cpu=""; res_elapsed=""
for _ in 1 2 3 4 5; do
    read -r elapsed cpu < <(timed stats "$table")
    stats_elapsed=$(printf '%s\n%s\n' "${stats_elapsed:-$elapsed}" "$elapsed" | best)
    stats_cpu=$(printf '%s\n%s\n' "${stats_cpu:-$cpu}" "$cpu" | best)
    read -r elapsed cpu < <(timed resistance "$table" --json --longest)
    res_elapsed=$(printf '%s\n%s\n' "${res_elapsed:-$elapsed}" "$elapsed" | best)
    res_cpu=$(printf '%s\n%s\n' "${res_cpu:-$cpu}" "$cpu" | best)
done
echo "stats:                       ${stats_elapsed} s elapsed, ${stats_cpu} s CPU"
echo "resistance --json --longest: ${res_elapsed} s elapsed, ${res_cpu} s CPU"
awk -v a="$res_cpu" -v b="$stats_cpu" -v c="$res_elapsed" -v d="$stats_elapsed" \
    'BEGIN { printf "resistance takes %.2f times the CPU of stats, %.2f times its elapsed time\n", a / b, c / d }'
