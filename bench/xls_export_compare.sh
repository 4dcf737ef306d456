#!/usr/bin/env bash
# Times the export of a 65,535-row measurement table to .xls (open the table, build the workbook,
# write the file) and, on the same cells, python3-xlwt writing a workbook and LibreOffice headless
# converting the cells from CSV; prints the times, the export's peak memory and the ratios.
#   bench/xls_export_compare.sh [BUILD_DIR]   (default: build)
source "$(dirname "$0")/compare_prelude.sh" xls_export 65535 "$@"
export_bin=$program

echo "writing a table of $rows rows and its cells..."
"$export_bin" --make "$work" "$rows"

# The export: best of five warm runs; CPU seconds too, since the machine may be shared.
"$export_bin" "$work/table.db" "$work/ours.xls" >/dev/null
ours=(); cpu=(); peak=0
for _ in 1 2 3 4 5; do
    /usr/bin/time -f "%U %S" -o "$work/time" \
        "$export_bin" "$work/table.db" "$work/ours.xls" >"$work/result"
    read -r seconds peak_kb <"$work/result"
    ours+=("$seconds")
    cpu+=("$(awk '{ print $1 + $2 }' "$work/time")")
    peak=$peak_kb
done
ours_best=$(printf '%s\n' "${ours[@]}" | best)
cpu_best=$(printf '%s\n' "${cpu[@]}" | best)

xlwt_run() {
    /usr/bin/python3 - "$work/cells.json" "$work/xlwt.xls" <<'PY'
import json, sys, time
import xlwt
rows = json.load(open(sys.argv[1], encoding="utf-8"))
start = time.perf_counter()
cpu_start = time.process_time()
book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet('ЗОНД-8Т.05 "Тавис"')
for r, row in enumerate(rows):
    for c, value in enumerate(row):
        if value is None:
            sheet.write(r, c)
        else:
            sheet.write(r, c, value)
book.save(sys.argv[2])
print("%.6f %.6f" % (time.perf_counter() - start, time.process_time() - cpu_start))
PY
}
xlwt_times=$(xlwt_run; xlwt_run; xlwt_run)
xlwt_best=$(cut -d' ' -f1 <<<"$xlwt_times" | best)
xlwt_cpu=$(cut -d' ' -f2 <<<"$xlwt_times" | best)

# LibreOffice from start to written file, a private profile warmed up once.
profile="file://$work/profile"
lo_run() {
    local start end
    start=$(date +%s.%N)
    /usr/bin/time -f "%U %S" -o "$work/lo_time" soffice -env:UserInstallation="$profile" \
        --headless --infilter=CSV:44,34,76,1 --convert-to 'xls:MS Excel 97' --outdir "$work/lo" \
        "$work/cells.csv" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" '{ printf "%.6f %.6f\n", b - a, $1 + $2 }' "$work/lo_time"
}
lo_run >/dev/null
lo_times=$(lo_run; lo_run)
lo_best=$(cut -d' ' -f1 <<<"$lo_times" | best)
lo_cpu=$(cut -d' ' -f2 <<<"$lo_times" | best)

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
echo "export (zond):      ${ours_best} s wall, ${cpu_best} s CPU, peak memory $((peak / 1024)) MiB"
echo "python3-xlwt:       ${xlwt_best} s wall, ${xlwt_cpu} s CPU"
echo "LibreOffice (CSV):  ${lo_best} s wall, ${lo_cpu} s CPU (start-up included)"
awk -v o="$ours_best" -v x="$xlwt_best" -v l="$lo_best" 'BEGIN {
    printf "wall: xlwt takes %.1f times as long, LibreOffice %.1f times\n", x / o, l / o }'
awk -v o="$cpu_best" -v x="$xlwt_cpu" -v l="$lo_cpu" 'BEGIN {
    printf "CPU:  xlwt takes %.1f times as long, LibreOffice %.1f times\n", x / o, l / o }'
