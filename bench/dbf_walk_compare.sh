#!/usr/bin/env bash
# Times the walk of a 1,000,000-row measurement table (open, visit every live row, sum TAVIS_1)
# by the table module and by python3-dbfread on the same file, warm, and prints the ratio and the
# module's peak memory for the walk.
#   bench/dbf_walk_compare.sh [BUILD_DIR]   (default: build)
source "$(dirname "$0")/compare_prelude.sh" dbf_walk 1000000 "$@"
walk=$program
table="$work/million.db"

echo "writing a table of $rows rows..."
"$walk" --make "$table" "$rows"

python_walk() {
    /usr/bin/python3 - "$table" <<'PY'
import sys, time
import dbfread
start = time.perf_counter()
total = 0.0
for record in dbfread.DBF(sys.argv[1]):
    total += record["TAVIS_1"] or 0.0
print("%.6f %.6f" % (total, time.perf_counter() - start))
PY
}

# Best of three warm runs each.
"$walk" "$table" >/dev/null
best_ours=""; best_python=""; peak=""
for _ in 1 2 3; do
    read -r sum_ours seconds peak_kb < <("$walk" "$table")
    read -r sum_python seconds_python < <(python_walk)
    best_ours=$(printf '%s\n%s\n' "${best_ours:-$seconds}" "$seconds" | best)
    best_python=$(printf '%s\n%s\n' "${best_python:-$seconds_python}" "$seconds_python" | best)
    peak=$peak_kb
done

echo "sum of TAVIS_1: table module $sum_ours, dbfread $sum_python"
echo "table module: ${best_ours} s (peak memory added by open and walk: $((peak / 1024)) MiB)"
echo "dbfread:      ${best_python} s"
awk -v a="$best_python" -v b="$best_ours" 'BEGIN { printf "dbfread takes %.1f times as long\n", a / b }'
