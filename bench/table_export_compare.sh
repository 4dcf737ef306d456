#!/usr/bin/env bash
# Times the CSV and .xlsx exports (open the table, write the file) of 65,535 rows, the .xlsx export
# of 1,000,000 rows with its peak memory (/usr/bin/time -v), and LibreOffice headless converting
# the same CSV to .xlsx; prints the times and the ratio.
#   bench/table_export_compare.sh [BUILD_DIR]   (default: build)
source "$(dirname "$0")/compare_prelude.sh" table_export 65535 "$@"
large_rows=${ZOND_BENCH_LARGE_ROWS:-1000000}

echo "writing tables of $rows and $large_rows rows..."
"$program" --make "$work/table.db" "$rows"
"$program" --make "$work/large.db" "$large_rows"

# Prints the best wall time of three warm runs and the peak resident memory (KiB) of the last.
measure() {
    local table=$1 out=$2 times=()
    "$program" "$table" "$out" >/dev/null
    for _ in 1 2 3; do
        times+=("$(/usr/bin/time -v -o "$work/time" "$program" "$table" "$out")")
    done
    echo "$(printf '%s\n' "${times[@]}" | best)" \
        "$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time")"
}

read -r csv_best csv_peak < <(measure "$work/table.db" "$work/table.csv")
read -r xlsx_best xlsx_peak < <(measure "$work/table.db" "$work/table.xlsx")
read -r large_best large_peak < <(measure "$work/large.db" "$work/large.xlsx")

# LibreOffice from start to written file on our CSV, a private profile warmed up once.
profile="file://$work/profile"
lo_run() {
    local start end
    start=$(date +%s.%N)
    soffice -env:UserInstallation="$profile" --headless --infilter=CSV:59,34,76,1,,1049 \
        --convert-to xlsx --outdir "$work/lo" "$work/table.csv" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f\n", b - a }'
}
lo_run >/dev/null
lo_best=$( (lo_run; lo_run) | best)

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "CSV,   $rows rows:        ${csv_best} s, peak memory $((csv_peak / 1024)) MiB"
echo ".xlsx, $rows rows:        ${xlsx_best} s, peak memory $((xlsx_peak / 1024)) MiB"
echo ".xlsx, $large_rows rows:    ${large_best} s, peak memory $((large_peak / 1024)) MiB"
echo "LibreOffice, CSV to .xlsx, $rows rows: ${lo_best} s (start-up included)"
awk -v o="$xlsx_best" -v l="$lo_best" 'BEGIN {
    printf "LibreOffice takes %.1f times as long as the .xlsx export\n", l / o }'
